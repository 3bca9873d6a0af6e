// The console's display: the console font and the character cell, drawing
// one transcript byte at the draw position, the caret, and the window's
// handling of creation, size, paint, focus, the scroll bar, the navigation
// keys and the mouse (selection).
//
// The window is a fixed-pitch grid: column c of window row r has its top-left
// corner at (5 + c * cellWidth, r * cellHeight).  It shows screenRows display
// rows from topRow on.
#include "console/console.h"

#include <cstring>

int32_t pressRow = -1;
int32_t pressColumn = -1;
int64_t shownTop = -1;
plHfont cachedFont;
char cachedFontName[32];
int32_t cachedFontSize;

namespace {

ConsoleStateRecord& S = ConsoleState;

enum { leftMargin = consoleTextMargin, caretWidth = 2 };
const plColor black = plRgb(0, 0, 0);
const plColor white = plRgb(255, 255, 255);

// Set while a repaint draws the visible rows: what it draws past the bottom
// of the window is simply not shown, and must not scroll the window (that
// would ask for the same repaint again).
bool painting;

int32_t clamp32(int64_t value)
{
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    return value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

void invalidateWindow()
{
    if (consoleWindow) {
        plInvalidateRect(consoleWindow, nullptr, 1);
    }
}

// Rows of the window, the partly shown one at the bottom included.
int64_t windowRows()
{
    return cellHeight > 0 ? (static_cast<int64_t>(S.windowHeight) + cellHeight - 1) / cellHeight : 0;
}

// The window's pixels move up by rows display rows (down when negative): the
// window moves what it shows itself and asks to paint only what it uncovers.
// When what it shows is not known, or nothing would stay, it is painted whole.
void scrollView(int64_t rows)
{
    if (rows == 0) {
        return;
    }
    const int64_t count = rows > 0 ? rows : -rows;
    if (shownTop < 0 || count >= windowRows() || !consoleWindow) {
        invalidateWindow();
        return;
    }
    shownTop += rows;
    if (!plScrollWindowEx(consoleWindow, 0, clamp32(-rows * cellHeight), nullptr, nullptr, nullptr, nullptr,
                          SW_INVALIDATE | SW_ERASE)) {
        invalidateWindow();
    }
}

// Fits screenRows and screenColumns to the window and the cell.  A count that
// would fall below 1 (a minimised or very narrow window, or a cell not yet
// measured) keeps the previous one: the row mapping divides by the columns.
void fitLayout()
{
    if (cellHeight > 0) {
        const int32_t rows = S.windowHeight / cellHeight;
        if (rows >= 1) {
            S.screenRows = rows;
        }
    }
    if (cellWidth > 0) {
        const int32_t columns = (S.windowWidth - 2 * leftMargin) / cellWidth;
        if (columns >= 1) {
            S.screenColumns = columns;
        }
    }
}

int caretX(int64_t column)
{
    return clamp32(column * cellWidth + leftMargin);
}

int caretY(int64_t row)
{
    return clamp32((row - S.topRow) * cellHeight);
}

bool caretInView()
{
    return caretRow >= S.topRow && static_cast<int64_t>(caretRow) <= static_cast<int64_t>(S.topRow) + S.screenRows;
}

int32_t centredTop()
{
    const int32_t top = caretRow - S.screenRows / 2;
    return top > 0 ? top : 0;
}

void sendScroll(uint32_t code)
{
    plSendMessage(consoleWindow, WM_VSCROLL, code, 0);
}

int32_t rowLengthOf(int32_t row)
{
    return rowLength(rowColumnToPosition(row, 0));
}

// The window row and column under a pointer: client pixels, x in the low 16
// bits and y in the high 16 bits.  The margin is not subtracted, so the
// right-most pixels of a cell count as the next column.
void pointerCell(plLparam lParam, int32_t* row, int32_t* column)
{
    const int32_t x = static_cast<int16_t>(plLoWord(static_cast<uintptr_t>(lParam)));
    const int32_t y = static_cast<int16_t>(plHiWord(static_cast<uintptr_t>(lParam)));
    *row = cellHeight > 0 && y > 0 ? y / cellHeight : 0;
    *column = cellWidth > 0 && x > 0 ? x / cellWidth : 0;
}

char* pointerPosition(int32_t row, int32_t column)
{
    return rowColumnToPosition(clamp32(static_cast<int64_t>(row) + S.topRow), column);
}

// The draw position ran below the window: scroll the view by the overflow.
// The draw position moves up with the view, so the next byte drawn on the
// same row does not scroll it again.
void scrollForOverflow()
{
    if (painting || S.drawRow <= S.screenRows) {
        return;
    }
    const int32_t k = S.drawRow - S.screenRows;
    S.topRow = clamp32(static_cast<int64_t>(S.topRow) + k);
    plSetScrollPos(consoleWindow, SB_VERT, S.topRow, 1);
    if (S.viewStart && S.textEnd) {
        for (int32_t passed = 0; passed < k && S.viewStart < S.textEnd;) {
            const void* hit = std::memchr(S.viewStart, '\n', static_cast<size_t>(S.textEnd - S.viewStart));
            if (!hit) {
                S.viewStart = S.textEnd;
                break;
            }
            S.viewStart = static_cast<char*>(const_cast<void*>(hit)) + 1;
            passed++;
        }
    }
    S.drawRow = S.screenRows;
    scrollView(k);
}

// The view a repaint shows: the end of the text (the view rule) unless the
// user holds the view.  The window's pixels move with a view that follows
// the end, so that only the rows that uncovers are drawn on the screen; a
// view the user holds may start inside a display row, and is drawn whole.
void placeView(bool followsEnd)
{
    if (!followsEnd) {
        invalidateWindow();
        return;
    }
    const int64_t top = static_cast<int64_t>(S.lastRow) + viewSlackRows - S.screenRows;
    S.topRow = top > 0 ? clamp32(top) : 0;
    S.viewStart = rowColumnToPosition(S.topRow, 0);
    if (shownTop >= 0) {
        scrollView(static_cast<int64_t>(S.topRow) - shownTop);
    } else {
        invalidateWindow();
    }
}

// Draws count ordinary bytes from the draw position on, all in its row: one
// text call, then the draw position moves on, onto the next row when the
// row is full.
void drawOrdinary(plHdc dc, const char* bytes, int32_t count, int32_t* row, int32_t* column)
{
    plTextOut(dc, caretX(S.drawColumn), clamp32(static_cast<int64_t>(S.drawRow) * cellHeight), bytes, count);
    S.drawColumn += count;
    *column += count;
    if (S.drawColumn >= S.screenColumns) {
        S.drawColumn = 0;
        S.drawRow++;
        *column = 0;
        ++*row;
    }
    scrollForOverflow();
}

}  // namespace

plHfont selectConsoleFont(plHdc dc, int style)
{
    const ConsoleSettingsRecord& settings = ConsoleSettings;
    // Asked once per character drawn: the cached name is a copy of the whole
    // setting, so comparing the whole buffer is as good as comparing names.
    if (cachedFont && settings.fontSize == cachedFontSize &&
        (std::memcmp(settings.fontName, cachedFontName, sizeof cachedFontName) == 0 ||
         std::strncmp(settings.fontName, cachedFontName, sizeof cachedFontName) == 0)) {
        return cachedFont;
    }

    const int saved = plSaveDC(dc);
    char previousName[sizeof cachedFontName];
    std::memcpy(previousName, cachedFontName, sizeof previousName);
    const int32_t previousSize = cachedFontSize;
    std::memcpy(cachedFontName, settings.fontName, sizeof cachedFontName);
    cachedFontSize = settings.fontSize;
    plSetGraphicsMode(dc, GM_ADVANCED);
    plModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    plSetViewportOrgEx(dc, 0, 0, nullptr);
    plSetWindowOrgEx(dc, 0, 0, nullptr);

    // The character height: the point size in tenths of a pixel at the
    // context's vertical resolution, then to logical units and rounded.
    const int64_t dpiY = plGetDeviceCaps(dc, LOGPIXELSY);
    const int64_t tenths = static_cast<int64_t>(settings.fontSize) * 10 * dpiY / 72;
    plPoint point = {0, clamp32(tenths)};
    plDPtoLP(dc, &point, 1);
    const int64_t magnitude = point.y < 0 ? -static_cast<int64_t>(point.y) : point.y;
    const int height = static_cast<int>(static_cast<double>(magnitude) * 0.1 + 0.5);

    char face[sizeof cachedFontName + 1];
    std::memcpy(face, settings.fontName, sizeof cachedFontName);
    face[sizeof cachedFontName] = 0;
    // A fixed-pitch face of the modern family: where the named face is
    // missing, the system then still picks one whose cells make a grid.
    plHfont font = plCreateFont(-height, 0, 0, 0, (style & 1) ? FW_BOLD : FW_DONTCARE, (style & 2) ? 1 : 0,
                                (style & 4) ? 1 : 0, (style & 8) ? 1 : 0, ANSI_CHARSET, 0, 0, 0,
                                FIXED_PITCH | FF_MODERN, face);
    if (!font) {
        // No new font: keep drawing with the one we had, and try again next time.
        std::memcpy(cachedFontName, previousName, sizeof cachedFontName);
        cachedFontSize = previousSize;
        plRestoreDC(dc, saved);
        return cachedFont;
    }
    cachedFont = font;
    plSelectObject(dc, font);

    plTextMetric metrics = {};
    if (plGetTextMetrics(dc, &metrics)) {
        // A cell of no width or height would leave nothing to divide by:
        // such a measurement keeps the previous cell.
        if (metrics.aveCharWidth > 0) {
            cellWidth = metrics.aveCharWidth;
        }
        if (metrics.height + metrics.externalLeading > 0) {
            cellHeight = metrics.height + metrics.externalLeading;
        }
    }
    plRestoreDC(dc, saved);

    // Re-fit the layout to the new cell, keeping the bottom row in place.
    const int32_t oldRows = S.screenRows;
    fitLayout();
    if (S.screenRows > S.drawRow) {
        S.drawRow = S.screenRows - (oldRows - S.drawRow);
    } else {
        S.drawRow = S.screenRows - viewSlackRows;
    }
    const int64_t top = static_cast<int64_t>(S.topRow) + oldRows - S.screenRows;
    S.topRow = top > 0 ? clamp32(top) : 0;
    plSetScrollPos(consoleWindow, SB_VERT, S.topRow, 1);
    invalidateWindow();
    return font;
}

void drawCharacter(plHdc dc, char byte, int32_t* row, int32_t* column)
{
    plSelectObject(dc, selectConsoleFont(dc, 0));
    switch (static_cast<unsigned char>(byte)) {
    case charBell:
        plMessageBeep(0);
        break;
    case charBackspace:
        // Blank the cell before the draw position and step back onto it.  The
        // caller's column steps back with it, but never before the start of
        // its row: the caller may count from elsewhere (the caret after a
        // resize), and a space drawn past a narrowed row must not wrap.
        if (S.drawColumn > 0) {
            S.drawColumn--;
            const char blank = ' ';
            plTextOut(dc, caretX(S.drawColumn), clamp32(static_cast<int64_t>(S.drawRow) * cellHeight), &blank, 1);
            *column = *column > 0 ? *column - 1 : 0;
        }
        break;
    case charTab: {
        const int32_t width = ConsoleSettings.tabWidth > 0 ? ConsoleSettings.tabWidth : 4;
        const int32_t from = S.drawColumn > 0 ? S.drawColumn : 0;
        for (int32_t spaces = width - from % width; spaces > 0; spaces--) {
            drawCharacter(dc, ' ', row, column);
        }
        break;
    }
    case charLineFeed:
        S.drawRow++;
        ++*row;
        S.drawColumn = 0;
        *column = 0;
        break;
    case charFormFeed:
        S.drawRow = clamp32(static_cast<int64_t>(S.drawRow) + S.screenRows);
        *row = clamp32(static_cast<int64_t>(*row) + S.screenRows);
        S.drawColumn = 0;
        *column = 0;
        // A form feed moves the whole view on, even from the top row, where
        // the draw position lands just below the window without overflowing.
        if (!painting) {
            invalidateWindow();
        }
        break;
    case charReturn:
        S.drawColumn = 0;
        *column = 0;
        break;
    default:
        drawOrdinary(dc, &byte, 1, row, column);
        return;
    }
    scrollForOverflow();
}

int32_t ordinaryRun(const char* bytes, int32_t count)
{
    int32_t room = S.screenColumns - S.drawColumn;
    if (room < 1) {
        room = 1;
    }
    int32_t n = 0;
    while (n < count && n < room && isOrdinaryByte(bytes[n])) {
        n++;
    }
    return n;
}

void drawRun(plHdc dc, const char* bytes, int32_t count, int32_t* row, int32_t* column)
{
    plSelectObject(dc, selectConsoleFont(dc, 0));
    drawOrdinary(dc, bytes, count, row, column);
}

void placeCaret(int32_t row, int32_t column)
{
    if (row < S.topRow || static_cast<int64_t>(row) > static_cast<int64_t>(S.topRow) + S.screenRows) {
        return;
    }
    int32_t c = rowLengthOf(row);
    if (column < c) {
        c = column > 0 ? column : 0;
    }
    plCreateCaret(consoleWindow, nullptr, caretWidth, cellHeight);
    plSetCaretPos(caretX(c), caretY(row));
    if (!S.selStart) {
        plShowCaret(consoleWindow);
    }
}

void displayCreate(plHwnd window)
{
    // The window's creation message comes before its creator has the handle.
    if (!consoleWindow) {
        consoleWindow = window;
    }
    plHdc dc = plGetDC(window);
    plSelectObject(dc, selectConsoleFont(dc, 0));
    plReleaseDC(window, dc);
    prepareSaveDialog(window);
    plSetScrollRange(window, SB_VERT, 0, S.lastRow, 0);
    plSetScrollPos(window, SB_VERT, S.topRow, 1);
}

void displaySize(plLparam lParam)
{
    S.windowWidth = plLoWord(static_cast<uintptr_t>(lParam));
    S.windowHeight = plHiWord(static_cast<uintptr_t>(lParam));
    fitLayout();
    // Counted again in the new width; an empty transcript has the one row 0,
    // whatever rows were counted for text that has gone.
    S.lastRow = countRows();
    // The last line's rows are counted on from here in the new width.
    recountLastLine();
    caretRow = 0;
    caretColumn = 0;
    if (consoleWindow && plGetFocus() == consoleWindow) {
        plSetCaretPos(caretX(caretColumn), caretY(caretRow));
    }
}

void displayPaint(plHwnd window)
{
    const bool followsEnd = !keepView;
    placeView(followsEnd);
    keepView = 0;
    plHideCaret(window);
    plPaintStruct paint = {};
    plHdc dc = plBeginPaint(window, &paint);
    plSelectObject(dc, selectConsoleFont(dc, 0));

    S.drawRow = 0;
    S.drawColumn = 0;
    int32_t row = 0;
    int32_t column = 0;
    const char* from = S.viewStart;
    if (!from || from < S.textStart || from > S.textEnd) {
        from = S.textEnd;
    }
    const bool selection = S.selStart && S.selEnd;
    int colours = -1;  // none set yet; 0 unselected, 1 selected
    painting = true;
    for (const char* p = from; p && p < S.textEnd && S.drawRow < S.screenRows;) {
        const int selected = selection && S.selStart <= p && p < S.selEnd ? 1 : 0;
        if (selected != colours) {
            plSetTextColor(dc, selected ? white : black);
            plSetBkColor(dc, selected ? black : white);
            colours = selected;
        }
        // Ordinary text goes as runs, each within a row and one colour.
        const char* limit = S.textEnd;
        if (selection && p < S.selStart && S.selStart < limit) {
            limit = S.selStart;
        } else if (selected && S.selEnd < limit) {
            limit = S.selEnd;
        }
        const int32_t n = ordinaryRun(p, clamp32(limit - p));
        if (n > 0) {
            drawRun(dc, p, n, &row, &column);
            p += n;
        } else {
            drawCharacter(dc, *p, &row, &column);
            ++p;
        }
    }
    painting = false;

    plSetScrollPos(window, SB_VERT, S.topRow, 1);
    plEndPaint(window, &paint);
    shownTop = followsEnd ? S.topRow : -1;
    if (!S.selStart) {
        placeCaret(caretRow, caretColumn);
    }
}

void displaySetFocus()
{
    plCreateCaret(consoleWindow, nullptr, caretWidth, cellHeight);
    plSetCaretPos(caretX(caretColumn), caretY(caretRow));
    plShowCaret(consoleWindow);
}

void displayKillFocus()
{
    plHideCaret(consoleWindow);
    plDestroyCaret();
}

void displayScroll(plWparam wParam)
{
    keepView = 1;
    const int64_t top = S.topRow;
    const int64_t rows = S.screenRows;
    const int64_t last = S.lastRow;
    int64_t next = top;
    switch (plLoWord(wParam)) {
    case SB_LINEUP:
        next = top - 1;
        break;
    case SB_LINEDOWN:
        next = top + 1;
        break;
    case SB_PAGEUP:
        next = top - rows;
        break;
    case SB_PAGEDOWN:
        next = top + rows < last - rows + viewSlackRows ? top + rows : last - rows + viewSlackRows;
        break;
    case SB_THUMBPOSITION:
        next = plHiWord(wParam);
        break;
    case SB_TOP:
        next = 0;
        break;
    case SB_BOTTOM:
        next = last - rows + viewSlackRows;
        break;
    default:  // dragging the thumb, the end of scrolling, and the apply request
        break;
    }
    if (next > last) {
        next = last;
    }
    if (next < 0) {
        next = 0;
    }
    S.topRow = static_cast<int32_t>(next);
    // The scroll bar keeps its position within its range, so a top row that
    // stood outside the range is applied when it moves, whatever the bar shows.
    if (plGetScrollPos(consoleWindow, SB_VERT) != S.topRow || S.topRow != top) {
        S.viewStart = rowColumnToPosition(S.topRow, 0);
        plSetScrollPos(consoleWindow, SB_VERT, S.topRow, 1);
        invalidateWindow();
    }
}

void displayKeyDown(plWparam key)
{
    plHideCaret(consoleWindow);
    switch (key) {
    case VK_PRIOR:
        sendScroll(SB_PAGEUP);
        break;
    case VK_NEXT:
        sendScroll(SB_PAGEDOWN);
        break;
    case VK_HOME:
        sendScroll(SB_TOP);
        break;
    case VK_END:
        sendScroll(SB_BOTTOM);
        break;
    case VK_UP:
        if (caretRow > 0) {
            caretRow--;
        }
        if (!caretInView()) {
            S.topRow = centredTop();
            sendScroll(consoleApplyScroll);
        }
        break;
    case VK_DOWN:
        if (caretRow < S.lastRow) {
            caretRow++;
        }
        if (!caretInView()) {
            S.topRow = centredTop();
            sendScroll(consoleApplyScroll);
        }
        break;
    case VK_LEFT: {
        const int32_t top = S.topRow;
        if (!caretInView()) {
            S.topRow = centredTop();
        }
        if (caretColumn > 0) {
            caretColumn--;
        } else if (caretRow > 0) {
            caretRow--;
            caretColumn = rowLengthOf(caretRow);
            if (caretRow < S.topRow) {
                S.topRow--;
            }
        }
        if (S.topRow != top) {
            sendScroll(consoleApplyScroll);
        }
        break;
    }
    case VK_RIGHT: {
        const int32_t top = S.topRow;
        if (!caretInView()) {
            S.topRow = centredTop();
        }
        if (caretColumn < rowLengthOf(caretRow)) {
            caretColumn++;
        } else if (caretRow < INT32_MAX) {
            caretRow++;
            caretColumn = 0;
            if (static_cast<int64_t>(caretRow) > static_cast<int64_t>(S.topRow) + S.screenRows) {
                S.topRow++;
            }
        }
        if (S.topRow != top) {
            sendScroll(consoleApplyScroll);
        }
        break;
    }
    default:
        break;
    }
    placeCaret(caretRow, caretColumn);
}

void displayButtonDown(plWparam keys, plLparam lParam)
{
    pointerCell(lParam, &pressRow, &pressColumn);
    if (keys & MK_SHIFT) {
        if (!S.selStart) {
            return;
        }
        char* p = pointerPosition(pressRow, pressColumn);
        if (!S.selEnd) {
            // Only a drag's start is set: the selection runs from it to p,
            // whichever comes first.
            if (p < S.selStart) {
                S.selEnd = S.selStart;
                S.selStart = p;
            } else {
                S.selEnd = p;
            }
        } else if (p < S.selEnd) {
            S.selStart = p;
        } else {
            S.selEnd = p;
        }
        invalidateWindow();
        return;
    }
    S.selStart = nullptr;
    S.selEnd = nullptr;
    invalidateWindow();
    keepView = 1;
}

void displayButtonUp(plLparam lParam)
{
    int32_t row = 0;
    int32_t column = 0;
    pointerCell(lParam, &row, &column);
    if (row != pressRow || column != pressColumn) {
        return;
    }
    plHideCaret(consoleWindow);
    caretRow = clamp32(static_cast<int64_t>(pressRow) + S.topRow);
    const int32_t length = rowLengthOf(caretRow);
    caretColumn = pressColumn < length ? pressColumn : length;
    placeCaret(caretRow, caretColumn);
    pressRow = -1;
    pressColumn = -1;
}

void displayMouseMove(plWparam keys, plLparam lParam)
{
    keepView = 1;
    if (!(keys & MK_LBUTTON)) {
        return;
    }
    int32_t row = 0;
    int32_t column = 0;
    pointerCell(lParam, &row, &column);
    char* p = pointerPosition(row, column);
    if (!S.selStart) {
        S.selAnchor = p;
        S.selStart = p;
        S.selEnd = nullptr;
        return;
    }
    if (!S.selAnchor) {
        // A selection not made by dragging (Select All): extend it from its start.
        S.selAnchor = S.selStart;
    }
    if (p == S.selAnchor) {
        S.selStart = nullptr;
        S.selEnd = nullptr;
        invalidateWindow();
    } else if (p < S.selAnchor) {
        S.selStart = p;
        S.selEnd = S.selAnchor;
        invalidateWindow();
    } else if (p != S.selEnd) {
        S.selStart = S.selAnchor;
        S.selEnd = p;
        invalidateWindow();
    }
}
