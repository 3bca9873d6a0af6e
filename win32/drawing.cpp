// Drawing, the caret, the scroll bar and menus: platform.h passed through to
// the real API.  The paint record and the text metrics are translated.
#include "win32/callbacks.h"

#include <cstring>

using w32::throughSystem;

namespace {

HWND real(plHwnd window) { return reinterpret_cast<HWND>(window); }
HDC real(plHdc dc) { return reinterpret_cast<HDC>(dc); }
HMENU real(plHmenu menu) { return reinterpret_cast<HMENU>(menu); }

// The system's paint record of each painting in progress, by drawing context
// (EndPaint needs it whole).
enum { paintSlots = 4 };
PAINTSTRUCT paints[paintSlots];

PAINTSTRUCT* paintSlot(HDC dc)
{
    for (PAINTSTRUCT& paint : paints) {
        if (paint.hdc == dc) {
            return &paint;
        }
    }
    return nullptr;
}

}  // namespace

plHdc plGetDC(plHwnd window)
{
    return reinterpret_cast<plHdc>(GetDC(real(window)));
}

int plReleaseDC(plHwnd window, plHdc dc)
{
    return ReleaseDC(real(window), real(dc));
}

plHdc plBeginPaint(plHwnd window, plPaintStruct* paint)
{
    PAINTSTRUCT system;
    std::memset(&system, 0, sizeof system);
    HDC dc = throughSystem([&] { return BeginPaint(real(window), &system); });
    std::memset(paint, 0, sizeof *paint);
    if (dc == nullptr) {
        return nullptr;
    }
    PAINTSTRUCT* slot = paintSlot(dc);
    if (slot == nullptr) {
        slot = paintSlot(nullptr);
    }
    if (slot != nullptr) {
        *slot = system;
    }
    paint->hdc = reinterpret_cast<plHdc>(dc);
    paint->erase = system.fErase;
    paint->paint = {system.rcPaint.left, system.rcPaint.top, system.rcPaint.right, system.rcPaint.bottom};
    return paint->hdc;
}

int plEndPaint(plHwnd window, const plPaintStruct* paint)
{
    HDC dc = real(paint->hdc);
    PAINTSTRUCT* slot = paintSlot(dc);
    PAINTSTRUCT system;
    if (slot != nullptr) {
        system = *slot;
        std::memset(slot, 0, sizeof *slot);
    } else {
        std::memset(&system, 0, sizeof system);
        system.hdc = dc;
        system.fErase = paint->erase;
        system.rcPaint = {paint->paint.left, paint->paint.top, paint->paint.right, paint->paint.bottom};
    }
    return throughSystem([&] { return static_cast<int>(EndPaint(real(window), &system)); });
}

int plInvalidateRect(plHwnd window, const plRect* rect, int erase)
{
    if (rect == nullptr) {
        return InvalidateRect(real(window), nullptr, erase ? TRUE : FALSE) ? 1 : 0;
    }
    RECT system = {rect->left, rect->top, rect->right, rect->bottom};
    return InvalidateRect(real(window), &system, erase ? TRUE : FALSE) ? 1 : 0;
}

int plScrollWindowEx(plHwnd window, int dx, int dy, const plRect* rect, const plRect* clip, void* updateRegion,
                     plRect* update, uint32_t flags)
{
    RECT area = {};
    RECT clipArea = {};
    if (rect) {
        area = RECT{rect->left, rect->top, rect->right, rect->bottom};
    }
    if (clip) {
        clipArea = RECT{clip->left, clip->top, clip->right, clip->bottom};
    }
    RECT uncovered = {};
    // Erasing sends the window its erase message at once.
    const int result = throughSystem([&] {
        return ScrollWindowEx(real(window), dx, dy, rect ? &area : nullptr, clip ? &clipArea : nullptr,
                              static_cast<HRGN>(updateRegion), &uncovered, flags);
    });
    if (update) {
        *update = plRect{uncovered.left, uncovered.top, uncovered.right, uncovered.bottom};
    }
    return result;
}

int plSaveDC(plHdc dc)
{
    return SaveDC(real(dc));
}

int plRestoreDC(plHdc dc, int saved)
{
    return RestoreDC(real(dc), saved) ? 1 : 0;
}

int plSetGraphicsMode(plHdc dc, int mode)
{
    return SetGraphicsMode(real(dc), mode);
}

int plModifyWorldTransform(plHdc dc, const void* transform, int mode)
{
    return ModifyWorldTransform(real(dc), static_cast<const XFORM*>(transform), static_cast<DWORD>(mode)) ? 1 : 0;
}

int plSetViewportOrgEx(plHdc dc, int x, int y, plPoint* old)
{
    POINT previous = {0, 0};
    BOOL done = SetViewportOrgEx(real(dc), x, y, &previous);
    if (old != nullptr) {
        old->x = previous.x;
        old->y = previous.y;
    }
    return done ? 1 : 0;
}

int plSetWindowOrgEx(plHdc dc, int x, int y, plPoint* old)
{
    POINT previous = {0, 0};
    BOOL done = SetWindowOrgEx(real(dc), x, y, &previous);
    if (old != nullptr) {
        old->x = previous.x;
        old->y = previous.y;
    }
    return done ? 1 : 0;
}

int plGetDeviceCaps(plHdc dc, int index)
{
    return GetDeviceCaps(real(dc), index);
}

int plDPtoLP(plHdc dc, plPoint* points, int count)
{
    int done = 1;
    for (int i = 0; i < count; ++i) {
        POINT point = {points[i].x, points[i].y};
        if (!DPtoLP(real(dc), &point, 1)) {
            done = 0;
        }
        points[i].x = point.x;
        points[i].y = point.y;
    }
    return done;
}

plHfont plCreateFont(int height, int width, int escapement, int orientation, int weight, uint32_t italic,
                     uint32_t underline, uint32_t strikeOut, uint32_t charSet, uint32_t outPrecision,
                     uint32_t clipPrecision, uint32_t quality, uint32_t pitchAndFamily, const char* faceName)
{
    return reinterpret_cast<plHfont>(CreateFontA(height, width, escapement, orientation, weight, italic, underline,
                                                 strikeOut, charSet, outPrecision, clipPrecision, quality,
                                                 pitchAndFamily, faceName));
}

plHgdiobj plSelectObject(plHdc dc, plHgdiobj object)
{
    return reinterpret_cast<plHgdiobj>(SelectObject(real(dc), reinterpret_cast<HGDIOBJ>(object)));
}

int plDeleteObject(plHgdiobj object)
{
    return DeleteObject(reinterpret_cast<HGDIOBJ>(object)) ? 1 : 0;
}

int plGetTextMetrics(plHdc dc, plTextMetric* metrics)
{
    TEXTMETRICA system;
    std::memset(&system, 0, sizeof system);
    BOOL done = GetTextMetricsA(real(dc), &system);
    metrics->height = system.tmHeight;
    metrics->ascent = system.tmAscent;
    metrics->descent = system.tmDescent;
    metrics->internalLeading = system.tmInternalLeading;
    metrics->externalLeading = system.tmExternalLeading;
    metrics->aveCharWidth = system.tmAveCharWidth;
    metrics->maxCharWidth = system.tmMaxCharWidth;
    return done ? 1 : 0;
}

plColor plSetTextColor(plHdc dc, plColor color)
{
    return SetTextColor(real(dc), color);
}

plColor plSetBkColor(plHdc dc, plColor color)
{
    return SetBkColor(real(dc), color);
}

int plSetBkMode(plHdc dc, int mode)
{
    return SetBkMode(real(dc), mode);
}

int plTextOut(plHdc dc, int x, int y, const char* text, int count)
{
    return TextOutA(real(dc), x, y, text, count) ? 1 : 0;
}

int plMoveToEx(plHdc dc, int x, int y, plPoint* old)
{
    POINT previous = {0, 0};
    BOOL done = MoveToEx(real(dc), x, y, &previous);
    if (old != nullptr) {
        old->x = previous.x;
        old->y = previous.y;
    }
    return done ? 1 : 0;
}

int plLineTo(plHdc dc, int x, int y)
{
    return LineTo(real(dc), x, y) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Caret and vertical scroll bar.

int plCreateCaret(plHwnd window, void* bitmap, int width, int height)
{
    return CreateCaret(real(window), static_cast<HBITMAP>(bitmap), width, height) ? 1 : 0;
}

int plDestroyCaret()
{
    return DestroyCaret() ? 1 : 0;
}

int plSetCaretPos(int x, int y)
{
    return SetCaretPos(x, y) ? 1 : 0;
}

int plShowCaret(plHwnd window)
{
    return ShowCaret(real(window)) ? 1 : 0;
}

int plHideCaret(plHwnd window)
{
    return HideCaret(real(window)) ? 1 : 0;
}

int plSetScrollRange(plHwnd window, int bar, int minimum, int maximum, int redraw)
{
    return throughSystem(
        [&] { return SetScrollRange(real(window), bar, minimum, maximum, redraw ? TRUE : FALSE) ? 1 : 0; });
}

int plSetScrollPos(plHwnd window, int bar, int position, int redraw)
{
    return throughSystem([&] { return SetScrollPos(real(window), bar, position, redraw ? TRUE : FALSE); });
}

int plGetScrollPos(plHwnd window, int bar)
{
    return GetScrollPos(real(window), bar);
}

// ---------------------------------------------------------------------------
// Menus.

plHmenu plLoadMenu(plHinstance instance, const char* name)
{
    return reinterpret_cast<plHmenu>(LoadMenuA(reinterpret_cast<HINSTANCE>(instance), name));
}

plHmenu plGetMenu(plHwnd window)
{
    return reinterpret_cast<plHmenu>(GetMenu(real(window)));
}

plHmenu plGetSystemMenu(plHwnd window, int revert)
{
    return reinterpret_cast<plHmenu>(GetSystemMenu(real(window), revert ? TRUE : FALSE));
}

int plEnableMenuItem(plHmenu menu, uint32_t id, uint32_t flags)
{
    return static_cast<int>(EnableMenuItem(real(menu), id, flags));
}
