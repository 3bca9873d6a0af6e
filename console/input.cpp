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
        // Typing goes where the caret is shown: a column beyond the end of a
        // short row stands at that row's end.
        char* rowStart = rowColumnToPosition(caretRow, 0);
        int32_t length = rowLength(rowStart);
        if (caretColumn > length) {
            caretColumn = length;
        }
        p = rowColumnToPosition(caretRow, caretColumn);
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

    if (caretRow < ConsoleState.topRow || caretRow > ConsoleState.topRow + ConsoleState.screenRows) {
        int32_t top = caretRow - ConsoleState.screenRows / 2;
        ConsoleState.topRow = top > 0 ? top : 0;
        plSendMessage(consoleWindow, WM_VSCROLL, consoleApplyScroll, 0);
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
