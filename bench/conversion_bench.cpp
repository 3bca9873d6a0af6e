// Conversion speed against two baselines measured in the same run:
//   convert   - one run converting 1,000 scan files of 390 rows (94 MB in, 98 MB out)
//   copy      - the same input bytes copied into 1,000 files with a plain
//               read/write loop of 64 KiB transfers: the input/output limit
//   copy_4k   - the same loop with 4 KiB transfers, the size of the
//               runtime's file stream buffers, through which the converter
//               reads and writes
//   raw2tiff  - the same images given as raw 250-byte rows, converted by
//               libtiff's raw2tiff, one process per file, for a sample of files
// The conversion and copies are measured twice: creating new output files on
// a settled disk (an operator's conversion), and rewriting files whose bytes
// are still only in memory (where the cost of the calls shows most).
// Prints each time and the ratios convert/copy and raw2tiff/convert per file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/conversion.h"
#include "runtime/runtime.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const int file_count = 1000;
const int rows = 390;
const int raw2tiff_sample = 20;

fs::path folder;
double best_convert = 1e30;
double best_copy = 1e30;
double best_copy_4k = 1e30;
double best_rewrite_convert = 1e30;   // the same, rewriting the files in memory
double best_rewrite_copy = 1e30;
double best_rewrite_copy_4k = 1e30;
double best_raw2tiff = 1e30;   // for the whole sample

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool write_file(const std::string& name, const std::vector<uint8_t>& bytes)
{
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return close(fd) == 0 && ok;
}

// The scan set: every file a different wavy picture.
bool make_scan_set()
{
    std::vector<uint8_t> control(36, 0);
    control[5] = rows / 10;
    if (!write_file("scaninfo.dat", control)) return false;
    std::vector<uint8_t> bytes(rows * 242);
    for (int n = 0; n < file_count; ++n) {
        for (int r = 0; r < rows; ++r) {
            uint8_t* record = &bytes[r * 242];
            int z = (r + n) % 131;
            record[0] = 0;
            record[1] = static_cast<uint8_t>(z);
            for (int i = 1; i < 121; ++i) {
                int sample = (i * 3 + r + n * 7) % 300;
                record[2 * i] = static_cast<uint8_t>(sample >> 8);
                record[2 * i + 1] = static_cast<uint8_t>(sample);
            }
        }
        if (!write_file(std::to_string(n) + ".bin", bytes)) return false;
    }
    return true;
}

void discard_output(const char*, uint32_t) {}

int no_input(char*, uint32_t, uint32_t* count)
{
    *count = 0;
    return 1;
}

double convert_files()
{
    auto start = std::chrono::steady_clock::now();
    convert_scans();
    rt::cout.flush();
    return seconds_since(start);
}

double copy_files(char* buffer, size_t size)
{
    auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < file_count; ++n) {
        int in = open((std::to_string(n) + ".bin").c_str(), O_RDONLY);
        int out = open((std::to_string(n) + ".copy").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t got;
        while ((got = read(in, buffer, size)) > 0) {
            if (write(out, buffer, static_cast<size_t>(got)) != got) break;
        }
        close(in);
        close(out);
    }
    return seconds_since(start);
}

// Removes the output files of the step before, then waits until the disk
// has caught up, so that every timed step creates its files afresh as an
// operator's first conversion does, and background writing of one step
// burdens no other.
void fresh_outputs(const char* suffix)
{
    for (int n = 0; n < file_count; ++n) unlink((std::to_string(n) + suffix).c_str());
    sync();
}

// One round runs the conversion and both copy loops in turn.  The reported
// time is the conversion's; the best of each over all rounds is kept for the
// ratios.
void convert_and_copy(benchmark::State& state)
{
    static char buffer[1 << 16];
    for (auto _ : state) {
        fresh_outputs(".tif");
        double elapsed = convert_files();
        state.SetIterationTime(elapsed);
        best_convert = std::min(best_convert, elapsed);
        fresh_outputs(".copy");
        best_copy = std::min(best_copy, copy_files(buffer, sizeof buffer));
        fresh_outputs(".copy");
        best_copy_4k = std::min(best_copy_4k, copy_files(buffer, 4096));
    }
    if (fs::file_size(std::to_string(file_count - 1) + ".tif") != 210u + 250u * rows) {
        state.SkipWithError("the conversion did not complete");
    }
}

// The same steps rewriting the files of the step before at once, while
// their bytes are still only in memory: no disk allocation takes part, so
// the cost of the calls themselves shows most.
void rewrite(benchmark::State& state)
{
    static char buffer[1 << 16];
    convert_files();
    copy_files(buffer, sizeof buffer);
    for (auto _ : state) {
        double elapsed = convert_files();
        state.SetIterationTime(elapsed);
        best_rewrite_convert = std::min(best_rewrite_convert, elapsed);
        best_rewrite_copy = std::min(best_rewrite_copy, copy_files(buffer, sizeof buffer));
        best_rewrite_copy_4k = std::min(best_rewrite_copy_4k, copy_files(buffer, 4096));
    }
}

// Raw rows for the sample: the pixels of the images the converter made.
bool make_raw_sample()
{
    for (int n = 0; n < raw2tiff_sample; ++n) {
        std::string tif = std::to_string(n) + ".tif";
        std::vector<uint8_t> pixels(250 * rows);
        int fd = open(tif.c_str(), O_RDONLY);
        if (fd < 0) return false;
        bool ok = pread(fd, pixels.data(), pixels.size(), 24) == static_cast<ssize_t>(pixels.size());
        close(fd);
        if (!ok || !write_file(std::to_string(n) + ".raw", pixels)) return false;
    }
    return true;
}

void raw2tiff(benchmark::State& state)
{
    if (!make_raw_sample()) {
        state.SkipWithError("cannot make the raw sample");
        return;
    }
    for (auto _ : state) {
        sync();
        auto start = std::chrono::steady_clock::now();
        for (int n = 0; n < raw2tiff_sample; ++n) {
            std::string in = std::to_string(n) + ".raw", out = std::to_string(n) + ".raw.tif";
            const char* argv[] = {"raw2tiff", "-w", "250", "-l", "390", "-b", "1", "-d", "byte",
                                  "-p", "miniswhite", "-c", "none", in.c_str(), out.c_str(), nullptr};
            pid_t pid;
            if (posix_spawnp(&pid, "raw2tiff", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
                state.SkipWithError("raw2tiff cannot be started");
                return;
            }
            int status = 0;
            waitpid(pid, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                state.SkipWithError("raw2tiff failed");
                return;
            }
        }
        double elapsed = seconds_since(start);
        state.SetIterationTime(elapsed);
        best_raw2tiff = std::min(best_raw2tiff, elapsed);
    }
}

BENCHMARK(convert_and_copy)->Iterations(7)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(rewrite)->Iterations(7)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(raw2tiff)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!rt_startup()) return 1;
    char pattern[] = "/tmp/rastrel-bench.XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    folder = pattern;
    fs::current_path(folder);
    std::printf("making %d scan files of %d rows in %s\n", file_count, rows, folder.c_str());
    bool ready = make_scan_set();
    if (ready) {
        rt_attach_console(discard_output, no_input);
        benchmark::RunSpecifiedBenchmarks();
        rt_detach_console();
    }
    fs::current_path("/");
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    if (!ready) {
        std::fprintf(stderr, "cannot write the scan set\n");
        return 1;
    }
    const double unmeasured = 1e30;
    double per_file_convert = best_convert / file_count;
    double per_file_raw2tiff = best_raw2tiff / raw2tiff_sample;
    auto line = [&](const char* name, double seconds, int files) {
        if (seconds < unmeasured) {
            std::printf("  %-9s %8.1f ms for %4d files (%.3f ms per file)\n", name, seconds * 1e3, files,
                        seconds * 1e3 / files);
        }
    };
    auto ratio = [&](const char* name, double a, double b, const char* aim) {
        if (a < unmeasured && b < unmeasured) std::printf("  %-30s %5.2f%s\n", name, a / b, aim);
    };
    std::printf("\nbest of each, same run; new output files on a settled disk:\n");
    line("convert", best_convert, file_count);
    line("copy", best_copy, file_count);
    line("copy_4k", best_copy_4k, file_count);
    line("raw2tiff", best_raw2tiff, raw2tiff_sample);
    ratio("convert / copy", best_convert, best_copy, "  (aim: at most 1.5)");
    ratio("convert / copy_4k", best_convert, best_copy_4k, "");
    ratio("raw2tiff / convert, per file", per_file_raw2tiff, per_file_convert, "  (aim: at least 10)");
    std::printf("rewriting the same files while still in memory:\n");
    line("convert", best_rewrite_convert, file_count);
    line("copy", best_rewrite_copy, file_count);
    line("copy_4k", best_rewrite_copy_4k, file_count);
    ratio("convert / copy", best_rewrite_convert, best_rewrite_copy, "  (aim: at most 1.5)");
    ratio("convert / copy_4k", best_rewrite_convert, best_rewrite_copy_4k, "");
    benchmark::Shutdown();
    return 0;
}
