// Output into the console window on the headless front end, against the
// same bytes written through the plain binding to /dev/null (the limit the
// runtime sets), measured in the same run; and a paste outside a read.
//
//   build/bench/console_output [MEGABYTES]
//
// Cases: 64-byte lines written through cout (the runtime's line buffering
// sends each line), and short lines each written with its own flush.  Each
// case runs in a child process of its own, which reports its seconds
// through a pipe.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console/console.h"
#include "frontends/headless/readback.h"
#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

size_t totalBytes = 16u << 20;
int resultPipe = -1;
bool shortLines = false;
double pasteSeconds = -1;

double now()
{
    using clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

void report(double seconds)
{
    char line[64];
    int n = std::snprintf(line, sizeof line, "%.6f %.6f\n", seconds, pasteSeconds);
    if (write(resultPipe, line, static_cast<size_t>(n)) != n) std::_Exit(4);
}

// The application: the bytes through cout, timed.
int writer(int, char**)
{
    static const char line64[] = "Writing TIFF file 12345: row 123 of 390, z_elev 42 ............\n";
    static const char shortLine[] = "9 - Exit.\n";
    static_assert(sizeof line64 == 65, "64-byte lines");
    const double start = now();
    if (shortLines) {
        for (size_t written = 0; written < totalBytes; written += sizeof shortLine - 1) {
            rt::cout << shortLine << std::flush;
        }
    } else {
        for (size_t written = 0; written < totalBytes; written += sizeof line64 - 1) {
            rt::cout << line64;
        }
    }
    rt::cout << std::flush;
    const double seconds = now() - start;
    if (consoleWindow) {
        // 32000 bytes of text pasted at the caret while the program runs.
        std::string text;
        while (text.size() < 32000) text += "pasted line of text, sixty-two characters long, more or less\r\n";
        text.resize(32000);
        hlSetClipboardText(text.c_str());
        const double pasteStart = now();
        plSendMessage(consoleWindow, WM_COMMAND, commandPaste, 0);
        pasteSeconds = now() - pasteStart;
    }
    report(seconds);
    std::_Exit(0);
}

// Runs one case in a child; its seconds, or a negative value.
double runCase(bool console, bool shortCase, double* paste)
{
    int fds[2];
    if (pipe(fds) != 0) return -1;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        resultPipe = fds[1];
        shortLines = shortCase;
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        if (console) {
            hlReset();
            pwSetFrameInterval(16);
            char name[] = "console_output";
            char* argv[] = {name, nullptr};
            startPortableConsole(1, argv, writer);
        }
        char name[] = "console_output";
        char* argv[] = {name, nullptr};
        runPlain(1, argv, writer);
    }
    close(fds[1]);
    char buffer[128] = "";
    ssize_t got = read(fds[0], buffer, sizeof buffer - 1);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got <= 0) return -1;
    buffer[got] = '\0';
    double seconds = -1;
    if (std::sscanf(buffer, "%lf %lf", &seconds, paste) != 2) return -1;
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1) totalBytes = static_cast<size_t>(std::atof(argv[1]) * (1 << 20));
    const double megabytes = static_cast<double>(totalBytes) / (1 << 20);
    for (int shortCase = 0; shortCase < 2; shortCase++) {
        double paste = -1;
        double ignored = -1;
        const double plain = runCase(false, shortCase != 0, &ignored);
        const double console = runCase(true, shortCase != 0, &paste);
        if (plain <= 0 || console <= 0) {
            std::printf("a case failed\n");
            return 1;
        }
        std::printf("%-34s plain %8.1f MB/s   console %8.1f MB/s   console/plain %.3f\n",
                    shortCase ? "short lines, one write each:" : "64-byte lines through cout:", megabytes / plain,
                    megabytes / console, plain / console);
        if (!shortCase) std::printf("%-34s %.2f ms\n", "32000 bytes pasted outside a read:", paste * 1000);
    }
    return 0;
}
