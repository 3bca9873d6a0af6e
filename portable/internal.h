// The portable window system's own records, shared by its source files only
// (portable/*.cpp).  Neither the console, a front end nor the tests include
// this header.
//
// Every object lives in a fixed table.  A handle packs the slot index and the
// slot's generation, so a handle kept after its object is gone never reaches
// the object that later reuses the slot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "portable/frontend.h"

namespace ws {

// Sets a flag for the life of a scope, so a guard against re-entry is lifted
// even when the call it guards unwinds.
struct FlagGuard {
    bool& flag;
    explicit FlagGuard(bool& f) : flag(f) { flag = true; }
    ~FlagGuard() { flag = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;
};

// ---------------------------------------------------------------------------
// Handles.
inline uintptr_t packHandle(int index, uint16_t generation)
{
    return (static_cast<uintptr_t>(generation) << 16) | static_cast<uintptr_t>(index + 1);
}
// The slot index of a handle whose generation matches, or -1.
template <typename Slot, int N>
int slotOf(uintptr_t handle, const Slot (&table)[N])
{
    if (handle == 0) return -1;
    int index = static_cast<int>(handle & 0xFFFFu) - 1;
    uint16_t generation = static_cast<uint16_t>(handle >> 16);
    if (index < 0 || index >= N || (static_cast<uint64_t>(handle) >> 32) != 0) return -1;
    if (!table[index].used || table[index].generation != generation) return -1;
    return index;
}
inline uint16_t nextGeneration(uint16_t generation)
{
    generation = static_cast<uint16_t>(generation + 1);
    return generation == 0 ? 1 : generation;
}

// ---------------------------------------------------------------------------
// The installed front end (frontend.cpp), with every hook's null meaning
// applied by the helpers below.
extern pwFrontEnd hooks;
struct Settings {
    std::string commandLine = "rastrel";
    uint32_t startupFlags = 0;
    uint16_t startupShow = 0;
    int frameInterval = 16;
    int failAllocations = 0;
    int textMargin = 0;          // the console's left margin (pwSetTextMargin)
};
extern Settings settings;
pwScreenInfo screenInfo();
pwFontMetrics measure(const pwFontRequest* request);
// The default printer's page, or the named one's; false when there is none.
bool printerInfo(const char* name, pwPrinterInfo* info);
uint64_t now();

// Reports a failure through the front end's failure handler (which may not
// return, or may throw).
void fail(const char* reason);
void failf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Last error of the calling thread (there is one thread).
extern uint32_t lastError;

// ---------------------------------------------------------------------------
// Window classes and windows (window_system.cpp).
enum { maxClasses = 16, maxWindows = 64, maxNameLength = 64 };

struct WindowClass {
    bool used;
    uint16_t generation;
    char name[maxNameLength];
    char menuName[maxNameLength];
    uint32_t style;
    plWndProc proc;
    plHinstance instance;
    int background;
};

// A window's surface: the cells drawn, and what the front end was last told
// they hold.  Rows drawn on since the last frame are marked dirty; rows the
// window's scrolls moved since then are counted in `scrolled`.
struct Surface {
    int rows = 0, columns = 0;           // cells
    int cellWidth = 8, cellHeight = 16;  // pixels
    plColor windowColour = 0xFFFFFFu;
    std::vector<pwCell> cells;
    std::vector<pwCell> shown;
    std::vector<char> dirty;             // one flag per row
    bool anyDirty = false;
    bool reportAll = false;              // the next frame reports every row
    int scrolled = 0;                    // rows the content moved up (down when negative) since the last frame
    std::vector<pwLine> lines;
};
using Cell = pwCell;

struct ScrollBar {
    int minimum = 0, maximum = 0, position = 0;
};

enum WindowKind { windowPlain, windowDialog, windowControl };

struct Window {
    bool used;
    uint16_t generation;
    bool alive;                  // cleared once destruction has begun
    WindowKind kind;
    int classIndex;              // -1 for dialogs and controls
    plWndProc proc;
    plDlgProc dialogProc;
    uint32_t style;
    std::string title;
    plHwnd parent;               // owner (top-level) or parent (controls)
    uint16_t controlId;
    uint32_t controlKind;
    bool visible, enabled, everShown;
    int showValue;
    int clientWidth, clientHeight;
    bool invalid, erasePending;
    int paintsBegun;             // BeginPaint calls, to notice a paint handler that never validates
    plHmenu menu;
    plHmenu systemMenu;
    Surface surface;
    ScrollBar vertical, horizontal;
    bool scrollBarChanged;
    int disableCount;
    uint64_t order;              // creation order
};

extern WindowClass classes[maxClasses];
extern Window windows[maxWindows];
extern plHwnd focusWindow;

Window* windowOf(plHwnd handle);             // live windows only
int windowIndexOf(plHwnd handle);            // live windows only, -1 otherwise
plHwnd handleOf(int index);
bool isDescendantOrSelf(plHwnd window, plHwnd ancestor);

// Calls the window's procedure (or the dialog's) with the send depth counted.
plLresult callProcedure(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam);
// Creates a dialog or control window (dialogs.cpp uses it).
plHwnd createInternalWindow(WindowKind kind, plHwnd parent, const char* title, uint16_t controlId,
                            uint32_t controlKind, plDlgProc dialogProc);
void resetWindows();

// ---------------------------------------------------------------------------
// The message queue (messages.cpp).
void discardMessagesFor(plHwnd window);
void resetMessages();
bool postFront(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam);

// ---------------------------------------------------------------------------
// Drawing (drawing.cpp).
enum DcKind { dcWindow, dcPaint, dcPrinter };

struct DcState {
    plHfont font;
    plColor text, background;
    int backgroundMode, graphicsMode;
    plPoint viewportOrigin, windowOrigin, position;
};

struct Dc {
    bool used;
    uint16_t generation;
    DcKind kind;
    plHwnd window;
    DcState state;
    DcState saved[16];
    int savedCount;
    // Printer contexts: the printer and the document side (printers.cpp).
    pwPrinterInfo printer;
    plAbortProc abortProc;
    int document;                // index of the open document, -1 when none
    bool pageOpen;
    bool cancelled;              // the abort procedure asked to stop
    int pagesEnded;
};

enum { maxDcs = 128 };
extern Dc dcs[maxDcs];
Dc* dcOf(plHdc handle);

void setupSurface(Window& window);           // sizes the cells to the client area
void eraseSurface(Window& window);
// Blanks rows [top, bottom) of a surface and marks them dirty.
void eraseRows(Surface& surface, int top, int bottom);
// Moves a surface's rows up by delta (down when negative) for the next
// frame; repainted: the whole window is erased and painted before it, so the
// cells need not move.
void scrollSurface(Surface& surface, int delta, bool repainted);
void markDirty(Surface& surface, int row);
void destroyCaretOf(plHwnd window);
void releaseDcsOf(plHwnd window);
void resetDrawing();
// The metrics of a context's selected font.
void fontMetrics(const Dc& dc, int* width, int* height);

struct Caret {
    bool exists;
    plHwnd owner;
    int x, y, width, height;
    int hideCount;
};
extern Caret caret;
extern bool caretChanged;

// ---------------------------------------------------------------------------
// The console's text grid (text_grid.cpp): the one place that maps between
// the cells a front end knows and the client pixels the console knows.
// A client point inside a window's surface cell that the console reads as
// that cell's column.
void cellPoint(const Window& window, int row, int column, int* x, int* y);
inline int floorDivide(int a, int b)
{
    int q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// ---------------------------------------------------------------------------
// Frames (frames.cpp).
// Reports every change since the last frame to the front end, then `frame`.
void reportFrame();
// A frame is due: the interval has passed since the last one.
bool frameDue();
// Set when input was handled: the next pump paints at once.
extern bool paintDue;
extern bool menuChanged;
void resetFrames();

// ---------------------------------------------------------------------------
// Menus, accelerators and resources (menus.cpp).
plHmenu loadMenuFor(plHinstance instance, const char* name);
void destroyMenu(plHmenu menu);
// State bits of a menu item (MF_GRAYED, MF_DISABLED), -1 when not found.
int menuItemState(plHmenu menu, uint16_t id);
// Sends WM_INITMENUPOPUP for the popup of the window's menu that holds id;
// returns the item's state afterwards, or -1 when there is no such item.
int openPopupFor(plHwnd window, uint16_t id);
const plDialogTemplate* findDialogResource(plHinstance instance, const char* name);
void resetMenus();

// ---------------------------------------------------------------------------
// Dialogs and printers (dialogs.cpp, printers.cpp).
void resetDialogs();
plHwnd dialogControl(plHwnd dialog, int id);
void resetPrinters();
// Printer device contexts (drawing.cpp owns every context; printers.cpp adds
// the document side).
plHdc createPrinterDc(const pwPrinterInfo& printer);
void printerDcDeleted(Dc& dc);
// Records text and lines on the printer's current page.
void printerText(Dc& dc, int x, int y, const char* text, int count);
void printerLine(Dc& dc, int x1, int y1, int x2, int y2);

// ---------------------------------------------------------------------------
// Clipboard and memory (clipboard.cpp).
void resetClipboard();
plHglobal allocateBlock(size_t bytes, bool injectable);
int liveBlockCount();
// Sends WM_COMMAND command to window with the clipboard diverted; 1 with the
// text the command put on the clipboard (clipboard.cpp).
int divertedCommand(plHwnd window, uint16_t command, std::string* text);

}  // namespace ws
