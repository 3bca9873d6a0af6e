// The desktop front end's windows: a top-level window per console window,
// drawn from the window system's frames, fed by the keyboard, the mouse, the
// scroll bar and the focus, and the hooks that wait for and poll GTK's main
// loop.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "frontends/gtk/internal.h"
#include "frontends/gtk/keys.h"

namespace gw {

State state;

namespace {

// The console's window colour (the class background, COLOR_WINDOW).
const plColor windowColour = 0xFFFFFFu;
// The console's default window: 80 columns and 24 rows of the font (the
// window system adds the console's margins).
enum { defaultColumns = 80, defaultRows = 24 };
// Lines the wheel scrolls per notch.
enum { wheelLines = 3 };
// Non-blocking polls iterate GTK's loop at most this often (milliseconds).
enum { pollInterval = 8 };
// Events handled per poll at most, so a flood of them cannot hold output.
enum { pollBatch = 64 };
// Bytes of a middle-button paste posted per turn of the hooks, so a long
// text never fills the message queue.
enum { pasteChunk = 1024 };

int clampCoordinate(double value)
{
    const long v = std::lround(std::floor(value));
    return v < -32768 ? -32768 : (v > 32767 ? 32767 : static_cast<int>(v));
}

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

void restartBlink()
{
    state.caretMoved = g_get_monotonic_time();
    state.caretOn = 1;
    scheduleBlink();
}

// ---------------------------------------------------------------------------
// The client area: a backing surface of the window's cells, drawn as the
// window system reports them.

int visibleRows(const View* view)
{
    const int height = view->area ? gtk_widget_get_allocated_height(view->area) : 0;
    const int rows = height / state.font.cellHeight;
    return rows > 0 ? rows : 1;
}

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
    if (state.caret.owner == view->handle && state.im) {
        GdkRectangle spot{state.caret.x, state.caret.y, state.caret.width, state.caret.height};
        gtk_im_context_set_cursor_location(state.im, &spot);
    }
}

void onScaleChanged(GObject*, GParamSpec*, gpointer data)
{
    View* view = static_cast<View*>(data);
    if (gtk_widget_get_realized(view->area)) makeBacking(view);
}

// ---------------------------------------------------------------------------
// Input.

void typeText(View* view, const std::string& bytes)
{
    if (bytes.empty()) return;
    pwType(view->handle, bytes.data(), bytes.size());
    noteInput();
}

void typeCharacter(View* view, unsigned char character)
{
    pwPostChar(view->handle, character);
    noteInput();
}

gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer data)
{
    View* view = static_cast<View*>(data);
    restartBlink();
    // The desktop's copy and paste keys run the Edit menu's items, in every
    // state, exactly as choosing them does (a grayed item does nothing).
    const uint16_t command = gwShortcutCommand(event->keyval, event->state);
    if (command) {
        if (pwChooseMenuItem(view->handle, command) == 1) noteInput();
        return TRUE;
    }
    const int control = gwControlCharacter(event->keyval, event->state);
    if (control > 0) {
        typeCharacter(view, static_cast<unsigned char>(control));
        return TRUE;
    }
    // Alt belongs to the menus' mnemonics, F10 and the like to GTK.
    if (event->state & GDK_MOD1_MASK) return FALSE;
    if (state.im && gtk_im_context_filter_keypress(state.im, event)) return TRUE;
    const gwKeyMeaning meaning = gwMeaningOf(event->keyval);
    if (meaning.character >= 0) {
        typeCharacter(view, static_cast<unsigned char>(meaning.character));
        return TRUE;
    }
    if (meaning.virtualKey) {
        pwPostKey(view->handle, meaning.virtualKey);
        noteInput();
        return TRUE;
    }
    const gunichar character = gdk_keyval_to_unicode(event->keyval);
    if (!(event->state & GDK_CONTROL_MASK) && character >= 0x20 && character != 0x7F) {
        char utf8[8];
        const int length = g_unichar_to_utf8(character, utf8);
        typeText(view, gwToAnsi(utf8, static_cast<size_t>(length)));
        return TRUE;
    }
    return FALSE;
}

gboolean onKeyRelease(GtkWidget*, GdkEventKey* event, gpointer)
{
    return state.im && gtk_im_context_filter_keypress(state.im, event);
}

void onCommit(GtkIMContext*, const gchar* text, gpointer)
{
    // The input method's text goes to the window that has the focus.
    View* view = viewOf(state.focusWindow);
    if (!view) view = state.views.empty() ? nullptr : state.views.front();
    if (view && text) typeText(view, gwToAnsi(text, std::strlen(text)));
}

gboolean onFocusIn(GtkWidget*, GdkEventFocus*, gpointer data)
{
    View* view = static_cast<View*>(data);
    state.focusPending = 1;
    state.focusWindow = view->handle;
    if (state.im) gtk_im_context_focus_in(state.im);
    restartBlink();
    return FALSE;
}

gboolean onFocusOut(GtkWidget*, GdkEventFocus*, gpointer data)
{
    View* view = static_cast<View*>(data);
    if (state.focusWindow == view->handle) {
        state.focusPending = -1;
        if (state.im) gtk_im_context_focus_out(state.im);
    }
    return FALSE;
}

// PRIMARY's text, typed where typing goes now: each line end is Enter.
void onPrimaryText(GtkClipboard*, const gchar* text, gpointer data)
{
    plHwnd window = static_cast<plHwnd>(data);
    if (!text || !viewOf(window)) return;
    if (state.pastingWindow != window) {
        state.pasting.clear();
        state.pastingAt = 0;
    }
    state.pasting.erase(0, state.pastingAt);
    state.pastingAt = 0;
    state.pasting += gwTypedLineEnds(gwToAnsi(text, std::strlen(text)));
    state.pastingWindow = window;
    noteInput();
}

// Posts the next part of a middle-button paste; 1 when it posted any.
int typePasted()
{
    if (state.pastingAt >= state.pasting.size()) return 0;
    const size_t count = std::min<size_t>(pasteChunk, state.pasting.size() - state.pastingAt);
    if (viewOf(state.pastingWindow)) pwType(state.pastingWindow, state.pasting.data() + state.pastingAt, count);
    state.pastingAt += count;
    if (state.pastingAt >= state.pasting.size()) {
        state.pasting.clear();
        state.pastingAt = 0;
    }
    return 1;
}

gboolean onButtonPress(GtkWidget* area, GdkEventButton* event, gpointer data)
{
    View* view = static_cast<View*>(data);
    if (event->type == GDK_BUTTON_PRESS && event->button == GDK_BUTTON_MIDDLE) {
        // As in every X terminal: PRIMARY is typed, the caret stays.
        gtk_widget_grab_focus(area);
        gtk_clipboard_request_text(gtk_clipboard_get(GDK_SELECTION_PRIMARY), onPrimaryText, view->handle);
        return TRUE;
    }
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY) return FALSE;
    gtk_widget_grab_focus(area);
    view->buttonDown = 1;
    pwMouseDown(view->handle, clampCoordinate(event->x), clampCoordinate(event->y),
                (event->state & GDK_SHIFT_MASK) ? 1 : 0);
    noteInput();
    return TRUE;
}

gboolean onButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data)
{
    View* view = static_cast<View*>(data);
    if (event->button != GDK_BUTTON_PRIMARY || !view->buttonDown) return FALSE;
    view->buttonDown = 0;
    pwMouseUp(view->handle, clampCoordinate(event->x), clampCoordinate(event->y));
    noteInput();
    return TRUE;
}

gboolean onMotion(GtkWidget*, GdkEventMotion* event, gpointer data)
{
    // While the button is held the area has the pointer (GTK's implicit
    // grab), so a drag beyond the window still selects.
    View* view = static_cast<View*>(data);
    pwMouseMove(view->handle, clampCoordinate(event->x), clampCoordinate(event->y), view->buttonDown);
    noteInput();
    return TRUE;
}

void scrollLines(View* view, int lines)
{
    for (int i = 0; i < (lines > 0 ? lines : -lines); ++i) pwScroll(view->handle, lines > 0 ? SB_LINEDOWN : SB_LINEUP, 0);
    noteInput();
}

gboolean onWheel(GtkWidget*, GdkEventScroll* event, gpointer data)
{
    View* view = static_cast<View*>(data);
    switch (event->direction) {
    case GDK_SCROLL_UP:
        scrollLines(view, -wheelLines);
        break;
    case GDK_SCROLL_DOWN:
        scrollLines(view, wheelLines);
        break;
    case GDK_SCROLL_SMOOTH:
        view->wheel += event->delta_y;
        while (view->wheel >= 1.0) {
            scrollLines(view, wheelLines);
            view->wheel -= 1.0;
        }
        while (view->wheel <= -1.0) {
            scrollLines(view, -wheelLines);
            view->wheel += 1.0;
        }
        break;
    default:
        break;
    }
    return TRUE;
}

// The scroll bar's arrows, page areas and thumb send the console's scroll
// requests; the bar moves only when the console sets its position, except
// for the thumb while it is dragged.
gboolean onChangeValue(GtkRange*, GtkScrollType scroll, gdouble value, gpointer data)
{
    View* view = static_cast<View*>(data);
    int code = -1;
    switch (scroll) {
    case GTK_SCROLL_STEP_BACKWARD:
    case GTK_SCROLL_STEP_UP:
        code = SB_LINEUP;
        break;
    case GTK_SCROLL_STEP_FORWARD:
    case GTK_SCROLL_STEP_DOWN:
        code = SB_LINEDOWN;
        break;
    case GTK_SCROLL_PAGE_BACKWARD:
    case GTK_SCROLL_PAGE_UP:
        code = SB_PAGEUP;
        break;
    case GTK_SCROLL_PAGE_FORWARD:
    case GTK_SCROLL_PAGE_DOWN:
        code = SB_PAGEDOWN;
        break;
    case GTK_SCROLL_START:
        code = SB_TOP;
        break;
    case GTK_SCROLL_END:
        code = SB_BOTTOM;
        break;
    case GTK_SCROLL_JUMP: {
        view->draggingThumb = 1;
        view->thumbValue = value;
        pwScroll(view->handle, SB_THUMBTRACK, clampCoordinate(value + 0.5) & 0xFFFF);
        noteInput();
        return FALSE;
    }
    default:
        return TRUE;
    }
    pwScroll(view->handle, code, 0);
    noteInput();
    return TRUE;
}

gboolean onScrollBarRelease(GtkWidget*, GdkEventButton*, gpointer data)
{
    View* view = static_cast<View*>(data);
    if (view->draggingThumb) {
        view->draggingThumb = 0;
        pwScroll(view->handle, SB_THUMBPOSITION, clampCoordinate(view->thumbValue + 0.5) & 0xFFFF);
        pwScroll(view->handle, SB_ENDSCROLL, 0);
        noteInput();
    }
    return FALSE;
}

// Another client destroyed the window (the X server tells only this): the
// window is gone as if the display had been lost, and the program ends as
// it then does, with status 1.
gboolean onDestroyedOutside(GtkWidget*, GdkEvent*, gpointer)
{
    std::fprintf(stderr, "rastrel: the window was destroyed by another program\n");
    std::fflush(stderr);
    _exit(1);
}

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    View* view = static_cast<View*>(data);
    pwClose(view->handle);
    noteInput();
    return TRUE;
}

void onAreaRealize(GtkWidget* area, gpointer)
{
    if (state.im) gtk_im_context_set_client_window(state.im, gtk_widget_get_window(area));
}

// ---------------------------------------------------------------------------
// Views.

void applyScrollBar(View* view, const pwScrollInfo& bar)
{
    if (!view->adjustment || view->draggingThumb) return;
    const double page = visibleRows(view);
    const double upper = bar.maximum >= bar.minimum ? bar.maximum + page : bar.minimum + page;
    gtk_adjustment_configure(view->adjustment, bar.position, bar.minimum, upper, 1, page, page);
}

// The window's icon: a small console window (title bar, white page, lines
// of text), drawn once at one size (the window manager scales it).  Drawn,
// not looked up: the icon theme's lookup is a good part of the start-up,
// and a theme may hold only SVG icons, which load the SVG renderer.
void setIcon(GtkWindow* window)
{
    enum { iconSize = 48 };
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, iconSize, iconSize);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0.25, 0.25, 0.25);
    cairo_rectangle(cr, 3, 5, 42, 38);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.21, 0.46, 0.82);
    cairo_rectangle(cr, 4, 6, 40, 7);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, 4, 13, 40, 29);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    const int lines[][2] = {{18, 24}, {23, 32}, {28, 14}, {35, 20}};
    for (const auto& line : lines) {
        cairo_rectangle(cr, 7, line[0], line[1], 2);
        cairo_fill(cr);
    }
    cairo_rectangle(cr, 28, 34, 2, 5);   // the caret
    cairo_fill(cr);
    cairo_destroy(cr);
    GdkPixbuf* icon = gdk_pixbuf_get_from_surface(surface, 0, 0, iconSize, iconSize);
    cairo_surface_destroy(surface);
    if (!icon) return;
    gtk_window_set_icon(window, icon);
    g_object_unref(icon);
}

void buildTopLevel(View* view)
{
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    view->window = window;
    char title[1024] = "";
    plGetWindowText(view->handle, title, sizeof title);
    gtk_window_set_title(GTK_WINDOW(window), gwFromAnsiText(title, std::strlen(title)).c_str());
    setIcon(GTK_WINDOW(window));

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(window), column);
    buildMenuBar(view);
    if (view->menuBar) gtk_box_pack_start(GTK_BOX(column), view->menuBar, FALSE, FALSE, 0);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(column), row, TRUE, TRUE, 0);

    view->area = newTextArea();
    gtk_widget_set_hexpand(view->area, TRUE);
    gtk_widget_set_vexpand(view->area, TRUE);
    gtk_widget_set_can_focus(view->area, TRUE);
    gtk_widget_add_events(view->area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                          GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_KEY_PRESS_MASK |
                                          GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
    gtk_box_pack_start(GTK_BOX(row), view->area, TRUE, TRUE, 0);
    view->adjustment = GTK_ADJUSTMENT(g_object_ref_sink(gtk_adjustment_new(0, 0, 1, 1, 1, 1)));
    view->scrollBar = gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, view->adjustment);
    gtk_box_pack_start(GTK_BOX(row), view->scrollBar, FALSE, FALSE, 0);

    g_signal_connect(view->area, "draw", G_CALLBACK(onDraw), view);
    g_signal_connect(view->area, "size-allocate", G_CALLBACK(onSizeAllocate), view);
    g_signal_connect(view->area, "notify::scale-factor", G_CALLBACK(onScaleChanged), view);
    g_signal_connect(view->area, "realize", G_CALLBACK(onAreaRealize), view);
    g_signal_connect(view->area, "button-press-event", G_CALLBACK(onButtonPress), view);
    g_signal_connect(view->area, "button-release-event", G_CALLBACK(onButtonRelease), view);
    g_signal_connect(view->area, "motion-notify-event", G_CALLBACK(onMotion), view);
    g_signal_connect(view->area, "scroll-event", G_CALLBACK(onWheel), view);
    g_signal_connect(view->scrollBar, "change-value", G_CALLBACK(onChangeValue), view);
    g_signal_connect(view->scrollBar, "button-release-event", G_CALLBACK(onScrollBarRelease), view);
    g_signal_connect(window, "key-press-event", G_CALLBACK(onKeyPress), view);
    g_signal_connect(window, "key-release-event", G_CALLBACK(onKeyRelease), view);
    g_signal_connect(window, "focus-in-event", G_CALLBACK(onFocusIn), view);
    g_signal_connect(window, "focus-out-event", G_CALLBACK(onFocusOut), view);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), view);
    g_signal_connect(window, "destroy-event", G_CALLBACK(onDestroyedOutside), view);
    if (state.application && g_application_get_is_registered(G_APPLICATION(state.application))) {
        gtk_application_add_window(state.application, GTK_WINDOW(window));
    }

    pwClientSize(view->handle, &view->clientWidth, &view->clientHeight);
    applyScrollBar(view, pwScrollBar(view->handle, SB_VERT));
}

void showView(View* view)
{
    if (view->dialog) {
        view->showPending = 1;
        if (view->window) gtk_widget_show_all(view->window);
        return;
    }
    if (!gtk_widget_get_realized(view->window)) {
        // The first size is the window system's: the console's default.
        view->initialSize = 1;
        gtk_widget_set_size_request(view->area, view->clientWidth, view->clientHeight);
    }
    gtk_widget_show_all(view->window);
    gtk_window_present(GTK_WINDOW(view->window));
    gtk_widget_grab_focus(view->area);
}

void setEnabled(View* view, bool enabled)
{
    if (view->dialog || !view->window) {
        if (view->window) gtk_widget_set_sensitive(view->window, enabled);
        return;
    }
    if (view->menuBar) gtk_widget_set_sensitive(view->menuBar, enabled);
    gtk_widget_set_sensitive(view->area, enabled);
    gtk_widget_set_sensitive(view->scrollBar, enabled);
}

void destroyView(View* view)
{
    for (size_t i = 0; i < state.views.size(); ++i) {
        if (state.views[i] == view) state.views.erase(state.views.begin() + static_cast<long>(i));
    }
    if (state.caret.owner == view->handle) state.caret = pwCaretInfo{};
    if (view->backing) cairo_surface_destroy(view->backing);
    if (view->adjustment) g_object_unref(view->adjustment);
    if (view->window) {
        if (!view->dialog) {
            // What this program put on the clipboard outlives it where the
            // desktop keeps clipboards.
            gtk_clipboard_store(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
        }
        gtk_widget_destroy(view->window);
    }
    delete view;
}

// ---------------------------------------------------------------------------
// The hooks.

int onWait()
{
    state.posted = 0;
    for (;;) {
        const int delivered = deliverPending();
        if (delivered || state.posted) return 1;
        ++state.inGtk;
        gtk_main_iteration_do(TRUE);
        --state.inGtk;
    }
}

int onPoll()
{
    const gint64 now = g_get_monotonic_time();
    if (now - state.lastPoll < pollInterval * 1000) return 0;
    state.lastPoll = now;
    state.posted = 0;
    ++state.inGtk;
    for (int i = 0; i < pollBatch && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
    --state.inGtk;
    const int delivered = deliverPending();
    return delivered || state.posted;
}

void onWindowChanged(plHwnd window, uint32_t changes)
{
    if (changes & pwCreated) {
        const pwWindowKind kind = pwKindOf(window);
        if (kind == pwControl) return;
        View* view = new View{};
        view->handle = window;
        view->dialog = kind == pwDialog;
        state.views.push_back(view);
        if (!view->dialog) buildTopLevel(view);
    }
    View* view = viewOf(window);
    if (!view) return;
    if (changes & pwDestroyed) {
        destroyView(view);
        return;
    }
    if (changes & pwTitle && view->window) {
        char title[1024] = "";
        plGetWindowText(window, title, sizeof title);
        gtk_window_set_title(GTK_WINDOW(view->window), gwFromAnsiText(title, std::strlen(title)).c_str());
    }
    if (changes & pwShown) showView(view);
    if (changes & pwHidden) {
        view->showPending = 0;
        if (view->window) gtk_widget_hide(view->window);
    }
    if (changes & pwEnabled) setEnabled(view, true);
    if (changes & pwDisabled) setEnabled(view, false);
}

void onScrollRows(plHwnd window, int top, int bottom, int delta)
{
    View* view = viewOf(window);
    if (!view || !view->backing) return;
    const int ch = state.font.cellHeight;
    gwScrollRows(view->backing, ch * view->backingScale, top, bottom, delta);
    gtk_widget_queue_draw_area(view->area, 0, top * ch, view->backingWidth, (bottom - top) * ch);
}

void onDamage(plHwnd window, int top, int bottom)
{
    // What is highlighted is drawn anew whenever the selection changes.
    state.selectionChanged = 1;
    View* view = viewOf(window);
    if (!view || !view->backing) return;
    renderRows(view, top, bottom);
    const int ch = state.font.cellHeight;
    gtk_widget_queue_draw_area(view->area, 0, top * ch, view->backingWidth, (bottom - top) * ch);
}

void onCaretChanged(const pwCaretInfo* caret)
{
    queueCaret();
    state.caret = *caret;
    queueCaret();
    View* view = viewOf(caret->owner);
    if (view && state.im) {
        GdkRectangle spot{caret->x, caret->y, caret->width, caret->height};
        gtk_im_context_set_cursor_location(state.im, &spot);
    }
    restartBlink();
}

void onScrollBarChanged(plHwnd window, const pwScrollInfo* bar)
{
    View* view = viewOf(window);
    if (view) applyScrollBar(view, *bar);
}

void onMenuChanged(plHwnd window)
{
    View* view = viewOf(window);
    if (view) refreshMenu(view);
}

void onFrame()
{
    for (View* view : state.views) {
        if (view->dialog) {
            syncDialogView(view);
        } else {
            accessibleFrame(view);
        }
    }
}

void onBeep(uint32_t)
{
    gdk_display_beep(gdk_display_get_default());
}

int screenDpi()
{
    const double resolution = gdk_screen_get_resolution(gdk_screen_get_default());
    return resolution > 0 ? static_cast<int>(resolution + 0.5) : 96;
}

void onMeasureFont(const pwFontRequest* request, pwFontMetrics* metrics)
{
    if (!request) {
        *metrics = gwMetricsOf(state.font);
        return;
    }
    const gwFontChoice choice = gwChooseFont(request, screenDpi());
    const gwFontChoice& window = state.requestedChoice;
    if (!state.requestedOpen || choice.family != window.family || choice.pixelSize != window.pixelSize ||
        choice.bold != window.bold || choice.italic != window.italic) {
        if (state.requestedOpen) gwCloseFont(&state.requested);
        state.requestedOpen = gwOpenFont(&state.requested, choice);
        state.requestedChoice = choice;
    }
    *metrics = state.requestedOpen ? gwMetricsOf(state.requested) : gwMetricsOf(state.font);
}

void onScreen(pwScreenInfo* info)
{
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display) monitor = gdk_display_get_monitor(display, 0);
    if (monitor) {
        GdkRectangle area{};
        gdk_monitor_get_geometry(monitor, &area);
        info->width = area.width;
        info->height = area.height;
    }
    info->dpi = screenDpi();
    info->clientColumns = defaultColumns;
    info->clientRows = defaultRows;
}

// The desktop's clipboard holds text with its own line ends, LF; the
// console's text has CR LF.
void onSetClipboard(const char* text, size_t length)
{
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    if (!text) {
        gtk_clipboard_clear(clipboard);
        return;
    }
    const std::string lines = gwDesktopLineEnds(std::string(text, length));
    const std::string utf8 = gwFromAnsiText(lines.data(), lines.size());
    gtk_clipboard_set_text(clipboard, utf8.c_str(), static_cast<gint>(utf8.size()));
    gtk_clipboard_set_can_store(clipboard, nullptr, 0);
    state.clipboardHasText = 1;
}

int onGetClipboard(const char** text, size_t* length)
{
    if (state.inGtk > 0) {
        // Asked while GTK handles an event (the Edit menu opening, a
        // shortcut): waiting here would run GTK's loop inside its own
        // handler, and hang as long as the clipboard's owner is silent.
        // Whether there is text is known from the owner's last answer.
        if (!state.clipboardHasText) return 0;
        *text = state.clipboard.c_str();
        *length = state.clipboard.size();
        return 1;
    }
    gchar* utf8 = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    state.clipboardHasText = utf8 ? 1 : 0;
    if (!utf8) return 0;
    state.clipboard = gwConsoleLineEnds(gwToAnsi(utf8, std::strlen(utf8)));
    g_free(utf8);
    *text = state.clipboard.c_str();
    *length = state.clipboard.size();
    return 1;
}

void onClipboardTargets(GtkClipboard*, GdkAtom* targets, gint count, gpointer)
{
    state.clipboardHasText = targets && gtk_targets_include_text(targets, count) ? 1 : 0;
}

// A new owner of the clipboard: what it offers is asked without waiting.
void onClipboardOwner(GtkClipboard* clipboard, GdkEvent*, gpointer)
{
    gtk_clipboard_request_targets(clipboard, onClipboardTargets, nullptr);
}

// The session asks whether the user may log out: the console's shutdown
// query, answered at once; a refusal holds the logout back.
void onQueryEnd(GtkApplication* application, gpointer)
{
    if (state.logoutInhibit) {
        gtk_application_uninhibit(application, state.logoutInhibit);
        state.logoutInhibit = 0;
    }
    for (View* view : state.views) {
        if (view->dialog || !view->window) continue;
        if (pwQueryEndSession(view->handle) == 0) {
            // Only a registered application can hold the logout back.
            if (!g_application_get_is_registered(G_APPLICATION(application))) return;
            state.logoutInhibit = gtk_application_inhibit(application, GTK_WINDOW(view->window),
                                                          GTK_APPLICATION_INHIBIT_LOGOUT,
                                                          "The transcript has not been saved");
            return;
        }
    }
}

const pwFrontEnd frontEnd = {
    .wait = onWait,
    .poll = onPoll,
    .windowChanged = onWindowChanged,
    .scrollRows = onScrollRows,
    .damage = onDamage,
    .caretChanged = onCaretChanged,
    .scrollBarChanged = onScrollBarChanged,
    .menuChanged = onMenuChanged,
    .frame = onFrame,
    .beep = onBeep,
    .measureFont = onMeasureFont,
    .screen = onScreen,
    .messageBox = messageBox,
    .saveDialog = saveDialog,
    .printDialog = printDialog,
    .printer = printerInfo,
    .spooler = spooler,
    .setClipboard = onSetClipboard,
    .getClipboard = onGetClipboard,
    .fail = nullptr,
    .milliseconds = nullptr,
    .ending = nullptr,
};

#define GW_ICON "resource:///org/gtk/libgtk/icons/16x16/status/"
const char scrollBarStyle[] =
    "scrollbar { -GtkScrollbar-has-backward-stepper: true; -GtkScrollbar-has-forward-stepper: true; }"
    // The arrows are GTK's own bitmaps, coloured as the theme's: the theme's
    // SVG icons would load the SVG renderer at start-up.
    "scrollbar.vertical button.up { -gtk-icon-source: -gtk-recolor(url('" GW_ICON "pan-up-symbolic.symbolic.png')); }"
    "scrollbar.vertical button.down { -gtk-icon-source: -gtk-recolor(url('" GW_ICON "pan-down-symbolic.symbolic.png')); }";

bool sessionBusPresent()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && address[0]) return std::strncmp(address, "disabled:", 9) != 0;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !runtime[0]) return false;
    gchar* bus = g_build_filename(runtime, "bus", nullptr);
    const bool found = g_file_test(bus, G_FILE_TEST_EXISTS);
    g_free(bus);
    return found;
}

void prepareDesktop()
{
    // Clicks in the scroll bar's trough page, as the console's bar does.
    g_object_set(gtk_settings_get_default(), "gtk-primary-button-warps-slider", FALSE, nullptr);
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, scrollBarStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);

    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    g_signal_connect(clipboard, "owner-change", G_CALLBACK(onClipboardOwner), nullptr);
    onClipboardOwner(clipboard, nullptr, nullptr);

    state.im = gtk_im_multicontext_new();
    g_signal_connect(state.im, "commit", G_CALLBACK(onCommit), nullptr);

    // The session manager is reached over the session bus; where there is
    // none, the program does not start one or wait for it.
    state.application = gtk_application_new(nullptr, G_APPLICATION_NON_UNIQUE);
    g_signal_connect(state.application, "query-end", G_CALLBACK(onQueryEnd), nullptr);
    if (sessionBusPresent()) {
        g_object_set(state.application, "register-session", TRUE, nullptr);
        GError* error = nullptr;
        if (!g_application_register(G_APPLICATION(state.application), nullptr, &error)) g_clear_error(&error);
    }
}

}  // namespace

View* viewOf(plHwnd handle)
{
    if (!handle) return nullptr;
    for (View* view : state.views) {
        if (view->handle == handle) return view;
    }
    return nullptr;
}

GtkWindow* parentFor(plHwnd owner)
{
    View* view = viewOf(owner);
    if (!view || !view->window || !gtk_widget_get_visible(view->window)) return nullptr;
    return GTK_WINDOW(view->window);
}

void noteInput()
{
    state.posted = 1;
}

// ---------------------------------------------------------------------------
// Sent at once, but only from the hooks, outside GTK's frames.

// Offers the console's selection as PRIMARY when it is a new one (as read
// back through the Edit menu's Copy, its clipboard left alone).  A cleared
// selection leaves PRIMARY with the last text, as terminals do.
void offerSelection()
{
    if (!state.selectionChanged) return;
    state.selectionChanged = 0;
    for (View* view : state.views) {
        if (view->dialog || !view->window || !pwIsEnabled(view->handle)) continue;
        std::string text;
        if (!pwCommandText(view->handle, gwEditCopy, &text) || text.empty()) {
            state.primary.clear();
            continue;
        }
        const std::string lines = gwDesktopLineEnds(text);
        std::string utf8 = gwFromAnsiText(lines.data(), lines.size());
        if (utf8 == state.primary) continue;
        state.primary = std::move(utf8);
        gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_PRIMARY), state.primary.data(),
                               static_cast<gint>(state.primary.size()));
    }
}

int deliverPending()
{
    int delivered = typePasted();
    offerSelection();
    for (View* view : state.views) {
        if (view->dialog) syncDialogView(view);
    }
    for (size_t i = 0; i < state.views.size(); ++i) {
        View* view = state.views[i];
        if (!view->resizePending || !view->area) continue;
        view->resizePending = 0;
        view->clientWidth = gtk_widget_get_allocated_width(view->area);
        view->clientHeight = gtk_widget_get_allocated_height(view->area);
        pwResize(view->handle, view->clientWidth, view->clientHeight);
        if (view->adjustment) applyScrollBar(view, pwScrollBar(view->handle, SB_VERT));
        delivered = 1;
    }
    if (state.focusPending) {
        const int in = state.focusPending > 0;
        state.focusPending = 0;
        plHwnd target = in ? state.focusWindow : nullptr;
        if (plGetFocus() != target && (!in || (plIsWindow(target) && pwIsEnabled(target)))) {
            pwFocus(target);
            delivered = 1;
        }
    }
    return delivered;
}

void resetViews()
{
    while (!state.views.empty()) destroyView(state.views.back());
    state.caret = pwCaretInfo{};
    state.focusPending = 0;
}

int install()
{
    if (!state.fontOpen) {
        // The window's font is measured before the first window is made.
        state.fontOpen = gwOpenFont(&state.font, gwChooseFont(nullptr, screenDpi()));
        if (!state.fontOpen) return 0;
        prepareDesktop();
    }
    pwInstall(&frontEnd);
    return 1;
}

int gtkAvailable()
{
    static int answer = -1;
    if (answer < 0) {
        // The program keeps the C locale (its bytes and numbers do not
        // change with the desktop's language); GTK's own texts follow the
        // user's language.
        gtk_disable_setlocale();
        // The window draws into image surfaces and needs no OpenGL; probing
        // it loads the system's GL driver (a compiler and an XML parser with
        // it) into every window's start-up.  The user may still ask for it.
        g_setenv("GDK_GL", "disable", FALSE);
        std::setlocale(LC_MESSAGES, "");
        answer = gtk_init_check(nullptr, nullptr) ? 1 : 0;
    }
    return answer;
}

}  // namespace gw

using namespace gw;

// The module's two entry points, which the program's loader looks up.
extern "C" int rastrelDesktopAvailable()
{
    return gtkAvailable();
}

extern "C" [[noreturn]] void rastrelDesktopRun(int argc, char** argv, void (*startProgram)())
{
    if (argc >= 2 && std::strcmp(argv[1], boxHelperOption) == 0) runBoxHelper(argc, argv);
    if (!gtkAvailable()) {
        std::fprintf(stderr, "rastrel: the display cannot be opened\n");
        std::exit(2);
    }
    if (!install()) {
        std::fprintf(stderr, "rastrel: no monospace font is installed\n");
        std::exit(2);
    }
    startProgram();
    std::exit(0);
}
