// The terminal front end's hooks: the screen (curses), the input pipeline
// from the terminal and the signals, and the way back to the shell.
//
// Signals are only noted in their handlers (and a byte written to a pipe
// that wakes the wait); what they mean is done from the front end's own
// wait and poll: SIGWINCH resizes the window, SIGTERM and SIGHUP close it as
// the close box would, an outside SIGINT is Ctrl+C.  The signals that end
// the process at once (SIGQUIT, SIGABRT) put the terminal back first.
#include "frontends/terminal/terminal.h"

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "console/console.h"
#include "frontends/terminal/internal.h"
#include "frontends/terminal/sequences.h"
#include "portable/input.h"
#include "runtime/runtime.h"

tmState tmS;
const char tmPdfDestination[] = "PDF file";

namespace {

// Input posted per wait or poll at most: the window system's queue must
// never fill, and a long paste must leave room for painting between.
enum { deliveryBudget = 1024 };
// How often a non-blocking pump looks at the terminal, in milliseconds.
enum { lookInterval = 5 };
// The console's window colour: a cell on any other background is selected.
const plColor windowBackground = plRgb(255, 255, 255);

volatile sig_atomic_t anySignal;
volatile sig_atomic_t signalResize;
volatile sig_atomic_t signalClose;
volatile sig_atomic_t signalHangUp;
volatile sig_atomic_t signalInterrupt;
volatile sig_atomic_t signalContinue;
volatile sig_atomic_t signalStop;
bool interruptPending;
bool screenRestarted;   // the screen was given back and taken again: a box draws itself anew

struct cursesScope {
    cursesScope() { ++tmS.cursesDepth; }
    ~cursesScope() { --tmS.cursesDepth; }
    cursesScope(const cursesScope&) = delete;
    cursesScope& operator=(const cursesScope&) = delete;
};

void wake()
{
    if (tmS.wakePipe[1] >= 0) {
        const char byte = 1;
        ssize_t ignored = write(tmS.wakePipe[1], &byte, 1);
        (void)ignored;
    }
}

void onSignal(int signal)
{
    const int savedErrno = errno;
    switch (signal) {
    case SIGWINCH:
        signalResize = 1;
        break;
    case SIGTERM:
        signalClose = 1;
        break;
    case SIGHUP:
        signalHangUp = 1;
        break;
    case SIGINT:
        signalInterrupt = 1;
        break;
    case SIGCONT:
        signalContinue = 1;
        break;
    case SIGTSTP:
        signalStop = 1;
        break;
    default:
        break;
    }
    anySignal = 1;
    wake();
    errno = savedErrno;
}

// Only what may run in a signal handler: write and tcsetattr.
void emergencyRestore()
{
    if (!tmS.active) return;
    const char* bytes = tmS.emergencyRestore.data();
    size_t left = tmS.emergencyRestore.size();
    while (left > 0) {
        const ssize_t written = write(tmS.outputFd, bytes, left);
        if (written <= 0) break;
        bytes += written;
        left -= static_cast<size_t>(written);
    }
    if (tmS.savedValid) tcsetattr(tmS.inputFd, TCSANOW, &tmS.saved);
    tmS.active = false;
}

void onFatalSignal(int signal)
{
    emergencyRestore();
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

void installSignals()
{
    if (tmS.wakePipe[0] < 0 && pipe(tmS.wakePipe) == 0) {
        for (int fd : tmS.wakePipe) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    action.sa_handler = onSignal;
    for (int signal : {SIGWINCH, SIGTERM, SIGHUP, SIGINT, SIGCONT, SIGTSTP}) sigaction(signal, &action, nullptr);
    action.sa_handler = onFatalSignal;
    for (int signal : {SIGQUIT, SIGABRT}) sigaction(signal, &action, nullptr);
}

tmGeometry terminalSize()
{
    tmGeometry g = tmS.geometry;
    winsize size{};
    if (ioctl(tmS.outputFd, TIOCGWINSZ, &size) == 0 || ioctl(tmS.inputFd, TIOCGWINSZ, &size) == 0) {
        if (size.ws_row > 0) g.rows = size.ws_row;
        if (size.ws_col > 0) g.columns = size.ws_col;
    }
    if (g.rows < tmMinimumRows) g.rows = tmMinimumRows;
    if (g.columns < tmMinimumColumns) g.columns = tmMinimumColumns;
    return g;
}

// ---------------------------------------------------------------------------
// Drawing.

cchar_t cellOf(uint32_t character, attr_t attributes)
{
    wchar_t text[2] = {static_cast<wchar_t>(character), 0};
    cchar_t cell;
    setcchar(&cell, text, attributes, 0, nullptr);
    return cell;
}

// What a console byte looks like on this terminal: a control character as
// an empty box (a plain '?' where the terminal's characters are not UTF-8).
uint32_t glyphOf(unsigned char byte)
{
    if (byte == 0) return ' ';
    if (byte < 32 || byte == 127) return tmS.wideText ? 0x25A1 : '?';
    if (byte < 128) return byte;
    return tmS.wideText ? tmCharacterOfByte(byte) : '?';
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

void drawScrollBar()
{
    const tmScrollBarLayout sb = tmLayoutScrollBar(tmS.geometry, tmS.scroll);
    for (int row = sb.top; row <= sb.bottom; ++row) {
        chtype glyph = ACS_CKBOARD;
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
        tmCaretCell(tmS.caret.x, tmS.caret.y, &row, &column);
        if (row < 1 || row >= tmS.geometry.rows || column < 0 || column >= tmS.geometry.columns - 1) row = -1;
    }
    if (row >= 0 && column >= 0) {
        setsyx(row, column);
        curs_set(1);
    } else {
        curs_set(0);
    }
}

// ---------------------------------------------------------------------------
// Input.

void markHungUp()
{
    if (tmS.hungUp) return;
    tmS.hungUp = true;
    tmS.closePending = true;
}

void drainWakePipe()
{
    char bytes[64];
    while (tmS.wakePipe[0] >= 0 && read(tmS.wakePipe[0], bytes, sizeof bytes) > 0) {
    }
}

// Waits up to timeout milliseconds (-1: for ever) for the terminal or a
// signal, then takes everything curses has.
void readTerminal(int timeout)
{
    pollfd fds[2] = {{tmS.wakePipe[0], POLLIN, 0}, {tmS.inputFd, POLLIN, 0}};
    const bool terminal = tmS.active && !tmS.hungUp;
    if (anySignal) timeout = 0;
    const int ready = poll(fds, terminal ? 2 : 1, timeout);
    if (ready <= 0) return;
    if (fds[0].revents) drainWakePipe();
    if (!terminal || !fds[1].revents) return;
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        markHungUp();
        return;
    }
    int taken = 0;
    {
        cursesScope scope;
        taken = tmDrainCurses(stdscr, &tmS.decoder, &tmS.events);
    }
    if (taken == 0) {
        // Readable with nothing to read: the end of the terminal's input.
        pollfd again = {tmS.inputFd, POLLIN, 0};
        int pending = 0;
        if (poll(&again, 1, 0) > 0 && ioctl(tmS.inputFd, FIONREAD, &pending) == 0 && pending == 0) markHungUp();
    }
}

// A size change: the screen follows at once; the window system hears of it
// when no box is open.  True when the window's size changed.
bool applyResize(bool toWindow)
{
    const tmGeometry g = terminalSize();
    const bool changed = g.rows != tmS.geometry.rows || g.columns != tmS.geometry.columns;
    tmS.geometry = g;
    if (tmS.active && changed) {
        cursesScope scope;
        resizeterm(g.rows, g.columns);
        // What the terminal kept of its old screen is its own affair: draw
        // everything again.
        clearok(curscr, TRUE);
        tmS.allDirty = true;
    }
    if (!toWindow) {
        tmS.resizePending = tmS.resizePending || changed;
        return false;
    }
    tmS.resizePending = false;
    if (!tmS.mainWindow) return false;
    int width = 0;
    int height = 0;
    pwClientSize(tmS.mainWindow, &width, &height);
    if (width == tmClientWidth(g) && height == tmClientHeight(g)) return false;
    pwResize(tmS.mainWindow, tmClientWidth(g), tmClientHeight(g));
    tmS.allDirty = true;
    return true;
}

void suspendScreen()
{
    const bool wasActive = tmS.active;
    tmStopScreen();
    kill(getpid(), SIGSTOP);
    if (wasActive) tmStartScreen();
    screenRestarted = true;
}

// The signals noted since the last look.  Inside a box only the screen
// follows; what the window system is told waits until the box is closed.
// True when the window system has something new to deliver.
bool handleSignals()
{
    if (anySignal) {
        anySignal = 0;
        if (signalHangUp) {
            signalHangUp = 0;
            markHungUp();
        }
        if (signalClose) {
            signalClose = 0;
            tmS.closePending = true;
        }
        if (signalInterrupt) {
            signalInterrupt = 0;
            interruptPending = true;
        }
        if (signalStop) {
            signalStop = 0;
            signalContinue = 0;
            suspendScreen();
        }
        if (signalContinue) {
            signalContinue = 0;
            if (tmS.active) {
                cursesScope scope;
                reset_prog_mode();
                clearok(curscr, TRUE);
                tmWriteRaw(tmModesOn);
                tmS.allDirty = true;
                screenRestarted = true;
            }
        }
        if (signalResize) {
            signalResize = 0;
            applyResize(false);
        }
    }
    if (tmS.modal) return false;
    bool acted = false;
    if (tmS.resizePending) acted |= applyResize(true);
    plHwnd window = tmS.mainWindow;
    if (interruptPending && window && pwIsEnabled(window)) {
        interruptPending = false;
        pwPostChar(window, charCtrlC);
        acted = true;
    }
    if (tmS.closePending && window && pwIsEnabled(window)) {
        tmS.closePending = false;
        pwClose(window);
        acted = true;
    }
    if ((acted || screenRestarted) && tmS.active) {
        screenRestarted = false;
        tmDrawFrame();
    }
    return acted;
}

// One event handed to the window system; returns how many inputs it posted.
int deliver(const tmEvent& event)
{
    plHwnd window = tmS.mainWindow;
    if (!window) return 0;
    if (tmS.cancelDialog) {
        // While printing, the cancel dialog is the only window that takes input.
        const bool cancels = event.kind == tmEscape || (event.kind == tmCharacter && event.byte == charReturn);
        if (cancels && pwPressDialogButton(tmS.cancelDialog, IDCANCEL)) return 1;
        return 0;
    }
    switch (event.kind) {
    case tmCharacter:
        pwPostChar(window, event.byte);
        return 1;
    case tmKey:
        pwPostKey(window, event.key);
        return 1;
    case tmEscape:
        pwPostChar(window, 27);
        return 1;
    case tmMenuKey:
        return tmRunMenu(event.menu);
    case tmCloseKey:
        pwClose(window);
        return 1;
    case tmResize:
        return applyResize(true) ? 1 : 0;
    case tmMouse: {
        tmAction actions[tmMaxActions];
        const int count = tmRouteMouse(tmS.geometry, tmReadMenuBar(), tmS.scroll, &tmS.pointer, event.mouse, actions);
        int posted = 0;
        for (int i = 0; i < count; ++i) {
            const tmAction& a = actions[i];
            switch (a.kind) {
            case tmMouseDownAction:
                pwMouseDown(window, a.x, a.y, a.shift);
                break;
            case tmMouseMoveAction:
                pwMouseMove(window, a.x, a.y, 1);
                break;
            case tmMouseUpAction:
                pwMouseUp(window, a.x, a.y);
                break;
            case tmScrollAction:
                pwScroll(window, a.code, a.position);
                break;
            case tmOpenMenuAction:
                posted += tmRunMenu(a.menu);
                continue;
            }
            ++posted;
        }
        return posted;
    }
    }
    return 0;
}

int deliverEvents()
{
    int posted = 0;
    while (posted < deliveryBudget && !tmS.events.empty()) {
        const tmEvent event = tmS.events.front();
        tmS.events.pop_front();
        posted += deliver(event);
    }
    return posted;
}

// ---------------------------------------------------------------------------
// The hooks.

int onWait()
{
    for (;;) {
        if (handleSignals()) return 1;
        if (!tmS.events.empty() && deliverEvents() > 0) return 1;
        if (!tmS.events.empty()) continue;
        if (tmS.hungUp && !tmS.closePending) return 0;
        readTerminal(-1);
    }
}

int onPoll()
{
    if (anySignal || tmS.closePending || tmS.resizePending || interruptPending) {
        if (handleSignals()) return 1;
    }
    if (!tmS.events.empty()) return deliverEvents() > 0;
    if (!tmS.active || tmS.hungUp) return 0;
    const uint64_t now = tmMilliseconds();
    if (now - tmS.lastLook < static_cast<uint64_t>(lookInterval)) return 0;
    tmS.lastLook = now;
    readTerminal(0);
    return deliverEvents() > 0 || handleSignals();
}

void readTitle(plHwnd window)
{
    char title[1024] = "";
    plGetWindowText(window, title, sizeof title);
    tmS.title = title;
    if (!tmS.active) return;
    tmWriteRaw(tmTitleSequence(tmS.title));
    tmDrawFrame();
}

void onWindowChanged(plHwnd window, uint32_t changes)
{
    if ((changes & pwCreated) && pwKindOf(window) == pwDialog) {
        tmS.cancelDialog = window;
        tmS.printingPage = 0;
        return;
    }
    if (window == tmS.cancelDialog && (changes & pwDestroyed)) {
        tmS.cancelDialog = nullptr;
        if (tmS.active) {
            cursesScope scope;
            tmDrawCancelDialog();
            touchwin(stdscr);
        }
        tmDrawFrame();
        return;
    }
    if ((changes & pwCreated) && !tmS.mainWindow && pwKindOf(window) == pwTopLevel) {
        tmS.mainWindow = window;
        readTitle(window);
    }
    if (window != tmS.mainWindow) return;
    if (changes & pwTitle) readTitle(window);
    if (changes & pwShown) {
        tmS.allDirty = true;
        tmStartScreen();
    }
    if (changes & pwDestroyed) {
        tmStopScreen();
        tmS.mainWindow = nullptr;
    }
}

void markRows(int top, int bottom)
{
    if (bottom > static_cast<int>(tmS.dirtyRows.size())) tmS.dirtyRows.resize(static_cast<size_t>(bottom), 0);
    for (int row = top < 0 ? 0 : top; row < bottom; ++row) tmS.dirtyRows[static_cast<size_t>(row)] = 1;
}

void onScrollRows(plHwnd window, int top, int bottom, int)
{
    // Curses sees the rows move when it compares the screen and scrolls
    // the terminal itself.
    if (window == tmS.mainWindow) markRows(top, bottom);
}

void onDamage(plHwnd window, int top, int bottom)
{
    if (window == tmS.mainWindow) markRows(top, bottom);
}

void onCaretChanged(const pwCaretInfo* caret)
{
    tmS.caret = *caret;
}

void onScrollBarChanged(plHwnd window, const pwScrollInfo* bar)
{
    if (window == tmS.mainWindow) tmS.scroll = *bar;
}

void onFrame()
{
    tmDrawFrame();
}

void onBeep(uint32_t)
{
    if (!tmS.active) return;
    cursesScope scope;
    beep();
}

void onMeasureFont(const pwFontRequest*, pwFontMetrics* metrics)
{
    *metrics = pwFontMetrics{tmCellWidth, tmCellHeight, 0};
}

void onScreen(pwScreenInfo* info)
{
    tmS.geometry = terminalSize();
    info->dpi = 96;
    info->width = tmS.geometry.columns * tmCellWidth;
    info->height = tmS.geometry.rows * tmCellHeight;
    info->clientWidth = tmClientWidth(tmS.geometry);
    info->clientHeight = tmClientHeight(tmS.geometry);
}

// A fault inside our own curses calls cannot draw with curses: the terminal
// is put back and the box is plain text.
int plainBox(const char* text, const char* caption)
{
    emergencyRestore();
    std::string message = "\r\n";
    message += caption;
    message += ":\r\n";
    for (const char* p = text; *p; ++p) message += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    message += "\r\nPress Enter.\r\n";
    ssize_t ignored = write(tmS.outputFd, message.data(), message.size());
    (void)ignored;
    char byte = 0;
    while (read(tmS.inputFd, &byte, 1) == 1 && byte != '\n' && byte != '\r') {
    }
    return IDOK;
}

int onMessageBox(plHwnd owner, const char* text, const char* caption, uint32_t type)
{
    if (!owner && tmS.cursesDepth > 0) return plainBox(text, caption);
    return tmRunBox(caption, text, type);
}

int onSaveDialog(const plOpenFileName* request, char* path, size_t size)
{
    return tmRunSaveDialog(request, path, size);
}

int onPrintDialog(struct plPrintDlg* request, char* printer, size_t size)
{
    return tmRunPrintDialog(request, printer, size);
}

void onSetClipboard(const char* text, size_t length)
{
    if (text && tmS.active && !tmS.hungUp) tmWriteRaw(tmClipboardSequence(text, length));
}

void onFail(const char* reason)
{
    tmStopScreen();
    std::fprintf(stderr, "rastrel: %s\n", reason);
    std::fflush(nullptr);
    std::_Exit(3);
}

// The fault's box has been answered; the fault ends the process next.
void onFault(int)
{
    if (tmS.cursesDepth > 0) {
        emergencyRestore();
    } else {
        tmStopScreen();
    }
}

void onConsoleEnding()
{
    tmStopScreen();
}

const pwFrontEnd terminalFrontEnd = {
    onWait,        onPoll,        onWindowChanged, onScrollRows,   onDamage,
    onCaretChanged, onScrollBarChanged, nullptr,   onFrame,        onBeep,
    onMeasureFont, onScreen,      onMessageBox,    onSaveDialog,   onPrintDialog,
    tmPrinter,     tmSpooler,     onSetClipboard,  nullptr,        onFail,
    nullptr,
};

const char* unavailableReason = "standard input and output are not both terminals";

}  // namespace

// ---------------------------------------------------------------------------
// The screen.

uint64_t tmMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
}

void tmWriteRaw(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(tmS.outputFd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (errno == EIO) markHungUp();
            return;
        }
        done += static_cast<size_t>(written);
    }
}

bool tmStartScreen()
{
    if (tmS.active) return true;
    if (!tmS.everStarted) {
        std::setlocale(LC_CTYPE, "");
        const char* codeset = nl_langinfo(CODESET);
        tmS.wideText = codeset && std::strcmp(codeset, "UTF-8") == 0;
    }
    tmS.savedValid = tcgetattr(tmS.inputFd, &tmS.saved) == 0;
    cursesScope scope;
    if (!tmS.screen) {
        tmS.screen = newterm(nullptr, stdout, stdin);
        if (!tmS.screen) return false;
        set_escdelay(25);
        raw();
        noecho();
        nonl();
        intrflush(stdscr, FALSE);
        keypad(stdscr, TRUE);
        nodelay(stdscr, TRUE);
        meta(stdscr, TRUE);
        idlok(stdscr, TRUE);
        scrollok(stdscr, FALSE);
        tmDefineKeys();
        tmS.emergencyRestore =
            std::string(tmModesOff) + tmCapability("sgr0") + tmCapability("cnorm") + tmCapability("rmcup");
    } else {
        set_term(tmS.screen);
        reset_prog_mode();
        clearok(curscr, TRUE);
    }
    tmS.active = true;
    tmS.everStarted = true;
    tmS.allDirty = true;
    const tmGeometry g = terminalSize();
    if (g.rows != tmS.geometry.rows || g.columns != tmS.geometry.columns) {
        tmS.geometry = g;
        tmS.resizePending = true;
    }
    resizeterm(tmS.geometry.rows, tmS.geometry.columns);
    tmDrawFrame();
    tmWriteRaw(tmModesOn);
    tmWriteRaw(tmTitleSequence(tmS.title));
    return true;
}

void tmStopScreen()
{
    if (!tmS.active) return;
    cursesScope scope;
    tmCloseOverlay();
    tmWriteRaw(tmModesOff);
    curs_set(1);
    endwin();
    tmS.active = false;
}

void tmDrawFrame()
{
    if (!tmS.active || tmS.hungUp) return;
    cursesScope scope;
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
    placeCursor();
    doupdate();
}

WINDOW* tmOpenOverlay(int top, int left, int height, int width)
{
    cursesScope scope;
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
    cursesScope scope;
    delwin(tmS.overlay);
    tmS.overlay = nullptr;
    touchwin(stdscr);
}

int tmPutText(WINDOW* window, int row, int column, const std::string& text, int width, attr_t attributes)
{
    cursesScope scope;
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
    cursesScope scope;
    for (int i = 0; i < count; ++i) {
        const cchar_t cell = cellOf(glyphOf(static_cast<unsigned char>(bytes[i])), attributes);
        mvwadd_wch(window, row, column + i, &cell);
    }
}

bool tmNextEvent(tmEvent* event, int timeout)
{
    const uint64_t start = tmMilliseconds();
    for (;;) {
        if (anySignal) {
            const tmGeometry before = tmS.geometry;
            handleSignals();
            if (before.rows != tmS.geometry.rows || before.columns != tmS.geometry.columns || screenRestarted) {
                screenRestarted = false;
                *event = tmEvent{};
                event->kind = tmResize;
                return true;
            }
        }
        if (tmS.hungUp) return false;
        if (!tmS.events.empty()) {
            *event = tmS.events.front();
            tmS.events.pop_front();
            return true;
        }
        int left = -1;
        if (timeout >= 0) {
            const uint64_t spent = tmMilliseconds() - start;
            if (spent >= static_cast<uint64_t>(timeout)) return false;
            left = timeout - static_cast<int>(spent);
        }
        readTerminal(left);
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

// ---------------------------------------------------------------------------
// Set-up.

int tmAvailable()
{
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        unavailableReason = "standard input and output are not both terminals";
        return 0;
    }
    if (const char* problem = tmTerminfoProblem()) {
        unavailableReason = problem;
        return 0;
    }
    return 1;
}

const char* tmUnavailableReason()
{
    return unavailableReason;
}

void tmInstall()
{
    installSignals();
    tmS.geometry = terminalSize();
    pwInstall(&terminalFrontEnd);
    consoleEndingHook = onConsoleEnding;
    rt_set_fault_hook(onFault);
}
