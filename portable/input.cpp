// The user's input as a front end posts it.
#include "portable/input.h"

#include "portable/internal.h"

namespace ws {

static void postInput(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    Window* w = windowOf(window);
    if (!w || !w->enabled) return;   // a disabled window takes no input
    plPostMessage(window, message, wParam, lParam);
}

static plLparam point(int x, int y)
{
    return plMakeLong(static_cast<unsigned>(x) & 0xFFFFu, static_cast<unsigned>(y) & 0xFFFFu);
}

}  // namespace ws

using namespace ws;

void pwPostChar(plHwnd window, unsigned char character)
{
    postInput(window, WM_CHAR, character, 1);
}

void pwType(plHwnd window, const char* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i) pwPostChar(window, static_cast<unsigned char>(bytes[i]));
}

void pwPostKey(plHwnd window, uint32_t virtualKey)
{
    postInput(window, WM_KEYDOWN, virtualKey, 1);
}

void pwMouseDown(plHwnd window, int x, int y, int shift)
{
    postInput(window, WM_LBUTTONDOWN, MK_LBUTTON | (shift ? MK_SHIFT : 0u), point(x, y));
}

void pwMouseUp(plHwnd window, int x, int y)
{
    postInput(window, WM_LBUTTONUP, 0, point(x, y));
}

void pwMouseMove(plHwnd window, int x, int y, int buttonDown)
{
    postInput(window, WM_MOUSEMOVE, buttonDown ? MK_LBUTTON : 0u, point(x, y));
}

void pwScroll(plHwnd window, int code, int position)
{
    postInput(window, WM_VSCROLL,
              static_cast<plWparam>(plMakeLong(static_cast<unsigned>(code), static_cast<unsigned>(position))), 0);
}

void pwClose(plHwnd window)
{
    postInput(window, WM_CLOSE, 0, 0);
}

plHmenu pwOpenMenu(plHwnd window, int position)
{
    Window* w = windowOf(window);
    if (!w || !w->enabled) return nullptr;
    pwMenuItemInfo item{};
    if (!pwMenuItem(w->menu, position, &item) || !item.popup) return nullptr;
    plHmenu popup = item.popup;
    callProcedure(window, WM_INITMENUPOPUP, reinterpret_cast<plWparam>(popup),
                  plMakeLong(static_cast<unsigned>(position), 0));
    // The procedure may have changed (or even destroyed) the menu.
    w = windowOf(window);
    return w && pwMenuItem(w->menu, position, &item) ? item.popup : nullptr;
}

int pwChooseMenuItem(plHwnd window, uint16_t id)
{
    Window* w = windowOf(window);
    if (!w) return -1;
    if (menuItemState(w->menu, id) == -1) return -1;
    if (!w->enabled) return 0;
    int state = openPopupFor(window, id);
    if (state == -1 || (state & (MF_GRAYED | MF_DISABLED)) != 0) return state == -1 ? -1 : 0;
    plPostMessage(window, WM_COMMAND, id, 0);
    return 1;
}

int pwPressDialogButton(plHwnd dialog, uint16_t id)
{
    plHwnd control = dialogControl(dialog, id);
    if (!control) return 0;
    return plPostMessage(dialog, WM_COMMAND, id, reinterpret_cast<plLparam>(control));
}

void pwResize(plHwnd window, int width, int height)
{
    Window* w = windowOf(window);
    if (!w) return;
    width = width < 0 ? 0 : (width > 0xFFFF ? 0xFFFF : width);
    height = height < 0 ? 0 : (height > 0xFFFF ? 0xFFFF : height);
    bool changed = width != w->clientWidth || height != w->clientHeight;
    w->clientWidth = width;
    w->clientHeight = height;
    setupSurface(*w);
    if (changed && hooks.windowChanged) hooks.windowChanged(window, pwResized);
    w = windowOf(window);
    if (!w) return;
    uint32_t style = w->classIndex >= 0 ? classes[w->classIndex].style : 0;
    if (changed && (style & (CS_HREDRAW | CS_VREDRAW))) plInvalidateRect(window, nullptr, 1);
    callProcedure(window, WM_SIZE, 0, plMakeLong(static_cast<unsigned>(width), static_cast<unsigned>(height)));
}

void pwFocus(plHwnd window)
{
    plSetFocus(window);
}

plLresult pwQueryEndSession(plHwnd window)
{
    return plSendMessage(window, WM_QUERYENDSESSION, 0, 0);
}

int pwPump()
{
    int handled = 0;
    plMsg msg{};
    while (plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            plPostQuitMessage(static_cast<int>(msg.wParam));   // leave it for the caller's loop
            break;
        }
        plTranslateMessage(&msg);
        plDispatchMessage(&msg);
        if (++handled > 1000000) {
            fail("the message pump never ran dry");
            break;
        }
    }
    return handled;
}
