// The transcript's short cuts against what they stand for: text pasted while
// no reader waits against the same bytes typed one character at a time, a
// transcript block with slack behind the text against one without, and the
// row mapping against a walk from the start of the text.  Seeded random
// sessions of output, typing, edits, cuts and pastes fill the transcript many
// times over; everything the console holds and shows is compared after every
// step.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "commands_fixture.h"
#include "walked_rows.h"
#include "runtime/runtime.h"

namespace {

using commandsTest::ConsoleWindow;
using walkedRows::walkedPosition;
using walkedRows::walkedRowColumn;
using walkedRows::width;
ConsoleStateRecord& S = ConsoleState;

struct interrupted {};
void onInterrupt(int)
{
    rt_signal(RT_SIGINT, onInterrupt);   // a handler fires once per registration
    throw interrupted{};
}

// The paste command, or the test typing what it would paste, one WM_CHAR at
// a time, as the command once delivered it.
enum PasteBy { byCommand, byTyping };

class Equivalence : public ConsoleWindow {
protected:
    void SetUp() override
    {
        ConsoleWindow::SetUp();
        rt_signal(RT_SIGINT, onInterrupt);
    }
    void TearDown() override
    {
        rt_signal(RT_SIGINT, RT_SIG_DFL);
        ConsoleSettings = consoleDefaultSettings;
        ConsoleWindow::TearDown();
    }

    // A new console window, as the fixture makes it, over a transcript block
    // of blockSize bytes.
    void restart(int32_t blockSize)
    {
        ConsoleWindow::SetUp();
        initConsoleState(commandsTest::transcript, commandsTest::pendingInput, SW_SHOWDEFAULT, blockSize);
        plShowWindow(window, SW_SHOWDEFAULT);
        S.windowShown = 1;
        hlPump();
        rt_signal(RT_SIGINT, onInterrupt);
    }

    void write(const std::string& bytes) { consoleWriteHook(bytes.data(), static_cast<uint32_t>(bytes.size())); }
    void key(char c) { plSendMessage(window, WM_CHAR, static_cast<unsigned char>(c), 0); }

    void paste(const std::string& text, PasteBy by)
    {
        hlSetClipboardText(text.c_str());
        if (by == byCommand) {
            plSendMessage(window, WM_COMMAND, commandPaste, 0);
            return;
        }
        // What the command makes of the clipboard's text: every CR LF a CR.
        std::string typed;
        for (const char* p = hlClipboardText(); *p; p++) {
            if (!(*p == '\n' && !typed.empty() && typed.back() == '\r')) {
                typed += *p;
            }
        }
        for (char c : typed) {
            key(c);
        }
    }

    // Everything the console holds and shows, the text by its length, its
    // hash and its last bytes.
    std::string snapshot()
    {
        const std::string all = text();
        const auto at = [](const char* p) { return p ? std::to_string(p - S.textStart) : std::string("-"); };
        const hlCaretInfo caret = hlCaret();
        const hlScrollInfo bar = hlScrollBar(window, SB_VERT);
        std::string s = "text " + std::to_string(all.size()) + " #" + std::to_string(std::hash<std::string>{}(all)) +
                        " ..." + all.substr(all.size() > 24 ? all.size() - 24 : 0) + "\nlastRow " +
                        std::to_string(S.lastRow) + " rowFill " + std::to_string(rowFill) + " lineWraps " +
                        std::to_string(lineWraps) + " caret " + std::to_string(caretRow) + "," +
                        std::to_string(caretColumn) + " top " + std::to_string(S.topRow) + " view " +
                        at(S.viewStart) + " sel " + at(S.selAnchor) + "," + at(S.selStart) + "," + at(S.selEnd) +
                        " draw " + std::to_string(S.drawRow) + "," + std::to_string(S.drawColumn) + " flags " +
                        std::to_string(S.reading) + std::to_string(S.lineReady) + std::to_string(S.modified) +
                        std::to_string(keepView) + std::to_string(endOfInput) + " pending " + pending() +
                        " beeps " + std::to_string(hlBeepCount()) + " bar " + std::to_string(bar.maximum) + "," +
                        std::to_string(bar.position) + " shown caret " + std::to_string(caret.x) + "," +
                        std::to_string(caret.y) + "," + std::to_string(caret.exists && caret.hideCount == 0) +
                        " clipboard " + std::to_string(std::hash<std::string>{}(hlClipboardText() ? hlClipboardText() : "")) +
                        "\n";
        for (int row = 0; row < hlSurfaceRows(window); row++) {
            s += "|" + hlRowText(window, row) + "|\n";
        }
        return s;
    }

    // The row mapping against the walk from the start: the caret's row, the
    // end of the text and a few random positions and rows.  "" when it agrees.
    std::string mappingDisagrees()
    {
        const size_t length = static_cast<size_t>(S.textEnd - S.textStart);
        for (int probe = 0; probe < 4; probe++) {
            const size_t p = probe == 0 ? length : static_cast<size_t>(probes() % (length + 1));
            int32_t row = -1;
            int32_t column = -1;
            positionToRowColumn(S.textStart + p, &row, &column);
            int64_t wantedRow = 0;
            int64_t wantedColumn = 0;
            walkedRowColumn(p, &wantedRow, &wantedColumn);
            if (row != wantedRow || column != wantedColumn) {
                return "position " + std::to_string(p) + " maps to " + std::to_string(row) + "," +
                       std::to_string(column) + ", walked " + std::to_string(wantedRow) + "," +
                       std::to_string(wantedColumn);
            }
            const int64_t r = probe == 1 ? caretRow : static_cast<int64_t>(probes() % (S.lastRow + 3u)) - 1;
            const int64_t c = probe < 3 ? 0 : static_cast<int64_t>(probes() % 90);
            const size_t found = static_cast<size_t>(
                rowColumnToPosition(static_cast<int32_t>(r), static_cast<int32_t>(c)) - S.textStart);
            if (found != walkedPosition(r, c)) {
                return "row " + std::to_string(r) + " column " + std::to_string(c) + " maps to " +
                       std::to_string(found) + ", walked " + std::to_string(walkedPosition(r, c));
            }
        }
        if (countRows() != walkedRowColumnRows()) {
            return "countRows " + std::to_string(countRows());
        }
        return "";
    }
    int64_t walkedRowColumnRows()
    {
        int64_t row = 0;
        int64_t column = 0;
        walkedRowColumn(static_cast<size_t>(S.textEnd - S.textStart), &row, &column);
        return row;
    }

    int pick(int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<uint32_t>(hi - lo + 1)); }
    bool chance(int percent) { return pick(1, 100) <= percent; }

    // Text for output and the clipboard: line breaks of every kind, editing
    // and control characters, rows of exactly the row width, long unbroken
    // runs, any byte.  Now and then tens of kilobytes.
    std::string randomText(bool forPaste)
    {
        static const char* const pieces[] = {"\r\n", "\r", "\n", "\b", "\t", "\f", "\a", " ", "\r\n\r\n", "\b\b\b",
                                             "\x04", "\x1a", "\x01"};
        std::string text;
        const int parts = chance(3) ? pick(200, 900) : pick(1, 14);
        for (int i = 0; i < parts; i++) {
            switch (pick(0, 7)) {
            case 0:
                text += pieces[pick(0, 12)];
                break;
            case 1:
                text += std::string(static_cast<size_t>(pick(20, 130)), static_cast<char>(pick('a', 'z'))) + "\r\n";
                break;
            case 2:
                text += std::string(static_cast<size_t>(width()), 'W') + "\r\n";
                break;
            case 3:
                text += std::string(static_cast<size_t>(chance(5) ? pick(2000, 9000) : pick(100, 400)), 'u');
                break;
            case 4:
                text += static_cast<char>(pick(1, 255));
                break;
            default:
                for (int n = pick(1, 12); n > 0; n--) {
                    text += static_cast<char>(pick(' ', '~'));
                }
                break;
            }
        }
        if (forPaste && chance(3)) {
            text.insert(static_cast<size_t>(pick(0, static_cast<int>(text.size()))), 1, '\x03');
        }
        return text;
    }

    // One step of a session.
    std::string step(PasteBy by)
    {
        switch (pick(0, 19)) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
            write(randomText(false));
            return "write";
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
        case 10:
            paste(randomText(true), by);
            return "paste";
        case 11:
        case 12: {
            static const char keys[] = {'\b', '\t', '\r', '\n', '\x1a', '\a', 'x', 'y', ' ', '\xe9'};
            for (int n = pick(1, 10); n > 0; n--) {
                key(keys[pick(0, 9)]);
            }
            return "type";
        }
        case 13:
        case 14:
            caretRow = pick(0, S.lastRow + 2);
            caretColumn = pick(0, chance(80) ? 40 : 200);
            return "caret";
        case 15: {
            const int length = static_cast<int>(S.textEnd - S.textStart);
            const int from = pick(0, length);
            select(static_cast<size_t>(from), static_cast<size_t>(pick(from, length)));
            if (chance(30)) {
                S.selEnd = nullptr;   // a drag just begun
            }
            return "select";
        }
        case 16:
            plSendMessage(window, WM_COMMAND, chance(50) ? commandCut : commandCopy, 0);
            return "cut or copy";
        case 17:
            // A reader begins to wait (left waiting, as after an abandoned
            // read), or takes the line typed.
            if (!S.reading || chance(50)) {
                S.reading = 1;
            } else {
                S.inputRead = S.inputStart;
                S.inputEnd = S.inputStart;
                S.lineReady = 0;
                S.reading = 0;
            }
            return "read";
        case 18:
            if (chance(4)) {
                // The rows counted fall behind the text (as when a new font
                // narrows the rows): typing may then jump to the end.
                S.lastRow = S.lastRow > 40 ? S.lastRow - pick(1, 40) : 0;
                return "rows behind";
            }
            hlScroll(window, pick(0, 7), pick(0, S.lastRow + 5));
            return "scroll";
        default:
            if (chance(50)) {
                hlResize(window, pick(10, 1300), pick(20, 500));
            } else {
                static const int16_t tabs[] = {0, 1, 3, 4, 8};
                ConsoleSettings.tabWidth = tabs[pick(0, 4)];
            }
            return "resize or tabs";
        }
    }

    // A session of steps from seed; what the console holds after each, and
    // the name of the step that led there.  The row mapping is held against
    // the walk after every step of the session that pastes with slack.
    std::vector<std::string> session(uint32_t seed, int steps, int32_t blockSize, PasteBy by)
    {
        restart(blockSize);
        rng.seed(seed);
        probes.seed(seed);
        std::vector<std::string> trace;
        for (int i = 0; i < steps && !HasFailure(); i++) {
            std::string name;
            try {
                name = step(by);
            } catch (const interrupted&) {
                name = "interrupted";
            }
            hlPump();
            if (blockSize == consoleTranscriptSize && by == byCommand) {
                if (std::string why = mappingDisagrees(); !why.empty()) {
                    ADD_FAILURE() << "seed " << seed << ", step " << i << " (" << name << "): " << why;
                }
            }
            trace.push_back(name + "\n" + snapshot());
        }
        return trace;
    }

    // The first step at which two sessions differ, shown side by side.
    static void expectSame(const std::vector<std::string>& a, const std::vector<std::string>& b, const char* what)
    {
        ASSERT_EQ(a.size(), b.size()) << what;
        for (size_t i = 0; i < a.size(); i++) {
            ASSERT_EQ(a[i], b[i]) << what << ": first difference after step " << i;
        }
    }

    std::mt19937 rng;
    std::mt19937 probes;
};

TEST_F(Equivalence, SessionsWithPasteAndSlackEqualTypingAndMovingTheText)
{
    for (uint32_t seed : {7u, 2024u}) {
        const std::vector<std::string> fast = session(seed, 450, consoleTranscriptSize, byCommand);
        const std::vector<std::string> typed = session(seed, 450, consoleTranscriptSize, byTyping);
        expectSame(fast, typed, "pasted against typed");
        const std::vector<std::string> moved = session(seed, 450, consoleCapacity, byCommand);
        expectSame(fast, moved, "a block with slack against one without");
    }
}

TEST_F(Equivalence, TheRowMappingForgetsRowsWhoseTextBeforeThemChanged)
{
    // The mapping remembers a row start inside a long last line; a lone CR
    // cuts the line back before it, and the line is written again with line
    // breaks in it.
    write(std::string(200, 'a'));
    int32_t row = 0;
    int32_t column = 0;
    positionToRowColumn(S.textEnd, &row, &column);
    write("\rab\r\ncd\r\n" + std::string(300, 'b'));
    EXPECT_EQ(mappingDisagrees(), "");

    // A row start just after a lone CR: an LF stored there later makes a
    // line break across it.
    setText(std::string(79, 'a') + "\rbbbb");
    positionToRowColumn(S.textStart + 81, &row, &column);
    insertText(S.textStart + 80, "\n", 1);
    EXPECT_EQ(mappingDisagrees(), "");
}

TEST_F(Equivalence, A256KPasteOutsideAReadGivesTheSameTranscriptAsTypingIt)
{
    // Lines of every length, some wider than the window, tabs, a backspace
    // now and then, and a few long unbroken runs.
    std::string pasted;
    for (int i = 0; pasted.size() < 256 * 1024; i++) {
        pasted += std::string(static_cast<size_t>(i * 37 % 150), static_cast<char>('a' + i % 26));
        pasted += i % 7 == 0 ? "\t" : i % 11 == 0 ? "\b" : "";
        pasted += i % 97 == 0 ? std::string(6000, 'L') : "";
        pasted += "\r\n";
    }
    pasted.resize(256 * 1024);
    // Caret at the end of the text, and inside it a few lines above the end.
    for (int linesUp : {0, 5}) {
        std::string results[2];
        for (PasteBy by : {byCommand, byTyping}) {
            restart(consoleTranscriptSize);
            for (int i = 0; i < 600; i++) {
                write("output line " + std::to_string(i) + std::string(static_cast<size_t>(i % 90), '.') + "\r\n");
            }
            caretRow = S.lastRow - linesUp;
            caretColumn = linesUp ? 7 : 0;
            paste(pasted, by);
            hlPump();
            results[by] = text().substr(0, 64) + "\n" + snapshot();
        }
        EXPECT_EQ(results[byCommand], results[byTyping]) << "caret " << linesUp << " lines above the end";
    }
}

}  // namespace
