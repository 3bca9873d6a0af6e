// Frames: what changed on the windows since the last frame, reported to the
// front end at a pace it can show.  A surface's rows drawn on since the last
// frame are compared with what the front end was told; when most of the rows
// that changed hold what other rows held before (output scrolled the text),
// the front end is told to move its rows, and only the rows that still
// differ are reported as damaged.
#include <cstring>
#include <vector>

#include "portable/internal.h"

namespace ws {

bool paintDue = false;
bool menuChanged = false;
static uint64_t lastFrame = 0;
static bool inFrame = false;

static bool sameCell(const Cell& a, const Cell& b)
{
    return a.character == b.character && a.text == b.text && a.background == b.background;
}

static bool sameRow(const Cell* a, const Cell* b, int columns)
{
    for (int c = 0; c < columns; ++c) {
        if (!sameCell(a[c], b[c])) return false;
    }
    return true;
}

static uint64_t rowHash(const Cell* row, int columns)
{
    uint64_t hash = 1469598103934665603ull;
    for (int c = 0; c < columns; ++c) {
        hash = (hash ^ static_cast<unsigned char>(row[c].character)) * 1099511628211ull;
        hash = (hash ^ row[c].text) * 1099511628211ull;
        hash = (hash ^ row[c].background) * 1099511628211ull;
    }
    return hash;
}

static bool blankRow(const Cell* row, int columns)
{
    for (int c = 0; c < columns; ++c) {
        if (row[c].character != 0 && row[c].character != ' ') return false;
    }
    return true;
}

// The shift that makes the most changed rows match what the front end shows:
// row r now holds what row r + delta held.  0 when no shift is worth it.
static int scrollDelta(const Surface& s)
{
    const int rows = s.rows;
    const int columns = s.columns;
    if (rows < 2 || columns < 1) return 0;
    std::vector<uint64_t> now(static_cast<size_t>(rows)), before(static_cast<size_t>(rows));
    std::vector<char> candidate(static_cast<size_t>(rows), 0);
    int changed = 0;
    for (int r = 0; r < rows; ++r) {
        const Cell* cells = &s.cells[static_cast<size_t>(r * columns)];
        const Cell* shown = &s.shown[static_cast<size_t>(r * columns)];
        now[static_cast<size_t>(r)] = rowHash(cells, columns);
        before[static_cast<size_t>(r)] = rowHash(shown, columns);
        if (s.dirty[static_cast<size_t>(r)] && !sameRow(cells, shown, columns) && !blankRow(cells, columns)) {
            candidate[static_cast<size_t>(r)] = 1;
            ++changed;
        }
    }
    if (changed < 2) return 0;
    int best = 0;
    int bestVotes = 0;
    for (int delta = 1 - rows; delta < rows; ++delta) {
        if (delta == 0) continue;
        int votes = 0;
        for (int r = 0; r < rows; ++r) {
            const int from = r + delta;
            if (!candidate[static_cast<size_t>(r)] || from < 0 || from >= rows) continue;
            if (now[static_cast<size_t>(r)] == before[static_cast<size_t>(from)] &&
                sameRow(&s.cells[static_cast<size_t>(r * columns)], &s.shown[static_cast<size_t>(from * columns)],
                        columns)) {
                ++votes;
            }
        }
        if (votes > bestVotes) {
            bestVotes = votes;
            best = delta;
        }
    }
    return bestVotes * 2 >= changed ? best : 0;
}

// Moves what the front end is told rows [0, bottom) of a surface show by
// delta rows; the rows uncovered hold nothing it was told.
static void shiftShown(Surface& s, int bottom, int delta)
{
    const size_t width = static_cast<size_t>(s.columns);
    const size_t moved = static_cast<size_t>(bottom - (delta > 0 ? delta : -delta)) * width;
    const size_t region = static_cast<size_t>(bottom) * width;
    Cell* base = s.shown.data();
    if (delta > 0) {
        std::memmove(base, base + static_cast<size_t>(delta) * width, moved * sizeof(Cell));
        for (size_t i = moved; i < region; ++i) base[i] = Cell{1, 0xFFFFFFFFu, 0xFFFFFFFFu};
    } else {
        std::memmove(base + static_cast<size_t>(-delta) * width, base, moved * sizeof(Cell));
        for (size_t i = 0; i < static_cast<size_t>(-delta) * width; ++i) base[i] = Cell{1, 0xFFFFFFFFu, 0xFFFFFFFFu};
    }
}

// Reports a window's changed rows; true when anything was reported.
static bool reportSurface(plHwnd handle, Window& w)
{
    Surface& s = w.surface;
    if (!s.anyDirty && !s.reportAll) return false;
    const int columns = s.columns;
    if (s.rows <= 0 || columns <= 0) {
        // A surface with no cells has nothing to report beyond its size.
        s.anyDirty = false;
        s.reportAll = false;
        return false;
    }
    bool all = s.reportAll;
    bool compareAll = all;
    if (!all) {
        const int delta = scrollDelta(s);
        // Blank rows at the bottom, blank before and after, stay where they are.
        int bottom = s.rows;
        while (bottom > 0 && blankRow(&s.cells[static_cast<size_t>((bottom - 1) * columns)], columns) &&
               sameRow(&s.cells[static_cast<size_t>((bottom - 1) * columns)],
                       &s.shown[static_cast<size_t>((bottom - 1) * columns)], columns)) {
            --bottom;
        }
        if (delta != 0 && (delta > 0 ? delta : -delta) < bottom) {
            if (hooks.scrollRows) hooks.scrollRows(handle, 0, bottom, delta);
            shiftShown(s, bottom, delta);
            compareAll = true;
        }
    }
    bool reported = false;
    int top = -1;
    for (int r = 0; r <= s.rows; ++r) {
        bool damaged = false;
        if (r < s.rows && (compareAll || s.dirty[static_cast<size_t>(r)])) {
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
    return reported || all;
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
