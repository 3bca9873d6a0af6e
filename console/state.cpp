// The console's state: the global records, the further globals, and the
// primitives over the transcript buffer (discarding old text, deleting and
// inserting runs of bytes, and mapping between positions and display rows).
//
// Line breaks are CR LF pairs.  A logical line of length L takes
// 1 + L / screenColumns display rows; the unterminated tail of the text takes
// L / screenColumns more rows after the row it starts on.  Every search is
// bounded by textEnd, so the text never needs a terminator written after it.
#include "console/console.h"

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

// Start of the logical line that holds position: just after the last CR LF
// pair that lies wholly before it, or the start of the text.
char* lineStartOf(char* position)
{
    for (char* q = position - 1; q > S.textStart; --q) {
        if (q[0] == '\n' && q[-1] == '\r') {
            return q + 1;
        }
    }
    return S.textStart;
}

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

// Removes count bytes at position (both already checked against the text),
// keeps lastRow right for the rows the removal changes, and moves the held
// positions with the text.
void removeBytes(char* position, int64_t count)
{
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

bool inText(const char* position)
{
    return S.textStart && position && position >= S.textStart && position <= S.textEnd;
}

}  // namespace

void initConsoleState(char* transcript, char* pendingInput, int32_t showValue)
{
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
}

int32_t makeRoom(int32_t count)
{
    if (!S.textStart || !S.textEnd) {
        return 0;
    }
    const int64_t n = count > 0 ? count : 0;
    const int64_t size = bufferSize();
    const int64_t used = S.textEnd - S.textStart;
    if (used + n + 1 < size) {
        return 0;
    }

    // Cut whole lines from the top: through the first line break that begins
    // at or after textStart + n + 1, which discards at least n + 3 bytes.
    int64_t cut = used;
    if (n + 1 < size && n + 1 < used) {
        char* from = S.textStart + n + 1;
        if (const char* cr = findBreak(from, S.textEnd)) {
            cut = cr + 2 - S.textStart;
        } else if (from[-1] == '\r' && from[0] == '\n') {
            // A line break straddles the minimum cut: cut just after it.
            cut = n + 2;
        } else {
            // No line break left to cut at: the rest is one unterminated
            // line.  Cut whole display rows from its start, so that the rows
            // kept still wrap where they did.
            char* lineStart = lineStartOf(from);
            const int64_t width = rowWidth();
            const int64_t rows = (from - lineStart + width - 1) / width;
            cut = (lineStart - S.textStart) + rows * width;
            if (cut > used) {
                cut = used;
            }
        }
    }

    // A selection (or a started drag) whose text is discarded goes with it.
    char* kept = S.textStart + cut;
    if (S.selStart && ((S.selEnd && S.selEnd <= kept) || (!S.selEnd && S.selStart < kept))) {
        S.selAnchor = nullptr;
        S.selStart = nullptr;
        S.selEnd = nullptr;
    }
    removeBytes(S.textStart, cut);
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
    char* regionEnd = cr ? const_cast<char*>(cr) + 2 : S.textEnd;
    const int64_t before = rowsBetween(lineStart, regionEnd);

    char* gap = openGap(position, count);   // room is made: nothing is discarded
    std::memcpy(gap, bytes, static_cast<size_t>(count));

    const int64_t after = rowsBetween(lineStart, regionEnd + count);
    S.lastRow = clampRow(static_cast<int64_t>(S.lastRow) + after - before);
    recountLastLine();
    return gap;
}

void recountLastLine()
{
    int64_t length = 0;
    if (S.textStart && S.textEnd) {
        // The line as the row mapping sees it: from just after the last CR LF.
        const char* start = S.textEnd;
        while (start > S.textStart && !(start[-1] == '\n' && start - 1 > S.textStart && start[-2] == '\r')) {
            start--;
        }
        length = S.textEnd - start;
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
    char* start = S.textStart;
    int64_t first = 0;  // display row of start
    for (;;) {
        const char* cr = findBreak(start, S.textEnd);
        if (!cr || first + 1 + (cr - start) / width > wanted) {
            // The row lies in this line (or in the unterminated tail).
            const int64_t offset = (wanted - first) * width;
            start = offset < S.textEnd - start ? start + offset : S.textEnd;
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
        rowsFrom(S.textStart, position, &r, &c);
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
