// The console window's shared records, globals and operations.  Every file of
// the console includes this header; the console reaches the window system only
// through platform/platform.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// State (state.cpp)

enum { consoleCapacity = 32768, consoleInputSize = 512, consoleInputLimit = 510 };
// The transcript's block: its capacity and, behind it, the slack into which
// the text's start moves as old lines are discarded.
enum { consoleTranscriptSlack = consoleCapacity, consoleTranscriptSize = consoleCapacity + consoleTranscriptSlack };

// The control characters the console gives a meaning of its own.
enum : char {
    charCtrlC = 3, charCtrlD = 4, charBell = 7, charBackspace = 8, charTab = 9,
    charLineFeed = 10, charFormFeed = 12, charReturn = 13, charCtrlZ = 26,
};

// Rows kept free below the end of the text when the view follows it.
enum { viewSlackRows = 5 };
// The window's left margin in pixels: text column c starts at this margin +
// c x cellWidth, and the text's width leaves the margin free on each side.
enum { consoleTextMargin = 5 };

// The message boxes the console shows: a warning with OK, and the question
// with Yes, No and Cancel.
enum : uint32_t { warningBox = MB_OK | MB_ICONEXCLAMATION, questionBox = MB_YESNOCANCEL | MB_ICONQUESTION };

// The console's global state record: 23 fields, in this order.  Positions are
// pointers into the transcript or the pending-input buffer.
struct ConsoleStateRecord {
    char* textStart;        // start of the transcript buffer
    char* viewStart;        // first character of the top visible row
    char* textEnd;          // one past the last transcript byte
    char* inputStart;       // start of the pending-input buffer
    char* inputRead;        // next pending byte to hand to a reader
    char* inputEnd;         // one past the last pending byte
    char* selAnchor;        // where a mouse drag began
    char* selStart;         // start of the selection; null: none
    char* selEnd;           // end of the selection (exclusive)
    int32_t windowHeight;   // client-area height in pixels
    int32_t windowWidth;    // client-area width in pixels
    int32_t drawRow;        // screen row of the next character drawn
    int32_t screenRows;     // text rows that fit the window
    int32_t drawColumn;     // column of the next character drawn
    int32_t screenColumns;  // characters per display row
    int32_t topRow;         // display row at the top of the window
    int32_t windowShown;    // the window has been shown
    int32_t lineReady;      // a completed line, or end of input, waits for the reader
    int32_t modified;       // the transcript changed since it was last saved
    int32_t reading;        // a reader waits inside the read hook
    int32_t showCommand;    // show value given at start-up
    int32_t lastRow;        // index of the last display row
    int32_t capacity;       // size of the transcript buffer
};
extern ConsoleStateRecord ConsoleState;

struct ConsoleSettingsRecord {
    uint8_t autoClose;      // close the window as soon as the application ends
    uint8_t askToSave;      // closing a modified transcript asks to save
    int16_t tabWidth;       // distance between tab stops; 0 is special
    char fontName[32];      // face name of the console font
    int16_t fontSize;       // console font size in points
};
extern ConsoleSettingsRecord ConsoleSettings;
extern const ConsoleSettingsRecord consoleDefaultSettings;

extern plHwnd consoleWindow;
extern plHaccel consoleAccelerators;
extern plHinstance consoleInstance;
extern int32_t appFinished;
extern int32_t exitRequested;
extern int32_t endOfInput;
extern int32_t rowFill;
// Wrapped rows counted for the transcript's last line since it began, so that
// taking that line's text back (a lone CR, Backspace) takes its rows back too.
extern int32_t lineWraps;
// Sets rowFill and lineWraps from the last line as the row mapping sees it
// (the bytes after the last CR LF): for after that line changed other than by
// appending, or the row width changed.  rowFill is then one more than the
// characters on the line's last display row, as after a line break.
void recountLastLine();
extern int32_t caretRow;
extern int32_t caretColumn;
extern int32_t keepView;
extern int32_t cellWidth;
extern int32_t cellHeight;

// The transcript's block as allocated, and its size.  The text lies inside
// it, from textStart to textEnd.
extern char* transcriptBlock;
extern int32_t transcriptBlockSize;

// Sets every field of ConsoleState to its initial value over the two buffers
// (which the caller allocated), and the further globals with them.  The
// transcript's block holds transcriptSize bytes (at least consoleCapacity;
// with no slack, discarding moves the text every time).
void initConsoleState(char* transcript, char* pendingInput, int32_t showValue,
                      int32_t transcriptSize = consoleCapacity);

// The row mapping forgets the rows it remembered: for code that wrote into
// the transcript directly, other than appending at its end.
void forgetRowAnchor();
// The text from position on is about to change other than through the
// primitives below (output cutting the end of the text back): the row
// mapping keeps nothing it knows past position.
void textChangesFrom(const char* position);
// Start of the logical line that holds position: just after the last CR LF
// pair that lies wholly before it, or the start of the text.
char* lineStartOf(char* position);

// Transcript primitives.  makeRoom returns how many bytes it discarded from
// the top.  It may also move the whole text down in its block, so a caller
// holding a position across it keeps the position's offset from textStart,
// less what was discarded; openGap returns the gap's position after any
// discarding (null, and nothing done, when count + 1 bytes could not fit
// even in an empty transcript).  Removing text (deleteText, and makeRoom's
// discarding) keeps lastRow equal to the rows the text takes, and keeps
// viewStart, selAnchor, selStart and selEnd on their text (at the cut when
// their text went), as does moving the text; makeRoom clears a selection
// whose text it discarded whole.
int32_t makeRoom(int32_t count);
// How many bytes can be appended one at a time, each followed by
// makeRoom(1), before one of those calls would discard or move text.
int32_t roomBeforeDiscarding();
// makeRoom for typing that holds hidden bytes not yet stored, all of them to
// go in at or after limit, the start of a line: they count as text.  Returns
// the bytes discarded, 0 when there was room, or -1 (and nothing is done)
// when the cut would not end before limit, so that its place depends on the
// hidden bytes: the caller then stores them first.
int32_t makeRoomAhead(int32_t count, int32_t hidden, const char* limit);
void deleteText(char* position, int32_t count);
char* openGap(char* position, int32_t count);
// openGap that also writes the count bytes into the gap and, like removing
// text, keeps lastRow equal to the rows the text takes (and rowFill and
// lineWraps right for the last line).  Returns where the bytes went.
char* insertText(char* position, const char* bytes, int32_t count);
int32_t rowLength(const char* position);
char* rowColumnToPosition(int32_t row, int32_t column);
void positionToRowColumn(const char* position, int32_t* row, int32_t* column);
int32_t countRows();

// ---------------------------------------------------------------------------
// Display (display.cpp)

extern int32_t pressRow;
extern int32_t pressColumn;
// The display row the window's top row shows on the screen, -1 when that is
// not known.  Output that runs past the bottom, and a repaint that follows
// the end, move the window's pixels by the rows the view moved (the window
// then paints only what that uncovers); text changed where it is shown
// without a repaint (a lone CR taking back the last line) forgets it, so the
// next repaint draws every row.
extern int64_t shownTop;
// The console font last made, and the face name and point size it was made
// from; selectConsoleFont makes a new one only when the settings change.
extern plHfont cachedFont;
extern char cachedFontName[32];
extern int32_t cachedFontSize;

plHfont selectConsoleFont(plHdc dc, int style);
void drawCharacter(plHdc dc, char byte, int32_t* row, int32_t* column);
// A byte with no rule of its own: stored as it is and drawn in its cell.
inline bool isOrdinaryByte(char byte)
{
    return byte != charBell && byte != charBackspace && byte != charTab && byte != charLineFeed &&
           byte != charFormFeed && byte != charReturn;
}
// How many of the count bytes drawRun takes at once: the ordinary bytes at
// the start that fit the rest of the draw row (at least one when the first
// is ordinary).
int32_t ordinaryRun(const char* bytes, int32_t count);
// Draws that many ordinary bytes with one text call, exactly as drawCharacter
// would one at a time.
void drawRun(plHdc dc, const char* bytes, int32_t count, int32_t* row, int32_t* column);
void placeCaret(int32_t row, int32_t column);

void displayCreate(plHwnd window);
void displaySize(plLparam lParam);
void displayPaint(plHwnd window);
void displaySetFocus();
void displayKillFocus();
void displayScroll(plWparam wParam);
void displayKeyDown(plWparam key);
void displayButtonDown(plWparam keys, plLparam lParam);
void displayButtonUp(plLparam lParam);
void displayMouseMove(plWparam keys, plLparam lParam);

// ---------------------------------------------------------------------------
// Output (output.cpp)

enum : uint32_t { consoleWriteTextMessage = 1024, consoleApplyScroll = 1025 };

void consoleWriteHook(const char* bytes, uint32_t count);
void storeChar(const char* source, char* position);
// storeChar that also tells where the next byte goes: just after the stored
// byte, or at the position itself when the byte removed text.  Discarding
// old text to make room moves it back with the text.
char* storeCharAt(const char* source, char* position);
void outputWriteText(const char* bytes, uint32_t count);

// ---------------------------------------------------------------------------
// Input (input.cpp)

int consoleReadHook(char* buffer, uint32_t capacity, uint32_t* count);
void inputCharacter(plWparam character);
// Handles the bytes in order as the character handler handles each typed
// one, with the same result; runs of ordinary characters typed while no
// reader waits are stored together.  Paste types its text through it.
void inputCharacters(plHwnd window, const char* bytes, size_t count);

// ---------------------------------------------------------------------------
// Commands (commands.cpp)

enum : uint16_t {
    commandNew = 10, commandOpen = 11, commandClose = 12, commandSave = 13, commandPrint = 14,
    commandExit = 15, commandUndo = 16, commandCut = 17, commandCopy = 18, commandPaste = 19,
    commandSelectAll = 20,
};

extern char savePath[1024];
extern char saveTitle[260];

void prepareSaveDialog(plHwnd window);
plLresult commandsCommand(plHwnd window, plWparam wParam);
plLresult commandsInitMenuPopup(plHwnd window, plWparam wParam, plLparam lParam);
plLresult commandsClose(plHwnd window);
plLresult commandsQueryEndSession(plHwnd window);
plLresult commandsDestroy(plHwnd window);
int writeTranscript(const char* path);
int confirmSave(plHwnd window, const char* fileName);

// ---------------------------------------------------------------------------
// Printing (printing.cpp)

int printTranscript(plHinstance instance, plHwnd owner, const char* title, ConsoleStateRecord state);
intptr_t printCancelProc(plHwnd dialog, uint32_t message, plWparam wParam, plLparam lParam);
int printAbortProc(plHdc dc, int error);
plHdc openDefaultPrinter(plHwnd owner);

// ---------------------------------------------------------------------------
// Resources (resources.cpp): the menu, accelerator and cancel-dialog data.

void registerConsoleResources(plHinstance instance);
// The cancel dialog's item that shows the document's title.
enum { cancelTitleItem = 10 };

// ---------------------------------------------------------------------------
// Window procedure (window.cpp) and lifecycle (lifecycle.cpp)

plLresult consoleWindowProc(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam);

// Registers the "Vellomex" class and creates the console window hidden,
// remembering the instance and the window.  1 on success, 0 otherwise.
int createConsoleWindow(plHinstance instance);
int consoleMain(plHinstance instance, int showValue);
void consoleExitHook();
void interruptHandler(int signal);
void pumpMessages();

// The console's one message pump.  The loops differ only in these rules.
struct messagePump {
    int wait;                    // block for the next message (0: handle only what is waiting)
    int translateAccelerators;   // the console window's shortcuts become commands
    int repostQuit;              // a quit message taken is posted again for the loop that waits for it
    plHwnd* dialog;              // a modeless dialog that handles its own keys first (null: none)
    const int32_t* until;        // stop before taking a message once this is set (null: never)
    const int32_t* abandon;      // once this is set, a message just taken is left unhandled and the pump stops
};
enum pumpResult { pumpRanDry, pumpStopped, pumpQuit, pumpAbandoned };
pumpResult runMessagePump(const messagePump& pump);

// Shows the console window the first time output or a read needs it.  Only
// output loads the accelerators: before the first output the console's
// shortcuts are not translated.
void showConsoleWindow(int forOutput);

// Called when consoleExitHook lets the process end (exit or abort after the
// application has finished); null by default.  The program hands it on to
// the window system's front end (which may put its screen back or write a
// last report).
extern void (*consoleEndingHook)();
// The message box of the runtime's fatal-error paths: no owner window.
int consoleRuntimeBox(const char* text, const char* caption, unsigned flags);

// The application's main routine, called by consoleMain.
typedef int (*consoleApplication)(int argc, char** argv);
void setConsoleApplication(consoleApplication application, int argc, char** argv);

// ---------------------------------------------------------------------------
// Stream binding (stream_binding.cpp)

void attachConsoleStreams();
