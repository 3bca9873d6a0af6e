// The headless front end of the portable window system: deterministic, it
// never blocks and it shows nothing.  Tests and the scripted run use it to
// play the user: they post input through portable/input.h, answer message
// boxes and dialogs through the queues below, set up the virtual printer,
// and read back what the windows show through frontends/headless/readback.h.
//
// Every font measures 8 x 16 pixels with external leading 0, the resolution
// is 96 dots per inch, the screen 1024 x 768 and a new top-level window's
// client area 650 x 384 pixels.  A blocking wait that finds nothing to
// deliver asks the idle handler for more input, and when there is none it
// reports a failure instead of hanging.
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
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "portable/frontend.h"
#include "portable/input.h"

// Installs the headless front end, keeping the window system's state.
void hlInstall();

// Puts the window system and this front end back to their state at process
// start (every window, context, answer and recorded box gone, every setting
// below back to its default) and installs the front end.  Painting is not
// paced: a frame is made at every pump, as a simple message pump paints.
// Each unit test calls it first.
void hlReset();

// ---------------------------------------------------------------------------
// Callbacks to whoever drives the front end.

// Called when a blocking wait finds nothing to deliver.  It may post input (or
// call any driver function) and returns nonzero when it did something; it is
// called again while it does and there is still nothing to deliver.  When it
// returns 0 (its input is used up) with nothing to deliver, the wait fails.
typedef int (*hlIdleHandler)();
void hlSetIdleHandler(hlIdleHandler handler);

// Called the same way when a non-blocking pump has run dry; input it posts
// is returned by that pump.
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

// Called as the program ends (the front end's `ending` hook): fault 0 when
// the console lets the process end, a fault's code after its box.
typedef void (*hlEndingHandler)(int fault);
void hlSetEndingHandler(hlEndingHandler handler);

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
// Another program puts plain text on the clipboard (null: empties it).
void hlSetClipboardText(const char* text);

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
