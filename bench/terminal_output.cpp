// Output into the console window on the terminal front end, in a tmux pane
// of 100 x 30, against the same bytes into the console on the headless
// front end, measured in the same run (each three times in turn, the best
// of each taken).
//
//   build/bench/terminal_output [MEGABYTES]
//
// 64-byte lines are written through cout (the runtime's line buffering
// sends each line).  The headless case runs in a child process; the
// terminal case runs this program again inside a tmux pane of a server of
// its own, which reports its seconds through a file.  The terminal's speed
// should bound only how often frames are drawn: the aim is at least half
// the headless rate.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "frontends/headless/readback.h"
#include "frontends/terminal/terminal.h"
#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

size_t totalBytes = 16u << 20;
std::string resultPath;

double now()
{
    using clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

// The application: the bytes through cout, timed; the seconds go to the
// result file, and the process ends at once.
int writer(int, char**)
{
    static const char line64[] = "Writing TIFF file 12345: row 123 of 390, z_elev 42 ............\n";
    static_assert(sizeof line64 == 65, "64-byte lines");
    const double start = now();
    for (size_t written = 0; written < totalBytes; written += sizeof line64 - 1) rt::cout << line64;
    rt::cout << std::flush;
    const double seconds = now() - start;
    const std::string temporary = resultPath + ".part";
    if (FILE* out = std::fopen(temporary.c_str(), "w")) {
        std::fprintf(out, "%.6f\n", seconds);
        std::fclose(out);
        std::rename(temporary.c_str(), resultPath.c_str());
    }
    std::_Exit(0);
}

double readResult(const std::string& path)
{
    double seconds = -1;
    if (FILE* in = std::fopen(path.c_str(), "r")) {
        if (std::fscanf(in, "%lf", &seconds) != 1) seconds = -1;
        std::fclose(in);
    }
    return seconds;
}

double headlessCase(const std::string& folder)
{
    resultPath = folder + "/headless";
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        hlReset();
        pwSetFrameInterval(16);
        char name[] = "terminal_output";
        char* argv[] = {name, nullptr};
        startPortableConsole(1, argv, writer);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return readResult(resultPath);
}

double terminalCase(const std::string& self, const std::string& folder)
{
    const std::string socket = folder + "/tmux.sock";
    const std::string result = folder + "/terminal";
    const std::string command = "tmux -S " + socket + " -f /dev/null new-session -d -x 100 -y 30 -e TERM=tmux-256color '" +
                                self + " --in-pane " + result + " " + std::to_string(totalBytes) + "'";
    if (std::system(command.c_str()) != 0) return -1;
    struct stat info{};
    const double deadline = now() + 600;
    while (stat(result.c_str(), &info) != 0 && now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::system(("tmux -S " + socket + " kill-server > /dev/null 2>&1").c_str());
    return readResult(result);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--in-pane") == 0) {
        resultPath = argv[2];
        totalBytes = static_cast<size_t>(std::atoll(argv[3]));
        if (!tmAvailable()) {
            std::fprintf(stderr, "terminal_output: %s\n", tmUnavailableReason());
            return 1;
        }
        tmInstall();
        char name[] = "terminal_output";
        char* pane[] = {name, nullptr};
        startPortableConsole(1, pane, writer);
    }
    if (argc > 1) totalBytes = static_cast<size_t>(std::atof(argv[1]) * (1 << 20));
    char pattern[] = "/tmp/terminal-output-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string folder = pattern;
    char self[4096] = "";
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return 1;
    self[length] = '\0';

    const double megabytes = static_cast<double>(totalBytes) / (1 << 20);
    // Each case three times, taking turns, and the best of each: the
    // machine's other work slows either case alike.
    double headless = -1;
    double terminal = -1;
    for (int round = 0; round < 3; ++round) {
        const double h = headlessCase(folder);
        const double t = terminalCase(self, folder);
        if (h > 0 && (headless < 0 || h < headless)) headless = h;
        if (t > 0 && (terminal < 0 || t < terminal)) terminal = t;
        std::remove((folder + "/terminal").c_str());
    }
    std::system(("rm -rf " + folder).c_str());
    if (headless <= 0 || terminal <= 0) {
        std::printf("a case failed (is tmux installed?)\n");
        return 1;
    }
    const double ratio = headless / terminal;
    std::printf("64-byte lines through cout, %.0f MB:  headless %8.1f MB/s   terminal in tmux %8.1f MB/s   "
                "terminal/headless %.3f (aim: at least 0.5)\n",
                megabytes, megabytes / headless, megabytes / terminal, ratio);
    return ratio >= 0.5 ? 0 : 2;
}
