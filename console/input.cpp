// Console input: the read hook that hands the typed line to standard input,
// and the character handler that fills the pending line while a reader waits
// and edits the transcript at the caret otherwise.
#include "console/console.h"
#include "runtime/runtime.h"

#include <cstring>

namespace {

enum : char { ctrlC = charCtrlC, ctrlD = charCtrlD, backspace = charBackspace, tab = charTab, enter = charReturn,
              ctrlZ = charCtrlZ };

int32_t pendingCount() { return static_cast<int32_t>(ConsoleState.inputEnd - ConsoleState.inputStart); }

void beep() { plMessageBeep(0); }

void invalidateWindow() { plInvalidateRect(consoleWindow, nullptr, 1); }

// Removes the selected bytes and puts the caret where the selection began.
void deleteSelection()
{
    char* start = ConsoleState.selStart;
    char* end = ConsoleState.selEnd;
    if (end < start) {
        char* swap = start;
        start = end;
        end = swap;
    }
    if (end > ConsoleState.textEnd) {
        end = ConsoleState.textEnd;
    }
    if (start < ConsoleState.textStart) {
        start = ConsoleState.textStart;
    }
    if (start < end) {
        // A CR LF pair wholly inside the selection counts as one character.
        int32_t count = static_cast<int32_t>(end - start);
        for (char* p = start; p + 1 < end; p++) {
            if (p[0] == '\r' && p[1] == '\n') {
                count--;
                p++;
            }
        }
        deleteText(start, count);
        positionToRowColumn(start, &caretRow, &caretColumn);
    }
    ConsoleState.selStart = nullptr;
    ConsoleState.selEnd = nullptr;
}

// Backspace on the pending line: drops its last byte unless that byte has
// already been handed to a reader or ends a line.  A bell left nothing in
// the transcript or on the screen, so there is nothing there to take back.
void pendingBackspace(plHdc dc)
{
    if (ConsoleState.inputEnd > ConsoleState.inputRead && ConsoleState.inputEnd[-1] != '\n') {
        ConsoleState.inputEnd--;
        if (*ConsoleState.inputEnd == '\a') {
            return;
        }
        const char source[2] = {backspace, 0};
        storeChar(source, ConsoleState.textEnd);
        drawCharacter(dc, backspace, &caretRow, &caretColumn);
    }
}

// A key while a reader waits: it goes to the pending line and is echoed at
// the end of the transcript.
void typeIntoLine(plHdc dc, char c)
{
    switch (c) {
    case ctrlD:
    case ctrlZ:
        endOfInput = 1;
        ConsoleState.lineReady = 1;
        return;
    case backspace:
        pendingBackspace(dc);
        return;
    case enter: {
        if (pendingCount() + 2 > consoleInputSize) {
            beep();
            return;
        }
        *ConsoleState.inputEnd++ = '\r';
        *ConsoleState.inputEnd++ = '\n';
        const char pair[2] = {'\r', '\n'};
        storeChar(pair, ConsoleState.textEnd);
        storeChar(pair + 1, ConsoleState.textEnd);
        drawCharacter(dc, '\r', &caretRow, &caretColumn);
        drawCharacter(dc, '\n', &caretRow, &caretColumn);
        ConsoleState.lineReady = 1;
        return;
    }
    default: {
        if (pendingCount() >= consoleInputLimit) {
            beep();
            return;
        }
        *ConsoleState.inputEnd++ = c;
        const char source[2] = {c, 0};
        storeChar(source, ConsoleState.textEnd);
        drawCharacter(dc, c, &caretRow, &caretColumn);
        return;
    }
    }
}

// Moves the caret to where position now stands.
void caretTo(const char* position) { positionToRowColumn(position, &caretRow, &caretColumn); }

// Where a key typed while no reader waits acts: where the caret is shown, a
// column beyond the end of a short row standing at that row's end.
char* typingPosition()
{
    char* rowStart = rowColumnToPosition(caretRow, 0);
    int32_t length = rowLength(rowStart);
    if (caretColumn > length) {
        caretColumn = length;
    }
    return rowColumnToPosition(caretRow, caretColumn);
}

bool rowOutOfView(int64_t row)
{
    return row < ConsoleState.topRow || row > static_cast<int64_t>(ConsoleState.topRow) + ConsoleState.screenRows;
}

// The caret left the view: the view centres on its row.
void centreOnCaret()
{
    int32_t top = caretRow - ConsoleState.screenRows / 2;
    ConsoleState.topRow = top > 0 ? top : 0;
    plSendMessage(consoleWindow, WM_VSCROLL, consoleApplyScroll, 0);
}

// Stores one character at p and puts the caret after it.  The caret is found
// again from the position, so it follows the text when making room moved it
// and steps onto the next display row when the character filled a row.
void insertCharacter(char c, char* p)
{
    const char source[2] = {c, 0};
    char* after = storeCharAt(source, p);
    invalidateWindow();
    caretTo(after);
}

// A key while no reader waits: it edits the transcript at p, the caret's
// position.
void editTranscript(plHdc dc, char c, char* p)
{
    switch (c) {
    case ctrlD:
    case ctrlZ:
        return;
    case backspace:
        if (p >= ConsoleState.textEnd) {
            pendingBackspace(dc);
        } else if (caretColumn > 0) {
            const char source[2] = {backspace, 0};
            storeChar(source, p - 1);
            caretColumn--;
        } else if (p > ConsoleState.textStart) {
            // At the start of a row: join it to the row above.  Only a real
            // line break is removed as a pair; a wrapped row loses the one
            // character before the caret.
            const char source[2] = {backspace, 0};
            if (p - ConsoleState.textStart >= 2 && p[-2] == '\r' && p[-1] == '\n') {
                storeChar(source, p - 2);
                caretTo(p - 2);
            } else {
                storeChar(source, p - 1);
                caretTo(p - 1);
            }
        }
        return;
    case tab:
        if (ConsoleSettings.tabWidth > 0) {
            int32_t width = ConsoleSettings.tabWidth;
            int32_t spaces = width - caretColumn % width;
            if (spaces > consoleInputSize) {
                spaces = consoleInputSize;
            }
            char blanks[consoleInputSize];
            std::memset(blanks, ' ', static_cast<size_t>(spaces));
            char* gap = insertText(p, blanks, spaces);
            ConsoleState.modified = 1;
            invalidateWindow();
            caretTo(gap + spaces);
        } else {
            insertCharacter(tab, p);
        }
        return;
    case enter: {
        const char pair[2] = {'\r', '\n'};
        char* after = storeCharAt(pair, p);
        after = storeCharAt(pair + 1, after);
        invalidateWindow();
        caretTo(after);
        return;
    }
    default:
        insertCharacter(c, p);
        return;
    }
}

// Characters the handler gives no meaning of their own outside a read: each
// is stored where it is typed and moves the caret on by one.
bool ordinaryKey(char c)
{
    switch (c) {
    case ctrlC:
    case ctrlD:
    case charBell:
    case backspace:
    case tab:
    case charLineFeed:
    case charFormFeed:
    case enter:
    case ctrlZ:
        return false;
    default:
        return true;
    }
}

// The end of the logical line that holds position: the CR of the first CR
// LF pair at or after it, or the end of the text.
const char* lineEndOf(const char* position)
{
    const char* end = ConsoleState.textEnd;
    for (const char* p = position; p + 1 < end;) {
        const void* hit = std::memchr(p + 1, '\n', static_cast<size_t>(end - (p + 1)));
        if (!hit) {
            break;
        }
        const char* lf = static_cast<const char*>(hit);
        if (lf[-1] == '\r') {
            return lf - 1;
        }
        p = lf;
    }
    return end;
}

// A run typed at the end of the text: each character is appended as the
// handler appends it, the caret follows and the view keeps it in sight.
void appendRun(const char* bytes, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        const char source[2] = {bytes[i], 0};
        storeCharAt(source, ConsoleState.textEnd);
        caretTo(ConsoleState.textEnd);
        if (rowOutOfView(caretRow)) {
            centreOnCaret();
        }
    }
}

// A run typed inside the text.  Typed one by one, each character would be
// inserted after the one before, moving the rest of the text each time; here
// the characters wait (hidden) and go in together whenever the text must be
// seen as it would stand: when discarding old lines reaches their line, when
// the view moves, and at the end.  Between those moments the caret, the rows
// and the discarding are worked out as the handler works them out.  Returns
// how many characters it took: it stops where the next one would not go just
// after the last (a caret row beyond the rows counted), for the handler.
size_t insertRun(const char* bytes, size_t count, char* p)
{
    const int64_t width = ConsoleState.screenColumns > 0 ? ConsoleState.screenColumns : 1;
    // p's logical line: its start, its first display row, its length, and
    // how far into it p stands (all with the hidden characters).
    char* lineStart = nullptr;
    int64_t lineRow = 0;
    int64_t length = 0;
    int64_t offset = 0;
    const auto measure = [&]() {
        lineStart = lineStartOf(p);
        offset = p - lineStart;
        length = lineEndOf(p) - lineStart;
        int32_t row = 0;
        int32_t column = 0;
        positionToRowColumn(p, &row, &column);
        lineRow = row - offset / width;
    };
    measure();

    size_t first = 0;          // the first hidden character
    int32_t hidden = 0;
    int64_t hiddenRows = 0;    // rows the hidden characters add to lastRow
    int64_t lowestRange = INT64_MAX;   // the lowest scroll range set since they were hidden
    int64_t row = caretRow;
    int64_t column = caretColumn;
    const auto store = [&]() {
        if (hidden > 0) {
            char* gap = insertText(p, bytes + first, hidden);
            p = gap + hidden;
            // The scroll range as the handler leaves it, set once per
            // character: its position went no higher than the lowest.
            plSetScrollRange(consoleWindow, SB_VERT, 0, static_cast<int>(lowestRange), 0);
            plSetScrollRange(consoleWindow, SB_VERT, 0, ConsoleState.lastRow, 0);
            hidden = 0;
            hiddenRows = 0;
            lowestRange = INT64_MAX;
            measure();
        }
        caretRow = static_cast<int32_t>(row);
        caretColumn = static_cast<int32_t>(column);
    };

    for (size_t i = 0; i < count; i++) {
        if (i > 0 && row > static_cast<int64_t>(ConsoleState.lastRow) + hiddenRows + 1) {
            store();
            return i;
        }
        // Room for one more, as storing one character inside the text makes it.
        const int32_t rowsBefore = ConsoleState.lastRow;
        const int32_t cut = makeRoomAhead(1, hidden, lineStart);
        if (cut < 0) {
            store();
            int64_t at = p - ConsoleState.textStart;
            at -= makeRoom(1);
            p = ConsoleState.textStart + (at > 0 ? at : 0);
            measure();
        } else if (cut > 0) {
            lineRow -= rowsBefore - ConsoleState.lastRow;
        }
        if (hidden == 0) {
            first = i;
        }
        hidden++;
        offset++;
        length++;
        if (length % width == 0) {
            hiddenRows++;
        }
        const int64_t lastRow = ConsoleState.lastRow + hiddenRows;
        lowestRange = lastRow < lowestRange ? lastRow : lowestRange;
        row = lineRow + offset / width;
        column = offset % width;
        if (rowOutOfView(row)) {
            store();
            centreOnCaret();
        }
    }
    store();
    return count;
}

// Ordinary characters typed while no reader waits and no selection is
// present, after the first of their run went through the handler: stored as
// the handler would store them one by one.  Returns how many it took.
size_t typeRun(const char* bytes, size_t count)
{
    char* p = typingPosition();
    keepView = 1;
    plHideCaret(consoleWindow);
    plHdc dc = plGetDC(consoleWindow);
    plSelectObject(dc, selectConsoleFont(dc, 0));
    ConsoleState.modified = 1;
    size_t taken = count;
    if (p == ConsoleState.textEnd) {
        appendRun(bytes, count);
    } else {
        taken = insertRun(bytes, count, p);
    }
    invalidateWindow();
    placeCaret(caretRow, caretColumn);
    plReleaseDC(consoleWindow, dc);
    return taken;
}

}  // namespace

void inputCharacter(plWparam character)
{
    const char c = static_cast<char>(character & 0xFF);

    if (c == ctrlC) {
        if (!appFinished && ConsoleState.selStart == nullptr) {
            rt_raise(RT_SIGINT);
        } else {
            plSendMessage(consoleWindow, WM_COMMAND, commandCopy, 0);
        }
        return;
    }

    if (ConsoleState.selStart && ConsoleState.selEnd) {
        deleteSelection();
        if (c == backspace) {
            plHideCaret(consoleWindow);
            invalidateWindow();
            placeCaret(caretRow, caretColumn);
            return;
        }
    }

    char* p;
    if (ConsoleState.reading) {
        p = ConsoleState.textEnd;
        caretTo(p);
        keepView = 0;
    } else {
        p = typingPosition();
        keepView = 1;
    }

    plHideCaret(consoleWindow);
    plHdc dc = plGetDC(consoleWindow);
    plSelectObject(dc, selectConsoleFont(dc, 0));

    if (ConsoleState.reading) {
        typeIntoLine(dc, c);
    } else {
        editTranscript(dc, c, p);
    }

    if (rowOutOfView(caretRow)) {
        centreOnCaret();
    } else if (ConsoleState.drawRow > ConsoleState.screenRows) {
        invalidateWindow();
    }
    placeCaret(caretRow, caretColumn);
    plReleaseDC(consoleWindow, dc);
}

int consoleReadHook(char* buffer, uint32_t capacity, uint32_t* count)
{
    *count = 0;
    // A window that is gone can deliver nothing more: end of input.
    if (!plIsWindow(consoleWindow)) {
        return 1;
    }
    showConsoleWindow(0);
    // End of input is final, but what was typed before it is still handed over.
    if (endOfInput && ConsoleState.inputRead == ConsoleState.inputEnd) {
        return 1;
    }
    ConsoleState.reading = 1;
    // Shortcuts are not translated while a line is typed: their control
    // characters go to the character handler.
    messagePump lineWait = {};
    lineWait.wait = 1;
    lineWait.until = &ConsoleState.lineReady;
    lineWait.abandon = &appFinished;
    const pumpResult result = runMessagePump(lineWait);
    if (result == pumpAbandoned) {
        ConsoleState.reading = 0;
        return 1;
    }
    if (result == pumpQuit && !ConsoleState.lineReady) {
        // The window was closed while the application waited for a line.
        rt_exit(1);
    }
    uint32_t copied = 0;
    while (copied < capacity && ConsoleState.inputRead < ConsoleState.inputEnd) {
        buffer[copied++] = *ConsoleState.inputRead++;
    }
    *count = copied;
    if (ConsoleState.inputRead >= ConsoleState.inputEnd) {
        ConsoleState.lineReady = 0;
        ConsoleState.inputRead = ConsoleState.inputStart;
        ConsoleState.inputEnd = ConsoleState.inputStart;
    }
    ConsoleState.reading = 0;
    return 1;
}

void inputCharacters(plHwnd window, const char* bytes, size_t count)
{
    size_t i = 0;
    while (i < count) {
        size_t end = i;
        while (end < count && ordinaryKey(bytes[end])) {
            end++;
        }
        // Every control character, the first character of every run, and
        // everything typed while a reader waits goes through the handler.
        do {
            plSendMessage(window, WM_CHAR, static_cast<unsigned char>(bytes[i]), 0);
            i++;
            if (i < end && window == consoleWindow && plIsWindow(window) && !ConsoleState.reading &&
                !(ConsoleState.selStart && ConsoleState.selEnd)) {
                i += typeRun(bytes + i, end - i);
            }
        } while (i < end);
    }
}
