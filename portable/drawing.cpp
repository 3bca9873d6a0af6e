// Drawing: contexts over a window's surface of character cells (or over a
// printer's current page), fonts with the front end's metrics, painting and
// invalidation, the caret and the scroll bars.
//
// A window's surface is a grid of cells the size of the front end's font.
// Each row drawn on is marked dirty; frames report the dirty rows that
// changed to the front end.
// Text drawn at a pixel position lands in the cell that holds that position,
// so a left margin narrower than a cell still maps column c to cell c.
// Invalidation always covers the whole client area, and the background is
// erased when painting begins, as the host system does.
#include <cstring>

#include "portable/internal.h"

namespace ws {

Dc dcs[maxDcs];
Caret caret;
bool caretChanged = false;

struct Font {
    bool used;
    uint16_t generation;
    bool stock;
    pwFontMetrics metrics;
};
enum { maxFonts = 256, maxSurfacePixels = 8192, maxSurfaceLines = 4096 };
static Font fonts[maxFonts];

static plHfont fontHandle(int index)
{
    return reinterpret_cast<plHfont>(packHandle(index, fonts[index].generation));
}
static int fontIndexOf(plHgdiobj handle)
{
    return slotOf(reinterpret_cast<uintptr_t>(handle), fonts);
}
static plHfont stockFont()
{
    return fontHandle(0);
}

Dc* dcOf(plHdc handle)
{
    int index = slotOf(reinterpret_cast<uintptr_t>(handle), dcs);
    return index < 0 ? nullptr : &dcs[index];
}

static plHdc dcHandle(int index)
{
    return reinterpret_cast<plHdc>(packHandle(index, dcs[index].generation));
}

static plHdc allocateDc(DcKind kind, plHwnd window)
{
    for (int i = 0; i < maxDcs; ++i) {
        if (dcs[i].used) continue;
        uint16_t generation = nextGeneration(dcs[i].generation);
        dcs[i] = Dc{};
        dcs[i].used = true;
        dcs[i].generation = generation;
        dcs[i].kind = kind;
        dcs[i].window = window;
        dcs[i].state.font = stockFont();
        dcs[i].state.text = plRgb(0, 0, 0);
        dcs[i].state.background = plRgb(255, 255, 255);
        dcs[i].state.backgroundMode = OPAQUE;
        dcs[i].state.graphicsMode = GM_COMPATIBLE;
        dcs[i].document = -1;
        return dcHandle(i);
    }
    lastError = 8;
    return nullptr;
}

static void freeDc(Dc& dc)
{
    uint16_t generation = dc.generation;
    dc = Dc{};
    dc.generation = generation;
}

plHdc createPrinterDc(const pwPrinterInfo& printer)
{
    plHdc handle = allocateDc(dcPrinter, nullptr);
    Dc* dc = dcOf(handle);
    if (dc) dc->printer = printer;
    return handle;
}

// The metrics of a context's selected font: a printer's stock font is the
// printer's own, a window's is the front end's.
static pwFontMetrics selectedMetrics(const Dc& dc)
{
    int index = fontIndexOf(dc.state.font);
    if (index >= 0 && !fonts[index].stock) return fonts[index].metrics;
    if (dc.kind == dcPrinter) return pwFontMetrics{dc.printer.charWidth, dc.printer.rowHeight, 0};
    return measure(nullptr);
}

void fontMetrics(const Dc& dc, int* width, int* height)
{
    pwFontMetrics metrics = selectedMetrics(dc);
    *width = metrics.width;
    *height = metrics.height;
}

static void toDevice(const Dc& dc, int x, int y, int* dx, int* dy)
{
    *dx = x - dc.state.windowOrigin.x + dc.state.viewportOrigin.x;
    *dy = y - dc.state.windowOrigin.y + dc.state.viewportOrigin.y;
}

void setupSurface(Window& window)
{
    Surface& s = window.surface;
    int width = window.clientWidth < maxSurfacePixels ? window.clientWidth : maxSurfacePixels;
    int height = window.clientHeight < maxSurfacePixels ? window.clientHeight : maxSurfacePixels;
    int columns = (width + s.cellWidth - 1) / s.cellWidth;
    int rows = (height + s.cellHeight - 1) / s.cellHeight;
    if (rows == s.rows && columns == s.columns) return;
    std::vector<Cell> cells(static_cast<size_t>(rows) * static_cast<size_t>(columns),
                            Cell{0, plRgb(0, 0, 0), s.windowColour});
    for (int r = 0; r < rows && r < s.rows; ++r) {
        for (int c = 0; c < columns && c < s.columns; ++c) {
            cells[static_cast<size_t>(r * columns + c)] = s.cells[static_cast<size_t>(r * s.columns + c)];
        }
    }
    s.cells.swap(cells);
    s.shown = s.cells;
    s.dirty.assign(static_cast<size_t>(rows), 0);
    s.rows = rows;
    s.columns = columns;
    s.reportAll = true;
    s.scrolled = 0;
}

// The surface's rows move up by delta (down when negative), as a scroll of
// the window's pixels moves them: the rows uncovered are blank and dirty,
// and rows drawn on since the last frame stay marked where they went.  When
// the whole window is to be erased and painted before the next frame, only
// the scroll is counted: the paint draws every row anyway.
void scrollSurface(Surface& s, int delta, bool repainted)
{
    const int count = delta > 0 ? delta : -delta;
    s.scrolled += delta;
    if (count >= s.rows || s.scrolled >= s.rows || -s.scrolled >= s.rows) {
        if (!repainted) eraseRows(s, 0, s.rows);
        s.reportAll = true;
        s.scrolled = 0;
        return;
    }
    for (pwLine& line : s.lines) {
        line.y1 -= delta * s.cellHeight;
        line.y2 -= delta * s.cellHeight;
    }
    if (repainted) return;
    const size_t width = static_cast<size_t>(s.columns);
    const size_t movedRows = static_cast<size_t>(s.rows - count);
    const size_t offset = static_cast<size_t>(count) * width;
    Cell* cells = s.cells.data();
    char* dirty = s.dirty.data();
    if (delta > 0) {
        std::memmove(cells, cells + offset, movedRows * width * sizeof(Cell));
        std::memmove(dirty, dirty + count, movedRows);
        eraseRows(s, s.rows - count, s.rows);
    } else {
        std::memmove(cells + offset, cells, movedRows * width * sizeof(Cell));
        std::memmove(dirty + count, dirty, movedRows);
        eraseRows(s, 0, count);
    }
}

void markDirty(Surface& s, int row)
{
    s.dirty[static_cast<size_t>(row)] = 1;
    s.anyDirty = true;
}

void eraseRows(Surface& s, int top, int bottom)
{
    for (int row = top; row < bottom; ++row) {
        Cell* cells = &s.cells[static_cast<size_t>(row) * static_cast<size_t>(s.columns)];
        for (int c = 0; c < s.columns; ++c) cells[c] = Cell{0, plRgb(0, 0, 0), s.windowColour};
        markDirty(s, row);
    }
}

void eraseSurface(Window& window)
{
    Surface& s = window.surface;
    for (Cell& cell : s.cells) cell = Cell{0, plRgb(0, 0, 0), s.windowColour};
    for (int row = 0; row < s.rows; ++row) markDirty(s, row);
    s.lines.clear();
}

void destroyCaretOf(plHwnd window)
{
    if (caret.exists && caret.owner == window) {
        caret = Caret{};
        caretChanged = true;
    }
}

void releaseDcsOf(plHwnd window)
{
    for (Dc& dc : dcs) {
        if (dc.used && dc.kind != dcPrinter && dc.window == window) freeDc(dc);
    }
}

void resetDrawing()
{
    for (Dc& dc : dcs) freeDc(dc);
    for (Font& font : fonts) {
        uint16_t generation = font.generation;
        font = Font{};
        font.generation = generation;
    }
    fonts[0].used = true;
    fonts[0].generation = 1;
    fonts[0].stock = true;
    caret = Caret{};
    caretChanged = false;
}

}  // namespace ws

using namespace ws;

// ---------------------------------------------------------------------------
// Contexts.

plHdc plGetDC(plHwnd window)
{
    if (!windowOf(window)) {
        lastError = 1400;
        return nullptr;
    }
    return allocateDc(dcWindow, window);
}

int plReleaseDC(plHwnd, plHdc dc)
{
    Dc* d = dcOf(dc);
    if (!d || d->kind == dcPrinter) return 0;
    freeDc(*d);
    return 1;
}

plHdc plBeginPaint(plHwnd window, plPaintStruct* paint)
{
    Window* w = windowOf(window);
    if (!w || !paint) {
        lastError = 1400;
        return nullptr;
    }
    plHdc dc = allocateDc(dcPaint, window);
    if (!dc) return nullptr;
    if (w->erasePending) eraseSurface(*w);
    w->erasePending = false;
    w->invalid = false;
    ++w->paintsBegun;
    paint->hdc = dc;
    paint->erase = 0;
    paint->paint = plRect{0, 0, w->clientWidth, w->clientHeight};
    return dc;
}

int plEndPaint(plHwnd, const plPaintStruct* paint)
{
    if (!paint) return 0;
    Dc* d = dcOf(paint->hdc);
    if (d && d->kind == dcPaint) freeDc(*d);
    return 1;
}

int plInvalidateRect(plHwnd window, const plRect* rect, int erase)
{
    if (rect && (rect->right <= rect->left || rect->bottom <= rect->top)) return 1;
    if (!window) {
        for (Window& w : windows) {
            if (!w.used || w.kind == windowControl) continue;
            w.invalid = true;
            if (erase) w.erasePending = true;
        }
        return 1;
    }
    Window* w = windowOf(window);
    if (!w) {
        lastError = 1400;
        return 0;
    }
    w->invalid = true;
    if (erase) w->erasePending = true;
    return 1;
}

// Only whole rows of the whole client area move; any other scroll asks for
// the whole window to be painted again, which shows the same.
int plScrollWindowEx(plHwnd window, int dx, int dy, const plRect* rect, const plRect* clip, void*, plRect* update,
                     uint32_t flags)
{
    Window* w = windowOf(window);
    if (!w) {
        lastError = 1400;
        return 0;
    }
    Surface& s = w->surface;
    const bool rows = dx == 0 && !rect && !clip && s.cellHeight > 0 && dy % s.cellHeight == 0;
    const bool repainted = (flags & SW_INVALIDATE) && (flags & SW_ERASE);
    if (rows && dy != 0 && s.rows > 0) {
        scrollSurface(s, -dy / s.cellHeight, repainted);
    } else if (dx != 0 || dy != 0) {
        eraseRows(s, 0, s.rows);
    }
    const int height = dy < 0 ? -dy : dy;
    if (update && rows) {
        *update = dy < 0 ? plRect{0, w->clientHeight - height, w->clientWidth, w->clientHeight}
                         : plRect{0, 0, w->clientWidth, height};
    } else if (update) {
        *update = plRect{0, 0, w->clientWidth, w->clientHeight};
    }
    if (dx == 0 && dy == 0) return 1;
    // Invalidation covers the whole client area, as everywhere here.
    if (flags & SW_INVALIDATE) {
        w->invalid = true;
        if (flags & SW_ERASE) w->erasePending = true;
    }
    return 2;
}

int plSaveDC(plHdc dc)
{
    Dc* d = dcOf(dc);
    if (!d || d->savedCount >= 16) return 0;
    d->saved[d->savedCount++] = d->state;
    return d->savedCount;
}

int plRestoreDC(plHdc dc, int saved)
{
    Dc* d = dcOf(dc);
    if (!d) return 0;
    int level = saved < 0 ? d->savedCount + 1 + saved : saved;
    if (level < 1 || level > d->savedCount) return 0;
    d->state = d->saved[level - 1];
    d->savedCount = level - 1;
    return 1;
}

int plSetGraphicsMode(plHdc dc, int mode)
{
    Dc* d = dcOf(dc);
    if (!d || (mode != GM_COMPATIBLE && mode != GM_ADVANCED)) return 0;
    int old = d->state.graphicsMode;
    d->state.graphicsMode = mode;
    return old;
}

int plModifyWorldTransform(plHdc dc, const void*, int mode)
{
    // Only the identity transform is kept: drawing is never transformed.
    Dc* d = dcOf(dc);
    if (!d || d->state.graphicsMode != GM_ADVANCED || mode != MWT_IDENTITY) return 0;
    return 1;
}

int plSetViewportOrgEx(plHdc dc, int x, int y, plPoint* old)
{
    Dc* d = dcOf(dc);
    if (!d) return 0;
    if (old) *old = d->state.viewportOrigin;
    d->state.viewportOrigin = plPoint{x, y};
    return 1;
}

int plSetWindowOrgEx(plHdc dc, int x, int y, plPoint* old)
{
    Dc* d = dcOf(dc);
    if (!d) return 0;
    if (old) *old = d->state.windowOrigin;
    d->state.windowOrigin = plPoint{x, y};
    return 1;
}

int plGetDeviceCaps(plHdc dc, int index)
{
    Dc* d = dcOf(dc);
    if (!d) return 0;
    bool printer = d->kind == dcPrinter;
    switch (index) {
    case HORZRES:
        return printer ? d->printer.width : screenInfo().width;
    case VERTRES:
        return printer ? d->printer.height : screenInfo().height;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return printer ? d->printer.dpi : screenInfo().dpi;
    default:
        return 0;
    }
}

int plDPtoLP(plHdc dc, plPoint* points, int count)
{
    Dc* d = dcOf(dc);
    if (!d || (count > 0 && !points)) return 0;
    for (int i = 0; i < count; ++i) {
        points[i].x = points[i].x - d->state.viewportOrigin.x + d->state.windowOrigin.x;
        points[i].y = points[i].y - d->state.viewportOrigin.y + d->state.windowOrigin.y;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Fonts and colours.

plHfont plCreateFont(int height, int width, int escapement, int orientation, int weight, uint32_t italic,
                     uint32_t underline, uint32_t strikeOut, uint32_t charSet, uint32_t outPrecision,
                     uint32_t clipPrecision, uint32_t quality, uint32_t pitchAndFamily, const char* faceName)
{
    const pwFontRequest request{height,     width,     escapement,   orientation,   weight,
                                italic,     underline, strikeOut,    charSet,       outPrecision,
                                clipPrecision, quality, pitchAndFamily, faceName ? faceName : ""};
    for (int i = 1; i < maxFonts; ++i) {
        if (fonts[i].used) continue;
        fonts[i].used = true;
        fonts[i].generation = nextGeneration(fonts[i].generation);
        fonts[i].stock = false;
        fonts[i].metrics = measure(&request);
        return fontHandle(i);
    }
    lastError = 8;
    return nullptr;
}

plHgdiobj plSelectObject(plHdc dc, plHgdiobj object)
{
    Dc* d = dcOf(dc);
    if (!d) return nullptr;
    // Selecting the font already selected (once per character drawn) needs
    // no check: a selected font cannot be deleted.
    if (d->state.font == object) return object;
    if (fontIndexOf(object) < 0) return nullptr;
    plHgdiobj old = d->state.font;
    d->state.font = object;
    return old;
}

int plDeleteObject(plHgdiobj object)
{
    int index = fontIndexOf(object);
    if (index < 0) return 0;
    if (fonts[index].stock) return 1;
    for (const Dc& dc : dcs) {
        if (dc.used && dc.state.font == object) return 0;   // still selected
    }
    fonts[index].used = false;
    return 1;
}

int plGetTextMetrics(plHdc dc, plTextMetric* metrics)
{
    Dc* d = dcOf(dc);
    if (!d || !metrics) return 0;
    const pwFontMetrics font = selectedMetrics(*d);
    metrics->height = font.height;
    metrics->descent = font.height / 5;
    metrics->ascent = font.height - metrics->descent;
    metrics->internalLeading = 0;
    metrics->externalLeading = font.externalLeading;
    metrics->aveCharWidth = font.width;
    metrics->maxCharWidth = font.width;
    return 1;
}

plColor plSetTextColor(plHdc dc, plColor color)
{
    Dc* d = dcOf(dc);
    if (!d) return 0xFFFFFFFFu;
    plColor old = d->state.text;
    d->state.text = color;
    return old;
}

plColor plSetBkColor(plHdc dc, plColor color)
{
    Dc* d = dcOf(dc);
    if (!d) return 0xFFFFFFFFu;
    plColor old = d->state.background;
    d->state.background = color;
    return old;
}

int plSetBkMode(plHdc dc, int mode)
{
    Dc* d = dcOf(dc);
    if (!d || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
    int old = d->state.backgroundMode;
    d->state.backgroundMode = mode;
    return old;
}

// ---------------------------------------------------------------------------
// Text and lines.

int plTextOut(plHdc dc, int x, int y, const char* text, int count)
{
    Dc* d = dcOf(dc);
    if (!d || count < 0 || (count > 0 && !text)) return 0;
    int dx = 0, dy = 0;
    toDevice(*d, x, y, &dx, &dy);
    if (d->kind == dcPrinter) {
        printerText(*d, dx, dy, text, count);
        return 1;
    }
    Window* w = windowOf(d->window);
    if (!w) return 0;
    Surface& s = w->surface;
    int advance = 0, height = 0;
    if (count > 1) fontMetrics(*d, &advance, &height);
    int row = floorDivide(dy, s.cellHeight);
    if (row < 0 || row >= s.rows) return 1;
    markDirty(s, row);
    for (int i = 0; i < count; ++i) {
        int column = floorDivide(dx + i * advance, s.cellWidth);
        if (column < 0 || column >= s.columns) continue;
        Cell& cell = s.cells[static_cast<size_t>(row * s.columns + column)];
        cell.character = text[i];
        cell.text = d->state.text;
        if (d->state.backgroundMode == OPAQUE) cell.background = d->state.background;
    }
    return 1;
}

int plMoveToEx(plHdc dc, int x, int y, plPoint* old)
{
    Dc* d = dcOf(dc);
    if (!d) return 0;
    if (old) *old = d->state.position;
    d->state.position = plPoint{x, y};
    return 1;
}

int plLineTo(plHdc dc, int x, int y)
{
    Dc* d = dcOf(dc);
    if (!d) return 0;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    toDevice(*d, d->state.position.x, d->state.position.y, &x1, &y1);
    toDevice(*d, x, y, &x2, &y2);
    d->state.position = plPoint{x, y};
    if (d->kind == dcPrinter) {
        printerLine(*d, x1, y1, x2, y2);
        return 1;
    }
    Window* w = windowOf(d->window);
    if (!w) return 0;
    if (static_cast<int>(w->surface.lines.size()) < maxSurfaceLines) {
        w->surface.lines.push_back(pwLine{x1, y1, x2, y2});
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Caret.  Created hidden; every hide must be matched by a show before it
// appears again.

int plCreateCaret(plHwnd window, void*, int width, int height)
{
    if (!windowOf(window)) {
        lastError = 1400;
        return 0;
    }
    caret = Caret{true, window, 0, 0, width, height, 1};
    caretChanged = true;
    return 1;
}

int plDestroyCaret()
{
    if (!caret.exists) return 0;
    caret = Caret{};
    caretChanged = true;
    return 1;
}

int plSetCaretPos(int x, int y)
{
    if (!caret.exists) return 0;
    if (caret.x != x || caret.y != y) caretChanged = true;
    caret.x = x;
    caret.y = y;
    return 1;
}

int plShowCaret(plHwnd window)
{
    if (!caret.exists || (window && window != caret.owner)) return 0;
    if (caret.hideCount > 0 && --caret.hideCount == 0) caretChanged = true;
    return 1;
}

int plHideCaret(plHwnd window)
{
    if (!caret.exists || (window && window != caret.owner)) return 0;
    if (caret.hideCount++ == 0) caretChanged = true;
    return 1;
}

// ---------------------------------------------------------------------------
// Scroll bars.  The position is kept within the range.

static ScrollBar* scrollBarOf(plHwnd window, int bar)
{
    Window* w = windowOf(window);
    if (!w) {
        lastError = 1400;
        return nullptr;
    }
    if (bar == SB_VERT) return &w->vertical;
    if (bar == SB_HORZ) return &w->horizontal;
    lastError = 87;
    return nullptr;
}

static void clampPosition(ScrollBar& s)
{
    if (s.maximum < s.minimum) return;
    if (s.position < s.minimum) s.position = s.minimum;
    if (s.position > s.maximum) s.position = s.maximum;
}

int plSetScrollRange(plHwnd window, int bar, int minimum, int maximum, int)
{
    ScrollBar* s = scrollBarOf(window, bar);
    if (!s) return 0;
    s->minimum = minimum;
    s->maximum = maximum;
    clampPosition(*s);
    windowOf(window)->scrollBarChanged = true;
    return 1;
}

int plSetScrollPos(plHwnd window, int bar, int position, int)
{
    ScrollBar* s = scrollBarOf(window, bar);
    if (!s) return 0;
    int old = s->position;
    s->position = position;
    clampPosition(*s);
    windowOf(window)->scrollBarChanged = true;
    return old;
}

int plGetScrollPos(plHwnd window, int bar)
{
    ScrollBar* s = scrollBarOf(window, bar);
    return s ? s->position : 0;
}

int plDeleteDC(plHdc dc)
{
    Dc* d = dcOf(dc);
    if (!d) return 0;
    if (d->kind == dcPrinter) printerDcDeleted(*d);
    freeDc(*d);
    return 1;
}
