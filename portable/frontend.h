// The seam between the portable window system and the one front end that
// shows its windows and feeds it input (a terminal, a desktop window, or a
// script).  It is the only door: a front end reaches the console through
// the window system alone, and the window system never includes a front
// end's code.
//
// The front end fills one record of hooks (with designated initializers, so
// that a hook left out is null by name) and installs it before the console
// starts.  It is told what changed and when the program ends; it is asked
// to measure fonts, show boxes and dialogs, print and share the clipboard.
// It posts the user's input through portable/input.h in the units it has:
// cells (row, column) for a terminal, client pixels for the desktop.  Cells
// become the console's pixels in the window system, from the console's
// margin and the front end's cell; no front end knows the margin.
//
// Frames.  Everything drawn reaches the front end in frames: the window
// system tells what changed and then calls `frame`, after which the front
// end may show it.  Rows the console scrolled (plScrollWindowEx) come first,
// as one `scrollRows` of the rows they moved; then the rows drawn on that
// now differ from what the front end was told, as damage; then the caret,
// the scroll bar and the menu's states.  Nothing is guessed: a front end
// that moves its rows as told and copies the damaged ones shows exactly the
// window's surface.  While output streams, a frame is made at most once per
// frame interval; a frame is always made before a blocking wait, before a
// message box or dialog, and whenever the front end asks (pwPresent).  A
// window that needs repainting is painted first: input that arrives while
// output streams is handled after the window is painted, and a window
// changed by input is painted at the next pump.
//
// Everything runs on one thread.  A hook may post input (portable/input.h)
// but must not send the console messages itself, except where it says so.
// What only tests read (the window system's inner counts, injected
// failures) is in portable/readback.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// What the front end reads.

// One character cell of a window's surface.
struct pwCell {
    char character;            // 0: nothing drawn here since the last erase
    plColor text;
    plColor background;
};

// What changed about a window (windowChanged's bits).
enum : uint32_t {
    pwCreated = 0x1, pwDestroyed = 0x2, pwShown = 0x4, pwHidden = 0x8, pwTitle = 0x10,
    pwEnabled = 0x20, pwDisabled = 0x40, pwResized = 0x80,
};

// The kinds of window: top-level windows, modeless dialogs and their items.
enum pwWindowKind { pwTopLevel = 0, pwDialog = 1, pwControl = 2 };

struct pwCaretInfo {
    plHwnd owner;              // null: there is no caret
    int x, y, width, height;   // client pixels
    int shown;
    int row, column;           // the surface cell the caret stands at the start of
};

struct pwScrollInfo { int minimum, maximum, position; };

struct pwMenuItemInfo {
    uint32_t flags;            // MF_GRAYED, MF_DISABLED, MF_POPUP, MF_SEPARATOR
    uint16_t id;
    const char* text;          // "&File", "&Save\tCtrl+S"; null for a separator
    plHmenu popup;             // the popup an MF_POPUP item opens
};

struct pwDialogItemInfo {
    uint32_t kind;             // plDialogStatic or plDialogButton
    uint16_t id;
    std::string text;
};

// A font the console asked for (the arguments of plCreateFont).
struct pwFontRequest {
    int height, width, escapement, orientation, weight;
    uint32_t italic, underline, strikeOut, charSet;
    uint32_t outPrecision, clipPrecision, quality, pitchAndFamily;
    std::string faceName;
};
struct pwFontMetrics {
    int width;                 // every character's advance
    int height;                // ascent + descent
    int externalLeading;
};

struct pwScreenInfo {
    int dpi;                   // LOGPIXELSX and LOGPIXELSY of the screen
    int width, height;         // HORZRES and VERTRES of the screen
    // A new top-level window's client area (CW_USEDEFAULT): rows and columns
    // of the console's text when both are set (the window system adds the
    // console's margin), otherwise clientWidth by clientHeight pixels.
    int clientWidth, clientHeight;
    int clientRows, clientColumns;
};

// A printer's page, in its device units.
struct pwPrinterInfo {
    char name[128];
    int width, height;         // HORZRES, VERTRES
    int charWidth, rowHeight;  // the printer's default font
    int dpi;                   // LOGPIXELSX and LOGPIXELSY
};

// A document as the spooler recorded it: each page's text items and lines,
// at their device positions.
struct pwLine { int x1, y1, x2, y2; };
struct pwTextItem { int x, y; std::string text; };
struct pwPage {
    int ended;                 // plEndPage succeeded for it
    std::vector<pwTextItem> texts;
    std::vector<pwLine> lines;
};
struct pwDocument {
    std::string name;
    std::string printer;
    pwPrinterInfo page;        // the printer's geometry the document was drawn for
    int ended;                 // plEndDoc succeeded
    int cancelled;             // the abort procedure returned FALSE during the document
    int aborted;               // the printer's context was deleted with the document open
    std::vector<pwPage> pages;
};

// The spooler's steps (the spooler hook's `step`).
enum pwSpoolerStep { pwStartDoc = 1, pwStartPage = 2, pwEndPage = 3, pwEndDoc = 4, pwAbortDoc = 5 };

// ---------------------------------------------------------------------------
// The hooks.  A null hook has the meaning its comment gives.
struct pwFrontEnd {
    // Input.  `wait` blocks until it has posted input or changed what the
    // window system would deliver, and returns nonzero; 0 means no input will
    // ever come (null: the same), and the wait fails.  `poll` posts the input
    // that is ready without blocking and returns nonzero when it posted any
    // (null: there never is any).  It is called at every non-blocking pump,
    // so it should be cheap.
    int (*wait)();
    int (*poll)();

    // What changed.  Windows: created, destroyed, shown, hidden, a new title,
    // enabled, disabled, resized (at once).  Rows [top, bottom) of a window's
    // surface now hold what rows [top + delta, bottom + delta) held (delta > 0:
    // the content moved up), as the console's scrolls moved them; the rows
    // uncovered are reported as damaged.  (Null: the rows moved are reported
    // as damaged instead.)
    // Damaged rows, the caret, the scroll bar and the menu's states are
    // reported in frames, each frame ending with `frame`.
    void (*windowChanged)(plHwnd window, uint32_t changes);
    void (*scrollRows)(plHwnd window, int top, int bottom, int delta);
    void (*damage)(plHwnd window, int top, int bottom);
    void (*caretChanged)(const pwCaretInfo* caret);
    void (*scrollBarChanged)(plHwnd window, const pwScrollInfo* bar);
    void (*menuChanged)(plHwnd window);
    void (*frame)();
    void (*beep)(uint32_t type);

    // Fonts and the screen.  `measureFont` gives the metrics of a font the
    // console asked for (null: 8 x 16 pixels); every window's surface is a
    // grid of cells of its front end's font, measured with request null.
    // `screen` gives the screen's resolution and size and the default client
    // size (null: 96 dpi, 1024 x 768, 650 x 384).
    void (*measureFont)(const pwFontRequest* request, pwFontMetrics* metrics);
    void (*screen)(pwScreenInfo* info);

    // Questions, answered before the hook returns; the window system has
    // made a frame first.  messageBox returns the button (IDOK, IDYES, ...),
    // 0 when it could not be shown.  saveDialog returns 1 with the chosen
    // path in path (size bytes at most), 0 for Cancel.  printDialog may change
    // the request's copies, PD_COLLATE, PD_PAGENUMS and page range, and
    // returns 1 for OK with the chosen printer's name in printer ("" for no
    // device context), 0 for Cancel.  Null: the box or dialog fails.
    int (*messageBox)(plHwnd owner, const char* text, const char* caption, uint32_t type);
    int (*saveDialog)(const plOpenFileName* request, char* path, size_t size);
    int (*printDialog)(struct plPrintDlg* request, char* printer, size_t size);

    // The printer.  `printer` fills info for the named printer (null: the
    // default one) and returns 1 when it exists (null hook: there is none).
    // `spooler` is told each step of a document and returns what the step's
    // call returns when it is not 1 (a failure); at pwEndDoc and pwAbortDoc
    // the document is finished and the result is not used.  It may post
    // input (the cancel dialog's button).
    int (*printer)(const char* name, pwPrinterInfo* info);
    int (*spooler)(int step, const pwDocument* document);

    // The clipboard's plain text.  setClipboard hands over what the program
    // put there (null text: it was emptied); getClipboard returns 1 with the
    // clipboard's text (valid until the next call), 0 when it holds no text.
    // With getClipboard null the window system keeps the clipboard itself.
    void (*setClipboard)(const char* text, size_t length);
    int (*getClipboard)(const char** text, size_t* length);

    // The window system cannot go on without a hang or a guess: a blocking
    // wait with nothing to deliver, a box with no way to show it.  The hook
    // may end the process; when it returns, the call fails (a wait returns -1
    // and leaves a quit message pending).  Null: "rastrel: REASON" on
    // standard error and status 3.
    void (*fail)(const char* reason);

    // Milliseconds of a monotonic clock, which frames are timed by (null:
    // the system's).  Tests give their own.
    uint64_t (*milliseconds)();

    // The program is ending (pwEnding): fault 0 when the console lets the
    // process end, otherwise a fault's code once its box has been answered,
    // with the process ending next (the hook must not rely on the heap or on
    // what the fault interrupted).  A terminal is given back here, a script
    // writes its last report.  Null: nothing to do.
    void (*ending)(int fault);
};

// ---------------------------------------------------------------------------
// Set-up.

// Installs the front end (null: none; every hook null).  The record is
// copied; fill it with designated initializers, so that a hook left out is
// null by name.
void pwInstall(const pwFrontEnd* frontEnd);
// The program is ending: calls the front end's `ending` hook.  The program
// wires the console's ending hook (fault 0) and the runtime's fault hook to
// it, once; a front end never sets those itself.
void pwEnding(int fault);
// The console's left margin in pixels: its text column c starts at margin +
// c x cell width of the client area.  The program sets it from the console
// before the console starts (0 until then); the window system maps cells to
// client pixels and client sizes with it, so no front end knows it.
void pwSetTextMargin(int pixels);
// The command line plGetCommandLine returns, and what plGetStartupInfo
// reports.
void pwSetCommandLine(const char* commandLine);
void pwSetStartupInfo(uint32_t flags, uint16_t showWindow);
// Puts the window system back to its state at process start: every window,
// context, font, menu, dialog, clipboard block, document and registered
// resource is gone (no messages are sent) and no front end is installed.
void pwReset();
// The frame interval in milliseconds (16 by default; 0: a frame at every pump).
void pwSetFrameInterval(int milliseconds);

// A print dialog's answer written into its request, as printDialog may:
// copies when not 0; collate -1 keeps PD_COLLATE, 0 clears it, 1 sets it;
// pages set PD_PAGENUMS with the range fromPage-toPage, or clear it (all
// pages).
void pwAnswerPrintRequest(struct plPrintDlg* request, uint16_t copies, int collate, bool pages, uint16_t fromPage,
                          uint16_t toPage);

// Makes a frame now: windows that need it are painted, then everything
// changed is reported, then `frame`.  Must not be called from inside a
// window procedure that is painting.
void pwPresent();

// ---------------------------------------------------------------------------
// Reading what the windows show.

plHwnd pwMainWindow();                     // the first top-level window still alive
pwWindowKind pwKindOf(plHwnd window);
int pwIsVisible(plHwnd window);
int pwIsEnabled(plHwnd window);
void pwClientSize(plHwnd window, int* width, int* height);
// The client size in pixels that holds rows x columns of the console's text
// in the front end's cells (the console's margin on each side).
void pwClientSizeFor(int rows, int columns, int* width, int* height);
// Where the console's text starts inside a surface cell of that width: the
// pixel offset from the cell's left edge (the console's margin, within a cell).
int pwCellTextLeft(int cellWidth);
void pwSurfaceSize(plHwnd window, int* rows, int* columns, int* cellWidth, int* cellHeight);
// A row of the window's surface (columns cells), null outside it.
const pwCell* pwSurfaceRow(plHwnd window, int row);
int pwSurfaceLineCount(plHwnd window);
pwLine pwSurfaceLine(plHwnd window, int index);
pwCaretInfo pwCaret();
// The text a command of the window's menu would put on the clipboard now
// (the Copy command's: the selected text, as the clipboard gets it), read
// without touching the clipboard: the command is sent with the clipboard
// diverted.  1 with the text; 0 when the command put nothing there (Copy
// with nothing selected) or the window is disabled (a modal box is up).
int pwCommandText(plHwnd window, uint16_t command, std::string* text);
pwScrollInfo pwScrollBar(plHwnd window, int bar);
// The items of a menu (the bar is plGetMenu's), by position.
int pwMenuItemCount(plHmenu menu);
int pwMenuItem(plHmenu menu, int position, pwMenuItemInfo* item);
// State of a menu item by command id (MF_GRAYED, MF_DISABLED), -1 when none.
int pwMenuItemState(plHmenu menu, uint16_t id);
// A dialog's items, by position, and its caption (plGetWindowText).
int pwDialogItemCount(plHwnd dialog);
int pwDialogItem(plHwnd dialog, int position, pwDialogItemInfo* item);
// Documents the spooler has recorded, finished or not, oldest first.
int pwDocumentCount();
const pwDocument* pwDocumentAt(int index);
