// What a front end reads of the windows: surfaces, the caret, scroll bars,
// menus, dialogs and recorded documents; and the inspection tests use.
#include "portable/readback.h"

#include "portable/internal.h"

using namespace ws;

plHwnd pwMainWindow()
{
    int chosen = -1;
    for (int i = 0; i < maxWindows; ++i) {
        const Window& w = windows[i];
        if (!w.used || !w.alive || w.kind != windowPlain || windowOf(w.parent)) continue;
        if (chosen < 0 || w.order < windows[chosen].order) chosen = i;
    }
    return chosen < 0 ? nullptr : handleOf(chosen);
}

pwWindowKind pwKindOf(plHwnd window)
{
    Window* w = windowOf(window);
    if (!w) return pwTopLevel;
    return w->kind == windowDialog ? pwDialog : w->kind == windowControl ? pwControl : pwTopLevel;
}

int pwIsVisible(plHwnd window)
{
    Window* w = windowOf(window);
    return w && w->visible ? 1 : 0;
}

int pwIsEnabled(plHwnd window)
{
    Window* w = windowOf(window);
    return w && w->enabled ? 1 : 0;
}

void pwClientSize(plHwnd window, int* width, int* height)
{
    Window* w = windowOf(window);
    if (width) *width = w ? w->clientWidth : 0;
    if (height) *height = w ? w->clientHeight : 0;
}

void pwSurfaceSize(plHwnd window, int* rows, int* columns, int* cellWidth, int* cellHeight)
{
    Window* w = windowOf(window);
    if (rows) *rows = w ? w->surface.rows : 0;
    if (columns) *columns = w ? w->surface.columns : 0;
    if (cellWidth) *cellWidth = w ? w->surface.cellWidth : 0;
    if (cellHeight) *cellHeight = w ? w->surface.cellHeight : 0;
}

const pwCell* pwSurfaceRow(plHwnd window, int row)
{
    Window* w = windowOf(window);
    if (!w || row < 0 || row >= w->surface.rows || w->surface.columns <= 0) return nullptr;
    return &w->surface.cells[static_cast<size_t>(row) * static_cast<size_t>(w->surface.columns)];
}

int pwSurfaceLineCount(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? static_cast<int>(w->surface.lines.size()) : 0;
}

pwLine pwSurfaceLine(plHwnd window, int index)
{
    Window* w = windowOf(window);
    if (!w || index < 0 || index >= static_cast<int>(w->surface.lines.size())) return pwLine{0, 0, 0, 0};
    return w->surface.lines[static_cast<size_t>(index)];
}

pwCaretInfo pwCaret()
{
    if (!caret.exists) return pwCaretInfo{nullptr, 0, 0, 0, 0, 0, 0, 0};
    const Window* w = windowOf(caret.owner);
    const int cellWidth = w ? w->surface.cellWidth : 1;
    const int cellHeight = w ? w->surface.cellHeight : 1;
    return pwCaretInfo{caret.owner, caret.x, caret.y, caret.width, caret.height, caret.hideCount == 0 ? 1 : 0,
                       floorDivide(caret.y, cellHeight), floorDivide(caret.x, cellWidth)};
}

int pwCommandText(plHwnd window, uint16_t command, std::string* text)
{
    Window* w = windowOf(window);
    if (!w || !w->enabled) return 0;
    return divertedCommand(window, command, text);
}

pwScrollInfo pwScrollBar(plHwnd window, int bar)
{
    Window* w = windowOf(window);
    if (!w) return pwScrollInfo{0, 0, 0};
    const ScrollBar& s = bar == SB_HORZ ? w->horizontal : w->vertical;
    return pwScrollInfo{s.minimum, s.maximum, s.position};
}

int pwDialogItemCount(plHwnd dialog)
{
    int count = 0;
    for (int i = 0; i < maxWindows; ++i) {
        const Window& w = windows[i];
        count += w.used && w.alive && w.kind == windowControl && w.parent == dialog ? 1 : 0;
    }
    return count;
}

int pwDialogItem(plHwnd dialog, int position, pwDialogItemInfo* item)
{
    // Items in the order the template gave them (creation order).
    int chosen = -1;
    uint64_t after = 0;
    for (int n = 0; n <= position; ++n) {
        chosen = -1;
        for (int i = 0; i < maxWindows; ++i) {
            const Window& w = windows[i];
            if (!w.used || !w.alive || w.kind != windowControl || w.parent != dialog || w.order <= after) continue;
            if (chosen < 0 || w.order < windows[chosen].order) chosen = i;
        }
        if (chosen < 0) return 0;
        after = windows[chosen].order;
    }
    if (item) *item = pwDialogItemInfo{windows[chosen].controlKind, windows[chosen].controlId, windows[chosen].title};
    return 1;
}

int pwShowValue(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? w->showValue : -1;
}

int pwIsInvalid(plHwnd window)
{
    Window* w = windowOf(window);
    return w && w->invalid ? 1 : 0;
}

int pwDisableCount(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? w->disableCount : 0;
}

int pwLiveBlockCount()
{
    return liveBlockCount();
}

int pwLiveDcCount()
{
    int count = 0;
    for (const Dc& dc : dcs) count += dc.used ? 1 : 0;
    return count;
}
