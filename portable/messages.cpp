// The message queue: sending, posting, waiting, peeking, translating and
// dispatching, with the retrieval order of the host system: posted messages
// first (in the order posted), then the quit message, then one paint message
// for an invalid visible window.  Paint messages are never queued; they are
// made up while a window stays invalid.
//
// Painting is paced in frames: a blocking wait always paints first, but a
// non-blocking peek hands out a paint message only when a frame is due, when
// input was handled since the last paint, or when the front end has just
// posted input (which is then handled on what the window shows).
#include "portable/internal.h"

namespace ws {

enum { queueCapacity = 8192 };
enum : long { maxIdleCalls = 1000000 };

static plMsg queue[queueCapacity];
static int queueHead = 0;
static int queueCount = 0;
static bool quitPending = false;
static int quitCode = 0;
static bool inIdleHandler = false;
static bool inPeekHandler = false;

static plMsg& slot(int position)
{
    return queue[(queueHead + position) % queueCapacity];
}

static void removeAt(int position)
{
    if (position == 0) {
        // The common case, the oldest message: the queue's head moves on.
        queueHead = (queueHead + 1) % queueCapacity;
        --queueCount;
        return;
    }
    for (int i = position; i + 1 < queueCount; ++i) slot(i) = slot(i + 1);
    --queueCount;
}

static bool post(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam, bool front)
{
    if (window && !windowOf(window)) {
        lastError = 1400;
        return false;
    }
    if (queueCount == queueCapacity) {
        lastError = 1816;   // not enough quota
        return false;
    }
    if (front) {
        queueHead = (queueHead + queueCapacity - 1) % queueCapacity;
        ++queueCount;
        slot(0) = plMsg{window, message, wParam, lParam};
    } else {
        slot(queueCount) = plMsg{window, message, wParam, lParam};
        ++queueCount;
    }
    return true;
}

bool postFront(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    return post(window, message, wParam, lParam, true);
}

void discardMessagesFor(plHwnd window)
{
    for (int i = 0; i < queueCount;) {
        if (slot(i).hwnd == window) {
            removeAt(i);
        } else {
            ++i;
        }
    }
}

void resetMessages()
{
    queueHead = 0;
    queueCount = 0;
    quitPending = false;
    quitCode = 0;
    inIdleHandler = false;
    inPeekHandler = false;
}

static bool inRange(uint32_t message, uint32_t filterMin, uint32_t filterMax)
{
    if (filterMin == 0 && filterMax == 0) return true;
    return message >= filterMin && message <= filterMax;
}

static bool forWindow(plHwnd target, plHwnd filter)
{
    if (filter == nullptr) return true;
    if (filter == reinterpret_cast<plHwnd>(static_cast<intptr_t>(-1))) return target == nullptr;
    return target != nullptr && isDescendantOrSelf(target, filter);
}

// Takes the next posted message that passes the filters, or the quit
// message, without waiting.
static bool takePosted(plMsg* msg, plHwnd window, uint32_t filterMin, uint32_t filterMax, bool remove)
{
    for (int i = 0; i < queueCount; ++i) {
        const plMsg& m = slot(i);
        if (forWindow(m.hwnd, window) && inRange(m.message, filterMin, filterMax)) {
            *msg = m;
            if (remove) {
                removeAt(i);
                paintDue = true;
            }
            return true;
        }
    }
    if (quitPending && window == nullptr) {
        *msg = plMsg{nullptr, WM_QUIT, static_cast<plWparam>(static_cast<intptr_t>(quitCode)), 0};
        if (remove) quitPending = false;
        return true;
    }
    return false;
}

// A paint message for the first invalid visible window that passes the
// filters.
static bool takePaint(plMsg* msg, plHwnd window, uint32_t filterMin, uint32_t filterMax, bool remove)
{
    if (inRange(WM_PAINT, filterMin, filterMax)) {
        int chosen = -1;
        for (int i = 0; i < maxWindows; ++i) {
            const Window& w = windows[i];
            if (!w.used || !w.alive || !w.visible || !w.invalid || w.kind == windowControl) continue;
            if (!forWindow(handleOf(i), window)) continue;
            if (chosen < 0 || w.order < windows[chosen].order) chosen = i;
        }
        if (chosen >= 0) {
            *msg = plMsg{handleOf(chosen), WM_PAINT, 0, 0};
            if (remove) paintDue = false;
            return true;
        }
    }
    return false;
}

static bool take(plMsg* msg, plHwnd window, uint32_t filterMin, uint32_t filterMax, bool remove)
{
    return takePosted(msg, window, filterMin, filterMax, remove) || takePaint(msg, window, filterMin, filterMax, remove);
}

// Sends a paint message, validating the window afterwards when the procedure
// never began painting (otherwise the window would stay invalid and the
// queue would hand out paint messages for ever).
static plLresult sendPaint(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    Window* w = windowOf(window);
    if (!w) return 0;
    int begun = w->paintsBegun;
    plLresult result = callProcedure(window, message, wParam, lParam);
    w = windowOf(window);
    if (w && w->paintsBegun == begun) {
        w->invalid = false;
        w->erasePending = false;
    }
    return result;
}

}  // namespace ws

using namespace ws;

plLresult plSendMessage(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    if (!windowOf(window)) {
        lastError = 1400;
        return 0;
    }
    return callProcedure(window, message, wParam, lParam);
}

int plPostMessage(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    return post(window, message, wParam, lParam, false) ? 1 : 0;
}

void plPostQuitMessage(int exitCode)
{
    quitPending = true;
    quitCode = exitCode;
}

int plPeekMessage(plMsg* msg, plHwnd window, uint32_t filterMin, uint32_t filterMax, uint32_t remove)
{
    if (!msg) return 0;
    bool removing = (remove & PM_REMOVE) != 0;
    if (takePosted(msg, window, filterMin, filterMax, removing)) return 1;
    const bool due = frameDue();
    if ((paintDue || due) && takePaint(msg, window, filterMin, filterMax, removing)) return 1;
    // Output drawn straight onto a window reaches the front end in frames.
    if (due) reportFrame();
    if (hooks.poll && !inPeekHandler) {
        FlagGuard guard(inPeekHandler);
        for (long calls = 0; calls < maxIdleCalls && hooks.poll(); ++calls) {
            // The input is handled on what the window shows: paint first.
            if (takePaint(msg, window, filterMin, filterMax, removing) ||
                takePosted(msg, window, filterMin, filterMax, removing)) {
                return 1;
            }
        }
    }
    return 0;
}

int plGetMessage(plMsg* msg, plHwnd window, uint32_t filterMin, uint32_t filterMax)
{
    if (!msg) {
        lastError = 87;
        return -1;
    }
    if (take(msg, window, filterMin, filterMax, true)) return msg->message == WM_QUIT ? 0 : 1;
    if (hooks.wait && !inIdleHandler) {
        FlagGuard guard(inIdleHandler);
        // Everything drawn is shown before the wait.  A front end that keeps
        // saying it acted without ever delivering anything would otherwise
        // keep the wait going for ever.
        long calls = 0;
        for (reportFrame(); calls < maxIdleCalls && hooks.wait(); ++calls, reportFrame()) {
            if (take(msg, window, filterMin, filterMax, true)) return msg->message == WM_QUIT ? 0 : 1;
        }
    }
    *msg = plMsg{nullptr, WM_NULL, 0, 0};
    fail("a blocking wait for a message found nothing to deliver and no more input");
    // The handler returned: end the caller's message loop rather than spin.
    if (!quitPending) {
        quitPending = true;
        quitCode = 0;
    }
    return -1;
}

// The character a key produces, or 0 (no shift state is kept, so letters are
// lower case).
static unsigned characterOfKey(plWparam key)
{
    if (key == VK_BACK || key == VK_TAB || key == VK_RETURN || key == 0x1B || key == 0x20) {
        return static_cast<unsigned>(key);
    }
    if (key >= '0' && key <= '9') return static_cast<unsigned>(key);
    if (key >= 'A' && key <= 'Z') return static_cast<unsigned>(key - 'A' + 'a');
    if (key >= 0x60 && key <= 0x69) return static_cast<unsigned>(key - 0x60 + '0');
    return 0;
}

int plTranslateMessage(const plMsg* msg)
{
    if (!msg) return 0;
    if (msg->message == WM_KEYDOWN) {
        unsigned character = characterOfKey(msg->wParam);
        if (character) postFront(msg->hwnd, WM_CHAR, character, msg->lParam);
        return 1;
    }
    return msg->message == WM_KEYUP ? 1 : 0;
}

plLresult plDispatchMessage(const plMsg* msg)
{
    if (!msg || !msg->hwnd || !windowOf(msg->hwnd)) return 0;
    if (msg->message == WM_PAINT) return sendPaint(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    return callProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

int plUpdateWindow(plHwnd window)
{
    Window* w = windowOf(window);
    if (!w) return 0;
    if (w->visible && w->invalid) sendPaint(window, WM_PAINT, 0, 0);
    return 1;
}

plLresult plDefWindowProc(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    Window* w = windowOf(window);
    if (!w) return 0;
    switch (message) {
    case WM_CLOSE:
        plDestroyWindow(window);
        return 0;
    case WM_PAINT: {
        plPaintStruct paint{};
        if (plBeginPaint(window, &paint)) plEndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        eraseSurface(*w);
        return 1;
    case WM_SETTEXT:
        w->title = lParam ? reinterpret_cast<const char*>(lParam) : "";
        if (hooks.windowChanged) hooks.windowChanged(window, pwTitle);
        return 1;
    case WM_QUERYENDSESSION:
        return 1;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0u) == SC_CLOSE) callProcedure(window, WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}
