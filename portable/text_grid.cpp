// The console's text grid in a window's client area: column c of the
// console's text starts at its margin + c x cell width, while the console
// reads a pointer's column as x / cell width (the margin not subtracted),
// and a window's surface keeps text in the cell that holds the pixel it was
// drawn at.  Cells a front end knows become client pixels here and nowhere
// else, from the console's margin (pwSetTextMargin) and the front end's cell.
#include "portable/input.h"
#include "portable/internal.h"

namespace ws {

// The pixels of surface cell c are [c w, c w + w); the console reads them as
// column c, and its text for column c is drawn from c w + margin mod w on.
// The point taken lies in both, so a click lands on the character shown.
void cellPoint(const Window& window, int row, int column, int* x, int* y)
{
    const int width = window.surface.cellWidth;
    const int height = window.surface.cellHeight;
    const int inside = (pwCellTextLeft(width) + width) / 2;
    *x = column * width + inside;
    *y = row * height + height / 2;
}

}  // namespace ws

using namespace ws;

void pwSetTextMargin(int pixels)
{
    settings.textMargin = pixels < 0 ? 0 : pixels;
}

int pwCellTextLeft(int cellWidth)
{
    return cellWidth > 0 ? settings.textMargin % cellWidth : 0;
}

void pwClientSizeFor(int rows, int columns, int* width, int* height)
{
    const pwFontMetrics cell = measure(nullptr);
    if (width) *width = (columns > 0 ? columns : 0) * cell.width + 2 * settings.textMargin;
    if (height) *height = (rows > 0 ? rows : 0) * (cell.height + cell.externalLeading);
}

void pwMouseDownCell(plHwnd window, int row, int column, int shift)
{
    const Window* w = windowOf(window);
    if (!w) return;
    int x = 0, y = 0;
    cellPoint(*w, row, column, &x, &y);
    pwMouseDown(window, x, y, shift);
}

void pwMouseUpCell(plHwnd window, int row, int column)
{
    const Window* w = windowOf(window);
    if (!w) return;
    int x = 0, y = 0;
    cellPoint(*w, row, column, &x, &y);
    pwMouseUp(window, x, y);
}

void pwMouseMoveCell(plHwnd window, int row, int column, int buttonDown)
{
    const Window* w = windowOf(window);
    if (!w) return;
    int x = 0, y = 0;
    cellPoint(*w, row, column, &x, &y);
    pwMouseMove(window, x, y, buttonDown);
}

void pwResizeCells(plHwnd window, int rows, int columns)
{
    int width = 0, height = 0;
    pwClientSizeFor(rows, columns, &width, &height);
    pwResize(window, width, height);
}
