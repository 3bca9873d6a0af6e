// The user's input to a top-level window, posted to the window system as
// the console's characters, keys, pointer and scroll messages: the keyboard
// and the input method, the mouse and the wheel, the scroll bar and the
// focus.  GTK's handlers only post; what they post is handled when GTK's
// loop has returned to the hooks.
#include <cmath>
#include <cstring>
#include <string>

#include "frontends/gtk/internal.h"
#include "frontends/gtk/keys.h"

namespace gw {

namespace {

// Lines the wheel scrolls per notch.
enum { wheelLines = 3 };

int clampCoordinate(double value)
{
    const long v = std::lround(std::floor(value));
    return v < -32768 ? -32768 : (v > 32767 ? 32767 : static_cast<int>(v));
}

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

// ---------------------------------------------------------------------------
// The keyboard and the input method.

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

void onAreaRealize(GtkWidget* area, gpointer)
{
    if (state.im) gtk_im_context_set_client_window(state.im, gtk_widget_get_window(area));
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

// ---------------------------------------------------------------------------
// The mouse and the wheel.

gboolean onButtonPress(GtkWidget* area, GdkEventButton* event, gpointer data)
{
    View* view = static_cast<View*>(data);
    if (event->type == GDK_BUTTON_PRESS && event->button == GDK_BUTTON_MIDDLE) {
        // As in every X terminal: PRIMARY is typed, the caret stays.
        gtk_widget_grab_focus(area);
        pastePrimary(view);
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

// ---------------------------------------------------------------------------
// The scroll bar.

// The console's scroll request for a step or page of GTK's scroll bar; -1
// for what the console has none for.
int scrollCode(GtkScrollType scroll)
{
    switch (scroll) {
    case GTK_SCROLL_STEP_BACKWARD:
    case GTK_SCROLL_STEP_UP:
        return SB_LINEUP;
    case GTK_SCROLL_STEP_FORWARD:
    case GTK_SCROLL_STEP_DOWN:
        return SB_LINEDOWN;
    case GTK_SCROLL_PAGE_BACKWARD:
    case GTK_SCROLL_PAGE_UP:
        return SB_PAGEUP;
    case GTK_SCROLL_PAGE_FORWARD:
    case GTK_SCROLL_PAGE_DOWN:
        return SB_PAGEDOWN;
    case GTK_SCROLL_START:
        return SB_TOP;
    case GTK_SCROLL_END:
        return SB_BOTTOM;
    default:
        return -1;
    }
}

// The scroll bar's arrows, page areas and thumb send the console's scroll
// requests; the bar moves only when the console sets its position, except
// for the thumb while it is dragged.
gboolean onChangeValue(GtkRange*, GtkScrollType scroll, gdouble value, gpointer data)
{
    View* view = static_cast<View*>(data);
    if (scroll == GTK_SCROLL_JUMP) {
        view->draggingThumb = 1;
        view->thumbValue = value;
        pwScroll(view->handle, SB_THUMBTRACK, clampCoordinate(value + 0.5) & 0xFFFF);
        noteInput();
        return FALSE;
    }
    const int code = scrollCode(scroll);
    if (code < 0) return TRUE;
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

}  // namespace

void prepareInput()
{
    state.im = gtk_im_multicontext_new();
    g_signal_connect(state.im, "commit", G_CALLBACK(onCommit), nullptr);
}

void connectInput(View* view)
{
    gtk_widget_add_events(view->area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                          GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_KEY_PRESS_MASK |
                                          GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
    g_signal_connect(view->area, "realize", G_CALLBACK(onAreaRealize), view);
    g_signal_connect(view->area, "button-press-event", G_CALLBACK(onButtonPress), view);
    g_signal_connect(view->area, "button-release-event", G_CALLBACK(onButtonRelease), view);
    g_signal_connect(view->area, "motion-notify-event", G_CALLBACK(onMotion), view);
    g_signal_connect(view->area, "scroll-event", G_CALLBACK(onWheel), view);
    g_signal_connect(view->scrollBar, "change-value", G_CALLBACK(onChangeValue), view);
    g_signal_connect(view->scrollBar, "button-release-event", G_CALLBACK(onScrollBarRelease), view);
    g_signal_connect(view->window, "key-press-event", G_CALLBACK(onKeyPress), view);
    g_signal_connect(view->window, "key-release-event", G_CALLBACK(onKeyRelease), view);
    g_signal_connect(view->window, "focus-in-event", G_CALLBACK(onFocusIn), view);
    g_signal_connect(view->window, "focus-out-event", G_CALLBACK(onFocusOut), view);
}

}  // namespace gw
