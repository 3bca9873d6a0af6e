// The text area's pixels: a backing surface of the window's cells, drawn as
// the window system reports damage and scrolls, copied to the screen with
// the caret over it, and the caret's blink.
#include "frontends/gtk/internal.h"

namespace gw {

namespace {

// ---------------------------------------------------------------------------
// The caret's blink, at the desktop's rate: on two thirds of the cycle, off
// one third, and steady once the desktop's blink timeout has passed since it
// last moved.

gboolean blinkTick(gpointer);

void queueCaret()
{
    View* view = viewOf(state.caret.owner);
    if (view && view->area) {
        gtk_widget_queue_draw_area(view->area, state.caret.x, state.caret.y, state.caret.width, state.caret.height);
    }
}

void scheduleBlink()
{
    if (state.blinkSource) g_source_remove(state.blinkSource);
    state.blinkSource = 0;
    gboolean blink = TRUE;
    gint cycle = 1200;
    gint timeout = 10;
    g_object_get(gtk_settings_get_default(), "gtk-cursor-blink", &blink, "gtk-cursor-blink-time", &cycle,
                 "gtk-cursor-blink-timeout", &timeout, nullptr);
    const gint64 steadyAfter = static_cast<gint64>(timeout) * G_USEC_PER_SEC;
    if (!blink || cycle <= 0 || !state.caret.owner || !state.caret.shown ||
        g_get_monotonic_time() - state.caretMoved > steadyAfter) {
        if (!state.caretOn) {
            state.caretOn = 1;
            queueCaret();
        }
        return;
    }
    const guint interval = static_cast<guint>(state.caretOn ? cycle * 2 / 3 : cycle / 3);
    state.blinkSource = g_timeout_add(interval > 0 ? interval : 1, blinkTick, nullptr);
}

gboolean blinkTick(gpointer)
{
    state.blinkSource = 0;
    state.caretOn = !state.caretOn;
    queueCaret();
    scheduleBlink();
    return G_SOURCE_REMOVE;
}

// The input method shows its window at the caret.
void placeInputMethod(const pwCaretInfo& caret)
{
    if (!state.im) return;
    GdkRectangle spot{caret.x, caret.y, caret.width, caret.height};
    gtk_im_context_set_cursor_location(state.im, &spot);
}

// ---------------------------------------------------------------------------
// The backing surface.

void renderRows(View* view, int top, int bottom)
{
    if (!view->backing) return;
    int rows = 0, columns = 0;
    pwSurfaceSize(view->handle, &rows, &columns, nullptr, nullptr);
    cairo_t* cr = cairo_create(view->backing);
    const int ch = state.font.cellHeight;
    for (int row = top; row < bottom; ++row) {
        const pwCell* cells = row < rows ? pwSurfaceRow(view->handle, row) : nullptr;
        if (cells) {
            gwRenderRow(cr, &state.font, cells, columns, row * ch, view->backingWidth, windowColour);
        } else {
            gwSetColour(cr, windowColour);
            cairo_rectangle(cr, 0, row * ch, view->backingWidth, ch);
            cairo_fill(cr);
        }
    }
    cairo_destroy(cr);
}

// A backing surface of the area's size at its scale, drawn whole.
void makeBacking(View* view)
{
    const int width = gtk_widget_get_allocated_width(view->area);
    const int height = gtk_widget_get_allocated_height(view->area);
    const int scale = gtk_widget_get_scale_factor(view->area);
    if (view->backing && width == view->backingWidth && height == view->backingHeight && scale == view->backingScale) {
        return;
    }
    if (view->backing) cairo_surface_destroy(view->backing);
    view->backing = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width * scale, height * scale);
    cairo_surface_set_device_scale(view->backing, scale, scale);
    view->backingWidth = width;
    view->backingHeight = height;
    view->backingScale = scale;
    renderRows(view, 0, (height + state.font.cellHeight - 1) / state.font.cellHeight);
    gtk_widget_queue_draw(view->area);
}

gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer data)
{
    View* view = static_cast<View*>(data);
    gwSetColour(cr, windowColour);
    cairo_paint(cr);
    if (view->backing) {
        cairo_set_source_surface(cr, view->backing, 0, 0);
        cairo_paint(cr);
    }
    const pwCaretInfo& caret = state.caret;
    if (caret.owner == view->handle && caret.shown && state.caretOn) {
        // The caret inverts what is under it.
        cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_rectangle(cr, caret.x, caret.y, caret.width, caret.height);
        cairo_fill(cr);
    }
    // What the clipboard holds is asked once the first frame is on the
    // screen, off the window's way there.
    watchClipboardSoon();
    return TRUE;
}

gboolean relaxSizeRequest(gpointer data)
{
    View* view = static_cast<View*>(data);
    if (view->area) {
        // From now on the window may shrink to one cell.
        int width = 0, height = 0;
        pwClientSizeFor(1, 1, &width, &height);
        gtk_widget_set_size_request(view->area, width, height);
    }
    return G_SOURCE_REMOVE;
}

void onSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer data)
{
    View* view = static_cast<View*>(data);
    makeBacking(view);
    if (allocation->width != view->clientWidth || allocation->height != view->clientHeight) view->resizePending = 1;
    if (view->initialSize) {
        view->initialSize = 0;
        g_idle_add(relaxSizeRequest, view);
    }
    if (state.caret.owner == view->handle) placeInputMethod(state.caret);
}

void onScaleChanged(GObject*, GParamSpec*, gpointer data)
{
    View* view = static_cast<View*>(data);
    if (gtk_widget_get_realized(view->area)) makeBacking(view);
}

// Queues the area's rows [top, bottom) to be copied to the screen.
void queueRows(View* view, int top, int bottom)
{
    const int ch = state.font.cellHeight;
    gtk_widget_queue_draw_area(view->area, 0, top * ch, view->backingWidth, (bottom - top) * ch);
}

}  // namespace

void connectSurface(View* view)
{
    g_signal_connect(view->area, "draw", G_CALLBACK(onDraw), view);
    g_signal_connect(view->area, "size-allocate", G_CALLBACK(onSizeAllocate), view);
    g_signal_connect(view->area, "notify::scale-factor", G_CALLBACK(onScaleChanged), view);
}

void restartBlink()
{
    state.caretMoved = g_get_monotonic_time();
    state.caretOn = 1;
    scheduleBlink();
}

void onScrollRows(plHwnd window, int top, int bottom, int delta)
{
    View* view = viewOf(window);
    if (!view || !view->backing) return;
    gwScrollRows(view->backing, state.font.cellHeight * view->backingScale, top, bottom, delta);
    queueRows(view, top, bottom);
}

void onDamage(plHwnd window, int top, int bottom)
{
    // What is highlighted is drawn anew whenever the selection changes.
    state.selectionChanged = 1;
    View* view = viewOf(window);
    if (!view || !view->backing) return;
    renderRows(view, top, bottom);
    queueRows(view, top, bottom);
}

void onCaretChanged(const pwCaretInfo* caret)
{
    queueCaret();
    state.caret = *caret;
    queueCaret();
    if (viewOf(caret->owner)) placeInputMethod(*caret);
    restartBlink();
}

}  // namespace gw
