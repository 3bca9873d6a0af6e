// The X selection and the clipboard.  The console's selection is offered
// as PRIMARY; a middle click types PRIMARY's text; the console's clipboard
// is the desktop's CLIPBOARD, with LF line ends there and CR LF in the
// console.
#include <algorithm>
#include <cstring>
#include <string>

#include "frontends/gtk/internal.h"
#include "frontends/gtk/keys.h"

namespace gw {

namespace {

// Bytes of a middle-button paste posted per turn of the hooks, so a long
// text never fills the message queue.
enum { pasteChunk = 1024 };

// The clipboard's owner is asked once the window is on the screen.
enum { clipboardUnwatched, clipboardQueued, clipboardWatching };

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

void onClipboardTargets(GtkClipboard*, GdkAtom* targets, gint count, gpointer)
{
    state.clipboardHasText = targets && gtk_targets_include_text(targets, count) ? 1 : 0;
}

// A new owner of the clipboard: what it offers is asked without waiting.
void onClipboardOwner(GtkClipboard* clipboard, GdkEvent*, gpointer)
{
    gtk_clipboard_request_targets(clipboard, onClipboardTargets, nullptr);
}

gboolean watchWhenIdle(gpointer)
{
    watchClipboard();
    return G_SOURCE_REMOVE;
}

}  // namespace

void watchClipboard()
{
    if (state.clipboardWatched == clipboardWatching) return;
    state.clipboardWatched = clipboardWatching;
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    g_signal_connect(clipboard, "owner-change", G_CALLBACK(onClipboardOwner), nullptr);
    onClipboardOwner(clipboard, nullptr, nullptr);
}

void watchClipboardSoon()
{
    if (state.clipboardWatched != clipboardUnwatched) return;
    state.clipboardWatched = clipboardQueued;
    g_idle_add_full(G_PRIORITY_LOW, watchWhenIdle, nullptr, nullptr);
}

void pastePrimary(View* view)
{
    gtk_clipboard_request_text(gtk_clipboard_get(GDK_SELECTION_PRIMARY), onPrimaryText, view->handle);
}

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

// As read back through the Edit menu's Copy, its clipboard left alone.  A
// cleared selection leaves PRIMARY with the last text, as terminals do.
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
        watchClipboard();
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

}  // namespace gw
