// The terminal's input: its bytes read as they come, decoded, and handed to
// the window system (or to the box, menu or dialog that is open).
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "frontends/terminal/internal.h"
#include "portable/input.h"

namespace {

// Input posted per wait or poll at most: the window system's queue must
// never fill, and a long paste must leave room for painting between.
enum { deliveryBudget = 1024 };
// How long an Esc waits for what may follow it (Alt with a key, a key's
// sequence), in milliseconds.
enum { escapeDelay = 25 };

// Reads what the terminal has now; false when it is gone or had nothing.
bool readBytes()
{
    char bytes[4096];
    const ssize_t count = read(tmS.inputFd, bytes, sizeof bytes);
    if (count > 0) {
        tmDecode(&tmS.decoder, bytes, static_cast<size_t>(count), &tmS.events);
        return true;
    }
    if (count == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) tmMarkHungUp();
    return false;
}

// An Esc came last: what follows within the delay belongs to it.
void settleEscape()
{
    while (tmDecodeWaiting(&tmS.decoder) && !tmS.hungUp) {
        pollfd input = {tmS.inputFd, POLLIN, 0};
        if (poll(&input, 1, escapeDelay) <= 0 || !readBytes()) break;
    }
    tmDecodeIdle(&tmS.decoder, &tmS.events);
}

// One event handed to the window system; returns how many inputs it posted.
int deliverMouse(plHwnd window, const tmEvent& event)
{
    tmAction actions[tmMaxActions];
    const int count = tmRouteMouse(tmS.geometry, tmReadMenuBar(), tmS.scroll, &tmS.pointer, event.mouse, actions);
    int posted = 0;
    for (int i = 0; i < count; ++i) {
        const tmAction& a = actions[i];
        switch (a.kind) {
        case tmMouseDownAction:
            pwMouseDownCell(window, a.row, a.column, a.shift);
            break;
        case tmMouseMoveAction:
            pwMouseMoveCell(window, a.row, a.column, 1);
            break;
        case tmMouseUpAction:
            pwMouseUpCell(window, a.row, a.column);
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

int deliver(const tmEvent& event)
{
    plHwnd window = tmS.mainWindow;
    if (!window) return 0;
    if (tmS.cancelDialog) {
        // While printing, the cancel dialog is the only window that takes input.
        const bool cancels = event.kind == tmEscape || (event.kind == tmCharacter && event.byte == '\r');
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
        return tmApplyResize(true) ? 1 : 0;
    case tmMouse:
        return deliverMouse(window, event);
    }
    return 0;
}

}  // namespace

void tmMarkHungUp()
{
    if (tmS.hungUp) return;
    tmS.hungUp = true;
    tmS.closePending = true;
}

void tmReadTerminal(int timeout)
{
    pollfd fds[2] = {{tmS.wakePipe[0], POLLIN, 0}, {tmS.inputFd, POLLIN, 0}};
    const bool terminal = tmS.active && !tmS.hungUp;
    if (tmSignalPending()) timeout = 0;
    const int ready = poll(fds, terminal ? 2 : 1, timeout);
    if (ready <= 0) return;
    if (fds[0].revents) tmDrainWakePipe();
    if (!terminal || !fds[1].revents) return;
    if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[1].revents & POLLIN)) {
        tmMarkHungUp();
        return;
    }
    if (readBytes()) settleEscape();
}

int tmDeliverEvents()
{
    int posted = 0;
    while (posted < deliveryBudget && !tmS.events.empty()) {
        const tmEvent event = tmS.events.front();
        tmS.events.pop_front();
        posted += deliver(event);
    }
    return posted;
}

bool tmNextEvent(tmEvent* event, int timeout)
{
    const uint64_t start = tmMilliseconds();
    for (;;) {
        if (tmSignalPending()) {
            const tmGeometry before = tmS.geometry;
            tmHandleSignals();
            if (before.rows != tmS.geometry.rows || before.columns != tmS.geometry.columns || tmS.screenRestarted) {
                tmS.screenRestarted = false;
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
        tmReadTerminal(left);
    }
}
