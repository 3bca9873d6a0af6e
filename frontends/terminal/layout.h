// Where things go on the terminal, and what a mouse report over them means:
// the client area and its pixel units, the menu bar and its popups, the
// scroll bar, and the framed boxes.  No curses here: the screen code draws
// what these give, and the tests check them as they are.
//
// The terminal's row 0 is the menu bar; rows 1 .. rows - 1 are the client
// area, whose last column is the scroll bar: the window holds rows - 1 rows
// and columns - 1 columns of the console's text.  The window system takes
// the client area and the pointer in those cells and makes the console's
// pixels of them itself; the front end's font is one cell (8 x 16).
#pragma once

#include <string>
#include <vector>

#include "portable/frontend.h"

enum { tmCellWidth = 8, tmCellHeight = 16, tmMinimumRows = 2, tmMinimumColumns = 2 };

struct tmGeometry {
    int rows, columns;   // the terminal's
};

// ---------------------------------------------------------------------------
// Menus.

// A menu item's text as the resource holds it: "&Save\tCtrl+S".
struct tmMenuText {
    std::string label;       // "Save"
    int mnemonic;            // index into label of the underlined letter, -1 for none
    std::string accelerator; // "Ctrl+S"
};
tmMenuText tmParseMenuText(const char* text);

// The bar: " File  Edit " and then the window's title.
struct tmMenuBar {
    std::vector<tmMenuText> items;
};
// The column where item i's label starts.
int tmMenuBarColumn(const tmMenuBar& bar, int item);
// The first column after the items (where the title goes).
int tmMenuBarEnd(const tmMenuBar& bar);
// The item under column, -1 for none.
int tmMenuBarItemAt(const tmMenuBar& bar, int column);

struct tmPopupItem {
    tmMenuText text;
    uint16_t id;
    int separator;
    int grayed;
};
// A popup's frame on the screen: its items are on rows top + 1 + i, their
// labels start at column left + 2.
struct tmPopupLayout {
    int top, left, width, height;
    int accelColumn;         // where accelerator texts start
};
tmPopupLayout tmLayoutPopup(const std::vector<tmPopupItem>& items, int anchorColumn, const tmGeometry& g);
// The item under a cell, -1 for none (a separator or the frame).
int tmPopupItemAt(const tmPopupLayout& layout, const std::vector<tmPopupItem>& items, int row, int column);
// The next item from current in direction (+1 or -1) that is not a
// separator, wrapping round; current when there is none.
int tmPopupStep(const std::vector<tmPopupItem>& items, int current, int direction);
// The item whose underlined letter is c (either case), -1 for none.
int tmPopupMnemonic(const std::vector<tmPopupItem>& items, unsigned char c);

// ---------------------------------------------------------------------------
// The scroll bar, in the last column of the client rows: an arrow at each
// end (when there are three rows or more) and a track with a thumb.
struct tmScrollBarLayout {
    int column;
    int top, bottom;           // its rows, inclusive
    int arrows;
    int trackTop, trackLength;
    int thumb;                 // row of the thumb
};
tmScrollBarLayout tmLayoutScrollBar(const tmGeometry& g, const pwScrollInfo& bar);
// The position a thumb dragged to row stands for.
int tmThumbPosition(const tmScrollBarLayout& layout, const pwScrollInfo& bar, int row);

// ---------------------------------------------------------------------------
// The pointer: a mouse report becomes the console's input.
enum tmActionKind { tmMouseDownAction = 1, tmMouseMoveAction, tmMouseUpAction, tmScrollAction, tmOpenMenuAction };
struct tmAction {
    tmActionKind kind;
    int row, column;   // the client area's cells (the terminal's row less the menu bar)
    int shift;
    int code, position;   // scroll-bar code and thumb position
    int menu;             // bar position
};
enum tmDragKind { tmNoDrag = 0, tmClientDrag, tmThumbDrag };
// A drag in the client area begins where the button went down: a mouse
// passes through the press point as it starts to move, but a terminal
// reports only the cell it moved to.
struct tmPointer {
    tmDragKind drag;
    int thumbPosition;
    int pressRow, pressColumn;
    int moved;
};
struct tmMouseReport;
enum { tmMaxActions = 4, tmWheelLines = 3 };
int tmRouteMouse(const tmGeometry& g, const tmMenuBar& bar, const pwScrollInfo& scroll, tmPointer* pointer,
                 const tmMouseReport& report, tmAction* actions);

// ---------------------------------------------------------------------------
// Framed boxes: a message box's caption, text and buttons.
struct tmButton {
    std::string label;       // "Yes"
    int answer;              // IDYES
    int column;              // where "[ Yes ]" starts
};
struct tmBoxLayout {
    int top, left, width, height;
    std::vector<std::string> lines;   // the text, wrapped
    std::vector<tmButton> buttons;
    int buttonRow;
    int defaultButton;
    int escapeAnswer;        // what Esc answers
};
tmBoxLayout tmLayoutBox(const std::string& caption, const std::string& text, uint32_t type, const tmGeometry& g);
// The answer a key gives in the box, 0 for none: the buttons' first letters
// (Y, N, C, O, A, R, I), Esc.  Enter answers the focused button (not here).
int tmBoxAnswerForKey(const tmBoxLayout& layout, unsigned char c);
// The button under a cell, -1 for none.
int tmBoxButtonAt(const tmBoxLayout& layout, int row, int column);
// Text cut into lines of at most width characters, at blanks where it can.
std::vector<std::string> tmWrapText(const std::string& text, int width);
