// 100 MB of short formatted lines through rt::cout into a file (the plain
// binding, stdout redirected), against the same lines through printf into
// the C library's stdout redirected to a file.  Each run is a fresh process
// with its stdout on the file, so both libraries choose their buffering as
// they would for a redirected program.  Prints the ratio of the two times.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/runtime.h"

namespace {

constexpr long long target_bytes = 100LL << 20;

// Lines "line <i> value <7i>\n" until the total reaches 100 MB.
long long line_count()
{
    long long bytes = 0;
    long long lines = 0;
    while (bytes < target_bytes) {
        bytes += std::snprintf(nullptr, 0, "line %lld value %lld\n", lines, lines * 7);
        ++lines;
    }
    return lines;
}

void write_with_printf(long long lines)
{
    for (long long i = 0; i < lines; ++i) {
        std::printf("line %lld value %lld\n", i, i * 7);
    }
    std::fflush(stdout);
}

void write_with_cout(long long lines)
{
    rt_startup();
    for (long long i = 0; i < lines; ++i) {
        rt::cout << "line " << i << " value " << i * 7 << '\n';
    }
    rt::cout.flush();
}

std::string self_path;
std::string output_path;
long long lines = 0;
double total_seconds[2];
int runs[2];

// Runs this program again as a writer with its stdout on the output file;
// returns the seconds the whole process took.
double run_writer(const char* which)
{
    std::fflush(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        int fd = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        close(fd);
        std::string count = std::to_string(lines);
        execl(self_path.c_str(), self_path.c_str(), which, count.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return std::chrono::duration<double>(end - start).count();
}

void run(benchmark::State& state, const char* which, int index)
{
    for (auto _ : state) {
        double seconds = run_writer(which);
        if (seconds < 0) {
            state.SkipWithError("writer failed");
            return;
        }
        struct stat info;
        if (stat(output_path.c_str(), &info) != 0 || info.st_size < target_bytes) {
            state.SkipWithError("short output");
            return;
        }
        state.SetIterationTime(seconds);
        total_seconds[index] += seconds;
        ++runs[index];
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * target_bytes);
}

void printf_to_c_stdout(benchmark::State& state)
{
    run(state, "--printf", 0);
}

void cout_to_runtime_stdout(benchmark::State& state)
{
    run(state, "--cout", 1);
}

BENCHMARK(printf_to_c_stdout)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(cout_to_runtime_stdout)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--printf") == 0) {
        write_with_printf(std::atoll(argv[2]));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--cout") == 0) {
        write_with_cout(std::atoll(argv[2]));
        rt_exit(0);
    }
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return 1;
    }
    self_path.assign(path, static_cast<size_t>(length));
    char folder[] = "/tmp/rastrel_bench_XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return 1;
    }
    output_path = std::string(folder) + "/lines.txt";
    lines = line_count();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    unlink(output_path.c_str());
    rmdir(folder);
    if (runs[0] > 0 && runs[1] > 0) {
        double baseline = total_seconds[0] / runs[0];
        double ours = total_seconds[1] / runs[1];
        std::printf("cout / printf time ratio: %.2f (%.3f s against %.3f s per 100 MB)\n", ours / baseline, ours, baseline);
    }
    return 0;
}
