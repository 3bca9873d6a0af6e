// The process, windows and messages: platform.h passed through to the real
// API.  Handles are the system's own, only retyped; the records whose layout
// is the system's business (window class, message) are translated here.
#include "win32/callbacks.h"

#include <cstring>

using w32::throughSystem;

namespace {

HWND real(plHwnd window) { return reinterpret_cast<HWND>(window); }
plHwnd ours(HWND window) { return reinterpret_cast<plHwnd>(window); }

// ---------------------------------------------------------------------------
// Messages.  The console's message record holds four fields; the system's
// also holds the time and pointer position, which translating keys and
// accelerators may use.  The system's record is kept for the console's
// record it was copied into, as long as that still holds the same message.

enum { keptMessages = 16 };
struct KeptMessage {
    const plMsg* where;
    MSG message;
};
KeptMessage kept[keptMessages];
int nextKept;

void keep(const plMsg* where, const MSG& message)
{
    for (KeptMessage& entry : kept) {
        if (entry.where == where) {
            entry.message = message;
            return;
        }
    }
    kept[nextKept].where = where;
    kept[nextKept].message = message;
    nextKept = (nextKept + 1) % keptMessages;
}

void copyMessage(const MSG& message, plMsg* out)
{
    out->hwnd = ours(message.hwnd);
    out->message = message.message;
    out->wParam = message.wParam;
    out->lParam = message.lParam;
}

}  // namespace

MSG w32::systemMessage(const plMsg* message)
{
    for (const KeptMessage& entry : kept) {
        if (entry.where == message && entry.message.hwnd == real(message->hwnd) &&
            entry.message.message == message->message && entry.message.wParam == message->wParam &&
            entry.message.lParam == message->lParam) {
            return entry.message;
        }
    }
    MSG made;
    std::memset(&made, 0, sizeof made);
    made.hwnd = real(message->hwnd);
    made.message = message->message;
    made.wParam = message->wParam;
    made.lParam = message->lParam;
    made.time = static_cast<DWORD>(GetMessageTime());
    DWORD position = GetMessagePos();
    made.pt.x = static_cast<SHORT>(LOWORD(position));
    made.pt.y = static_cast<SHORT>(HIWORD(position));
    return made;
}

// ---------------------------------------------------------------------------
// Process and instance.

const char* plGetCommandLine()
{
    return GetCommandLineA();
}

void plGetStartupInfo(plStartupInfo* info)
{
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    info->flags = startup.dwFlags;
    info->showWindow = startup.wShowWindow;
}

plHinstance plGetModuleHandle(const char* moduleName)
{
    return reinterpret_cast<plHinstance>(GetModuleHandleA(moduleName));
}

plHicon plLoadIcon(plHinstance instance, uintptr_t id)
{
    return reinterpret_cast<plHicon>(LoadIconA(reinterpret_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(id)));
}

plHcursor plLoadCursor(plHinstance instance, uintptr_t id)
{
    return reinterpret_cast<plHcursor>(LoadCursorA(reinterpret_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(id)));
}

uint32_t plGetVersion()
{
    return GetVersion();
}

uint32_t plGetLastError()
{
    return GetLastError();
}

// ---------------------------------------------------------------------------
// Windows.

int plRegisterClass(const plWndClass* windowClass)
{
    WNDPROC procedure = w32::windowProcedureFor(windowClass->proc);
    if (procedure == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    WNDCLASSEXA real;
    std::memset(&real, 0, sizeof real);
    real.cbSize = sizeof real;
    real.style = windowClass->style;
    real.lpfnWndProc = procedure;
    real.cbClsExtra = windowClass->classExtra;
    real.cbWndExtra = windowClass->windowExtra;
    real.hInstance = reinterpret_cast<HINSTANCE>(windowClass->instance);
    real.hIcon = reinterpret_cast<HICON>(windowClass->icon);
    real.hCursor = reinterpret_cast<HCURSOR>(windowClass->cursor);
    real.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(windowClass->background));
    real.lpszMenuName = windowClass->menuName;
    real.lpszClassName = windowClass->className;
    real.hIconSm = reinterpret_cast<HICON>(windowClass->smallIcon);
    return RegisterClassExA(&real) != 0;
}

plHwnd plCreateWindowEx(uint32_t exStyle, const char* className, const char* title, uint32_t style, int32_t x,
                        int32_t y, int32_t width, int32_t height, plHwnd parent, plHmenu menu, plHinstance instance,
                        void* param)
{
    return throughSystem([&] {
        return ours(CreateWindowExA(exStyle, className, title, style, x, y, width, height, real(parent),
                                    reinterpret_cast<HMENU>(menu), reinterpret_cast<HINSTANCE>(instance), param));
    });
}

int plShowWindow(plHwnd window, int show)
{
    return throughSystem([&] { return static_cast<int>(ShowWindow(real(window), show)); });
}

int plUpdateWindow(plHwnd window)
{
    return throughSystem([&] { return static_cast<int>(UpdateWindow(real(window))); });
}

int plDestroyWindow(plHwnd window)
{
    return throughSystem([&] { return static_cast<int>(DestroyWindow(real(window))); });
}

int plIsWindow(plHwnd window)
{
    return IsWindow(real(window)) ? 1 : 0;
}

int plSetWindowText(plHwnd window, const char* text)
{
    return throughSystem([&] { return static_cast<int>(SetWindowTextA(real(window), text)); });
}

int plGetWindowText(plHwnd window, char* text, int size)
{
    return throughSystem([&] { return GetWindowTextA(real(window), text, size); });
}

int plEnableWindow(plHwnd window, int enable)
{
    return throughSystem([&] { return static_cast<int>(EnableWindow(real(window), enable ? TRUE : FALSE)); });
}

int plIsWindowEnabled(plHwnd window)
{
    return IsWindowEnabled(real(window)) ? 1 : 0;
}

plHwnd plGetFocus()
{
    return ours(GetFocus());
}

plHwnd plSetFocus(plHwnd window)
{
    return throughSystem([&] { return ours(SetFocus(real(window))); });
}

plHwnd plGetParent(plHwnd window)
{
    return ours(GetParent(real(window)));
}

// ---------------------------------------------------------------------------
// Messages.

plLresult plSendMessage(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    return throughSystem([&] { return SendMessageA(real(window), message, wParam, lParam); });
}

int plPostMessage(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    return PostMessageA(real(window), message, wParam, lParam) ? 1 : 0;
}

void plPostQuitMessage(int exitCode)
{
    PostQuitMessage(exitCode);
}

int plGetMessage(plMsg* msg, plHwnd window, uint32_t filterMin, uint32_t filterMax)
{
    MSG message;
    BOOL got = throughSystem([&] { return GetMessageA(&message, real(window), filterMin, filterMax); });
    if (got == -1) {
        return -1;
    }
    copyMessage(message, msg);
    keep(msg, message);
    return got ? 1 : 0;
}

int plPeekMessage(plMsg* msg, plHwnd window, uint32_t filterMin, uint32_t filterMax, uint32_t remove)
{
    MSG message;
    BOOL got = throughSystem([&] { return PeekMessageA(&message, real(window), filterMin, filterMax, remove); });
    if (!got) {
        return 0;
    }
    copyMessage(message, msg);
    keep(msg, message);
    return 1;
}

int plTranslateMessage(const plMsg* msg)
{
    MSG message = w32::systemMessage(msg);
    return TranslateMessage(&message) ? 1 : 0;
}

plLresult plDispatchMessage(const plMsg* msg)
{
    MSG message = w32::systemMessage(msg);
    return throughSystem([&] { return DispatchMessageA(&message); });
}

plLresult plDefWindowProc(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    return throughSystem([&] { return DefWindowProcA(real(window), message, wParam, lParam); });
}

plHaccel plLoadAccelerators(plHinstance instance, const char* name)
{
    return reinterpret_cast<plHaccel>(LoadAcceleratorsA(reinterpret_cast<HINSTANCE>(instance), name));
}

int plTranslateAccelerator(plHwnd window, plHaccel accelerators, plMsg* msg)
{
    MSG message = w32::systemMessage(msg);
    return throughSystem([&] {
        return TranslateAcceleratorA(real(window), reinterpret_cast<HACCEL>(accelerators), &message);
    });
}

