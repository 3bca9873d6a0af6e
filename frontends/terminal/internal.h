// The terminal front end's own records, shared by its source files only.
#pragma once

#include <curses.h>
#include <termios.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "frontends/terminal/decoder.h"
#include "frontends/terminal/layout.h"
#include "portable/frontend.h"

struct tmState {
    // The terminal.
    int inputFd = 0;
    int outputFd = 1;
    SCREEN* screen = nullptr;
    bool active = false;           // curses owns the terminal (raw mode, alternate screen)
    bool everStarted = false;
    bool wideText = false;         // the locale's characters are UTF-8
    termios saved{};               // the terminal's modes before the screen started
    bool savedValid = false;
    tmGeometry geometry{24, 80};
    std::string emergencyRestore;  // written from a signal handler
    int wakePipe[2] = {-1, -1};

    // Input.
    tmDecoder decoder{};
    std::deque<tmEvent> events;
    tmPointer pointer{};
    uint64_t lastLook = 0;
    bool hungUp = false;           // the terminal is gone
    bool closePending = false;     // a signal asked the window to close
    bool resizePending = false;    // a size change to apply when no box is open
    int modal = 0;                 // depth of boxes, menus and dialogs open
    int cursesDepth = 0;           // inside a curses call of ours (a fault there cannot draw with curses)

    // What is shown.
    plHwnd mainWindow = nullptr;
    plHwnd cancelDialog = nullptr;
    int printingPage = 0;
    std::vector<char> dirtyRows;   // client rows to copy from the surface at the next frame
    bool allDirty = true;
    pwCaretInfo caret{};
    pwScrollInfo scroll{0, 0, 0};
    std::string title;
    int openMenu = -1;             // the bar item shown open, -1 for none
    WINDOW* overlay = nullptr;     // a box, popup or dialog over the window
    int overlayCursorRow = -1, overlayCursorColumn = -1;

    // Printing.
    std::string pdfPath;           // the "PDF file" destination's path
};
extern tmState tmS;

// The name of the destination that writes a PDF file.
extern const char tmPdfDestination[];

// ---------------------------------------------------------------------------
// The screen (terminal.cpp).
bool tmStartScreen();
void tmStopScreen();
// Everything the window shows, drawn again where it changed, then the
// overlay (if any) and the cursor; curses sends only what differs.
void tmDrawFrame();
// Makes an overlay window of the size and place given (the old one goes).
WINDOW* tmOpenOverlay(int top, int left, int height, int width);
void tmCloseOverlay();
// Text in the locale's encoding at (row, column) of a window, at most width
// cells; returns the cells used.
int tmPutText(WINDOW* window, int row, int column, const std::string& text, int width, attr_t attributes);
// The console's bytes as characters for the screen.
void tmPutBytes(WINDOW* window, int row, int column, const char* bytes, int count, attr_t attributes);
// The next event for a box, menu or dialog: waits up to timeout
// milliseconds (-1: for ever).  False on a timeout or when the terminal is
// gone.  A size change is applied to the screen (the window system hears of
// it once the box is closed).
bool tmNextEvent(tmEvent* event, int timeout);
// The menu bar's items, read from the window's menu.
tmMenuBar tmReadMenuBar();
uint64_t tmMilliseconds();
// A terminfo string capability of the current terminal ("" when it has none).
std::string tmCapability(const char* name);
// Why curses cannot run on standard output's terminal, null when it can.
const char* tmTerminfoProblem();
void tmWriteRaw(const std::string& bytes);

// ---------------------------------------------------------------------------
// Boxes, menus and dialogs (dialogs.cpp).
// Runs the menu bar from the popup at position; 1 when a command was posted.
int tmRunMenu(int position);
int tmRunBox(const char* caption, const char* text, uint32_t type);
int tmRunSaveDialog(const plOpenFileName* request, char* path, size_t size);
int tmRunPrintDialog(struct plPrintDlg* request, char* printer, size_t size);
void tmDrawCancelDialog();
// What a box answers with nobody there to answer it (the terminal hung up).
int tmUnattendedAnswer(uint32_t type);

// ---------------------------------------------------------------------------
// Printing (printing.cpp) and the printers the system offers
// (printers_cups.cpp or printers_none.cpp).
int tmPrinter(const char* name, pwPrinterInfo* info);
int tmSpooler(int step, const pwDocument* document);

struct tmPrinterEntry {
    std::string name;
    int isDefault;
};
std::vector<tmPrinterEntry> tmListPrinters();
// The paper of a printer in points, and its unprintable margins in points
// (left, top, right, bottom); 0 when it cannot be asked.
int tmPrinterPaper(const char* name, double* width, double* height, double margins[4]);
// Sends a PDF document to a printer; 0 with the reason in error on failure.
int tmSubmitPdf(const char* printer, const char* title, const std::string& pdf, std::string* error);
