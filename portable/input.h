// What a front end posts into the portable window system: the user's input,
// as a real keyboard and mouse would post it.  `window` is the window the
// input is for (pwMainWindow() gives the console's); input for a disabled
// window is dropped.  Posted input is handled when the console next pumps
// messages; focus changes, resizes and the shutdown query are sent at once,
// as the system sends them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

void pwPostChar(plHwnd window, unsigned char character);           // WM_CHAR
void pwType(plHwnd window, const char* bytes, size_t count);       // WM_CHAR for each byte
void pwPostKey(plHwnd window, uint32_t virtualKey);                // WM_KEYDOWN
void pwMouseDown(plHwnd window, int x, int y, int shift);          // WM_LBUTTONDOWN (MK_LBUTTON, MK_SHIFT)
void pwMouseUp(plHwnd window, int x, int y);                       // WM_LBUTTONUP
void pwMouseMove(plHwnd window, int x, int y, int buttonDown);     // WM_MOUSEMOVE (MK_LBUTTON)
void pwScroll(plHwnd window, int code, int position);              // WM_VSCROLL
void pwClose(plHwnd window);                                       // WM_CLOSE (the close box)
// The pointer in the cells of the window's surface, for a front end that has
// cells and no pixels (a terminal): the window system picks the client pixel.
void pwMouseDownCell(plHwnd window, int row, int column, int shift);
void pwMouseUpCell(plHwnd window, int row, int column);
void pwMouseMoveCell(plHwnd window, int row, int column, int buttonDown);

// Opens the popup at position of the window's menu bar: sends
// WM_INITMENUPOPUP, so its items' states are right, and returns the popup
// (null when there is none).
plHmenu pwOpenMenu(plHwnd window, int position);
// Opens the popup that holds menu item id and, when the item is then
// enabled, posts WM_COMMAND.  Returns 1 when the command was posted, 0 when
// the item was grayed or disabled (or the window is disabled), -1 when the
// window's menu has no such item.
int pwChooseMenuItem(plHwnd window, uint16_t id);
// Presses a button of a modeless dialog: posts WM_COMMAND(id, BN_CLICKED).
int pwPressDialogButton(plHwnd dialog, uint16_t id);

// Sets the client size: WM_SIZE, then invalidation with erase when the class
// redraws on size changes.
void pwResize(plHwnd window, int width, int height);
// The same for a client area that holds rows x columns of the console's text.
void pwResizeCells(plHwnd window, int rows, int columns);
// Moves the keyboard focus to window (null: away from every window).
void pwFocus(plHwnd window);
// Sends WM_QUERYENDSESSION and returns the window's answer.
plLresult pwQueryEndSession(plHwnd window);

// Handles every waiting message without blocking (translating keys and
// dispatching), as a simple message pump would; returns how many.  A quit
// message is left for the caller's loop.
int pwPump();
