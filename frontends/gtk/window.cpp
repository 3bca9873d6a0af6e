// The desktop front end's windows: a view per console window that a person
// sees, a top-level window (menu bar, text area, scroll bar) for each of the
// window system's top-level windows, and what the window system changes
// about them (creation, title, showing, enabling, destruction).
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "frontends/gtk/internal.h"
#include "frontends/gtk/keys.h"

namespace gw {

State state;

namespace {

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

void setTitle(View* view)
{
    char title[1024] = "";
    plGetWindowText(view->handle, title, sizeof title);
    gtk_window_set_title(GTK_WINDOW(view->window), gwFromAnsiText(title, std::strlen(title)).c_str());
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

void buildTopLevel(View* view)
{
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    view->window = window;
    setTitle(view);
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
    gtk_box_pack_start(GTK_BOX(row), view->area, TRUE, TRUE, 0);
    view->adjustment = GTK_ADJUSTMENT(g_object_ref_sink(gtk_adjustment_new(0, 0, 1, 1, 1, 1)));
    view->scrollBar = gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, view->adjustment);
    gtk_box_pack_start(GTK_BOX(row), view->scrollBar, FALSE, FALSE, 0);

    connectSurface(view);
    connectInput(view);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), view);
    g_signal_connect(window, "destroy-event", G_CALLBACK(onDestroyedOutside), view);
    if (state.application && g_application_get_is_registered(G_APPLICATION(state.application))) {
        gtk_application_add_window(state.application, GTK_WINDOW(window));
    }

    pwClientSize(view->handle, &view->clientWidth, &view->clientHeight);
    applyScrollBar(view, pwScrollBar(view->handle, SB_VERT));
}

// A top-level window goes on the screen when the hooks next turn GTK's
// loop with something in it to see (the poll that ends a write), or when
// the program waits: so its first frame is not an empty window (the blank
// lines before a banner) followed a frame later by the text.
void showView(View* view)
{
    if (view->dialog) {
        view->showPending = 1;
        if (view->window) gtk_widget_show_all(view->window);
        return;
    }
    view->mapPending = 1;
}

// Whether the window shows nothing yet: blank cells on its own colour.
bool showsNothing(const View* view)
{
    int rows = 0, columns = 0;
    pwSurfaceSize(view->handle, &rows, &columns, nullptr, nullptr);
    for (int r = 0; r < rows; ++r) {
        const pwCell* cells = pwSurfaceRow(view->handle, r);
        for (int c = 0; cells && c < columns; ++c) {
            const bool blank = cells[c].character == 0 || cells[c].character == ' ';
            if (!blank || cells[c].background != windowColour) return false;
        }
    }
    return true;
}

void mapTopLevel(View* view)
{
    view->mapPending = 0;
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
    if (view && view->mapPending) mapTopLevel(view);
    if (!view || !view->window || !gtk_widget_get_visible(view->window)) return nullptr;
    return GTK_WINDOW(view->window);
}

void deliverShows(bool waiting)
{
    for (size_t i = 0; i < state.views.size(); ++i) {
        View* view = state.views[i];
        if (!view->mapPending || (!waiting && showsNothing(view))) continue;
        // The first frame shows the rows and the caret as they are now (a
        // wait has just been given a frame).
        if (!waiting) pwPresent();
        if (viewOf(view->handle) == view && view->mapPending) mapTopLevel(view);
    }
}

void resetViews()
{
    while (!state.views.empty()) destroyView(state.views.back());
    state.caret = pwCaretInfo{};
    state.focusPending = 0;
}

int visibleRows(const View* view)
{
    const int height = view->area ? gtk_widget_get_allocated_height(view->area) : 0;
    const int rows = height / state.font.cellHeight;
    return rows > 0 ? rows : 1;
}

void applyScrollBar(View* view, const pwScrollInfo& bar)
{
    if (!view->adjustment || view->draggingThumb) return;
    const double page = visibleRows(view);
    const double upper = bar.maximum >= bar.minimum ? bar.maximum + page : bar.minimum + page;
    gtk_adjustment_configure(view->adjustment, bar.position, bar.minimum, upper, 1, page, page);
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
    if (changes & pwTitle && view->window) setTitle(view);
    if (changes & pwShown) showView(view);
    if (changes & pwHidden) {
        view->showPending = 0;
        view->mapPending = 0;
        if (view->window) gtk_widget_hide(view->window);
    }
    if (changes & pwEnabled) setEnabled(view, true);
    if (changes & pwDisabled) setEnabled(view, false);
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

}  // namespace gw
