// Start-up: the program started plain with empty standard input (it shows
// the menu, reads the end of input and ends) against `tput clear`, a small
// program of the terminal's own, measured in the same run: the two are
// started in turn, and the ratio is taken pair by pair so that a drift in
// the machine's speed moves both.  The aim is at most 1.5 times tput's
// time: a run that does not print maps no printing library and loads no
// module.
//
//   build/bench/startup [PAIRS]      (default 200)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Seconds from the start of the command to its end, -1 when it failed.
double timeRun(const char* const argv[])
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    setenv("TERM", "xterm-256color", 1);
    const char* const program[] = {RASTREL_BINARY, "--plain", nullptr};
    const char* const baseline[] = {"tput", "clear", nullptr};
    std::vector<double> programSeconds, baselineSeconds, ratios;
    for (int i = -2; i < pairs; ++i) {   // two pairs to warm up
        const double a = timeRun(program);
        const double b = timeRun(baseline);
        if (a < 0 || b <= 0) {
            std::fprintf(stderr, "startup: %s failed\n", a < 0 ? RASTREL_BINARY " --plain" : "tput clear");
            return 1;
        }
        if (i < 0) continue;
        programSeconds.push_back(a);
        baselineSeconds.push_back(b);
        ratios.push_back(a / b);
    }
    std::printf("rastrel --plain </dev/null  %7.2f ms (median of %d)\n", median(programSeconds) * 1e3, pairs);
    std::printf("tput clear                  %7.2f ms\n", median(baselineSeconds) * 1e3);
    std::printf("ratio, pair by pair         %7.2f (aim: at most 1.5)\n", median(ratios));
    return 0;
}
