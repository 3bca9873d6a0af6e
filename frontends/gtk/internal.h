// The desktop front end's own records, shared by its source files only.
//
// Every window of the window system that a person sees is a view: a
// top-level window (menu bar, drawing area, scroll bar) or a modeless dialog
// (its labels and buttons).  GTK's callbacks only post the user's input;
// what must be sent to the console at once (a new size, the focus) is kept
// and sent after GTK's main loop has returned to the front end's hooks, so
// no console code runs inside GTK's frames, with two exceptions that must
// answer at once: the menu opening (pwOpenMenu) and the session's logout
// query.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "frontends/gtk/text.h"
#include "portable/frontend.h"
#include "portable/input.h"

namespace gw {

// The console's window colour (the class background, COLOR_WINDOW).
constexpr plColor windowColour = 0xFFFFFFu;

struct MenuEntry {
    uint16_t id;
    GtkWidget* item;
};

struct DialogLabel {
    uint16_t id;
    GtkWidget* label;
};

struct View {
    plHwnd handle;
    int dialog;                  // a modeless dialog of the window system
    GtkWidget* window;
    // Top-level windows.
    GtkWidget* menuBar;
    GtkWidget* area;
    GtkWidget* scrollBar;
    GtkAdjustment* adjustment;
    std::vector<MenuEntry> menuItems;
    cairo_surface_t* backing;    // what the client area shows, without the caret
    int backingWidth, backingHeight, backingScale;
    int clientWidth, clientHeight;   // the size the window system was last given
    int resizePending;
    int mapPending;              // shown, and not yet on the screen (deliverShows)
    int initialSize;             // the first size is the console's default size
    int buttonDown;
    int draggingThumb;
    double thumbValue;
    double wheel;
    // Dialogs.
    int showPending;             // shown, and built at the next frame
    std::vector<DialogLabel> labels;
};

struct State {
    gwTextFont font;             // the window's font, which every surface's cells are
    gwFontChoice fontChoice;     // what it was opened from
    int fontOpen;
    int desktopPrepared;         // the theme, the input method and the session, once
    gwTextFont requested;        // the font last measured for a request
    gwFontChoice requestedChoice;
    int requestedOpen;
    GtkApplication* application;
    guint logoutInhibit;
    std::vector<View*> views;
    pwCaretInfo caret;
    int caretOn;                 // the blink's phase
    guint blinkSource;
    gint64 caretMoved;           // when the caret last changed (microseconds)
    int posted;                  // input was posted since the hook began
    int focusPending;            // 1: focus came in, -1: went out, 0: nothing new
    plHwnd focusWindow;
    GtkIMContext* im;
    gint64 lastPoll;
    std::string clipboard;       // the text getClipboard handed out
    // Whether the desktop's clipboard holds text, as its owner last said
    // (asked again at each change of owner, from the first frame on), and
    // how deep GTK's own handling of events is: inside it the clipboard is
    // not waited for.
    int clipboardWatched;
    int clipboardHasText;
    int inGtk;
    // PRIMARY: the selected text this window last offered there (UTF-8, LF
    // line ends), and whether the selection may have changed since.
    std::string primary;
    int selectionChanged;
    // Text pasted with the middle button, typed a part at a time.
    std::string pasting;
    size_t pastingAt;
    plHwnd pastingWindow;
};
extern State state;

// startup.cpp: GTK opens the display (it is initialised here, once).
int gtkAvailable();
// Prepares GTK (once) and opens the window's font, then installs the front
// end's hooks.  0 when no monospace face can be loaded.  GTK must be
// initialised (gtkAvailable).
int install();

// hooks.cpp: the hook table, and the waits and polls of GTK's main loop.
extern const pwFrontEnd frontEnd;
// Puts the shown windows on the screen, and sends the size and focus
// changes GTK reported since the last call; 1 when it sent any.  The wait
// calls it after each turn of GTK's loop.
int deliverPending();
// Posted input is counted, so the wait knows it may return.
void noteInput();
// The screen's resolution in dots per inch.
int screenDpi();

// window.cpp: the views, and a top-level window's widgets.
View* viewOf(plHwnd handle);
GtkWindow* parentFor(plHwnd owner);
// Destroys every view, for tests that start the window system afresh.
void resetViews();
// Text rows the area shows (at least one).
int visibleRows(const View* view);
// Puts the top-level windows the window system has shown on the screen:
// all of them when waiting, otherwise those with something to see.
void deliverShows(bool waiting);
// The bar's range, position and page as the window system gives them
// (left alone while the thumb is dragged).
void applyScrollBar(View* view, const pwScrollInfo& bar);
void onWindowChanged(plHwnd window, uint32_t changes);
void onScrollBarChanged(plHwnd window, const pwScrollInfo* bar);
void onMenuChanged(plHwnd window);

// surface.cpp: the text area's backing surface, its drawing and the caret.
// Connects the area's drawing and sizing.
void connectSurface(View* view);
// The caret is drawn steadily again, then blinks.
void restartBlink();
void onScrollRows(plHwnd window, int top, int bottom, int delta);
void onDamage(plHwnd window, int top, int bottom);
void onCaretChanged(const pwCaretInfo* caret);

// input.cpp: keys, the pointer, the wheel, the scroll bar, the focus and
// the input method.
void prepareInput();
void connectInput(View* view);

// selection.cpp: PRIMARY, the middle button's paste and the clipboard.
// Asks the clipboard's owner what it holds, and again at each new owner
// (once); Soon: when GTK's loop is next idle.
void watchClipboard();
void watchClipboardSoon();
// Types PRIMARY's text where typing goes now.
void pastePrimary(View* view);
// Posts the next part of a middle-button paste; 1 when it posted any.
int typePasted();
// Offers the console's selection as PRIMARY when it is a new one.
void offerSelection();
void onSetClipboard(const char* text, size_t length);
int onGetClipboard(const char** text, size_t* length);

// accessible.cpp: the text area as an accessible text (role terminal) over
// what the window shows.
GtkWidget* newTextArea();
// Tells the area's accessible, if one was asked for, that a frame has been
// made: it reports what changed in the text, the caret and the selection.
void accessibleFrame(View* view);

// menus.cpp
void buildMenuBar(View* view);
void refreshMenu(View* view);

// dialogs.cpp
int messageBox(plHwnd owner, const char* text, const char* caption, uint32_t type);
int showBox(GtkWindow* parent, const char* text, const char* caption, uint32_t type);
int saveDialog(const plOpenFileName* request, char* path, size_t size);
void buildDialogView(View* view);
void syncDialogView(View* view);
[[noreturn]] void runBoxHelper(int argc, char** argv);
extern const char boxHelperOption[];

// printing.cpp
int printDialog(struct plPrintDlg* request, char* printer, size_t size);
int printerInfo(const char* name, pwPrinterInfo* info);
int spooler(int step, const pwDocument* document);
// The printer's default font cell for a resolution: 10-point monospace.
void printerCell(int dpi, int* charWidth, int* rowHeight);
void pageGeometry(GtkPageSetup* setup, int dpi, pwPrinterInfo* info);
// Draws a recorded page on a job's surface (the paper's upright size) in
// the page setup's orientation, from its printable area's corner; then
// ends the page.
void printPage(cairo_t* cr, GtkPageSetup* setup, const pwDocument& document, const pwPage& page);

}  // namespace gw
