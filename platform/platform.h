// The platform layer: every windowing, drawing, dialog, clipboard and printing
// operation the console window uses, and nothing else.  The console's code
// reaches the window system only through this header.
//
// Message numbers, parameter packing, show values, scroll codes, key codes and
// message-box results are Win32's, so that a native Windows build implements
// these functions as a thin pass-through to the real API (win32/).  On hosts
// without Win32, the portable window system (portable/) implements them and
// shows the windows through one front end (portable/frontend.h).
//
// The return point.  A window procedure, and a dialog or abort procedure,
// may leave by throwing the console's return point (a C++ exception: exit,
// abort or the interrupt abandoning the application).  Every call that runs
// one of them (plSendMessage, plDispatchMessage, plCreateWindowEx,
// plDestroyWindow, plShowWindow, plSetFocus, plUpdateWindow, the modal boxes
// and dialogs, the spooler calls, ...) must let it pass to its caller.  A
// window system whose callbacks run inside frames of its own that C++
// exceptions cannot cross must catch it at the procedure's edge, keep it
// pending, and throw it again once control is back in the caller's code.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Handles and basic types.
typedef struct plWindowObject* plHwnd;
typedef struct plDcObject* plHdc;
typedef struct plGdiObject* plHgdiobj;       // fonts (and pens)
typedef plHgdiobj plHfont;
typedef struct plMenuObject* plHmenu;
typedef struct plAccelObject* plHaccel;
typedef struct plInstanceObject* plHinstance;
typedef struct plIconObject* plHicon;
typedef struct plCursorObject* plHcursor;
typedef struct plGlobalObject* plHglobal;

typedef uintptr_t plWparam;
typedef intptr_t plLparam;
typedef intptr_t plLresult;
typedef uint32_t plColor;    // 0x00BBGGRR

constexpr plColor plRgb(unsigned r, unsigned g, unsigned b) { return (r & 255u) | ((g & 255u) << 8) | ((b & 255u) << 16); }
constexpr uint16_t plLoWord(uintptr_t v) { return static_cast<uint16_t>(v & 0xFFFFu); }
constexpr uint16_t plHiWord(uintptr_t v) { return static_cast<uint16_t>((v >> 16) & 0xFFFFu); }
constexpr intptr_t plMakeLong(unsigned lo, unsigned hi) { return static_cast<intptr_t>(static_cast<uint32_t>((lo & 0xFFFFu) | ((hi & 0xFFFFu) << 16))); }

typedef plLresult (*plWndProc)(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam);
typedef intptr_t (*plDlgProc)(plHwnd dialog, uint32_t message, plWparam wParam, plLparam lParam);
typedef int (*plAbortProc)(plHdc dc, int error);

struct plMsg {
    plHwnd hwnd;
    uint32_t message;
    plWparam wParam;
    plLparam lParam;
};

struct plPoint { int32_t x, y; };
struct plRect { int32_t left, top, right, bottom; };

struct plPaintStruct {
    plHdc hdc;
    int erase;
    plRect paint;
};

struct plWndClass {
    uint32_t style;
    plWndProc proc;
    int classExtra;
    int windowExtra;
    plHinstance instance;
    plHicon icon;
    plHcursor cursor;
    int background;            // a system colour index + 1
    const char* menuName;
    const char* className;
    plHicon smallIcon;
};

struct plTextMetric {
    int32_t height;
    int32_t ascent;
    int32_t descent;
    int32_t internalLeading;
    int32_t externalLeading;
    int32_t aveCharWidth;
    int32_t maxCharWidth;
};

struct plStartupInfo {
    uint32_t flags;            // bit 0: STARTF_USESHOWWINDOW
    uint16_t showWindow;
};

// The save-file dialog's request record (OPENFILENAMEA's fields, in order).
struct plOpenFileName {
    uint32_t structSize;
    plHwnd owner;
    plHinstance instance;
    const char* filter;        // pairs of NUL-terminated strings, ended by an empty one
    char* customFilter;
    uint32_t maxCustomFilter;
    uint32_t filterIndex;
    char* file;
    uint32_t maxFile;
    char* fileTitle;
    uint32_t maxFileTitle;
    const char* initialDir;
    const char* title;
    uint32_t flags;
    uint16_t fileOffset;
    uint16_t fileExtension;
    const char* defExt;
    plLparam custData;
    void* hook;
    const char* templateName;
};

// The print dialog's record (PRINTDLGA's fields, in order).
struct plPrintDlg {
    uint32_t structSize;       // 66
    plHwnd owner;
    plHglobal devMode;
    plHglobal devNames;
    plHdc hdc;
    uint32_t flags;
    uint16_t fromPage;
    uint16_t toPage;
    uint16_t minPage;
    uint16_t maxPage;
    uint16_t copies;
    plHinstance instance;
    plLparam custData;
    void* printHook;
    void* setupHook;
    const char* printTemplateName;
    const char* setupTemplateName;
    plHglobal printTemplate;
    plHglobal setupTemplate;
};

// The spooler's document information (DOCINFOA).
struct plDocInfo {
    int32_t size;              // 20
    const char* docName;
    const char* output;
    const char* datatype;
    uint32_t type;
};

// Printer enumeration records (levels 4 and 5).
struct plPrinterInfo4 {
    char* printerName;
    char* serverName;
    uint32_t attributes;
};
struct plPrinterInfo5 {
    char* printerName;
    char* portName;
    uint32_t attributes;
    uint32_t deviceNotSelectedTimeout;
    uint32_t transmissionRetryTimeout;
};

// ---------------------------------------------------------------------------
// Resources.  A native build compiles these into real resources; the portable
// window system is handed the same data by the program at start-up.
struct plMenuTemplateItem {
    uint32_t flags;            // MF_POPUP for a popup header, MF_SEPARATOR, MF_GRAYED; MF_END on the last of a popup / the bar
    uint16_t id;               // command id (0 for popups and separators)
    const char* text;
};
struct plAccelEntry {
    uint8_t virt;              // FVIRTKEY and modifier flags (0: an ASCII character)
    uint16_t key;
    uint16_t cmd;
};
struct plDialogItemTemplate {
    uint32_t kind;             // plDialogStatic or plDialogButton
    uint16_t id;
    const char* text;
    int16_t x, y, cx, cy;      // dialog units
};
struct plDialogTemplate {
    const char* caption;
    int16_t x, y, cx, cy;
    int itemCount;
    const plDialogItemTemplate* items;
};
enum : uint32_t { plDialogStatic = 0, plDialogButton = 1 };

// Registration of the program's resources with the window system.  Each table
// stays owned by the caller (static data).
void plAddMenuResource(plHinstance instance, const char* name, const plMenuTemplateItem* items, int count);
void plAddAcceleratorResource(plHinstance instance, const char* name, const plAccelEntry* entries, int count);
void plAddDialogResource(plHinstance instance, const char* name, const plDialogTemplate* dialog);

// ---------------------------------------------------------------------------
// Win32's numbers.
#ifdef _WIN32
// On Windows the numbers are the system's own, from its headers, and every
// function below passes through to the real API (win32/).  The records above
// keep their own layout; win32/ translates them into the system's records,
// whose sizes differ between 32 and 64 bits.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commdlg.h>
#include <winspool.h>
#else
// Elsewhere the portable window system implements the functions below with
// the same numbers.
enum : uint32_t {
    WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_SIZE = 0x0005,
    WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_ENABLE = 0x000A,
    WM_SETTEXT = 0x000C, WM_PAINT = 0x000F, WM_CLOSE = 0x0010,
    WM_QUERYENDSESSION = 0x0011, WM_QUIT = 0x0012, WM_ERASEBKGND = 0x0014,
    WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102,
    WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111, WM_SYSCOMMAND = 0x0112,
    WM_VSCROLL = 0x0115, WM_INITMENUPOPUP = 0x0117,
    WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202,
    WM_USER = 0x0400,
};
enum : uint32_t { MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008 };
enum : uint32_t {
    VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
    VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24,
    VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_F4 = 0x73,
};
enum : uint32_t {
    SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7, SB_ENDSCROLL = 8,
};
enum : int { SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2 };
enum : uint32_t { SW_SCROLLCHILDREN = 0x1, SW_INVALIDATE = 0x2, SW_ERASE = 0x4 };
enum : int {
    SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3,
    SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7,
    SW_SHOWNA = 8, SW_RESTORE = 9, SW_SHOWDEFAULT = 10,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };
enum : uint32_t {
    MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
    MB_ICONHAND = 0x10, MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30, MB_ICONASTERISK = 0x40,
    MB_TASKMODAL = 0x2000,
};
enum : uint32_t {
    MF_BYCOMMAND = 0x0, MF_ENABLED = 0x0, MF_GRAYED = 0x1, MF_DISABLED = 0x2,
    MF_POPUP = 0x10, MF_END = 0x80, MF_SEPARATOR = 0x800, MF_BYPOSITION = 0x400,
};
enum : uint32_t { FVIRTKEY = 0x01, FSHIFT = 0x04, FCONTROL = 0x08, FALT = 0x10 };
enum : uint32_t { CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002 };
enum : uint32_t {
    WS_OVERLAPPED = 0x00000000u, WS_CAPTION = 0x00C00000u, WS_SYSMENU = 0x00080000u,
    WS_THICKFRAME = 0x00040000u, WS_MINIMIZEBOX = 0x00020000u, WS_MAXIMIZEBOX = 0x00010000u,
    WS_OVERLAPPEDWINDOW = 0x00CF0000u, WS_VSCROLL = 0x00200000u, WS_VISIBLE = 0x10000000u,
    WS_POPUP = 0x80000000u, WS_CHILD = 0x40000000u,
};
enum : int32_t { CW_USEDEFAULT = static_cast<int32_t>(0x80000000u) };
enum : int { COLOR_WINDOW = 5 };
enum : uintptr_t { IDI_APPLICATION = 32512, IDC_ARROW = 32512 };
enum : uint32_t { CF_TEXT = 1 };
enum : uint32_t { GMEM_FIXED = 0x0, GMEM_MOVEABLE = 0x2, GMEM_ZEROINIT = 0x40, GHND = 0x42 };
enum : uint32_t { PM_NOREMOVE = 0x0, PM_REMOVE = 0x1 };
enum : uint32_t { STARTF_USESHOWWINDOW = 0x1 };
enum : int { HORZRES = 8, VERTRES = 10, LOGPIXELSX = 88, LOGPIXELSY = 90 };
enum : int { GM_COMPATIBLE = 1, GM_ADVANCED = 2 };
enum : int { MWT_IDENTITY = 1 };
enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : int { ANSI_CHARSET = 0, FW_DONTCARE = 0, FW_BOLD = 700 };
enum : uint32_t { FIXED_PITCH = 1, FF_MODERN = 0x30 };
enum : uint32_t {
    PD_ALLPAGES = 0x0, PD_SELECTION = 0x1, PD_PAGENUMS = 0x2, PD_NOSELECTION = 0x4,
    PD_COLLATE = 0x10, PD_RETURNDC = 0x100,
};
enum : uint32_t { OFN_OVERWRITEPROMPT = 0x2 };
enum : uint32_t { SC_CLOSE = 0xF060 };
enum : uint32_t { PRINTER_ENUM_DEFAULT = 0x1, PRINTER_ENUM_LOCAL = 0x2 };
enum : uint32_t { ERROR_INSUFFICIENT_BUFFER = 122 };
#endif

// ---------------------------------------------------------------------------
// Process and instance.
const char* plGetCommandLine();
void plGetStartupInfo(plStartupInfo* info);
plHinstance plGetModuleHandle(const char* moduleName);     // null: the program
plHicon plLoadIcon(plHinstance instance, uintptr_t id);
plHcursor plLoadCursor(plHinstance instance, uintptr_t id);
uint32_t plGetVersion();
uint32_t plGetLastError();                                 // the code the last failing call recorded

// ---------------------------------------------------------------------------
// Windows and messages.
int plRegisterClass(const plWndClass* windowClass);        // nonzero on success
plHwnd plCreateWindowEx(uint32_t exStyle, const char* className, const char* title, uint32_t style,
                        int32_t x, int32_t y, int32_t width, int32_t height, plHwnd parent,
                        plHmenu menu, plHinstance instance, void* param);
int plShowWindow(plHwnd window, int show);
int plUpdateWindow(plHwnd window);                         // sends the paint message now if invalid
int plDestroyWindow(plHwnd window);
int plIsWindow(plHwnd window);
int plSetWindowText(plHwnd window, const char* text);
int plGetWindowText(plHwnd window, char* text, int size);
int plEnableWindow(plHwnd window, int enable);
int plIsWindowEnabled(plHwnd window);
plHwnd plGetFocus();
plHwnd plSetFocus(plHwnd window);
plHwnd plGetParent(plHwnd window);
plLresult plSendMessage(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam);
int plPostMessage(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam);
void plPostQuitMessage(int exitCode);
int plGetMessage(plMsg* msg, plHwnd window, uint32_t filterMin, uint32_t filterMax);   // 0 on WM_QUIT, -1 on failure
int plPeekMessage(plMsg* msg, plHwnd window, uint32_t filterMin, uint32_t filterMax, uint32_t remove);
int plTranslateMessage(const plMsg* msg);
plLresult plDispatchMessage(const plMsg* msg);
plLresult plDefWindowProc(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam);
plHaccel plLoadAccelerators(plHinstance instance, const char* name);
int plTranslateAccelerator(plHwnd window, plHaccel accelerators, plMsg* msg);

// ---------------------------------------------------------------------------
// Drawing.
plHdc plGetDC(plHwnd window);
int plReleaseDC(plHwnd window, plHdc dc);
plHdc plBeginPaint(plHwnd window, plPaintStruct* paint);
int plEndPaint(plHwnd window, const plPaintStruct* paint);
int plInvalidateRect(plHwnd window, const plRect* rect, int erase);
// Moves the pixels of the client area (of rect in it; null: all of it) by dx
// and dy, clipped to clip (null: the client area).  With SW_INVALIDATE the
// area uncovered is invalidated, its background erased when SW_ERASE is
// given too; update, when not null, receives the rectangle uncovered.  The
// update region is a region handle (null here).  Returns the kind of region
// uncovered (1 none, 2 a rectangle, 3 more), 0 on failure.
int plScrollWindowEx(plHwnd window, int dx, int dy, const plRect* rect, const plRect* clip, void* updateRegion,
                     plRect* update, uint32_t flags);
int plSaveDC(plHdc dc);
int plRestoreDC(plHdc dc, int saved);
int plSetGraphicsMode(plHdc dc, int mode);
int plModifyWorldTransform(plHdc dc, const void* transform, int mode);
int plSetViewportOrgEx(plHdc dc, int x, int y, plPoint* old);
int plSetWindowOrgEx(plHdc dc, int x, int y, plPoint* old);
int plGetDeviceCaps(plHdc dc, int index);
int plDPtoLP(plHdc dc, plPoint* points, int count);
plHfont plCreateFont(int height, int width, int escapement, int orientation, int weight, uint32_t italic,
                     uint32_t underline, uint32_t strikeOut, uint32_t charSet, uint32_t outPrecision,
                     uint32_t clipPrecision, uint32_t quality, uint32_t pitchAndFamily, const char* faceName);
plHgdiobj plSelectObject(plHdc dc, plHgdiobj object);
int plDeleteObject(plHgdiobj object);
int plGetTextMetrics(plHdc dc, plTextMetric* metrics);
plColor plSetTextColor(plHdc dc, plColor color);
plColor plSetBkColor(plHdc dc, plColor color);
int plSetBkMode(plHdc dc, int mode);
// Draws count characters at (x, y); with the opaque background mode (the
// default) each character's cell is filled with the background colour.
int plTextOut(plHdc dc, int x, int y, const char* text, int count);
int plMoveToEx(plHdc dc, int x, int y, plPoint* old);
int plLineTo(plHdc dc, int x, int y);

// ---------------------------------------------------------------------------
// Caret and vertical scroll bar.
int plCreateCaret(plHwnd window, void* bitmap, int width, int height);
int plDestroyCaret();
int plSetCaretPos(int x, int y);
int plShowCaret(plHwnd window);
int plHideCaret(plHwnd window);
int plSetScrollRange(plHwnd window, int bar, int minimum, int maximum, int redraw);
int plSetScrollPos(plHwnd window, int bar, int position, int redraw);   // the previous position
int plGetScrollPos(plHwnd window, int bar);

// ---------------------------------------------------------------------------
// Menus.
plHmenu plLoadMenu(plHinstance instance, const char* name);
plHmenu plGetMenu(plHwnd window);
plHmenu plGetSystemMenu(plHwnd window, int revert);
int plEnableMenuItem(plHmenu menu, uint32_t id, uint32_t flags);    // previous state, or -1

// ---------------------------------------------------------------------------
// Message boxes and common dialogs.
int plMessageBox(plHwnd owner, const char* text, const char* caption, uint32_t type);
int plGetSaveFileName(plOpenFileName* request);   // nonzero for OK
int plPrintDlg(plPrintDlg* request);              // nonzero for OK
void plMessageBeep(uint32_t type);

// Modeless dialogs.
plHwnd plCreateDialogParam(plHinstance instance, const char* templateName, plHwnd owner, plDlgProc proc,
                           plLparam param);
int plSetDlgItemText(plHwnd dialog, int item, const char* text);
int plIsDialogMessage(plHwnd dialog, plMsg* msg);

// ---------------------------------------------------------------------------
// Printers and documents.
int plEnumPrinters(uint32_t flags, const char* name, uint32_t level, void* buffer, uint32_t size,
                   uint32_t* needed, uint32_t* returned);
plHdc plCreateDC(const char* driver, const char* device, const char* port, const void* devMode);
int plDeleteDC(plHdc dc);
int plSetAbortProc(plHdc dc, plAbortProc proc);
int plStartDoc(plHdc dc, const plDocInfo* info);
int plEndDoc(plHdc dc);
int plStartPage(plHdc dc);
int plEndPage(plHdc dc);

// ---------------------------------------------------------------------------
// Clipboard and movable memory blocks.
int plOpenClipboard(plHwnd owner);
int plCloseClipboard();
int plEmptyClipboard();
plHglobal plSetClipboardData(uint32_t format, plHglobal block);
plHglobal plGetClipboardData(uint32_t format);
int plIsClipboardFormatAvailable(uint32_t format);
plHglobal plGlobalAlloc(uint32_t flags, size_t bytes);
void* plGlobalLock(plHglobal block);
int plGlobalUnlock(plHglobal block);
size_t plGlobalSize(plHglobal block);
plHglobal plGlobalFree(plHglobal block);     // null on success

#ifdef _WIN32
// The system's headers spell the standard icon and cursor ids as resource
// name pointers (MAKEINTRESOURCE); they name the same numbers.
inline plHicon plLoadIcon(plHinstance instance, const char* id)
{
    return plLoadIcon(instance, reinterpret_cast<uintptr_t>(id));
}
inline plHcursor plLoadCursor(plHinstance instance, const char* id)
{
    return plLoadCursor(instance, reinterpret_cast<uintptr_t>(id));
}
#endif
