// The console's transcript logic under load: output lines written into a full
// transcript with the window painted only now and then, and text pasted while
// no reader waits, at the end of the text and in its middle.  Each figure is
// the console's own time (storing, discarding, the row mapping, the caret and
// the drawing calls it makes); the window system underneath is whatever the
// build links (the headless front end).
//
// Written against the console's header and the window-system contract only,
// so it does not depend on which front end is linked.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "console/console.h"

namespace {

char* transcript;
char pendingInput[consoleInputSize];

// The console window as start-up makes it, shown, its transcript filled with
// output lines, the caret at the end and every message handled.
void setUpConsole()
{
    static bool created;
    if (!created) {
        plHinstance instance = plGetModuleHandle(nullptr);
        registerConsoleResources(instance);
        createConsoleWindow(instance);
        transcript = new char[consoleTranscriptSize];
        created = true;
    }
    initConsoleState(transcript, pendingInput, SW_SHOWNORMAL, consoleTranscriptSize);
    ConsoleSettings = consoleDefaultSettings;
    plShowWindow(consoleWindow, SW_SHOWNORMAL);
    ConsoleState.windowShown = 1;
    std::string line(62, '.');
    line += "\r\n";
    for (int i = 0; i < 2 * consoleCapacity / 64; i++) {
        outputWriteText(line.data(), static_cast<uint32_t>(line.size()));
    }
    pumpMessages();
}

// 64-byte output lines (a number, dots, CR LF), made once: the benchmarks
// cycle through them.
enum { lineCount = 4096 };
const char* outputLine(int64_t i)
{
    static char lines[lineCount][64];
    static bool made;
    if (!made) {
        for (int n = 0; n < lineCount; n++) {
            std::memset(lines[n], '.', 62);
            char number[32];
            const int length = std::snprintf(number, sizeof number, "line %d ", n);
            std::memcpy(lines[n], number, static_cast<size_t>(length));
            lines[n][62] = '\r';
            lines[n][63] = '\n';
        }
        made = true;
    }
    return lines[i % lineCount];
}

// 64-byte lines, one write each, into a full transcript; the window is
// painted once every 256 writes (about what one frame takes at full speed).
void writeLinesIntoAFullTranscript(benchmark::State& state)
{
    setUpConsole();
    int64_t i = 0;
    for (auto _ : state) {
        plSendMessage(consoleWindow, consoleWriteTextMessage, reinterpret_cast<plWparam>(outputLine(i)), 64);
        if (++i % 256 == 0) {
            pumpMessages();
        }
    }
    state.SetBytesProcessed(i * 64);
}
BENCHMARK(writeLinesIntoAFullTranscript);

// The same lines stored without drawing: the transcript alone.
void storeLinesIntoAFullTranscript(benchmark::State& state)
{
    setUpConsole();
    int64_t i = 0;
    for (auto _ : state) {
        const char* line = outputLine(i++);
        for (int k = 0; k < 64; k++) {
            storeCharAt(line + k, ConsoleState.textEnd);
        }
    }
    state.SetBytesProcessed(i * 64);
}
BENCHMARK(storeLinesIntoAFullTranscript);

// A short menu line written a few bytes at a time, as a program that writes
// each item with its own call does.
void shortWritesIntoAFullTranscript(benchmark::State& state)
{
    setUpConsole();
    static const char* const pieces[] = {"1", ") ", "Convert scan files", "\r\n"};
    int64_t bytes = 0;
    int64_t i = 0;
    for (auto _ : state) {
        for (const char* piece : pieces) {
            const uint32_t n = static_cast<uint32_t>(std::strlen(piece));
            plSendMessage(consoleWindow, consoleWriteTextMessage, reinterpret_cast<plWparam>(piece), n);
            bytes += n;
        }
        if (++i % 64 == 0) {
            pumpMessages();
        }
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(shortWritesIntoAFullTranscript);

// Puts text on the clipboard as another program would.
void putOnClipboard(const std::string& text)
{
    plHglobal block = plGlobalAlloc(GHND, text.size() + 1);
    char* copy = static_cast<char*>(plGlobalLock(block));
    std::memcpy(copy, text.data(), text.size() + 1);
    plGlobalUnlock(block);
    plOpenClipboard(consoleWindow);
    plEmptyClipboard();
    plSetClipboardData(CF_TEXT, block);
    plCloseClipboard();
}

// Lines of 62 characters and CR LF, size bytes in all.
std::string pastedLines(size_t size)
{
    std::string text;
    while (text.size() < size) {
        text += std::string(62, static_cast<char>('a' + text.size() / 64 % 26)) + "\r\n";
    }
    text.resize(size);
    return text;
}

// Pastes state.range(0) bytes of lines while no reader waits; the caret is at
// the end of the text (range(1) = 0) or in the middle of a line half way
// down (range(1) = 1).
void pasteOutsideARead(benchmark::State& state)
{
    setUpConsole();
    const std::string text = pastedLines(static_cast<size_t>(state.range(0)));
    putOnClipboard(text);
    int64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        setUpConsole();
        if (state.range(1)) {
            caretRow = ConsoleState.lastRow / 2;
            caretColumn = 30;
        } else {
            positionToRowColumn(ConsoleState.textEnd, &caretRow, &caretColumn);
        }
        state.ResumeTiming();
        plSendMessage(consoleWindow, WM_COMMAND, commandPaste, 0);
        bytes += static_cast<int64_t>(text.size());
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(pasteOutsideARead)
    ->Args({32 * 1024, 0})
    ->Args({32 * 1024, 1})
    ->Args({256 * 1024, 0})
    ->Args({256 * 1024, 1})
    ->Unit(benchmark::kMillisecond);

// The same text pasted while a reader waits (as after a read left waiting):
// every character goes through the character handler, the pending line
// fills, and the rest beeps.
void pasteDuringARead(benchmark::State& state)
{
    setUpConsole();
    const std::string text = pastedLines(static_cast<size_t>(state.range(0)));
    putOnClipboard(text);
    int64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        setUpConsole();
        ConsoleState.reading = 1;
        state.ResumeTiming();
        plSendMessage(consoleWindow, WM_COMMAND, commandPaste, 0);
        bytes += static_cast<int64_t>(text.size());
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(pasteDuringARead)->Arg(32 * 1024)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
