// Start-up of the console window on the desktop, against a minimal GTK
// window on the same display, in the same run.
//
//   build/bench/window_startup [ROUNDS]
//
// Each round times, from the fork of a fresh process to the moment its text
// is on the screen (read back from the X server: the window is mapped, and
// the rows where the text goes hold both the light background and dark
// glyphs):
//   window:  build/rastrel --window in a folder of sample scan files, until
//            the menu is shown;
//   minimal: this program as a minimal GTK window with one label;
//   minimal without GL: the same with GTK's GL probing off, as the console
//            window starts;
//   plain:   build/rastrel --plain reading "9" from a pipe, start to exit:
//            the program's own start (its libraries), with no window.
// It prints the median milliseconds of each and the medians of the rounds'
// ratios window / minimal and window / minimal without GL.  It uses the
// display in DISPLAY, or starts Xvfb for itself.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/own_display.h"

namespace {

const char minimalOption[] = "--minimal-window";
const char minimalTitle[] = "Minimal";
const char consoleTitle[] = "Vellomex Text Window";

double now()
{
    using clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

// The minimal window: a label where the console's menu rows are.
int runMinimal()
{
    gtk_init(nullptr, nullptr);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), minimalTitle);
    gtk_window_set_default_size(GTK_WINDOW(window), 650, 408);
    GtkWidget* label = gtk_label_new("Rastrel 1.0\n1 - Convert scan file to TIFF.\n9 - Exit.");
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_yalign(GTK_LABEL(label), 0);
    gtk_widget_set_margin_top(label, 75);
    gtk_widget_set_margin_start(label, 5);
    gtk_container_add(GTK_CONTAINER(window), label);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}

pid_t spawn(const std::vector<std::string>& arguments, const std::string& folder, bool glOff)
{
    const pid_t child = fork();
    if (child == 0) {
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        if (glOff) setenv("GDK_GL", "disable", 1);
        std::vector<char*> argv;
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

// Whether the rows where the text goes hold the light background and dark
// glyphs both.
bool textShown(Display* display, Window window)
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return false;
    const int width = std::min(attributes.width, 200);
    const int top = 70;
    const int height = std::min(attributes.height - top, 60);
    if (width <= 0 || height <= 0) return false;
    XImage* image = XGetImage(display, window, 0, top, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image) return false;
    long light = 0, dark = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const unsigned r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
            if (r > 0xE0 && g > 0xE0 && b > 0xE0) ++light;
            if (r < 0x60 && g < 0x60 && b < 0x60) ++dark;
        }
    }
    XDestroyImage(image);
    return light * 2 > static_cast<long>(width) * height && dark > 20;
}

// Seconds from the fork to the text on the screen; -1 when it did not come.
double timeStart(Display* display, const std::vector<std::string>& arguments, const std::string& folder,
                 const char* title, bool glOff)
{
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    const double start = now();
    const pid_t child = spawn(arguments, folder, glOff);
    Window target = 0;
    double shown = -1;
    while (now() - start < 20) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != MapNotify || target) continue;
            char* name = nullptr;
            if (XFetchName(display, event.xmap.window, &name) && name) {
                if (std::strcmp(name, title) == 0) target = event.xmap.window;
                XFree(name);
            }
        }
        if (target && textShown(display, target)) {
            shown = now() - start;
            break;
        }
        usleep(500);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    XSelectInput(display, DefaultRootWindow(display), NoEventMask);
    return shown;
}

// Seconds from the fork to the exit of rastrel --plain given "9".
double timePlain(const std::string& rastrel, const std::string& folder)
{
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const double start = now();
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        dup2(fds[0], 0);
        close(fds[0]);
        close(fds[1]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(rastrel.c_str(), rastrel.c_str(), "--plain", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[0]);
    if (write(fds[1], "9\n", 2) != 2) std::perror("window_startup");
    close(fds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? now() - start : -1;
}

double median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], minimalOption) == 0) return runMinimal();
    const int rounds = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 15;

    char self[4096] = "";
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return 1;
    self[length] = '\0';
    std::string directory(self);
    directory = directory.substr(0, directory.rfind('/'));
    const std::string rastrel = directory + "/../rastrel";
    const std::string makeSamples = directory + "/../make_samples";

    const pid_t server = startOwnDisplay();
    if (server < 0) {
        std::fprintf(stderr, "window_startup: no display and no Xvfb\n");
        return 1;
    }
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    char folder[] = "/tmp/rastrel-startup-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string samples = std::string(folder) + "/samples";
    if (std::system((makeSamples + " " + samples + " >/dev/null").c_str()) != 0) return 1;

    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    std::vector<double> window, minimal, minimalNoGl, plain, ratios, ratiosNoGl;
    for (int round = 0; round < rounds; ++round) {
        const double m = timeStart(display, {self, minimalOption}, "", minimalTitle, false);
        const double w = timeStart(display, {rastrel, "--window"}, samples, consoleTitle, false);
        const double n = timeStart(display, {self, minimalOption}, "", minimalTitle, true);
        const double p = timePlain(rastrel, samples);
        if (m <= 0 || w <= 0 || n <= 0 || p <= 0) {
            std::fprintf(stderr, "window_startup: round %d: a window did not show its text\n", round);
            continue;
        }
        window.push_back(w);
        minimal.push_back(m);
        minimalNoGl.push_back(n);
        plain.push_back(p);
        ratios.push_back(w / m);
        ratiosNoGl.push_back(w / n);
    }
    XCloseDisplay(display);
    std::system((std::string("rm -rf ") + folder).c_str());
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    if (ratios.empty()) return 1;
    std::printf("rounds: %zu\n", ratios.size());
    std::printf("window (menu on screen): %.1f ms\n", median(window) * 1000);
    std::printf("minimal GTK window: %.1f ms\n", median(minimal) * 1000);
    std::printf("minimal GTK window without GL: %.1f ms\n", median(minimalNoGl) * 1000);
    std::printf("plain program, start to exit: %.1f ms\n", median(plain) * 1000);
    std::printf("ratio window / minimal: %.2f\n", median(ratios));
    std::printf("ratio window / minimal without GL: %.2f\n", median(ratiosNoGl));
    return 0;
}
