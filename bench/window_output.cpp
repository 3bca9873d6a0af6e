// Output into the console window on the desktop, against a fast terminal
// emulator showing the same bytes on the same display, in the same run.
//
//   build/bench/window_output [MEGABYTES] [ROUNDS]
//
// A file of 64-byte lines (16 MB by default) is made first.  Then, in turn,
// each round times two whole processes from start to exit:
//   window: this program with --window, writing every line of the file
//           through cout into the console window, then ending;
//   st:     st -e cat FILE (Debian's stterm), which shows the same bytes.
// It prints the median seconds of each, and the median of the rounds' ratios
// window / st.  It uses the display in DISPLAY, or starts Xvfb for itself.
#include <fcntl.h>
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
#include "portable/frontend.h"
#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

const char writerOption[] = "--write-lines";

double now()
{
    using clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

// The application of the window case: the file's lines through cout, then
// the last frame shown, then the end of the process.
int writer(int argc, char** argv)
{
    if (argc < 3) return 2;
    FILE* file = std::fopen(argv[2], "rb");
    if (!file) return 2;
    char line[256];
    while (std::fgets(line, sizeof line, file)) rt::cout << line;
    std::fclose(file);
    rt::cout << std::flush;
    pwPresent();
    std::_Exit(0);
}

// Runs a command to its end; its seconds, or a negative value.
double timeCommand(const std::vector<std::string>& words)
{
    std::vector<char*> arguments;
    for (const std::string& word : words) arguments.push_back(const_cast<char*>(word.c_str()));
    arguments.push_back(nullptr);
    const double start = now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0) return -1;
    const double seconds = now() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && std::strcmp(argv[1], "--window") == 0) runProgram(argc, argv, writer);
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 16;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const pid_t server = startOwnDisplay();   // -1: none, and the window fails

    char path[] = "/tmp/rastrel-window-output-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return 1;
    {
        std::string block;
        static const char line64[] = "Writing TIFF file 12345: row 123 of 390, z_elev 42 ............\n";
        static_assert(sizeof line64 == 65, "64-byte lines");
        while (block.size() < (1u << 20)) block += line64;
        for (double written = 0; written < megabytes * (1 << 20); written += static_cast<double>(block.size())) {
            if (write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) return 1;
        }
        close(fd);
    }
    std::vector<double> window, terminal, ratios;
    for (int round = 0; round < rounds; ++round) {
        const double a = timeCommand({argv[0], "--window", writerOption, path});
        const double b = timeCommand({"st", "-e", "cat", path});
        if (a <= 0 || b <= 0) {
            std::printf("a run failed (window %.3f, st %.3f): is there a display, and is st installed?\n", a, b);
            break;
        }
        window.push_back(a);
        terminal.push_back(b);
        ratios.push_back(a / b);
    }
    std::remove(path);
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    if (ratios.empty()) return 1;
    std::printf("%.0f MB of 64-byte lines, median of %zu rounds:\n", megabytes, ratios.size());
    std::printf("  console window  %.3f s  (%.1f MB/s)\n", median(window), megabytes / median(window));
    std::printf("  st, cat         %.3f s  (%.1f MB/s)\n", median(terminal), megabytes / median(terminal));
    std::printf("  window / st     %.3f\n", median(ratios));
    return 0;
}
