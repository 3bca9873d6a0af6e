// The front end's hooks, as the window system calls them: the wait and the
// poll that turn GTK's main loop, what is sent to the console once GTK's
// loop has returned (sizes, the focus, a paste, PRIMARY), the screen and
// the fonts, and the table the window system is given.
#include "frontends/gtk/internal.h"

namespace gw {

namespace {

// The console's default window: 80 columns and 24 rows of the font (the
// window system adds the console's margins).
enum { defaultColumns = 80, defaultRows = 24 };
// Non-blocking polls iterate GTK's loop at most this often (milliseconds).
enum { pollInterval = 8 };
// Events handled per poll at most, so a flood of them cannot hold output.
enum { pollBatch = 64 };

// The sizes GTK gave the text areas since the last delivery; 1 when any.
int deliverSizes()
{
    int delivered = 0;
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
    return delivered;
}

// The focus's last move since the last delivery; 1 when it was sent.
int deliverFocus()
{
    if (!state.focusPending) return 0;
    const int in = state.focusPending > 0;
    state.focusPending = 0;
    plHwnd target = in ? state.focusWindow : nullptr;
    if (plGetFocus() == target || (in && (!plIsWindow(target) || !pwIsEnabled(target)))) return 0;
    pwFocus(target);
    return 1;
}

// The paste, PRIMARY, the dialogs, the sizes and the focus; 1 when any
// were sent to the console.
int deliverInput()
{
    int delivered = typePasted();
    offerSelection();
    for (View* view : state.views) {
        if (view->dialog) syncDialogView(view);
    }
    if (deliverSizes()) delivered = 1;
    if (deliverFocus()) delivered = 1;
    return delivered;
}

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
    // A window just shown goes on the screen whatever the pace.
    deliverShows(false);
    const gint64 now = g_get_monotonic_time();
    if (now - state.lastPoll < pollInterval * 1000) return 0;
    state.lastPoll = now;
    state.posted = 0;
    ++state.inGtk;
    for (int i = 0; i < pollBatch && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
    --state.inGtk;
    const int delivered = deliverInput();
    return delivered || state.posted;
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

bool sameFont(const gwFontChoice& a, const gwFontChoice& b)
{
    return a.family == b.family && a.pixelSize == b.pixelSize && a.bold == b.bold && a.italic == b.italic;
}

void onMeasureFont(const pwFontRequest* request, pwFontMetrics* metrics)
{
    if (!request) {
        *metrics = gwMetricsOf(state.font);
        return;
    }
    const gwFontChoice choice = gwChooseFont(request, screenDpi());
    // The console's own request is the window's font, which is open.
    if (sameFont(choice, state.fontChoice)) {
        *metrics = gwMetricsOf(state.font);
        return;
    }
    if (!state.requestedOpen || !sameFont(choice, state.requestedChoice)) {
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

}  // namespace

int deliverPending()
{
    deliverShows(true);
    return deliverInput();
}

void noteInput()
{
    state.posted = 1;
}

int screenDpi()
{
    const double resolution = gdk_screen_get_resolution(gdk_screen_get_default());
    return resolution > 0 ? static_cast<int>(resolution + 0.5) : 96;
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

}  // namespace gw
