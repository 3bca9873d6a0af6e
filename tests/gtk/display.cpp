// The tests' own Xvfb.
#include "tests/gtk/display.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "console/console.h"
#include "portable/frontend.h"

namespace {

pid_t server = 0;
bool started = false;
std::string failure;

void stopServer()
{
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
        server = 0;
    }
}

bool start()
{
    int fds[2];
    if (pipe(fds) != 0) {
        failure = "no pipe for Xvfb";
        return false;
    }
    server = fork();
    if (server == 0) {
        // The display goes with the test program, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes its display number and then a newline, once it accepts
    // clients; the pipe stays open until the newline is read.
    char number[32] = "";
    ssize_t got = 0;
    while (server > 0 && got < static_cast<ssize_t>(sizeof number) - 1 && !std::strchr(number, '\n')) {
        const ssize_t n = read(fds[0], number + got, sizeof number - 1 - static_cast<size_t>(got));
        if (n <= 0) break;
        got += n;
    }
    close(fds[0]);
    if (got <= 0) {
        stopServer();
        failure = "Xvfb is not installed or did not start (Debian: xvfb)";
        return false;
    }
    number[got] = '\0';
    number[std::strcspn(number, "\n")] = '\0';
    setenv("DISPLAY", (std::string(":") + number).c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    std::atexit(stopServer);
    return true;
}

}  // namespace

bool startTestDisplay(std::string* reason)
{
    // The window system knows the console's margin as the program tells it.
    pwSetTextMargin(consoleTextMargin);
    if (!started) {
        started = true;
        start();
    }
    if (server <= 0 && reason) *reason = failure;
    return server > 0;
}
