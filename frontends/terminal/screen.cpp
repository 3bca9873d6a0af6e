// The screen: curses draws the window, its menu bar and scroll bar, and
// what is drawn over them, and writes every byte the terminal is sent while
// the screen is active: the title, the clipboard and the modes go through
// curses' own output (putp), in order with its drawing.  A scroll the window
// system reports moves the rows of curses' picture of the window (wscrl), so
// that only the rows uncovered are copied again; curses moves the terminal's
// rows to match with the terminal's own scrolling.
#include <langinfo.h>
#include <time.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "frontends/terminal/internal.h"
#include "frontends/terminal/sequences.h"

namespace {

// The console's window colour: a cell on any other background is selected.
const plColor windowBackground = plRgb(255, 255, 255);

cchar_t cellOf(uint32_t character, attr_t attributes)
{
    wchar_t text[2] = {static_cast<wchar_t>(character), 0};
    cchar_t cell;
    setcchar(&cell, text, attributes, 0, nullptr);
    return cell;
}

// What a console byte looks like on this terminal (tmCharset).
uint32_t glyphOf(unsigned char byte)
{
    return tmS.charset.glyph[byte];
}

// The terminal's characters as the locale says (LC_CTYPE): UTF-8, or one
// byte each with the characters btowc gives; a locale that gives no
// eight-bit byte a character is taken as Latin-1, and one of several bytes
// a character other than UTF-8 as ASCII alone.
tmCharset localeCharset()
{
    const char* codeset = nl_langinfo(CODESET);
    if (codeset && std::strcmp(codeset, "UTF-8") == 0) return tmMakeCharset(1, nullptr);
    uint32_t upper[128] = {};
    bool any = false;
    for (int i = 0; i < 128 && MB_CUR_MAX == 1; ++i) {
        const wint_t character = btowc(0x80 + i);
        upper[i] = character == WEOF ? 0 : static_cast<uint32_t>(character);
        any = any || upper[i] != 0;
    }
    return tmMakeCharset(0, any || MB_CUR_MAX > 1 ? upper : nullptr);
}

void copyRow(int row)
{
    const int width = tmS.geometry.columns - 1;
    if (width <= 0 || row + 1 >= tmS.geometry.rows) return;
    int surfaceColumns = 0;
    pwSurfaceSize(tmS.mainWindow, nullptr, &surfaceColumns, nullptr, nullptr);
    const pwCell* cells = pwSurfaceRow(tmS.mainWindow, row);
    static std::vector<cchar_t> line;
    line.resize(static_cast<size_t>(width) + 1);
    for (int c = 0; c < width; ++c) {
        if (cells && c < surfaceColumns) {
            const pwCell& cell = cells[c];
            line[static_cast<size_t>(c)] = cellOf(glyphOf(static_cast<unsigned char>(cell.character)),
                                                  cell.background != windowBackground ? A_REVERSE : A_NORMAL);
        } else {
            line[static_cast<size_t>(c)] = cellOf(' ', A_NORMAL);
        }
    }
    mvwadd_wchnstr(stdscr, row + 1, 0, line.data(), width);
}

void drawMenuBar()
{
    const int columns = tmS.geometry.columns;
    wattrset(stdscr, A_REVERSE);
    mvwhline(stdscr, 0, 0, ' ', columns);
    const tmMenuBar bar = tmReadMenuBar();
    for (int i = 0; i < static_cast<int>(bar.items.size()); ++i) {
        const tmMenuText& item = bar.items[static_cast<size_t>(i)];
        const int column = tmMenuBarColumn(bar, i);
        const attr_t base = i == tmS.openMenu ? A_NORMAL : A_REVERSE;
        if (i == tmS.openMenu) mvwaddch(stdscr, 0, column - 1, ' ' | A_NORMAL);
        for (size_t k = 0; k < item.label.size() && column + static_cast<int>(k) < columns; ++k) {
            const attr_t attributes = static_cast<int>(k) == item.mnemonic ? base | A_UNDERLINE : base;
            const cchar_t cell = cellOf(static_cast<unsigned char>(item.label[k]), attributes);
            mvwadd_wch(stdscr, 0, column + static_cast<int>(k), &cell);
        }
        if (i == tmS.openMenu && column + static_cast<int>(item.label.size()) < columns) {
            mvwaddch(stdscr, 0, column + static_cast<int>(item.label.size()), ' ' | A_NORMAL);
        }
    }
    const int titleColumn = tmMenuBarEnd(bar) + 2;
    if (titleColumn < columns) tmPutText(stdscr, 0, titleColumn, tmS.title, columns - titleColumn, A_REVERSE);
    wattrset(stdscr, A_NORMAL);
}

// The arrows and the thumb.  The track is left blank, so that a row with
// no glyph of the scroll bar ends where its text ends.
void drawScrollBar()
{
    const tmScrollBarLayout sb = tmLayoutScrollBar(tmS.geometry, tmS.scroll);
    for (int row = sb.top; row <= sb.bottom; ++row) {
        chtype glyph = ' ';
        if (sb.arrows && row == sb.top) {
            glyph = ACS_UARROW | A_REVERSE;
        } else if (sb.arrows && row == sb.bottom) {
            glyph = ACS_DARROW | A_REVERSE;
        } else if (row == sb.thumb) {
            glyph = ' ' | A_REVERSE;
        }
        mvwaddch(stdscr, row, sb.column, glyph);
    }
}

void placeCursor()
{
    int row = -1;
    int column = -1;
    if (tmS.overlay) {
        row = tmS.overlayCursorRow;
        column = tmS.overlayCursorColumn;
    } else if (!tmS.cancelDialog && tmS.caret.owner && tmS.caret.owner == tmS.mainWindow && tmS.caret.shown) {
        row = tmS.caret.row + 1;
        column = tmS.caret.column;
        if (row < 1 || row >= tmS.geometry.rows || column < 0 || column >= tmS.geometry.columns - 1) row = -1;
    }
    if (row >= 0 && column >= 0) {
        setsyx(row, column);
        curs_set(1);
    } else {
        curs_set(0);
    }
}

// Rows [first, last) of a curses window move by delta (up when positive);
// the rows uncovered are blank.
void scrollRowsOf(WINDOW* window, int first, int last, int delta)
{
    wsetscrreg(window, first, last - 1);
    scrollok(window, TRUE);
    wscrl(window, delta);
    scrollok(window, FALSE);
    wsetscrreg(window, 0, getmaxy(window) - 1);
}

// The client rows not yet copied move with a scroll.
void shiftDirtyRows(int top, int bottom, int delta)
{
    std::vector<char>& rows = tmS.dirtyRows;
    if (static_cast<int>(rows.size()) < bottom) rows.resize(static_cast<size_t>(bottom), 0);
    std::vector<char> moved(rows.begin() + top, rows.begin() + bottom);
    for (int row = top; row < bottom; ++row) {
        const int from = row + delta;
        rows[static_cast<size_t>(row)] = from >= top && from < bottom ? moved[static_cast<size_t>(from - top)] : 1;
    }
}

// The column after the last cell of a row of the screen curses is about to
// send that is not a plain blank (0 for an empty row).
int shownEnd(int row, int columns)
{
    static std::vector<cchar_t> cells;
    cells.resize(static_cast<size_t>(columns) + 1);
    if (mvwin_wchnstr(newscr, row, 0, cells.data(), columns) == ERR) return columns;
    for (int column = columns; column > 0; --column) {
        wchar_t text[CCHARW_MAX + 1] = {};
        attr_t attributes = 0;
        short pair = 0;
        getcchar(&cells[static_cast<size_t>(column) - 1], text, &attributes, &pair, nullptr);
        if (text[0] != L' ' || text[1] != 0 || (attributes & ~A_CHARTEXT) != A_NORMAL || pair != 0) return column;
    }
    return 0;
}

// Rows that end sooner than what the terminal shows there are sent whole,
// so that curses erases the rest to the end of the line: compared with the
// old row cell by cell, it would write blanks over the old text where that
// is fewer bytes, and a terminal's selection copies written blanks.  Rows
// that moved with a scroll are compared with where they came from.
void eraseShortenedRows()
{
    const int rows = getmaxy(newscr);
    const int columns = getmaxx(newscr);
    std::vector<int>& ends = tmS.shownEnds;
    std::vector<int>& from = tmS.shownFrom;
    const bool known = static_cast<int>(ends.size()) == rows && static_cast<int>(from.size()) == rows &&
                       tmS.shownColumns == columns && !is_cleared(curscr);
    int cursorRow = 0, cursorColumn = 0;
    getyx(newscr, cursorRow, cursorColumn);
    std::vector<int> now(static_cast<size_t>(rows), 0);
    for (int row = 0; row < rows; ++row) {
        const int source = known ? from[static_cast<size_t>(row)] : -1;
        const int before = source >= 0 ? ends[static_cast<size_t>(source)] : 0;
        if (known && !is_linetouched(newscr, row)) {
            now[static_cast<size_t>(row)] = before;
            continue;
        }
        now[static_cast<size_t>(row)] = shownEnd(row, columns);
        if (known && row > 0 && now[static_cast<size_t>(row)] < before) wredrawln(newscr, row, 1);
    }
    wmove(newscr, cursorRow, cursorColumn);
    ends.swap(now);
    from.resize(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row) from[static_cast<size_t>(row)] = row;
    tmS.shownColumns = columns;
}

// Puts bytes out through curses' putp without reading "$<...>" in them as
// padding: no piece handed over holds a '$' followed by anything.  Curses
// has written all it drew when its update returned, and putp writes on
// standard output, which is flushed at once: the bytes keep their order.
void sendPieces(const std::string& bytes)
{
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('$', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        putp(bytes.substr(start, end - start).c_str());
        start = end;
    }
    std::fflush(stdout);
}

// The curses screen, made once: raw input read by the front end itself (no
// key decoding, no look at the input while drawing), no scrolling of its own.
bool makeScreen()
{
    tmS.screen = newterm(nullptr, stdout, stdin);
    if (!tmS.screen) return false;
    raw();
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    // No meta(): curses reads no input here, and its meta mode would switch
    // a terminal like xterm to sending Meta as the eighth bit (smm), and
    // leave it so.  Meta is asked to send Esc instead (tmModesOn).
    idlok(stdscr, TRUE);
    scrollok(stdscr, FALSE);
    typeahead(-1);
    tmS.keys = tmTerminfoKeys();
    tmS.decoder.keys = &tmS.keys;
    tmS.decoder.utf8 = tmS.charset.utf8;
    tmS.decoder.charset = &tmS.charset;
    tmS.emergencyRestore = std::string(tmModesOff) + tmCapability("sgr0") + tmCapability("cnorm") + tmCapability("rmcup");
    return true;
}

}  // namespace

uint64_t tmMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
}

void tmSend(const std::string& bytes)
{
    if (!tmS.active || tmS.hungUp) return;
    tmCursesScope scope;
    sendPieces(bytes);
}

bool tmStartScreen()
{
    if (tmS.active) return true;
    if (!tmS.everStarted) {
        std::setlocale(LC_CTYPE, "");
        tmS.charset = localeCharset();
    }
    tmS.savedValid = tcgetattr(tmS.inputFd, &tmS.saved) == 0;
    {
        tmCursesScope scope;
        if (!tmS.screen) {
            if (!makeScreen()) return false;
        } else {
            set_term(tmS.screen);
            reset_prog_mode();
            clearok(curscr, TRUE);
        }
    }
    tmS.active = true;
    tmS.everStarted = true;
    tmS.allDirty = true;
    const tmGeometry g = tmTerminalSize();
    if (g.rows != tmS.geometry.rows || g.columns != tmS.geometry.columns) {
        tmS.geometry = g;
        tmS.resizePending = true;
    }
    {
        tmCursesScope scope;
        resizeterm(tmS.geometry.rows, tmS.geometry.columns);
    }
    tmSend(tmModesOn);
    tmSend(tmTitleSequence(tmS.title));
    tmDrawFrame();
    return true;
}

void tmStopScreen()
{
    if (!tmS.active) return;
    tmCloseOverlay();
    tmCursesScope scope;
    // Even to a terminal that hung up: a hang-up may be only a signal, and
    // the terminal still there.
    sendPieces(tmModesOff);
    curs_set(1);
    endwin();
    tmS.active = false;
}

void tmDrawFrame()
{
    if (!tmS.active || tmS.hungUp) return;
    tmCursesScope scope;
    if (tmS.mainWindow) {
        const int rows = tmS.geometry.rows - 1;
        if (static_cast<int>(tmS.dirtyRows.size()) < rows) tmS.dirtyRows.resize(static_cast<size_t>(rows), 0);
        for (int row = 0; row < rows; ++row) {
            if (tmS.allDirty || tmS.dirtyRows[static_cast<size_t>(row)]) copyRow(row);
        }
        std::fill(tmS.dirtyRows.begin(), tmS.dirtyRows.end(), 0);
        tmS.allDirty = false;
        drawMenuBar();
        drawScrollBar();
    }
    wnoutrefresh(stdscr);
    if (tmS.cancelDialog) tmDrawCancelDialog();
    if (tmS.overlay) {
        touchwin(tmS.overlay);
        wnoutrefresh(tmS.overlay);
    }
    eraseShortenedRows();
    placeCursor();
    doupdate();
}

void tmScrollClient(int top, int bottom, int delta)
{
    const int clientRows = tmS.geometry.rows - 1;
    top = std::max(top, 0);
    bottom = std::min(bottom, clientRows);
    const int count = delta > 0 ? delta : -delta;
    if (delta == 0 || bottom - top <= count) {
        for (int row = top; row < bottom; ++row) {
            if (static_cast<int>(tmS.dirtyRows.size()) <= row) tmS.dirtyRows.resize(static_cast<size_t>(row) + 1, 0);
            tmS.dirtyRows[static_cast<size_t>(row)] = 1;
        }
        return;
    }
    shiftDirtyRows(top, bottom, delta);
    if (!tmS.active || tmS.hungUp || tmS.allDirty) return;
    tmCursesScope scope;
    // The menu bar is the terminal's row 0.
    scrollRowsOf(stdscr, top + 1, bottom + 1, delta);
    std::vector<int>& from = tmS.shownFrom;
    if (static_cast<int>(from.size()) < bottom + 1) return;
    const std::vector<int> before(from.begin() + top + 1, from.begin() + bottom + 1);
    for (int row = top; row < bottom; ++row) {
        const int source = row + delta;
        from[static_cast<size_t>(row) + 1] = source >= top && source < bottom ? before[static_cast<size_t>(source - top)] : -1;
    }
}

WINDOW* tmOpenOverlay(int top, int left, int height, int width)
{
    tmCursesScope scope;
    tmCloseOverlay();
    if (height < 1) height = 1;
    if (width < 1) width = 1;
    tmS.overlay = newwin(height, width, top, left);
    tmS.overlayCursorRow = -1;
    tmS.overlayCursorColumn = -1;
    return tmS.overlay;
}

void tmCloseOverlay()
{
    if (!tmS.overlay) return;
    tmCursesScope scope;
    delwin(tmS.overlay);
    tmS.overlay = nullptr;
    touchwin(stdscr);
}

int tmPutText(WINDOW* window, int row, int column, const std::string& text, int width, attr_t attributes)
{
    tmCursesScope scope;
    mbstate_t state{};
    int used = 0;
    size_t i = 0;
    while (i < text.size()) {
        wchar_t character = 0;
        size_t length = std::mbrtowc(&character, text.data() + i, text.size() - i, &state);
        if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2)) {
            character = '?';
            length = 1;
            state = mbstate_t{};
        } else if (length == 0) {
            length = 1;
        }
        i += length;
        int cells = wcwidth(character);
        if (cells < 0 || character < 32) {
            character = '?';
            cells = 1;
        }
        if (used + cells > width) break;
        const cchar_t cell = cellOf(static_cast<uint32_t>(character), attributes);
        mvwadd_wch(window, row, column + used, &cell);
        used += cells;
    }
    return used;
}

void tmPutBytes(WINDOW* window, int row, int column, const char* bytes, int count, attr_t attributes)
{
    tmCursesScope scope;
    for (int i = 0; i < count; ++i) {
        const cchar_t cell = cellOf(glyphOf(static_cast<unsigned char>(bytes[i])), attributes);
        mvwadd_wch(window, row, column + i, &cell);
    }
}

tmMenuBar tmReadMenuBar()
{
    tmMenuBar bar;
    if (!tmS.mainWindow) return bar;
    const plHmenu menu = plGetMenu(tmS.mainWindow);
    pwMenuItemInfo item{};
    for (int i = 0; pwMenuItem(menu, i, &item); ++i) bar.items.push_back(tmParseMenuText(item.text));
    return bar;
}
