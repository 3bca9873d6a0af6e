// The console display's costs on the headless front end: a full repaint of an
// 80 x 24 window, and the row mapping at the end of a full 32 KB transcript.
// A plain memchr walk over the same 32 KB is measured in the same run as the
// baseline, and each figure is printed again as a ratio to it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "console/console.h"
#include "frontends/headless/readback.h"

namespace {

char transcript[consoleCapacity];
char pendingInput[consoleInputSize];
plHwnd window;

// The console window as start-up makes it, shown, holding a full transcript
// of output lines of varying length.
void setUpConsole()
{
    hlReset();
    plHinstance instance = plGetModuleHandle(nullptr);
    registerConsoleResources(instance);
    createConsoleWindow(instance);
    window = consoleWindow;
    initConsoleState(transcript, pendingInput, SW_SHOWNORMAL);
    plShowWindow(window, SW_SHOWNORMAL);
    ConsoleState.windowShown = 1;

    std::string text;
    for (int i = 0; text.size() < consoleCapacity - 200; i++) {
        char line[128];
        std::snprintf(line, sizeof line, "Writing TIFF file %d: row %d of 390, z_elev %d%s\r\n", i, (i * 37) % 390,
                      (i * 7919) % 100000, std::string(static_cast<size_t>(i % 40), '.').c_str());
        text += line;
    }
    std::memcpy(ConsoleState.textStart, text.data(), text.size());
    ConsoleState.textEnd = ConsoleState.textStart + text.size();
    ConsoleState.lastRow = countRows();
    plSetScrollRange(window, SB_VERT, 0, ConsoleState.lastRow, 0);
    pwPump();
}

void baselineMemchrWalk(benchmark::State& state)
{
    setUpConsole();
    for (auto _ : state) {
        int lines = 0;
        const char* p = ConsoleState.textStart;
        const char* end = ConsoleState.textEnd;
        while (const void* hit = std::memchr(p, '\n', static_cast<size_t>(end - p))) {
            p = static_cast<const char*>(hit) + 1;
            lines++;
        }
        benchmark::DoNotOptimize(lines);
    }
}
BENCHMARK(baselineMemchrWalk);

void fullRepaint(benchmark::State& state)
{
    setUpConsole();
    for (auto _ : state) {
        plInvalidateRect(window, nullptr, 1);
        plUpdateWindow(window);
    }
    benchmark::DoNotOptimize(ConsoleState.drawRow);
}
BENCHMARK(fullRepaint);

void rowMappingAtTheEnd(benchmark::State& state)
{
    setUpConsole();
    for (auto _ : state) {
        int32_t row = 0;
        int32_t column = 0;
        positionToRowColumn(ConsoleState.textEnd, &row, &column);
        benchmark::DoNotOptimize(rowColumnToPosition(row, 0));
    }
}
BENCHMARK(rowMappingAtTheEnd);

void countRowsOfAFullTranscript(benchmark::State& state)
{
    setUpConsole();
    for (auto _ : state) {
        benchmark::DoNotOptimize(countRows());
    }
}
BENCHMARK(countRowsOfAFullTranscript);

// Prints the usual table, then every figure as a multiple of the baseline.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            // One figure per benchmark: the run itself, or the mean of its repetitions.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean") {
                continue;
            }
            times[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto base = times.find("baselineMemchrWalk");
        if (base == times.end() || base->second <= 0) {
            return;
        }
        std::printf("\nCPU time as a multiple of the baseline (a memchr walk over the same 32 KB):\n");
        for (const auto& [name, time] : times) {
            std::printf("  %-28s %8.2f x\n", name.c_str(), time / base->second);
        }
    }

private:
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
