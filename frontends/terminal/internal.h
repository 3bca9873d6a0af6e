// The terminal front end's own records, shared by its source files only.
//
// The files by job: signals.cpp (the signals, the terminal's modes and the
// way back to the shell at any end), screen.cpp (the screen: curses writes
// every byte the terminal is sent), input.cpp (reading the terminal and
// handing its events to the window system), terminal.cpp (the hooks the
// window system calls), decoder.cpp (the terminal's bytes as events),
// layout.cpp (where things go), dialogs.cpp, menus.cpp and boxes.cpp (what
// is drawn over the window), printing.cpp (documents, through the print
// module).
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
    tmCharset charset{};           // the terminal's characters (the locale's)
    termios saved{};               // the terminal's modes before the screen started
    bool savedValid = false;
    tmGeometry geometry{24, 80};
    std::string emergencyRestore;  // written from a signal handler
    int wakePipe[2] = {-1, -1};
    int cursesDepth = 0;           // inside a curses call of ours (a fault there cannot draw with curses)

    // Input.
    tmKeyTable keys;
    tmDecoder decoder{};
    std::deque<tmEvent> events;
    tmPointer pointer{};
    uint64_t lastLook = 0;
    bool hungUp = false;           // the terminal is gone
    bool closePending = false;     // a signal asked the window to close
    bool resizePending = false;    // a size change to apply when no box is open
    bool interruptPending = false; // an outside SIGINT, to become Ctrl+C
    bool screenRestarted = false;  // the screen was given back and taken again: a box draws itself anew
    int modal = 0;                 // depth of boxes, menus and dialogs open

    // What is shown.
    plHwnd mainWindow = nullptr;
    plHwnd cancelDialog = nullptr;
    int printingPage = 0;
    std::vector<char> dirtyRows;   // client rows to copy from the surface at the next frame
    bool allDirty = true;
    // The terminal's rows as curses last sent them: where each row's text
    // ends, and for each row the row whose text it holds since (scrolls).
    std::vector<int> shownEnds;
    std::vector<int> shownFrom;
    int shownColumns = 0;
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

// Marks a call into curses for its life: a fault inside one cannot draw a
// box with curses.
struct tmCursesScope {
    tmCursesScope() { ++tmS.cursesDepth; }
    ~tmCursesScope() { --tmS.cursesDepth; }
    tmCursesScope(const tmCursesScope&) = delete;
    tmCursesScope& operator=(const tmCursesScope&) = delete;
};

// ---------------------------------------------------------------------------
// Signals and modes (signals.cpp).
void tmInstallSignals();
// The terminal's size now (at least the minimum).
tmGeometry tmTerminalSize();
// Only what may run in a signal handler or after a fault: the modes off and
// the termios of before, written straight to the terminal.
void tmEmergencyRestore();
// The signals noted since the last look.  Inside a box only the screen
// follows; what the window system is told waits until the box is closed.
// True when the window system has something new to deliver.
bool tmHandleSignals();
// A signal is waiting to be looked at.
bool tmSignalPending();
// A size change: the screen follows at once; the window system hears of it
// when toWindow.  True when the window's size changed.
bool tmApplyResize(bool toWindow);
// Empties the pipe the signal handlers wake the wait with.
void tmDrainWakePipe();

// ---------------------------------------------------------------------------
// The screen (screen.cpp).  Curses writes every byte the terminal is sent
// while the screen is active.
bool tmStartScreen();
void tmStopScreen();
// Everything the window shows, drawn again where it changed, then the
// overlay (if any) and the cursor; curses sends only what differs.
void tmDrawFrame();
// Rows [top, bottom) of the client area now hold what rows [top + delta,
// bottom + delta) held: curses' picture of them moves, so that only the rows
// uncovered are copied from the surface again.
void tmScrollClient(int top, int bottom, int delta);
// Sends bytes to the terminal through curses' own output (putp), in order
// with what curses draws, at once.
void tmSend(const std::string& bytes);
// Makes an overlay window of the size and place given (the old one goes).
WINDOW* tmOpenOverlay(int top, int left, int height, int width);
void tmCloseOverlay();
// Text in the locale's encoding at (row, column) of a window, at most width
// cells; returns the cells used.
int tmPutText(WINDOW* window, int row, int column, const std::string& text, int width, attr_t attributes);
// The console's bytes as characters for the screen.
void tmPutBytes(WINDOW* window, int row, int column, const char* bytes, int count, attr_t attributes);
// The menu bar's items, read from the window's menu.
tmMenuBar tmReadMenuBar();
uint64_t tmMilliseconds();
// A terminfo string capability of the current terminal ("" when it has none).
std::string tmCapability(const char* name);
// Why curses cannot run on standard output's terminal, null when it can.
const char* tmTerminfoProblem();
// The keys terminfo names for the current terminal.
tmKeyTable tmTerminfoKeys();

// ---------------------------------------------------------------------------
// Input (input.cpp).
// Waits up to timeout milliseconds (-1: for ever) for the terminal or a
// signal, then decodes everything the terminal sent.
void tmReadTerminal(int timeout);
// The terminal is gone: the window closes as when its close box is used.
void tmMarkHungUp();
// The events decoded, handed to the window system (a budget at a time);
// returns how many inputs were posted.
int tmDeliverEvents();
// The next event for a box, menu or dialog: waits up to timeout
// milliseconds (-1: for ever).  False on a timeout or when the terminal is
// gone.  A size change is applied to the screen (the window system hears of
// it once the box is closed).
bool tmNextEvent(tmEvent* event, int timeout);

// ---------------------------------------------------------------------------
// Boxes, menus and dialogs (dialogs.cpp, menus.cpp, boxes.cpp).
// Runs the menu bar from the popup at position; 1 when a command was posted.
int tmRunMenu(int position);
int tmRunBox(const char* caption, const char* text, uint32_t type);
int tmRunSaveDialog(const plOpenFileName* request, char* path, size_t size);
int tmRunPrintDialog(struct plPrintDlg* request, char* printer, size_t size);
void tmDrawCancelDialog();
// What a box answers with nobody there to answer it (the terminal hung up).
int tmUnattendedAnswer(uint32_t type);

// ---------------------------------------------------------------------------
// Printing (printing.cpp), through the print module.
int tmPrinter(const char* name, pwPrinterInfo* info);
int tmSpooler(int step, const pwDocument* document);
// Why nothing can be printed (the print module cannot be loaded), null when
// printing can be done.
const char* tmPrintingProblem();

struct tmPrinterEntry {
    std::string name;
    int isDefault;
};
// The destinations the system's printing lists, the default first.
std::vector<tmPrinterEntry> tmListPrinters();
