// Console output: the write hook, the write-text message and storeChar, which
// stores one byte in the transcript with the control-character rules.
#include "console/console.h"

#include <cstring>

namespace {

// Upper bounds that keep a single store well inside the transcript whatever
// the settings and the window size say.
const int32_t maxTabSpaces = consoleCapacity / 8;
const int32_t maxFormFeedRows = consoleCapacity / 8;

char* endOfText() { return ConsoleState.textEnd; }

// Raises lastRow by one and lets the scroll bar reach the new row.
void countRow()
{
    ConsoleState.lastRow++;
    plSetScrollRange(consoleWindow, SB_VERT, 0, ConsoleState.lastRow, 0);
}

// Takes back rows counted for the last line; never below the first row.
void uncountRows(int32_t rows)
{
    ConsoleState.lastRow = ConsoleState.lastRow > rows ? ConsoleState.lastRow - rows : 0;
}

// Pointers that outlive a removal from the end of the text must not point
// past it.
void clampToEnd(char*& position)
{
    if (position && position > ConsoleState.textEnd) {
        position = ConsoleState.textEnd;
    }
}

void truncateText(char* newEnd)
{
    textChangesFrom(newEnd);
    ConsoleState.textEnd = newEnd;
    clampToEnd(ConsoleState.viewStart);
    clampToEnd(ConsoleState.selAnchor);
    clampToEnd(ConsoleState.selStart);
    clampToEnd(ConsoleState.selEnd);
}

// Appends count bytes of value at the end; the caller made room.
void appendBytes(char value, int32_t count)
{
    std::memset(ConsoleState.textEnd, value, static_cast<size_t>(count));
    ConsoleState.textEnd += count;
}

// Discarding old lines from the top moves every row that stays up by the
// rows discarded; the caret's row goes up with its text, so that output and
// typing keep it where they draw.
void followDiscarded(int32_t rowsBefore)
{
    const int32_t gone = rowsBefore - ConsoleState.lastRow;
    if (gone > 0) {
        caretRow = caretRow > gone ? caretRow - gone : 0;
    }
}

void keepRoom(int32_t count)
{
    const int32_t rows = ConsoleState.lastRow;
    makeRoom(count);
    followDiscarded(rows);
}

// Inserts one byte at position (inside the text); returns the position after
// it.  The rows the line takes are counted again; callers find the caret
// from the position returned.
char* insertByte(char* position, char value)
{
    char* gap = insertText(position, &value, 1);
    plSetScrollRange(consoleWindow, SB_VERT, 0, ConsoleState.lastRow, 0);
    return gap + 1;
}

// Counts count characters just appended to the last line: a wrapped row
// each time the row overflows.  rowFill runs one ahead of the row's
// characters after a line break (it counts the LF); a wrap starts the next
// row the same way, so every row of a long line holds screenColumns
// characters and the count does not fall behind the rows drawn.
void countStored(int32_t count)
{
    while (count > 0) {
        // Characters until the row overflows: the one that overflows it
        // starts the next row.
        int32_t toWrap = ConsoleState.screenColumns - rowFill + 1;
        if (toWrap < 1) {
            toWrap = 1;
        }
        if (count < toWrap) {
            rowFill += count;
            return;
        }
        count -= toWrap;
        countRow();
        rowFill = 1;
        lineWraps++;
    }
}

// The ordinary rule at the end of the text: append, keep room, count.
char* appendOrdinary(char value)
{
    *ConsoleState.textEnd++ = value;
    keepRoom(1);
    countStored(1);
    return ConsoleState.textEnd;
}

// Appends a run of ordinary bytes at the end, as storing them one by one
// would: the bytes that need no room made go in together, the one that
// does goes the ordinary way.
void appendOrdinaryRun(const char* bytes, int32_t count)
{
    ConsoleState.modified = 1;
    while (count > 0) {
        int32_t together = roomBeforeDiscarding();
        if (together > count) {
            together = count;
        }
        if (together > 0) {
            std::memcpy(ConsoleState.textEnd, bytes, static_cast<size_t>(together));
            ConsoleState.textEnd += together;
            countStored(together);
            bytes += together;
            count -= together;
            continue;
        }
        appendOrdinary(*bytes++);
        count--;
    }
}

int32_t tabSpaces(int32_t width)
{
    int32_t column = ConsoleState.drawColumn > 0 ? ConsoleState.drawColumn : 0;
    int32_t spaces = width - column % width;
    return spaces < maxTabSpaces ? spaces : maxTabSpaces;
}

}  // namespace

char* storeCharAt(const char* source, char* position)
{
    ConsoleState.modified = 1;
    if (position < ConsoleState.textStart || position > ConsoleState.textEnd) {
        position = ConsoleState.textEnd;
    }
    const bool atEnd = position == endOfText();
    const char c = *source;
    switch (c) {
    case charBell:
        return position;
    case charBackspace:
        if (!atEnd) {
            deleteText(position, 1);
            return position;
        }
        if (ConsoleState.textEnd > ConsoleState.textStart && ConsoleState.textEnd[-1] != '\n') {
            truncateText(ConsoleState.textEnd - 1);
            // The row fill goes back with the character, so that writing
            // and erasing in place never counts rows the text does not take.
            if (rowFill > 1) {
                rowFill--;
            } else if (lineWraps > 0) {
                // The character ended the row above, which wrapped.
                uncountRows(1);
                lineWraps--;
                rowFill = ConsoleState.screenColumns;
            } else if (rowFill > 0) {
                rowFill--;
            }
        }
        return ConsoleState.textEnd;
    case charTab:
        if (!atEnd) {
            return insertByte(position, '\t');
        }
        if (ConsoleSettings.tabWidth > 0) {
            int32_t room = ConsoleSettings.tabWidth < maxTabSpaces ? ConsoleSettings.tabWidth : maxTabSpaces;
            int32_t spaces = tabSpaces(ConsoleSettings.tabWidth);
            keepRoom(room);
            appendBytes(' ', spaces);
            countStored(spaces);
        } else {
            keepRoom(1);
            appendBytes('\t', 1);
            countStored(1);
        }
        return ConsoleState.textEnd;
    case charLineFeed:
        if (!atEnd) {
            return insertByte(position, '\n');
        }
        countRow();
        rowFill = 0;
        lineWraps = 0;
        return appendOrdinary('\n');
    case charFormFeed: {
        if (!atEnd) {
            return position;
        }
        int32_t rows = ConsoleState.screenRows > 0 ? ConsoleState.screenRows : 0;
        if (rows > maxFormFeedRows) {
            rows = maxFormFeedRows;
        }
        keepRoom(2 * rows);
        for (int32_t i = 0; i < rows; i++) {
            appendBytes('\r', 1);
            appendBytes('\n', 1);
        }
        ConsoleState.lastRow += rows;
        recountLastLine();   // a new, empty line
        plSetScrollRange(consoleWindow, SB_VERT, 0, ConsoleState.lastRow, 0);
        return ConsoleState.textEnd;
    }
    case charReturn:
        if (!atEnd) {
            return insertByte(position, '\r');
        }
        if (source[1] == charLineFeed) {
            appendBytes('\r', 1);
            keepRoom(1);
            return ConsoleState.textEnd;
        }
        {
            // A lone CR returns to the start of the line: what follows
            // overwrites it, as it does on the screen.  The wrapped rows the
            // removed text took go with it.
            char* lineStart = ConsoleState.textEnd;
            while (lineStart > ConsoleState.textStart && lineStart[-1] != '\n') {
                lineStart--;
            }
            recountLastLine();
            const int32_t wrapsBefore = lineWraps;
            truncateText(lineStart);
            recountLastLine();
            uncountRows(wrapsBefore - lineWraps);
            shownTop = -1;
        }
        return ConsoleState.textEnd;
    default:
        if (!atEnd) {
            return insertByte(position, c);
        }
        return appendOrdinary(c);
    }
}

void storeChar(const char* source, char* position)
{
    storeCharAt(source, position);
}

void outputWriteText(const char* bytes, uint32_t count)
{
    plHdc dc = plGetDC(consoleWindow);
    ConsoleState.selStart = nullptr;
    ConsoleState.selEnd = nullptr;
    plHideCaret(consoleWindow);
    plSelectObject(dc, selectConsoleFont(dc, 0));
    for (uint32_t i = 0; i < count;) {
        // Ordinary bytes up to the end of the draw row are stored one by one
        // and then drawn as one run: storing never looks at the draw
        // position, and drawing them one by one would move it only at the
        // end of the row.
        const uint32_t left = count - i;
        const int32_t run = ordinaryRun(bytes + i, left < 0x7FFFFFFFu ? static_cast<int32_t>(left) : 0x7FFFFFFF);
        if (run > 0) {
            appendOrdinaryRun(bytes + i, run);
            drawRun(dc, bytes + i, run, &caretRow, &caretColumn);
            i += static_cast<uint32_t>(run);
            continue;
        }
        // The look-ahead of a CR never reads past the run: the last byte is
        // stored from a copy followed by a NUL.
        char last[2] = {bytes[i], 0};
        const char* source = i + 1 < count ? bytes + i : last;
        storeCharAt(source, ConsoleState.textEnd);
        drawCharacter(dc, bytes[i], &caretRow, &caretColumn);
        i++;
    }
    placeCaret(caretRow, caretColumn);
    plReleaseDC(consoleWindow, dc);
}

void consoleWriteHook(const char* bytes, uint32_t count)
{
    // Once the window is gone, output has nowhere to go.
    if (!plIsWindow(consoleWindow)) {
        return;
    }
    showConsoleWindow(1);
    plSendMessage(consoleWindow, consoleWriteTextMessage, reinterpret_cast<plWparam>(bytes),
                  static_cast<plLparam>(count));
    pumpMessages();
}
