// The console's state: the global records, the further globals, and the
// primitives over the transcript buffer (discarding old text, deleting and
// inserting runs of bytes, and mapping between positions and display rows).
//
// Line breaks are CR LF pairs.  A logical line of length L takes
// 1 + L / screenColumns display rows; the unterminated tail of the text takes
// L / screenColumns more rows after the row it starts on.  Every search is
// bounded by textEnd, so the text never needs a terminator written after it.
//
// The transcript's block is larger than its capacity: the slack behind the
// text lets discarding old lines move textStart forward instead of moving the
// text.  The text moves down to the start of the block only when its end
// reaches the end of the block, so discarding costs time per byte written,
// not per transcript.
//
// The row mapping remembers one display row start whose row it knows (the
// row anchor), near the last position or row asked for, and walks from there
// instead of from the start of the text.  A row start's row depends only on
// the bytes before it, so the anchor stays right while text changes after
// it; a change before it moves it back first.
#include "console/console.h"
#include "console/inspect.h"

#include <cstring>

ConsoleStateRecord ConsoleState;
const ConsoleSettingsRecord consoleDefaultSettings = {0, 1, 4, "Courier", 10};
ConsoleSettingsRecord ConsoleSettings = consoleDefaultSettings;

plHwnd consoleWindow;
plHaccel consoleAccelerators;
plHinstance consoleInstance;
int32_t appFinished;
int32_t exitRequested;
int32_t endOfInput;
int32_t rowFill;
int32_t lineWraps;
int32_t caretRow;
int32_t caretColumn;
int32_t keepView;
int32_t cellWidth;
int32_t cellHeight;
char* transcriptBlock;
int32_t transcriptBlockSize;

namespace {

ConsoleStateRecord& S = ConsoleState;

// Characters per display row; the mapping divides by it, so never below 1.
int64_t rowWidth()
{
    return S.screenColumns > 0 ? S.screenColumns : 1;
}

// Size of the transcript buffer, never more than was allocated.
int64_t bufferSize()
{
    return S.capacity > 1 && S.capacity <= consoleCapacity ? S.capacity : consoleCapacity;
}

bool isBreak(const char* p, const char* end)
{
    return p + 1 < end && p[0] == '\r' && p[1] == '\n';
}

// The first CR LF pair that begins at or after from and ends before end: the
// position of its CR, or null.
const char* findBreak(const char* from, const char* end)
{
    if (end - from < 2) {
        return nullptr;
    }
    const char* p = from + 1;
    while (p < end) {
        const void* hit = std::memchr(p, '\n', static_cast<size_t>(end - p));
        if (!hit) {
            return nullptr;
        }
        const char* lf = static_cast<const char*>(hit);
        if (lf[-1] == '\r') {
            return lf - 1;
        }
        p = lf + 1;
    }
    return nullptr;
}

// The last LF in [from, to), or null.  Eight bytes are tested at a time.
const char* lastLineFeed(const char* from, const char* to)
{
    const uint64_t ones = 0x0101010101010101u;
    const char* p = to;
    while (p - from >= 8) {
        uint64_t word;
        std::memcpy(&word, p - 8, sizeof word);
        const uint64_t x = word ^ (ones * '\n');   // a zero byte where an LF was
        if ((x - ones) & ~x & (ones * 0x80)) {
            break;
        }
        p -= 8;
    }
    while (p > from) {
        if (*--p == '\n') {
            return p;
        }
    }
    return nullptr;
}

}  // namespace

char* lineStartOf(char* position)
{
    const char* to = position;
    while (const char* lf = lastLineFeed(S.textStart + 1, to)) {
        if (lf[-1] == '\r') {
            return const_cast<char*>(lf) + 1;
        }
        to = lf;
    }
    return S.textStart;
}

namespace {

// Display row and column of position counted from lineStart, which must be
// the start of a logical line.  A CR LF pair counts as a line end once both
// of its bytes lie before position.
void rowsFrom(const char* lineStart, const char* position, int64_t* row, int64_t* column)
{
    const int64_t width = rowWidth();
    int64_t rows = 0;
    const char* start = lineStart;
    while (const char* cr = findBreak(start, position)) {
        rows += 1 + (cr - start) / width;
        start = cr + 2;
    }
    const int64_t d = position - start;
    *row = rows + d / width;
    *column = d % width;
}

int64_t rowsBetween(const char* lineStart, const char* position)
{
    int64_t row = 0;
    int64_t column = 0;
    rowsFrom(lineStart, position, &row, &column);
    return row;
}

int32_t clampRow(int64_t value)
{
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    return value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

// The row anchor: a display row start (the start of the text, the start of a
// logical line, or a whole number of rows into one), its row, and the row
// width it was counted in.  It never stands just after a CR, so that no LF
// stored at it later can make a line break across it.
struct RowAnchor {
    char* position;
    int64_t row;
    int64_t width;
};
RowAnchor anchor;

void anchorAtStart()
{
    anchor = {S.textStart, 0, rowWidth()};
}

// The anchor as it may be used now: back at the start of the text when the
// row width changed or the text no longer holds it.
void checkAnchor()
{
    if (!anchor.position || anchor.width != rowWidth() || anchor.position < S.textStart ||
        anchor.position > S.textEnd) {
        anchorAtStart();
    }
}

// Anchors at rowStart, display row row, a whole number of rows after
// lineStart (a line start, or the anchor, which stands for one).
void anchorAt(char* rowStart, int64_t row, const char* lineStart)
{
    const int64_t width = rowWidth();
    while (rowStart > lineStart && rowStart[-1] == '\r') {
        rowStart -= width;
        row--;
    }
    anchor = {rowStart, row, width};
}

// Display row and column of position (inside the text), counted from the
// anchor; the anchor moves to position's row.
void mapPosition(const char* position, int64_t* row, int64_t* column)
{
    checkAnchor();
    const int64_t width = rowWidth();
    char* start;
    int64_t rows;
    if (position >= anchor.position) {
        // On from the anchor, which counts as the start of a line.
        start = anchor.position;
        rows = anchor.row;
        while (const char* cr = findBreak(start, position)) {
            rows += 1 + (cr - start) / width;
            start = const_cast<char*>(cr) + 2;
        }
    } else {
        // Back: the start of position's line, and its row counted from
        // whichever is nearer, the start of the text or the anchor.
        start = lineStartOf(const_cast<char*>(position));
        if (start - S.textStart < anchor.position - start) {
            rows = rowsBetween(S.textStart, start);
        } else {
            rows = anchor.row - rowsBetween(start, anchor.position);
        }
    }
    const int64_t d = position - start;
    *row = rows + d / width;
    *column = d % width;
    anchorAt(start + d / width * width, *row, start);
}

// A position held by the console after bytes [position, position + count)
// were removed: moved back with its text, or to the cut when its text went.
void followRemoval(char*& held, const char* position, int64_t count)
{
    if (!held || held < S.textStart) {
        return;
    }
    if (held >= position + count) {
        held -= count;
    } else if (held > position) {
        held = const_cast<char*>(position);
    }
    if (held > S.textEnd) {
        held = S.textEnd;
    }
}

// Moves the anchor back to position's row (or before it) when it stands
// after position: the text from position on is about to change.
void anchorNotAfter(const char* position)
{
    checkAnchor();
    if (anchor.position > position) {
        int64_t row = 0;
        int64_t column = 0;
        mapPosition(position, &row, &column);
    }
}

// Removes count bytes at position (both already checked against the text),
// keeps lastRow right for the rows the removal changes, and moves the held
// positions with the text.
void removeBytes(char* position, int64_t count)
{
    anchorNotAfter(position);
    // Rows can change only from the start of position's line up to the first
    // line break after the removed run; everything after that just moves.
    char* lineStart = lineStartOf(position);
    const char* cr = findBreak(position + count, S.textEnd);
    char* regionEnd = cr ? const_cast<char*>(cr) + 2 : S.textEnd;
    const int64_t before = rowsBetween(lineStart, regionEnd);

    std::memmove(position, position + count, static_cast<size_t>(S.textEnd - (position + count)));
    S.textEnd -= count;

    const int64_t after = rowsBetween(lineStart, regionEnd - count);
    S.lastRow = clampRow(static_cast<int64_t>(S.lastRow) + after - before);

    followRemoval(S.viewStart, position, count);
    followRemoval(S.selAnchor, position, count);
    followRemoval(S.selStart, position, count);
    followRemoval(S.selEnd, position, count);

    if (consoleWindow) {
        plInvalidateRect(consoleWindow, nullptr, 1);
    }
}

// How much makeRoom discards from the top of used bytes of text to make room
// for n more: whole lines, through the first line break that begins at or
// after textStart + n + 1, which is at least n + 3 bytes.  The cut always
// ends at the start of a display row.
int64_t discardCut(int64_t n, int64_t used)
{
    const int64_t size = bufferSize();
    if (!(n + 1 < size && n + 1 < used)) {
        return used;
    }
    char* from = S.textStart + n + 1;
    if (const char* cr = findBreak(from, S.textEnd)) {
        return cr + 2 - S.textStart;
    }
    if (from[-1] == '\r' && from[0] == '\n') {
        // A line break straddles the minimum cut: cut just after it.
        return n + 2;
    }
    // No line break left to cut at: the rest is one unterminated line.  Cut
    // whole display rows from its start, so that the rows kept still wrap
    // where they did.
    char* lineStart = lineStartOf(from);
    const int64_t width = rowWidth();
    const int64_t rows = (from - lineStart + width - 1) / width;
    const int64_t cut = (lineStart - S.textStart) + rows * width;
    return cut < used ? cut : used;
}

// A position held by the console whose text was discarded from the top, up
// to kept: it moves to the new start of the text.
void followDiscard(char*& held, const char* oldStart, char* kept)
{
    if (!held || held < oldStart) {
        return;
    }
    if (held < kept) {
        held = kept;
    }
    if (held > S.textEnd) {
        held = S.textEnd;
    }
}

// Discards the first cut bytes of the text, which end at the start of a
// display row: the start of the text moves forward over them and the text
// stays where it is in the block.  The rows they took leave lastRow; a
// selection (or a started drag) whose text goes, goes with it.
void discardTop(int64_t cut)
{
    char* oldStart = S.textStart;
    char* kept = oldStart + cut;
    if (S.selStart && ((S.selEnd && S.selEnd <= kept) || (!S.selEnd && S.selStart < kept))) {
        S.selAnchor = nullptr;
        S.selStart = nullptr;
        S.selEnd = nullptr;
    }
    // The cut ends at a row start, so the rows that stay keep their shape
    // and each moves up by the row index of the cut.
    const int64_t rows = rowsBetween(oldStart, kept);
    S.lastRow = clampRow(static_cast<int64_t>(S.lastRow) - rows);

    checkAnchor();
    S.textStart = kept;
    if (anchor.position < kept) {
        anchorAtStart();
    } else {
        anchor.row -= rows;
    }
    followDiscard(S.viewStart, oldStart, kept);
    followDiscard(S.selAnchor, oldStart, kept);
    followDiscard(S.selStart, oldStart, kept);
    followDiscard(S.selEnd, oldStart, kept);

    if (consoleWindow) {
        plInvalidateRect(consoleWindow, nullptr, 1);
    }
}

// A position held by the console when the text moves down by delta bytes.
void followMove(char*& held, int64_t delta)
{
    if (held && held >= S.textStart && held <= S.textEnd) {
        held -= delta;
    }
}

// Makes sure n more bytes, and one after them, fit behind the end of the
// text in the block: when they do not, the text moves down to the start of
// the block, and every position the console holds moves with it.
void keepBlockRoom(int64_t n)
{
    if (!transcriptBlock || S.textStart <= transcriptBlock ||
        (S.textEnd - transcriptBlock) + n + 1 < transcriptBlockSize) {
        return;
    }
    const int64_t delta = S.textStart - transcriptBlock;
    std::memmove(transcriptBlock, S.textStart, static_cast<size_t>(S.textEnd - S.textStart));
    followMove(S.viewStart, delta);
    followMove(S.selAnchor, delta);
    followMove(S.selStart, delta);
    followMove(S.selEnd, delta);
    followMove(anchor.position, delta);
    S.textStart -= delta;
    S.textEnd -= delta;
}

bool inText(const char* position)
{
    return S.textStart && position && position >= S.textStart && position <= S.textEnd;
}

// The positions the console holds into the transcript.
char** heldPositions(int index)
{
    char** held[] = {&S.viewStart, &S.selAnchor, &S.selStart, &S.selEnd};
    return index < 4 ? held[index] : nullptr;
}

}  // namespace

void initConsoleState(char* transcript, char* pendingInput, int32_t showValue, int32_t transcriptSize)
{
    transcriptBlock = transcript;
    transcriptBlockSize = transcriptSize > consoleCapacity ? transcriptSize : consoleCapacity;
    S.textStart = transcript;
    S.viewStart = transcript;
    S.textEnd = transcript;
    S.inputStart = pendingInput;
    S.inputRead = pendingInput;
    S.inputEnd = pendingInput;
    S.selAnchor = nullptr;
    S.selStart = nullptr;
    S.selEnd = nullptr;
    S.windowHeight = 0;
    S.windowWidth = 0;
    S.drawRow = 0;
    S.screenRows = 24;
    S.drawColumn = 0;
    S.screenColumns = 80;
    S.topRow = 0;
    S.windowShown = 0;
    S.lineReady = 0;
    S.modified = 0;
    S.reading = 0;
    S.showCommand = showValue;
    S.lastRow = 0;
    S.capacity = consoleCapacity;

    consoleAccelerators = nullptr;
    appFinished = 0;
    exitRequested = 0;
    endOfInput = 0;
    recountLastLine();
    caretRow = 0;
    caretColumn = 0;
    keepView = 0;
    anchorAtStart();
}

void forgetRowAnchor()
{
    anchor = {};
}

void setTranscriptText(const char* bytes, int32_t count)
{
    if (!S.textStart) {
        return;
    }
    const int64_t length = count < 0 ? 0 : (count < bufferSize() ? count : bufferSize() - 1);
    char* base = transcriptBlock ? transcriptBlock : S.textStart;
    // The held positions keep their offsets from the start of the text.
    for (int i = 0; char** held = heldPositions(i); i++) {
        if (*held) {
            int64_t offset = *held - S.textStart;
            offset = offset < 0 ? 0 : (offset > length ? length : offset);
            *held = base + offset;
        }
    }
    std::memmove(base, bytes, static_cast<size_t>(length));
    S.textStart = base;
    S.textEnd = base + length;
    anchorAtStart();
    S.lastRow = countRows();
    recountLastLine();
}

void textChangesFrom(const char* position)
{
    if (S.textStart && position) {
        anchorNotAfter(position < S.textStart ? S.textStart : position);
    }
}

namespace {

// makeRoom's work when the text or the block is full: discard old lines,
// move the text down.  Kept out of line, so that the common call stays short.
[[gnu::noinline]] int32_t discardAndMoveDown(int64_t n, int64_t used)
{
    int64_t cut = 0;
    if (used + n + 1 >= bufferSize()) {
        cut = discardCut(n, used);
        discardTop(cut);
    }
    keepBlockRoom(n);
    return static_cast<int32_t>(cut);
}

}  // namespace

int32_t roomBeforeDiscarding()
{
    if (!S.textStart || !S.textEnd) {
        return 0;
    }
    // After each byte appended, makeRoom(1) does nothing while that byte,
    // one more and a terminator fit the window and the block.
    int64_t room = bufferSize() - (S.textEnd - S.textStart) - 3;
    if (transcriptBlock) {
        const int64_t blockRoom = transcriptBlockSize - (S.textEnd - transcriptBlock) - 3;
        room = blockRoom < room ? blockRoom : room;
    }
    return room > 0 ? static_cast<int32_t>(room < INT32_MAX ? room : INT32_MAX) : 0;
}

int32_t makeRoom(int32_t count)
{
    if (!S.textStart || !S.textEnd) {
        return 0;
    }
    const int64_t n = count > 0 ? count : 0;
    const int64_t used = S.textEnd - S.textStart;
    // Nearly every call (one per byte written) finds room in the window and
    // behind the text in the block.
    if (used + n + 1 < bufferSize() &&
        (!transcriptBlock || (S.textEnd - transcriptBlock) + n + 1 < transcriptBlockSize)) {
        return 0;
    }
    return discardAndMoveDown(n, used);
}

int32_t makeRoomAhead(int32_t count, int32_t hidden, const char* limit)
{
    if (!S.textStart || !S.textEnd || hidden < 0) {
        return -1;
    }
    const int64_t n = count > 0 ? count : 0;
    const int64_t used = S.textEnd - S.textStart + hidden;
    const int64_t size = bufferSize();
    if (used + n + 1 < size) {
        return 0;
    }
    // Only a cut through a line break that ends before limit is the same
    // whatever the hidden bytes are.
    if (!(n + 1 < size && n + 1 < used) || !limit || limit > S.textEnd) {
        return -1;
    }
    const char* cr = findBreak(S.textStart + n + 1, limit);
    if (!cr) {
        return -1;
    }
    const int64_t cut = cr + 2 - S.textStart;
    discardTop(cut);
    return static_cast<int32_t>(cut);
}

void deleteText(char* position, int32_t count)
{
    if (!inText(position) || position == S.textEnd || count <= 0) {
        return;
    }
    // A CR LF pair counts as one character: a run that takes the CR takes
    // the LF with it.  The run never goes past the end of the text.
    const int64_t available = S.textEnd - position;
    int64_t bytes = count;
    int64_t i = 0;
    while (i < bytes && i < available) {
        if (isBreak(position + i, S.textEnd)) {
            bytes++;
            i += 2;
        } else {
            i++;
        }
    }
    if (bytes > available) {
        bytes = available;
    }
    removeBytes(position, bytes);
    recountLastLine();
}

char* openGap(char* position, int32_t count)
{
    if (!S.textStart || !S.textEnd) {
        return nullptr;
    }
    if (!inText(position)) {
        position = S.textEnd;
    }
    if (count <= 0) {
        return position;
    }
    // A gap that could not fit even in an empty transcript is refused.
    if (static_cast<int64_t>(count) + 1 >= bufferSize()) {
        return nullptr;
    }
    int64_t offset = position - S.textStart;
    offset -= makeRoom(count);
    if (offset < 0) {
        offset = 0;
    }
    position = S.textStart + offset;
    anchorNotAfter(position);
    std::memmove(position + count, position, static_cast<size_t>(S.textEnd - position));
    S.textEnd += count;
    return position;
}

char* insertText(char* position, const char* bytes, int32_t count)
{
    if (!S.textStart || !S.textEnd || count <= 0) {
        return openGap(position, count);
    }
    if (!inText(position)) {
        position = S.textEnd;
    }
    if (static_cast<int64_t>(count) + 1 >= bufferSize()) {
        return nullptr;
    }
    // Make room first, so that the rows below are counted on the text that
    // stays.  Rows can change only from the start of position's line up to
    // the first line break that begins at or after it.
    int64_t offset = position - S.textStart;
    offset -= makeRoom(count);
    position = S.textStart + (offset > 0 ? offset : 0);
    char* lineStart = lineStartOf(position);
    const char* cr = findBreak(position, S.textEnd);
    const int64_t regionEnd = (cr ? cr + 2 : S.textEnd) - S.textStart;
    const int64_t before = rowsBetween(lineStart, S.textStart + regionEnd);
    const int64_t lineOffset = lineStart - S.textStart;

    char* gap = openGap(position, count);   // room is made: nothing is discarded
    std::memcpy(gap, bytes, static_cast<size_t>(count));

    const int64_t after = rowsBetween(S.textStart + lineOffset, S.textStart + regionEnd + count);
    S.lastRow = clampRow(static_cast<int64_t>(S.lastRow) + after - before);
    recountLastLine();
    return gap;
}

void recountLastLine()
{
    int64_t length = 0;
    if (S.textStart && S.textEnd) {
        // The line as the row mapping sees it: from just after the last CR LF.
        length = S.textEnd - lineStartOf(S.textEnd);
    }
    const int64_t width = rowWidth();
    lineWraps = clampRow(length / width);
    rowFill = static_cast<int32_t>(1 + length % width);
}

int32_t rowLength(const char* position)
{
    if (!inText(position)) {
        return 0;
    }
    const int64_t width = rowWidth();
    int64_t n = 0;
    while (n < width && position + n < S.textEnd && !isBreak(position + n, S.textEnd)) {
        n++;
    }
    return static_cast<int32_t>(n);
}

char* rowColumnToPosition(int32_t row, int32_t column)
{
    if (!S.textStart) {
        return S.textEnd;
    }
    if (static_cast<int64_t>(row) > static_cast<int64_t>(S.lastRow) + 1) {
        return S.textEnd;
    }
    const int64_t wanted = row > 0 ? row : 0;
    const int64_t width = rowWidth();
    checkAnchor();
    char* start = anchor.position;  // a row start, which counts as the start of a line
    int64_t first = anchor.row;     // display row of start
    if (wanted < first) {
        // Back line by line from the anchor's line, or on from the start of
        // the text when that is nearer.
        if (wanted * 2 < first) {
            start = S.textStart;
            first = 0;
        } else {
            start = lineStartOf(anchor.position);
            first -= (anchor.position - start) / width;
            while (first > wanted && start > S.textStart) {
                char* previous = lineStartOf(start - 2);
                first -= 1 + (start - 2 - previous) / width;
                start = previous;
            }
        }
    }
    for (;;) {
        const char* cr = findBreak(start, S.textEnd);
        if (!cr || first + 1 + (cr - start) / width > wanted) {
            // The row lies in this line (or in the unterminated tail).
            const char* lineEnd = cr ? cr : S.textEnd;
            const int64_t rows = wanted - first < (lineEnd - start) / width ? wanted - first : (lineEnd - start) / width;
            char* lineStart = start;
            const int64_t offset = (wanted - first) * width;
            start = offset < S.textEnd - start ? start + offset : S.textEnd;
            anchorAt(lineStart + rows * width, first + rows, lineStart);
            break;
        }
        first += 1 + (cr - start) / width;
        start = const_cast<char*>(cr) + 2;
    }
    const int64_t c = column > 0 ? column : 0;
    return c < S.textEnd - start ? start + c : S.textEnd;
}

void positionToRowColumn(const char* position, int32_t* row, int32_t* column)
{
    int64_t r = 0;
    int64_t c = 0;
    if (S.textStart) {
        if (!position || position < S.textStart) {
            position = S.textStart;
        } else if (position > S.textEnd) {
            position = S.textEnd;
        }
        mapPosition(position, &r, &c);
    }
    if (row) {
        *row = clampRow(r);
    }
    if (column) {
        *column = static_cast<int32_t>(c);
    }
}

int32_t countRows()
{
    if (!S.textStart) {
        return 0;
    }
    return clampRow(rowsBetween(S.textStart, S.textEnd));
}
