// The portable window system: process information, window classes, windows,
// their visibility, enabled state, titles and the keyboard focus.
//
// In-process and single-threaded.  Window procedures are called directly;
// a procedure may unwind with a C++ exception (the console's return point),
// so everything that must be restored afterwards is restored by a guard.
#include <cstring>
#include <strings.h>

#include "portable/internal.h"

namespace ws {

WindowClass classes[maxClasses];
Window windows[maxWindows];
plHwnd focusWindow = nullptr;
uint32_t lastError = 0;

static uint64_t creationCounter = 0;
static int sendDepth = 0;
enum { maxSendDepth = 400 };

// Raises a counter for the length of a scope, also when the scope unwinds.
struct DepthGuard {
    int& counter;
    explicit DepthGuard(int& c) : counter(c) { ++counter; }
    ~DepthGuard() { --counter; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

int windowIndexOf(plHwnd handle)
{
    return slotOf(reinterpret_cast<uintptr_t>(handle), windows);
}

Window* windowOf(plHwnd handle)
{
    int index = windowIndexOf(handle);
    return index < 0 ? nullptr : &windows[index];
}

plHwnd handleOf(int index)
{
    return reinterpret_cast<plHwnd>(packHandle(index, windows[index].generation));
}

bool isDescendantOrSelf(plHwnd window, plHwnd ancestor)
{
    for (int steps = 0; window && steps < maxWindows; ++steps) {
        if (window == ancestor) return true;
        Window* w = windowOf(window);
        if (!w || w->kind != windowControl) return false;
        window = w->parent;
    }
    return false;
}

// Tells the front end what changed about a window.
static void changed(plHwnd window, uint32_t changes)
{
    if (hooks.windowChanged) hooks.windowChanged(window, changes);
}

static int allocateWindow(WindowKind kind)
{
    for (int i = 0; i < maxWindows; ++i) {
        if (!windows[i].used) {
            uint16_t generation = nextGeneration(windows[i].generation);
            windows[i] = Window{};
            windows[i].used = true;
            windows[i].generation = generation;
            windows[i].alive = true;
            windows[i].kind = kind;
            windows[i].classIndex = -1;
            windows[i].enabled = true;
            windows[i].showValue = -1;
            windows[i].order = ++creationCounter;
            return i;
        }
    }
    lastError = 1158;   // no more windows
    return -1;
}

static void freeWindow(int index)
{
    uint16_t generation = windows[index].generation;
    windows[index] = Window{};
    windows[index].generation = generation;
}

// The default handling of a dialog box: a close request becomes Cancel.
static plLresult defaultDialogHandling(plHwnd dialog, uint32_t message, plWparam wParam, plLparam lParam)
{
    if (message == WM_CLOSE) {
        plPostMessage(dialog, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    return plDefWindowProc(dialog, message, wParam, lParam);
}

plLresult callProcedure(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    Window* w = windowOf(window);
    if (!w) return 0;
    if (sendDepth >= maxSendDepth) {
        failf("window messages nested more than %d deep (message 0x%04x)", maxSendDepth, message);
        return 0;
    }
    DepthGuard depth(sendDepth);
    switch (w->kind) {
    case windowPlain:
        return w->proc ? w->proc(window, message, wParam, lParam) : plDefWindowProc(window, message, wParam, lParam);
    case windowDialog: {
        plDlgProc proc = w->dialogProc;
        intptr_t handled = proc ? proc(window, message, wParam, lParam) : 0;
        if (handled) return handled;
        return defaultDialogHandling(window, message, wParam, lParam);
    }
    case windowControl:
        return plDefWindowProc(window, message, wParam, lParam);
    }
    return 0;
}

plHwnd createInternalWindow(WindowKind kind, plHwnd parent, const char* title, uint16_t controlId,
                            uint32_t controlKind, plDlgProc dialogProc)
{
    int index = allocateWindow(kind);
    if (index < 0) return nullptr;
    Window& w = windows[index];
    w.parent = parent;
    w.title = title ? title : "";
    w.controlId = controlId;
    w.controlKind = controlKind;
    w.dialogProc = dialogProc;
    w.visible = true;
    w.everShown = true;
    plHwnd handle = handleOf(index);
    changed(handle, pwCreated | pwShown);
    return handle;
}

void resetWindows()
{
    for (int i = 0; i < maxWindows; ++i) freeWindow(i);
    for (int i = 0; i < maxClasses; ++i) {
        uint16_t generation = classes[i].generation;
        classes[i] = WindowClass{};
        classes[i].generation = generation;
    }
    focusWindow = nullptr;
    sendDepth = 0;
    lastError = 0;
}

static bool activates(int show)
{
    return show != SW_HIDE && show != SW_SHOWNOACTIVATE && show != SW_MINIMIZE && show != SW_SHOWMINNOACTIVE &&
           show != SW_SHOWNA;
}

}  // namespace ws

using namespace ws;

// ---------------------------------------------------------------------------
// Process and instance.

static char instanceMarker;

const char* plGetCommandLine()
{
    return settings.commandLine.c_str();
}

void plGetStartupInfo(plStartupInfo* info)
{
    if (!info) return;
    info->flags = settings.startupFlags;
    info->showWindow = settings.startupShow;
}

plHinstance plGetModuleHandle(const char* moduleName)
{
    if (moduleName) {
        lastError = 126;   // module not found
        return nullptr;
    }
    return reinterpret_cast<plHinstance>(&instanceMarker);
}

plHicon plLoadIcon(plHinstance instance, uintptr_t id)
{
    static char standardIcon;
    if (instance == nullptr && id == IDI_APPLICATION) return reinterpret_cast<plHicon>(&standardIcon);
    lastError = 1813;   // resource not found
    return nullptr;
}

plHcursor plLoadCursor(plHinstance instance, uintptr_t id)
{
    static char standardCursor;
    if (instance == nullptr && id == IDC_ARROW) return reinterpret_cast<plHcursor>(&standardCursor);
    lastError = 1813;
    return nullptr;
}

uint32_t plGetVersion()
{
    // Version 5.1, build 2600: the top bit is clear (not the old 9x family).
    return (2600u << 16) | 0x0105u;
}

uint32_t plGetLastError()
{
    return lastError;
}

// ---------------------------------------------------------------------------
// Classes and windows.

static int findClass(const char* name)
{
    if (!name) return -1;
    for (int i = 0; i < maxClasses; ++i) {
        if (classes[i].used && strcasecmp(classes[i].name, name) == 0) return i;
    }
    return -1;
}

int plRegisterClass(const plWndClass* windowClass)
{
    if (!windowClass || !windowClass->className || !windowClass->proc ||
        std::strlen(windowClass->className) >= maxNameLength ||
        (windowClass->menuName && std::strlen(windowClass->menuName) >= maxNameLength)) {
        lastError = 87;   // invalid parameter
        return 0;
    }
    if (findClass(windowClass->className) >= 0) {
        lastError = 1410;   // class already exists
        return 0;
    }
    for (int i = 0; i < maxClasses; ++i) {
        if (classes[i].used) continue;
        WindowClass& c = classes[i];
        c.used = true;
        c.generation = nextGeneration(c.generation);
        std::strcpy(c.name, windowClass->className);
        std::strcpy(c.menuName, windowClass->menuName ? windowClass->menuName : "");
        c.style = windowClass->style;
        c.proc = windowClass->proc;
        c.instance = windowClass->instance;
        c.background = windowClass->background;
        return 0xC000 + i;
    }
    lastError = 8;
    return 0;
}

plHwnd plCreateWindowEx(uint32_t, const char* className, const char* title, uint32_t style, int32_t, int32_t,
                        int32_t width, int32_t height, plHwnd parent, plHmenu menu, plHinstance, void* param)
{
    int classIndex = findClass(className);
    if (classIndex < 0) {
        lastError = 1407;   // cannot find the window class
        return nullptr;
    }
    int index = allocateWindow(windowPlain);
    if (index < 0) return nullptr;
    Window& w = windows[index];
    const WindowClass& c = classes[classIndex];
    w.classIndex = classIndex;
    w.proc = c.proc;
    w.style = style & ~WS_VISIBLE;
    w.title = title ? title : "";
    w.parent = parent;
    bool useDefault = width == CW_USEDEFAULT;
    const pwScreenInfo screen = screenInfo();
    w.clientWidth = useDefault ? screen.clientWidth : (width < 0 ? 0 : width);
    w.clientHeight = useDefault || height == CW_USEDEFAULT ? screen.clientHeight : (height < 0 ? 0 : height);
    const pwFontMetrics cell = measure(nullptr);
    w.surface.cellWidth = cell.width;
    w.surface.cellHeight = cell.height + cell.externalLeading;
    setupSurface(w);
    eraseSurface(w);
    if (menu) {
        w.menu = menu;
    } else if (c.menuName[0]) {
        w.menu = loadMenuFor(c.instance, c.menuName);
    }
    plHwnd handle = handleOf(index);
    changed(handle, pwCreated);
    if (callProcedure(handle, WM_CREATE, 0, reinterpret_cast<plLparam>(param)) == -1) {
        plDestroyWindow(handle);
        return nullptr;
    }
    Window* alive = windowOf(handle);
    if (!alive) return nullptr;
    callProcedure(handle, WM_SIZE, 0, plMakeLong(static_cast<unsigned>(alive->clientWidth),
                                                 static_cast<unsigned>(alive->clientHeight)));
    if (!windowOf(handle)) return nullptr;
    if (style & WS_VISIBLE) plShowWindow(handle, SW_SHOW);
    return windowOf(handle) ? handle : nullptr;
}

int plShowWindow(plHwnd window, int show)
{
    Window* w = windowOf(window);
    if (!w) return 0;
    bool wasVisible = w->visible;
    w->showValue = show;
    if (show == SW_HIDE) {
        w->visible = false;
        if (wasVisible) changed(window, pwHidden);
        if (focusWindow && isDescendantOrSelf(focusWindow, window)) plSetFocus(nullptr);
        return wasVisible ? 1 : 0;
    }
    w->visible = true;
    if (!wasVisible) {
        w->invalid = true;
        w->erasePending = true;
        w->surface.reportAll = true;
        w->scrollBarChanged = true;
        changed(window, pwShown);
    }
    bool first = !w->everShown;
    w->everShown = true;
    if (!wasVisible && activates(show) && w->kind != windowControl && w->enabled) plSetFocus(window);
    if (first && (w = windowOf(window)) != nullptr) {
        callProcedure(window, WM_SIZE, 0, plMakeLong(static_cast<unsigned>(w->clientWidth),
                                                     static_cast<unsigned>(w->clientHeight)));
    }
    return wasVisible ? 1 : 0;
}

// Finishes a window's destruction even when its WM_DESTROY handler unwinds.
struct DestroyGuard {
    plHwnd window;
    ~DestroyGuard()
    {
        int index = windowIndexOf(window);
        if (index < 0) return;
        Window& w = windows[index];
        destroyCaretOf(window);
        releaseDcsOf(window);
        discardMessagesFor(window);
        if (w.menu) destroyMenu(w.menu);
        if (w.systemMenu) destroyMenu(w.systemMenu);
        if (focusWindow == window) focusWindow = nullptr;
        freeWindow(index);
        changed(window, pwDestroyed);
    }
};

int plDestroyWindow(plHwnd window)
{
    Window* w = windowOf(window);
    if (!w || !w->alive) {
        lastError = 1400;   // invalid window handle
        return 0;
    }
    w->alive = false;
    DestroyGuard guard{window};
    // Owned windows and controls go first.
    for (int i = 0; i < maxWindows; ++i) {
        if (windows[i].used && windows[i].alive && windows[i].parent == window) plDestroyWindow(handleOf(i));
    }
    if (focusWindow && isDescendantOrSelf(focusWindow, window)) {
        w = windowOf(window);
        Window* owner = w && w->kind != windowControl ? windowOf(w->parent) : nullptr;
        plHwnd next = owner && owner->alive && owner->enabled && owner->visible ? w->parent : nullptr;
        plSetFocus(next);
    }
    if ((w = windowOf(window)) != nullptr) w->visible = false;
    callProcedure(window, WM_DESTROY, 0, 0);
    return 1;
}

int plIsWindow(plHwnd window)
{
    return windowOf(window) ? 1 : 0;
}

int plSetWindowText(plHwnd window, const char* text)
{
    if (!windowOf(window)) {
        lastError = 1400;
        return 0;
    }
    return callProcedure(window, WM_SETTEXT, 0, reinterpret_cast<plLparam>(text ? text : "")) ? 1 : 0;
}

int plGetWindowText(plHwnd window, char* text, int size)
{
    Window* w = windowOf(window);
    if (!text || size <= 0) return 0;
    text[0] = 0;
    if (!w) return 0;
    size_t n = w->title.size();
    if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
    std::memcpy(text, w->title.data(), n);
    text[n] = 0;
    return static_cast<int>(n);
}

int plEnableWindow(plHwnd window, int enable)
{
    Window* w = windowOf(window);
    if (!w) return 0;
    bool wasDisabled = !w->enabled;
    if (enable && wasDisabled) {
        w->enabled = true;
        changed(window, pwEnabled);
        callProcedure(window, WM_ENABLE, 1, 0);
    } else if (!enable && !wasDisabled) {
        w->enabled = false;
        ++w->disableCount;
        changed(window, pwDisabled);
        if (focusWindow && isDescendantOrSelf(focusWindow, window)) plSetFocus(nullptr);
        callProcedure(window, WM_ENABLE, 0, 0);
    }
    return wasDisabled ? 1 : 0;
}

int plIsWindowEnabled(plHwnd window)
{
    Window* w = windowOf(window);
    return w && w->enabled ? 1 : 0;
}

plHwnd plGetFocus()
{
    return windowOf(focusWindow) ? focusWindow : nullptr;
}

plHwnd plSetFocus(plHwnd window)
{
    Window* target = nullptr;
    if (window) {
        target = windowOf(window);
        if (!target || !target->alive || !target->enabled) {
            lastError = 1400;
            return nullptr;
        }
    }
    plHwnd old = plGetFocus();
    if (old == window) return old;
    if (old) callProcedure(old, WM_KILLFOCUS, reinterpret_cast<plWparam>(window), 0);
    if (window && !windowOf(window)) {
        focusWindow = nullptr;
        return old;
    }
    focusWindow = window;
    if (window) callProcedure(window, WM_SETFOCUS, reinterpret_cast<plWparam>(old), 0);
    return old;
}

plHwnd plGetParent(plHwnd window)
{
    Window* w = windowOf(window);
    if (!w || !windowOf(w->parent)) return nullptr;
    return w->parent;
}
