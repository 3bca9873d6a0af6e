// The headless front end of the portable window system, and the driver that
// tests and the scripted run use to play the user and read back what the
// window system shows.  The console never includes this header.
//
// Everything is deterministic: every font measures 8 x 16 pixels with external
// leading 0, the resolution is 96 dots per inch, and a new top-level window's
// client area is 650 x 384 pixels.  Nothing ever blocks: a blocking wait that
// finds nothing to deliver asks the idle handler for more input, and when
// there is none it reports a failure instead of hanging.
//
// Order of the window system's own messages (fixed, so tests can rely on it):
//   - plCreateWindowEx sends WM_CREATE (lParam: the creation parameter;
//     answering -1 refuses the window), then WM_SIZE with the client size.
//     A window created with WS_VISIBLE is then shown as below.  The client
//     size is the front end's default for CW_USEDEFAULT, otherwise the width
//     and height given (there is no frame).
//   - plShowWindow making a hidden window visible gives it the keyboard focus
//     (WM_KILLFOCUS to the old focus, then WM_SETFOCUS) unless the show value
//     does not activate; the first such show then sends WM_SIZE again, as a
//     window shown for the first time receives its size.  The window is
//     invalid and erase-pending afterwards.
//   - plDestroyWindow destroys owned windows first, moves the focus to the
//     owner when the focus was in the window, sends WM_DESTROY, and discards
//     the messages still queued for the window.
//   - A blocking or non-blocking wait returns posted messages first (in the
//     order posted), then WM_QUIT, then WM_PAINT for the first visible window
//     (in creation order) that is invalid.  Invalidation covers the whole
//     client area; the background is erased when painting begins (not when
//     the window is invalidated), as on the host system.
//   - Disabling the window that has the focus takes the focus away; a modeless
//     dialog takes the focus when it is created and hands it back to its owner
//     when it is destroyed.
//
// The driver's input is posted, as a real keyboard and mouse would post it:
// characters, keys, mouse messages, scroll-bar actions, the close box and the
// WM_COMMAND of a chosen menu item (its WM_INITMENUPOPUP is sent at once).
// Input for a disabled window is dropped.  Focus changes, resizes and the
// shutdown query are sent at once, as the system sends them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Set-up.

// Puts the window system back to its state at process start: every window,
// drawing context, font, menu, dialog, clipboard block, document, recorded box
// and queued answer is gone (no messages are sent), the resources registered
// with plAdd...Resource are forgotten and every setting below is back to its
// default.  Each unit test calls it first.
void hlReset();

// The command line plGetCommandLine returns (default "rastrel").
void hlSetCommandLine(const char* commandLine);
// What plGetStartupInfo reports (default: flags 0, show value 0).
void hlSetStartupInfo(uint32_t flags, uint16_t showWindow);
// Client size of new top-level windows created with CW_USEDEFAULT (650 x 384).
void hlSetDefaultClientSize(int width, int height);

// ---------------------------------------------------------------------------
// Callbacks from the window system to whoever drives it.

// Called when plGetMessage finds nothing to deliver.  It may post input (or
// call any driver function) and returns nonzero when it did something; it is
// called again while it does and there is still nothing to deliver.  When it
// returns 0 (its input is used up) with nothing to deliver, the wait fails.
typedef int (*hlIdleHandler)();
void hlSetIdleHandler(hlIdleHandler handler);

// Called the same way when plPeekMessage finds nothing waiting (a
// non-blocking pump has run dry); input it posts is returned by that peek.
typedef int (*hlPeekHandler)();
void hlSetPeekHandler(hlPeekHandler handler);

// Called with a one-line reason when the window system cannot go on without
// a hang or a guess: a blocking wait with nothing to deliver, a message box or
// dialog with no answer (or an answer of the wrong kind).  The default writes
// "rastrel: REASON" on standard error and ends the process with status 3.
// A handler that returns lets the call fail: plGetMessage returns -1 (and the
// quit message is then pending, so a message loop ends), a message box returns
// 0, a dialog reports Cancel.  A test's handler may also throw to unwind out
// of the code under test; the window system stays consistent.
typedef void (*hlFailureHandler)(const char* reason);
void hlSetFailureHandler(hlFailureHandler handler);

// ---------------------------------------------------------------------------
// Answers for message boxes and the common dialogs.  Each box or dialog takes
// the next queued answer; when none is queued, the answer handler is called
// first (with the kind that is needed) and may queue one.
enum hlAnswerKind { hlAnswerBox = 1, hlAnswerSaveDialog = 2, hlAnswerPrintDialog = 3 };
typedef void (*hlAnswerHandler)(hlAnswerKind kind);
void hlSetAnswerHandler(hlAnswerHandler handler);

// A message box answer: IDOK, IDCANCEL, IDYES, IDNO, ...
void hlQueueBoxAnswer(int answer);
// A save dialog answer: the path chosen, or null for Cancel.
void hlQueueSaveAnswer(const char* path);

struct hlPrintAnswer {
    int ok;            // 0: Cancel
    int copies;        // 0: keep what the request asked for
    int collate;       // -1: keep the request's PD_COLLATE; 0 or 1: clear or set it
    int fromPage;      // a page range when toPage > 0 (sets PD_PAGENUMS)
    int toPage;
    int noDc;          // 1: return no device context even with PD_RETURNDC
};
hlPrintAnswer hlPrintOk();          // OK with the request's own settings
void hlQueuePrintAnswer(const hlPrintAnswer& answer);

int hlQueuedAnswerCount();

// ---------------------------------------------------------------------------
// The user's input.  `window` is the window the input is for; hlMainWindow()
// gives the first top-level window still alive.

plHwnd hlMainWindow();
void hlPostChar(plHwnd window, unsigned char character);           // WM_CHAR
void hlType(plHwnd window, const char* bytes, size_t count);       // WM_CHAR for each byte
void hlPostKey(plHwnd window, uint32_t virtualKey);                // WM_KEYDOWN
void hlMouseDown(plHwnd window, int x, int y, int shift);          // WM_LBUTTONDOWN (MK_LBUTTON, MK_SHIFT)
void hlMouseUp(plHwnd window, int x, int y);                       // WM_LBUTTONUP
void hlMouseMove(plHwnd window, int x, int y, int buttonDown);     // WM_MOUSEMOVE (MK_LBUTTON)
void hlScroll(plHwnd window, int code, int position);              // WM_VSCROLL
void hlClose(plHwnd window);                                       // WM_CLOSE (the close box)
// Opens the popup that holds menu item id (sends WM_INITMENUPOPUP) and, when
// the item is then enabled, posts WM_COMMAND.  Returns 1 when the command was
// posted, 0 when the item was grayed or disabled (or the window is disabled),
// -1 when the window's menu has no such item.
int hlChooseMenuItem(plHwnd window, uint16_t id);
// Sets the client size: WM_SIZE, then invalidation with erase when the class
// redraws on size changes.
void hlResize(plHwnd window, int width, int height);
// Moves the keyboard focus to window (null: away from every window).
void hlFocus(plHwnd window);
// Sends WM_QUERYENDSESSION and returns the window's answer.
plLresult hlQueryEndSession(plHwnd window);
// Another program puts plain text on the clipboard (null: empties it).
void hlSetClipboardText(const char* text);
// Presses a button of a modeless dialog: posts WM_COMMAND(id, BN_CLICKED).
int hlPressDialogButton(plHwnd dialog, uint16_t id);

// Handles every waiting message without blocking (translating keys and
// dispatching), as a simple message pump would; returns how many.
int hlPump();

// ---------------------------------------------------------------------------
// Failure injection.

// The next count plGlobalAlloc calls fail.
void hlFailAllocations(int count);

// ---------------------------------------------------------------------------
// The virtual printer.

struct hlPrinterConfig {
    int present;               // 0: there is no printer at all
    int width, height;         // HORZRES, VERTRES in device units
    int charWidth, rowHeight;  // the default font's average width and height
    int startDocResult;        // plStartDoc returns this when it is not 1 (0 or -1: failure)
    int failStartPage;         // plStartPage fails (returns -1)
    int failEndPage;           // plEndPage fails (returns -1)
    int cancelAfterPages;      // > 0: after that many plEndPage calls of a document, the
                               // cancel dialog's button is pressed
};
// 4800 x 6600 units, font 50 x 100, no failures, no cancel.
hlPrinterConfig hlDefaultPrinter();
void hlSetPrinter(const hlPrinterConfig& printer);
const char* hlPrinterName();

// ---------------------------------------------------------------------------
// Read-back.

struct hlCellInfo {
    char character;            // 0 when nothing was drawn there since the last erase
    plColor text;
    plColor background;
};
// The cell at window row and column (cells are 8 x 16 pixels); a cell outside
// the surface reads as nothing drawn on the window colour.
hlCellInfo hlCell(plHwnd window, int row, int column);
// A whole window row as text, a space where nothing was drawn.
std::string hlRowText(plHwnd window, int row);
int hlSurfaceRows(plHwnd window);
int hlSurfaceColumns(plHwnd window);

struct hlLine { int x1, y1, x2, y2; };
// Lines drawn on the window since its surface was last erased.
int hlSurfaceLineCount(plHwnd window);
hlLine hlSurfaceLine(plHwnd window, int index);

struct hlCaretInfo {
    int exists;
    plHwnd owner;
    int x, y, width, height;
    int hideCount;             // 0: shown
    int shown;
};
hlCaretInfo hlCaret();

struct hlScrollInfo { int minimum, maximum, position; };
hlScrollInfo hlScrollBar(plHwnd window, int bar);

std::string hlTitle(plHwnd window);
int hlIsVisible(plHwnd window);
int hlShowValue(plHwnd window);            // the last show value, -1 before any
int hlIsInvalid(plHwnd window);
int hlClientWidth(plHwnd window);
int hlClientHeight(plHwnd window);
int hlDisableCount(plHwnd window);         // times the window went from enabled to disabled
// State of an item of the window's menu (MF_ENABLED, MF_GRAYED, MF_DISABLED
// bits), or -1 when there is no such item.
int hlMenuItemState(plHwnd window, uint16_t id);
int hlMenuItemStateIn(plHmenu menu, uint16_t id);

// The clipboard's plain text, or null when it holds none.
const char* hlClipboardText();
int hlBeepCount();
int hlLiveBlockCount();                    // movable memory blocks not freed
int hlLiveDcCount();                       // drawing contexts not released

struct hlBoxRecord {
    std::string caption;
    std::string text;
    uint32_t type;
    int answer;
};
int hlBoxCount();
const hlBoxRecord* hlBox(int index);

struct hlFontRequest {
    int height, width, escapement, orientation, weight;
    uint32_t italic, underline, strikeOut, charSet;
    uint32_t outPrecision, clipPrecision, quality, pitchAndFamily;
    std::string faceName;
};
int hlFontRequestCount();
hlFontRequest hlLastFontRequest();

// The save dialog's request as the last plGetSaveFileName saw it.
struct hlSaveRequest {
    int shown;
    plHwnd owner;
    std::string filters;       // the filter pairs with '|' in place of each NUL
    uint32_t filterIndex, maxFile, maxFileTitle, flags;
    std::string defExt;
    int hasTitle, hasInitialDir;
};
hlSaveRequest hlLastSaveRequest();
// The print dialog's request as the last plPrintDlg received it.
struct plPrintDlg hlLastPrintRequest();
int hlPrintDialogCount();

// Modeless dialogs.
plHwnd hlLastDialog();                     // the last dialog created (it may be gone)
std::string hlDialogItemText(plHwnd dialog, uint16_t id);
std::string hlDialogCaption(plHwnd dialog);

// Printed documents, in the order they were started.
struct hlTextItem { int x, y; std::string text; };
struct hlPage {
    int ended;                 // plEndPage succeeded for it
    std::vector<hlTextItem> texts;
    std::vector<hlLine> lines;
};
struct hlDocument {
    std::string name;
    int ended;                 // plEndDoc succeeded
    int cancelled;             // the abort procedure returned FALSE during the document
    int aborted;               // the device context was deleted with the document open
    std::vector<hlPage> pages;
};
int hlDocumentCount();
const hlDocument* hlDocumentAt(int index);
