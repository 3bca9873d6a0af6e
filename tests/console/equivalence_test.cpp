// The transcript's short cuts against what they stand for: text pasted while
// no reader waits against the same bytes typed one WM_CHAR at a time, a
// transcript block with slack against one without, and the row mapping
// against a walk from the start of the text.  Seeded sessions of output,
// typing, edits, cuts, reads and pastes fill the transcript many times over;
// everything the console holds and shows is compared after every step.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "commands_fixture.h"
#include "runtime/runtime.h"
#include "walked_rows.h"

namespace {

using commandsTest::ConsoleWindow;
ConsoleStateRecord& S = ConsoleState;

struct interrupted {};
void onInterrupt(int)
{
    rt_signal(RT_SIGINT, onInterrupt);   // a handler fires once per registration
    throw interrupted{};
}

enum PasteBy { byCommand, byTyping };

class Equivalence : public ConsoleWindow {
protected:
    void TearDown() override
    {
        rt_signal(RT_SIGINT, RT_SIG_DFL);
        ConsoleWindow::TearDown();
    }

    // A new console window over a transcript block of blockSize bytes.
    void restart(int32_t blockSize)
    {
        ConsoleWindow::SetUp();
        initConsoleState(commandsTest::transcript, commandsTest::pendingInput, SW_SHOWDEFAULT, blockSize);
        S.windowShown = 1;
        pwPump();
        rt_signal(RT_SIGINT, onInterrupt);
    }

    void write(const std::string& bytes) { consoleWriteHook(bytes.data(), static_cast<uint32_t>(bytes.size())); }
    void key(char c) { plSendMessage(window, WM_CHAR, static_cast<unsigned char>(c), 0); }

    // The paste command, or the bytes it would deliver typed one at a time.
    void paste(const std::string& text, PasteBy by)
    {
        hlSetClipboardText(text.c_str());
        if (by == byCommand) {
            plSendMessage(window, WM_COMMAND, commandPaste, 0);
            return;
        }
        std::string typed;   // every CR LF turned into a CR
        for (const char* p = hlClipboardText(); *p; p++) {
            if (!(*p == '\n' && !typed.empty() && typed.back() == '\r')) {
                typed += *p;
            }
        }
        for (char c : typed) {
            key(c);
        }
    }

    // Everything the console holds and shows; the text by its hash and end.
    std::string snapshot()
    {
        const std::string all = text();
        const auto at = [](const char* p) { return p ? p - S.textStart : -1; };
        const hlCaretInfo caret = hlCaret();
        const hlScrollInfo bar = hlScrollBar(window, SB_VERT);
        const char* clipboard = hlClipboardText();
        std::ostringstream s;
        s << all.size() << " #" << std::hash<std::string>{}(all) << " ..." << all.substr(all.size() > 40 ? all.size() - 40 : 0)
          << "\nrows " << S.lastRow << " " << rowFill << " " << lineWraps << " caret " << caretRow << ","
          << caretColumn << " top " << S.topRow << " view " << at(S.viewStart) << " selection "
          << at(S.selAnchor) << "," << at(S.selStart) << "," << at(S.selEnd) << " draw " << S.drawRow << ","
          << S.drawColumn << " flags " << S.reading << S.lineReady << S.modified << keepView << endOfInput
          << " pending " << pending() << " beeps " << hlBeepCount() << " bar " << bar.maximum << ","
          << bar.position << " caret " << caret.x << "," << caret.y << "," << (caret.exists && caret.shown)
          << " clipboard " << std::hash<std::string>{}(clipboard ? clipboard : "") << "\n";
        for (int row = 0; row < hlSurfaceRows(window); row++) {
            s << "|" << hlRowText(window, row) << "|\n";
        }
        return s.str();
    }

    // The row mapping against the walk: the end of the text, the caret's row
    // and random positions and rows.  "" when they agree.
    std::string mappingDisagrees()
    {
        const size_t length = static_cast<size_t>(S.textEnd - S.textStart);
        for (int probe = 0; probe < 4; probe++) {
            const size_t p = probe == 0 ? length : probes() % (length + 1);
            int32_t row = -1;
            int32_t column = -1;
            positionToRowColumn(S.textStart + p, &row, &column);
            int64_t walkedRow = 0;
            int64_t walkedColumn = 0;
            walkedRows::walkedRowColumn(p, &walkedRow, &walkedColumn);
            const int64_t r = probe == 1 ? caretRow : static_cast<int64_t>(probes() % (S.lastRow + 3u)) - 1;
            const int32_t c = probe < 2 ? 0 : static_cast<int32_t>(probes() % 90);
            const size_t found = static_cast<size_t>(rowColumnToPosition(static_cast<int32_t>(r), c) - S.textStart);
            if (row != walkedRow || column != walkedColumn || found != walkedRows::walkedPosition(r, c)) {
                std::ostringstream s;
                s << "position " << p << " maps to " << row << "," << column << " (walked " << walkedRow << ","
                  << walkedColumn << "); row " << r << " column " << c << " to " << found << " (walked "
                  << walkedRows::walkedPosition(r, c) << ")";
                return s.str();
            }
        }
        return "";
    }

    int pick(int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<uint32_t>(hi - lo + 1)); }
    bool chance(int percent) { return pick(1, 100) <= percent; }

    // Line breaks of every kind, control characters, rows of exactly the row
    // width, long unbroken runs, any byte; now and then tens of kilobytes.
    std::string randomText()
    {
        static const char* const pieces[] = {"\r\n", "\r", "\n", "\b", "\t", "\f", "\a", "\r\n\r\n", "\b\b\b",
                                             "\x04", "\x1a", "\x01"};
        std::string text;
        for (int parts = chance(3) ? pick(200, 900) : pick(1, 14); parts > 0; parts--) {
            switch (pick(0, 6)) {
            case 0:
                text += pieces[pick(0, 11)];
                break;
            case 1:
                text += std::string(static_cast<size_t>(pick(20, 130)), static_cast<char>(pick('a', 'z'))) + "\r\n";
                break;
            case 2:
                text += std::string(static_cast<size_t>(walkedRows::width()), 'W') + "\r\n";
                break;
            case 3:
                text += std::string(static_cast<size_t>(chance(5) ? pick(2000, 9000) : pick(100, 400)), 'u');
                break;
            case 4:
                text += static_cast<char>(pick(1, 255));
                break;
            default:
                text += std::string(static_cast<size_t>(pick(1, 12)), static_cast<char>(pick(' ', '~')));
                break;
            }
        }
        return text;
    }

    // One step of a session; its name.
    std::string step(PasteBy by)
    {
        const int roll = pick(0, 19);
        if (roll < 5) {
            write(randomText());
            return "write";
        }
        if (roll < 11) {
            std::string text = randomText();
            if (chance(3)) {
                text.insert(static_cast<size_t>(pick(0, static_cast<int>(text.size()))), 1, '\x03');   // Ctrl+C
            }
            paste(text, by);
            return "paste";
        }
        switch (roll) {
        case 11:
        case 12:
            for (int n = pick(1, 10); n > 0; n--) {
                key("\b\t\r\n\x1a\axy \xe9"[pick(0, 9)]);
            }
            return "type";
        case 13:
        case 14:
            caretRow = pick(0, S.lastRow + 2);
            caretColumn = pick(0, chance(80) ? 40 : 200);
            return "caret";
        case 15: {
            const int length = static_cast<int>(S.textEnd - S.textStart);
            const int from = pick(0, length);
            select(static_cast<size_t>(from), static_cast<size_t>(pick(from, length)));
            S.selEnd = chance(30) ? nullptr : S.selEnd;   // a drag just begun
            return "select";
        }
        case 16:
            plSendMessage(window, WM_COMMAND, chance(50) ? commandCut : commandCopy, 0);
            return "cut or copy";
        case 17:
            // A reader waits (left waiting, as after an abandoned read), or
            // takes the line typed.
            if (!S.reading || chance(50)) {
                S.reading = 1;
            } else {
                S.inputRead = S.inputEnd = S.inputStart;
                S.lineReady = S.reading = 0;
            }
            return "read";
        case 18:
            if (chance(4)) {
                // The rows counted fall behind the text (as when a new font
                // narrows the rows): typing may then jump to the end.
                S.lastRow = S.lastRow > 40 ? S.lastRow - pick(1, 40) : 0;
                return "rows behind";
            }
            pwScroll(window, pick(0, 7), pick(0, S.lastRow + 5));
            return "scroll";
        default:
            if (chance(50)) {
                pwResize(window, pick(10, 1300), pick(20, 500));
            } else {
                ConsoleSettings.tabWidth = static_cast<int16_t>(pick(0, 8));
            }
            return "resize or tabs";
        }
    }

    // What the console holds after each step of a session from seed.  The
    // row mapping is held against the walk in the session that pastes with
    // slack.
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
            pwPump();
            if (blockSize == consoleTranscriptSize && by == byCommand) {
                const std::string why = mappingDisagrees();
                EXPECT_EQ(why, "") << "seed " << seed << ", step " << i << " (" << name << ")";
            }
            trace.push_back(name + "\n" + snapshot());
        }
        return trace;
    }

    std::mt19937 rng;
    std::mt19937 probes;
};

TEST_F(Equivalence, SessionsWithPasteAndSlackEqualTypingAndMovingTheText)
{
    for (uint32_t seed : {7u, 2024u}) {
        const std::vector<std::string> fast = session(seed, 450, consoleTranscriptSize, byCommand);
        const std::vector<std::string> typed = session(seed, 450, consoleTranscriptSize, byTyping);
        const std::vector<std::string> moved = session(seed, 450, consoleCapacity, byCommand);
        for (size_t i = 0; i < fast.size(); i++) {
            ASSERT_EQ(fast[i], typed[i]) << "pasted against typed, seed " << seed << ", after step " << i;
            ASSERT_EQ(fast[i], moved[i]) << "with slack against without, seed " << seed << ", after step " << i;
        }
    }
}

TEST_F(Equivalence, TheRowMappingForgetsRowsWhoseTextBeforeThemChanged)
{
    // The mapping remembers a row start inside a long last line; a lone CR
    // cuts the line back before it, and it is written again with line breaks.
    write(std::string(200, 'a'));
    int32_t row = 0;
    int32_t column = 0;
    positionToRowColumn(S.textEnd, &row, &column);
    write("\rab\r\ncd\r\n" + std::string(300, 'b'));
    EXPECT_EQ(mappingDisagrees(), "");

    // A row start just after a lone CR, where an LF is stored later.
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
        pasted += std::string(i % 97 == 0 ? 6000 : 0, 'L') + "\r\n";
    }
    pasted.resize(256 * 1024);
    // The caret at the end of a full transcript, and a few lines above it.
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
            pwPump();
            results[by] = text() + "\n" + snapshot();
        }
        EXPECT_EQ(results[byCommand], results[byTyping]) << "caret " << linesUp << " lines above the end";
    }
}

}  // namespace
