// An Xvfb of the benchmark's own, for the benchmarks that open windows.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

// Where DISPLAY names a display, 0: that one is used.  Otherwise starts
// Xvfb, waits until it accepts clients, points DISPLAY at it and returns
// its process (which ends with the benchmark); -1 when it cannot start.
inline pid_t startOwnDisplay()
{
    const char* existing = std::getenv("DISPLAY");
    if (existing && existing[0]) return 0;
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t server = fork();
    if (server == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);   // the displays it tries that are taken
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // The display number, then a newline, once Xvfb accepts clients.
    char number[32] = "";
    ssize_t got = 0;
    while (got < static_cast<ssize_t>(sizeof number) - 1 && !std::strchr(number, '\n')) {
        const ssize_t n = read(fds[0], number + got, sizeof number - 1 - static_cast<size_t>(got));
        if (n <= 0) break;
        got += n;
    }
    close(fds[0]);
    if (got <= 0) return -1;
    number[got] = '\0';
    number[std::strcspn(number, "\n")] = '\0';
    setenv("DISPLAY", (std::string(":") + number).c_str(), 1);
    return server;
}
