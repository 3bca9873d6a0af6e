// Frames: what changed on the windows since the last frame, reported to the
// front end at a pace it can show.  A window's scrolls (plScrollWindowEx)
// are reported as they were made, one scrollRows for the rows they moved
// together; then the rows drawn on since the last frame that now differ from
// what the front end was told are reported as damaged, and nothing else.
#include <cstring>
#include <vector>

#include "portable/internal.h"

namespace ws {

bool paintDue = false;
bool menuChanged = false;
static uint64_t lastFrame = 0;
static bool inFrame = false;

static bool sameRow(const Cell* a, const Cell* b, int columns)
{
    for (int c = 0; c < columns; ++c) {
        if (a[c].character != b[c].character || a[c].text != b[c].text || a[c].background != b[c].background) {
            return false;
        }
    }
    return true;
}

// What the front end shows moves with a scroll it is told of; the rows
// uncovered hold nothing it was told (they are dirty, and count as changed).
static void shiftShown(Surface& s, int delta)
{
    const int count = delta > 0 ? delta : -delta;
    const size_t width = static_cast<size_t>(s.columns);
    const size_t moved = static_cast<size_t>(s.rows - count) * width;
    const size_t offset = static_cast<size_t>(count) * width;
    Cell* base = s.shown.data();
    const Cell nothing{1, 0xFFFFFFFFu, 0xFFFFFFFFu};
    if (delta > 0) {
        std::memmove(base, base + offset, moved * sizeof(Cell));
        for (size_t i = moved; i < moved + offset; ++i) base[i] = nothing;
    } else {
        std::memmove(base + offset, base, moved * sizeof(Cell));
        for (size_t i = 0; i < offset; ++i) base[i] = nothing;
    }
}

// Reports a window's scroll and changed rows; true when anything was reported.
static bool reportSurface(plHwnd handle, Window& w)
{
    Surface& s = w.surface;
    if (!s.anyDirty && !s.reportAll && s.scrolled == 0) return false;
    const int columns = s.columns;
    if (s.rows <= 0 || columns <= 0) {
        // A surface with no cells has nothing to report beyond its size.
        s.anyDirty = false;
        s.reportAll = false;
        s.scrolled = 0;
        return false;
    }
    const bool all = s.reportAll;
    bool reported = all;
    if (!all && s.scrolled != 0) {
        if (hooks.scrollRows) {
            hooks.scrollRows(handle, 0, s.rows, s.scrolled);
            shiftShown(s, s.scrolled);
            reported = true;
        } else {
            // A front end that does not move rows hears of every row that moved.
            s.dirty.assign(static_cast<size_t>(s.rows), 1);
        }
    }
    int top = -1;
    for (int r = 0; r <= s.rows; ++r) {
        bool damaged = false;
        if (r < s.rows && (all || s.dirty[static_cast<size_t>(r)])) {
            damaged = all || !sameRow(&s.cells[static_cast<size_t>(r * columns)],
                                      &s.shown[static_cast<size_t>(r * columns)], columns);
        }
        if (damaged && top < 0) top = r;
        if (!damaged && top >= 0) {
            if (hooks.damage) hooks.damage(handle, top, r);
            reported = true;
            top = -1;
        }
    }
    s.shown = s.cells;
    s.dirty.assign(static_cast<size_t>(s.rows), 0);
    s.anyDirty = false;
    s.reportAll = false;
    s.scrolled = 0;
    return reported;
}

void reportFrame()
{
    if (inFrame) return;
    FlagGuard guard(inFrame);
    lastFrame = now();
    bool reported = false;
    for (int i = 0; i < maxWindows; ++i) {
        Window& w = windows[i];
        if (!w.used || !w.alive || !w.visible || w.kind == windowControl) continue;
        plHwnd handle = handleOf(i);
        reported |= reportSurface(handle, w);
        if (w.scrollBarChanged) {
            w.scrollBarChanged = false;
            const pwScrollInfo bar{w.vertical.minimum, w.vertical.maximum, w.vertical.position};
            if (hooks.scrollBarChanged) hooks.scrollBarChanged(handle, &bar);
            reported = true;
        }
        if (menuChanged && w.menu) {
            if (hooks.menuChanged) hooks.menuChanged(handle);
            reported = true;
        }
    }
    menuChanged = false;
    if (caretChanged) {
        caretChanged = false;
        const pwCaretInfo info = pwCaret();
        if (hooks.caretChanged) hooks.caretChanged(&info);
        reported = true;
    }
    if (reported && hooks.frame) hooks.frame();
}

bool frameDue()
{
    return settings.frameInterval == 0 || now() - lastFrame >= static_cast<uint64_t>(settings.frameInterval);
}

void resetFrames()
{
    paintDue = false;
    menuChanged = false;
    lastFrame = 0;
    inFrame = false;
}

}  // namespace ws

using namespace ws;

void pwPresent()
{
    for (int i = 0; i < maxWindows; ++i) {
        const Window& w = windows[i];
        if (w.used && w.alive && w.visible && w.invalid && w.kind != windowControl) plUpdateWindow(handleOf(i));
    }
    reportFrame();
}
