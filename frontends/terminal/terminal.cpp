// The terminal front end's hooks: what the window system calls, and the
// record that names them.
#include "frontends/terminal/terminal.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "frontends/terminal/internal.h"
#include "frontends/terminal/sequences.h"

tmState tmS;
const char tmPdfDestination[] = "PDF file";

namespace {

// How often a non-blocking pump looks at the terminal, in milliseconds.
enum { lookInterval = 5 };

const char* unavailableReason = "standard input and output are not both terminals";

int onWait()
{
    for (;;) {
        if (tmHandleSignals()) return 1;
        if (!tmS.events.empty() && tmDeliverEvents() > 0) return 1;
        if (!tmS.events.empty()) continue;
        if (tmS.hungUp && !tmS.closePending) return 0;
        tmReadTerminal(-1);
    }
}

int onPoll()
{
    if (tmSignalPending() || tmS.closePending || tmS.resizePending || tmS.interruptPending) {
        if (tmHandleSignals()) return 1;
    }
    if (!tmS.events.empty()) return tmDeliverEvents() > 0;
    if (!tmS.active || tmS.hungUp) return 0;
    const uint64_t now = tmMilliseconds();
    if (now - tmS.lastLook < static_cast<uint64_t>(lookInterval)) return 0;
    tmS.lastLook = now;
    tmReadTerminal(0);
    return tmDeliverEvents() > 0 || tmHandleSignals();
}

void readTitle(plHwnd window)
{
    char title[1024] = "";
    plGetWindowText(window, title, sizeof title);
    tmS.title = title;
    if (!tmS.active) return;
    tmSend(tmTitleSequence(tmS.title));
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
            tmCursesScope scope;
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

void onScrollRows(plHwnd window, int top, int bottom, int delta)
{
    if (window == tmS.mainWindow) tmScrollClient(top, bottom, delta);
}

void onDamage(plHwnd window, int top, int bottom)
{
    if (window != tmS.mainWindow) return;
    if (bottom > static_cast<int>(tmS.dirtyRows.size())) tmS.dirtyRows.resize(static_cast<size_t>(bottom), 0);
    for (int row = top < 0 ? 0 : top; row < bottom; ++row) tmS.dirtyRows[static_cast<size_t>(row)] = 1;
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
    if (!tmS.active || tmS.hungUp) return;
    tmCursesScope scope;
    beep();
}

void onMeasureFont(const pwFontRequest*, pwFontMetrics* metrics)
{
    *metrics = pwFontMetrics{tmCellWidth, tmCellHeight, 0};
}

// The window fills the terminal but for the menu bar and the scroll bar.
void onScreen(pwScreenInfo* info)
{
    tmS.geometry = tmTerminalSize();
    info->dpi = 96;
    info->width = tmS.geometry.columns * tmCellWidth;
    info->height = tmS.geometry.rows * tmCellHeight;
    info->clientRows = tmS.geometry.rows - 1;
    info->clientColumns = tmS.geometry.columns - 1;
}

// A fault inside our own curses calls cannot draw with curses: the terminal
// is put back and the box is plain text.
int plainBox(const char* text, const char* caption)
{
    tmEmergencyRestore();
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

void onSetClipboard(const char* text, size_t length)
{
    if (!text) return;
    tmSend(tmClipboardSequence(text, length));
}

void onFail(const char* reason)
{
    tmStopScreen();
    std::fprintf(stderr, "rastrel: %s\n", reason);
    std::fflush(nullptr);
    std::_Exit(3);
}

// The program ends, or a fault's box has been answered and the fault ends
// it next: the terminal goes back as it was.
void onEnding(int fault)
{
    if (fault && tmS.cursesDepth > 0) {
        tmEmergencyRestore();
    } else {
        tmStopScreen();
    }
}

const pwFrontEnd terminalFrontEnd = {
    .wait = onWait,
    .poll = onPoll,
    .windowChanged = onWindowChanged,
    .scrollRows = onScrollRows,
    .damage = onDamage,
    .caretChanged = onCaretChanged,
    .scrollBarChanged = onScrollBarChanged,
    .menuChanged = nullptr,
    .frame = onFrame,
    .beep = onBeep,
    .measureFont = onMeasureFont,
    .screen = onScreen,
    .messageBox = onMessageBox,
    .saveDialog = tmRunSaveDialog,
    .printDialog = tmRunPrintDialog,
    .printer = tmPrinter,
    .spooler = tmSpooler,
    .setClipboard = onSetClipboard,
    .getClipboard = nullptr,
    .fail = onFail,
    .milliseconds = nullptr,
    .ending = onEnding,
};

}  // namespace

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
    tmInstallSignals();
    tmS.geometry = tmTerminalSize();
    pwInstall(&terminalFrontEnd);
}
