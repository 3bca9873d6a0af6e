// The signals, the terminal's modes, and the way back to the shell.
//
// Signals are only noted in their handlers (and a byte written to a pipe
// that wakes the wait); what they mean is done from the front end's own
// wait and poll: SIGWINCH resizes the window, SIGTERM and SIGHUP close it as
// the close box would, an outside SIGINT is Ctrl+C, SIGTSTP gives the shell
// its screen back until SIGCONT.  The program may be unable to look at its
// notes for a long time (a save blocked on a pipe): a SIGCONT noted after a
// SIGTSTP that was not yet acted on ends that suspension before it begins.  The signals that end the process at once
// (SIGQUIT, SIGABRT) put the terminal back first, with the only bytes not
// written through curses: curses cannot run inside a signal handler.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "frontends/terminal/internal.h"
#include "frontends/terminal/sequences.h"
#include "portable/input.h"

namespace {

volatile sig_atomic_t anySignal;
volatile sig_atomic_t signalResize;
volatile sig_atomic_t signalClose;
volatile sig_atomic_t signalHangUp;
volatile sig_atomic_t signalInterrupt;
volatile sig_atomic_t signalContinue;
volatile sig_atomic_t signalStop;
volatile sig_atomic_t continues;   // SIGCONTs so far (wrapping round)

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
        // A stop still waiting to be acted on is over already.
        signalStop = 0;
        signalContinue = 1;
        continues = continues == 0x7fff ? 0 : continues + 1;
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

void onFatalSignal(int signal)
{
    tmEmergencyRestore();
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

// Gives the shell its screen and stops; false when a SIGCONT came after
// the SIGTSTP was taken in (counted in seen) and before the program could
// stop, so that stopping now would wait for a SIGCONT already spent.  Only
// the few instructions between the last look and the stop are left open.
bool suspendScreen(sig_atomic_t seen)
{
    if (continues != seen) return false;
    const bool wasActive = tmS.active;
    tmStopScreen();
    const bool stop = continues == seen;
    if (stop) kill(getpid(), SIGSTOP);
    if (wasActive) tmStartScreen();
    tmS.screenRestarted = true;
    return stop;
}

// The program came back to the foreground without stopping through us: the
// terminal's modes may have been changed under it.
void continueScreen()
{
    if (!tmS.active) return;
    {
        tmCursesScope scope;
        reset_prog_mode();
        clearok(curscr, TRUE);
    }
    tmSend(tmModesAgain);
    tmSend(tmTitleSequence(tmS.title));
    tmS.allDirty = true;
    tmS.screenRestarted = true;
}

// What the signal handlers noted, taken in.
void takeSignals()
{
    anySignal = 0;
    if (signalHangUp) {
        signalHangUp = 0;
        tmMarkHungUp();
    }
    if (signalClose) {
        signalClose = 0;
        tmS.closePending = true;
    }
    if (signalInterrupt) {
        signalInterrupt = 0;
        tmS.interruptPending = true;
    }
    const sig_atomic_t seen = continues;
    if (signalStop) {
        signalStop = 0;
        // The SIGCONT that ends our own stop needs nothing more.
        if (suspendScreen(seen)) signalContinue = 0;
    }
    if (signalContinue) {
        signalContinue = 0;
        continueScreen();
    }
    if (signalResize) {
        signalResize = 0;
        tmApplyResize(false);
    }
}

}  // namespace

void tmInstallSignals()
{
    if (tmS.wakePipe[0] < 0 && pipe(tmS.wakePipe) == 0) {
        for (int fd : tmS.wakePipe) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    const int noted[] = {SIGWINCH, SIGTERM, SIGHUP, SIGINT, SIGCONT, SIGTSTP};
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    // One handler at a time: SIGCONT's sees SIGTSTP's note whole.
    sigemptyset(&action.sa_mask);
    for (int signal : noted) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    action.sa_handler = onSignal;
    for (int signal : noted) sigaction(signal, &action, nullptr);
    action.sa_handler = onFatalSignal;
    for (int signal : {SIGQUIT, SIGABRT}) sigaction(signal, &action, nullptr);
}

tmGeometry tmTerminalSize()
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

void tmEmergencyRestore()
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

bool tmSignalPending()
{
    return anySignal != 0;
}

void tmDrainWakePipe()
{
    char bytes[64];
    while (tmS.wakePipe[0] >= 0 && read(tmS.wakePipe[0], bytes, sizeof bytes) > 0) {
    }
}

bool tmApplyResize(bool toWindow)
{
    const tmGeometry g = tmTerminalSize();
    const bool changed = g.rows != tmS.geometry.rows || g.columns != tmS.geometry.columns;
    tmS.geometry = g;
    if (tmS.active && changed) {
        tmCursesScope scope;
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
    int width = 0, height = 0, wanted = 0, wantedHeight = 0;
    pwClientSize(tmS.mainWindow, &width, &height);
    pwClientSizeFor(g.rows - 1, g.columns - 1, &wanted, &wantedHeight);
    if (width == wanted && height == wantedHeight) return false;
    pwResizeCells(tmS.mainWindow, g.rows - 1, g.columns - 1);
    tmS.allDirty = true;
    return true;
}

bool tmHandleSignals()
{
    if (anySignal) takeSignals();
    if (tmS.modal) return false;
    bool acted = false;
    if (tmS.resizePending) acted |= tmApplyResize(true);
    plHwnd window = tmS.mainWindow;
    if (tmS.interruptPending && window && pwIsEnabled(window)) {
        tmS.interruptPending = false;
        pwPostChar(window, 3);   // Ctrl+C
        acted = true;
    }
    if (tmS.closePending && window && pwIsEnabled(window)) {
        tmS.closePending = false;
        pwClose(window);
        acted = true;
    }
    if ((acted || tmS.screenRestarted) && tmS.active) {
        tmS.screenRestarted = false;
        tmDrawFrame();
    }
    return acted;
}
