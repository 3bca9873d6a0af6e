// The desktop front end's start: GTK and the display, what the window needs
// from the desktop once (the scroll bar's style, the input method, the
// session), the window's font, and the module's two entry points.
//
// The order is the start-up's critical path.  Fontconfig reads its
// configuration and every font cache on a thread of Pango's own from the
// moment Pango's font map exists; that is started first, so it runs while
// the display opens and GTK loads its theme, and the window's font is
// chosen after those, when the configuration is there.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontends/gtk/internal.h"

namespace gw {

namespace {

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

// The session manager is reached over the session bus; where there is
// none, the program does not start one or wait for it.
void joinSession()
{
    state.application = gtk_application_new(nullptr, G_APPLICATION_NON_UNIQUE);
    g_signal_connect(state.application, "query-end", G_CALLBACK(onQueryEnd), nullptr);
    if (!sessionBusPresent()) return;
    g_object_set(state.application, "register-session", TRUE, nullptr);
    GError* error = nullptr;
    if (!g_application_register(G_APPLICATION(state.application), nullptr, &error)) g_clear_error(&error);
}

void prepareDesktop()
{
    // GTK's settings load the theme.  Clicks in the scroll bar's trough
    // page, as the console's bar does.
    g_object_set(gtk_settings_get_default(), "gtk-primary-button-warps-slider", FALSE, nullptr);
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, scrollBarStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    prepareInput();
    joinSession();
}

}  // namespace

int install()
{
    if (!state.desktopPrepared) {
        state.desktopPrepared = 1;
        prepareDesktop();
    }
    if (!state.fontOpen) {
        // The window's font is measured before the first window is made.
        state.fontChoice = gwChooseFont(nullptr, screenDpi());
        state.fontOpen = gwOpenFont(&state.font, state.fontChoice);
        if (!state.fontOpen) return 0;
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
        // Fontconfig starts reading on Pango's thread (see above).
        pango_cairo_font_map_get_default();
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
