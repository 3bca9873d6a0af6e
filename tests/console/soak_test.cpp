// A seeded soak of the console window: thousands of random writes, keys,
// mouse and scroll-bar actions, resizes, focus changes, menu commands,
// settings changes and reads, with the state's invariants checked after each
// one.  A failure names the seed, the step and the last actions taken, so
// the run can be replayed.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "commands_fixture.h"
#include "runtime/runtime.h"

namespace {

using commandsTest::ConsoleWindow;
ConsoleStateRecord& S = ConsoleState;

std::mt19937 rng;
// A whole number from lo to hi, both included.
int pick(int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<uint32_t>(hi - lo + 1)); }
bool chance(int percent) { return pick(1, 100) <= percent; }

// Thrown by the window system's failure handler (a wait with nothing left to
// deliver, a box nobody answers) and by a check inside a read.
struct stopRun {
    std::string reason;
};
void failByThrowing(const char* reason) { throw stopRun{std::string("window system: ") + reason}; }

void answerBoxes(hlAnswerKind kind)
{
    if (kind == hlAnswerBox) {
        hlQueueBoxAnswer(IDOK);
    }
}

// Thrown by the interrupt handler now and then while a reader waits: the
// application leaves the read, which stays marked as waiting (reading set),
// so later typing still goes to the pending line.
struct readAbandoned {};
bool inRead;

void onInterrupt(int)
{
    rt_signal(RT_SIGINT, onInterrupt);   // a handler fires once per registration
    if (inRead && chance(20)) {
        throw readAbandoned{};
    }
}

// Random text for output and the clipboard: a few pieces, or (large) some
// hundreds, tens of kilobytes.
std::string randomText(bool large)
{
    static const char* const pieces[] = {"\r\n", "\r", "\n", "\b", "\t", "\f", "\a", " ", "\r\n\r\n", "\b\b\b"};
    std::string text;
    const int parts = large ? pick(100, 700) : pick(1, 12);
    for (int i = 0; i < parts; i++) {
        switch (pick(0, 5)) {
        case 0:
            text += pieces[pick(0, 9)];
            break;
        case 1:
            text += std::string(static_cast<size_t>(pick(60, 400)), static_cast<char>(pick('a', 'z')));
            break;
        case 2:
            text += static_cast<char>(pick(0, 255));
            break;
        default:
            for (int n = pick(1, 12); n > 0; n--) {
                text += static_cast<char>(pick(' ', '~'));
            }
            break;
        }
    }
    return text;
}

// Characters typed at the keyboard: mostly printable, with the editing and
// control keys among them.
char randomKey()
{
    static const char keys[] = {'\b', '\t', '\r', '\n', '\x03', '\x1a', '\x04', '\a', '\x01', '\x7f', '\xe9'};
    return chance(70) ? static_cast<char>(pick(' ', '~')) : keys[pick(0, sizeof keys - 1)];
}

// A pixel coordinate: mostly over the client area, sometimes just outside it,
// negative, or far beyond what 16 bits hold.
int randomPixel(int extent)
{
    switch (pick(0, 5)) {
    case 0:
        return pick(-40, -1);
    case 1:
        return extent + pick(0, 200);
    case 2:
        return pick(-70000, 70000);
    default:
        return pick(0, extent > 0 ? extent : 0);
    }
}

// What the pending line should hold while a reader waits, kept beside the
// real one as each typed character is handled.
struct PendingModel {
    std::string line;
    bool ended = false;

    // c as handled with or without a selection present (Backspace then
    // deletes only the selection).
    void type(char c, bool selection)
    {
        switch (c) {
        case '\x03':
            break;   // interrupts, never reaches the line
        case '\x04':
        case '\x1a':
            ended = true;
            break;
        case '\b':
            if (!selection && !line.empty() && line.back() != '\n') {
                line.pop_back();
            }
            break;
        case '\r':
            if (line.size() + 2 <= consoleInputSize) {
                line += "\r\n";
            }
            break;
        default:
            if (line.size() < consoleInputLimit) {
                line += c;
            }
            break;
        }
    }
};

class Soak;
Soak* running;   // the test whose reader the idle handler feeds
int idleHandler();

class Soak : public ConsoleWindow {
protected:
    void SetUp() override
    {
        ConsoleWindow::SetUp();
        hlSetFailureHandler(failByThrowing);
        hlSetAnswerHandler(answerBoxes);
        rt_signal(RT_SIGINT, onInterrupt);
        inRead = false;
        pressRow = -1;
        pressColumn = -1;
        running = this;
    }
    void TearDown() override
    {
        hlSetIdleHandler(nullptr);
        rt_signal(RT_SIGINT, RT_SIG_DFL);
        ConsoleSettings = {0, 1, 4, "Courier", 10};
        running = nullptr;
        ConsoleWindow::TearDown();
    }

public:
    int width() const { return hlClientWidth(window); }
    int height() const { return hlClientHeight(window); }

    // The user's actions: posted (or sent) only, never pumped here, so that
    // they serve both between writes and while a reader waits.
    void typeKeys()
    {
        std::string keys;
        for (int n = pick(1, 20); n > 0; n--) {
            keys += randomKey();
        }
        pwType(window, keys.data(), keys.size());
    }
    void navigationKey()
    {
        static const uint32_t keys[] = {VK_PRIOR, VK_NEXT, VK_HOME, VK_END, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_F4};
        pwPostKey(window, keys[pick(0, 8)]);
    }
    void mouse()
    {
        const int x = randomPixel(width());
        const int y = randomPixel(height());
        switch (pick(0, 4)) {
        case 0:
            pwMouseDown(window, x, y, 0);
            break;
        case 1:
            pwMouseDown(window, x, y, 1);
            break;
        case 2:
            pwMouseUp(window, x, y);
            break;
        default:
            pwMouseMove(window, x, y, chance(80));
            break;
        }
    }
    void drag()
    {
        pwMouseDown(window, randomPixel(width()), randomPixel(height()), chance(20));
        for (int n = pick(1, 6); n > 0; n--) {
            pwMouseMove(window, randomPixel(width()), randomPixel(height()), 1);
        }
        pwMouseUp(window, randomPixel(width()), randomPixel(height()));
    }
    void scroll()
    {
        const int position = chance(50) ? pick(0, S.lastRow + 10) : pick(0, 0xFFFF);
        pwScroll(window, pick(0, 8), position);
    }
    void resize()
    {
        switch (pick(0, 3)) {
        case 0:
            pwResize(window, pick(0, 30), pick(0, 40));   // tiny, down to nothing
            break;
        case 1:
            pwResize(window, pick(0, 70000), pick(0, 70000));
            break;
        default:
            pwResize(window, pick(20, 1200), pick(20, 900));
            break;
        }
        resized = true;
    }
    void focus() { pwFocus(chance(60) ? window : nullptr); }
    void menu()
    {
        static const uint16_t commands[] = {commandSelectAll, commandCopy, commandCut, commandPaste};
        const uint16_t id = commands[pick(0, 3)];
        // Pasting is typing, a character at a time: keep it short (what
        // Copy took from a large selection is replaced).
        const char* held = hlClipboardText();
        if (id == commandPaste && (chance(60) || (held && std::strlen(held) > 400))) {
            hlSetClipboardText(chance(10) ? nullptr : randomText(false).substr(0, 400).c_str());
        }
        pwChooseMenuItem(window, id);
    }
    // Print, answering the dialog: the whole transcript or a page range.  A
    // box that follows ("nothing to print") is answered OK by answerBoxes.
    void print()
    {
        hlPrintAnswer answer = hlPrintOk();
        answer.copies = pick(0, 2);
        if (chance(30)) {
            answer.fromPage = pick(0, 3);
            answer.toPage = pick(0, 4);
        }
        hlQueuePrintAnswer(answer);
        pwChooseMenuItem(window, commandPrint);
    }
    void settings()
    {
        static const int16_t tabs[] = {0, 1, 2, 3, 4, 8, 13, 100, -4};
        static const int16_t sizes[] = {10, 1, 8, 12, 24, 72, 0, -12};
        if (chance(50)) {
            ConsoleSettings.tabWidth = tabs[pick(0, 8)];
        } else {
            ConsoleSettings.fontSize = sizes[pick(0, 7)];
        }
    }
    // Input other than typing, which a reader's model would have to follow.
    void otherInput()
    {
        switch (pick(0, 4)) {
        case 0:
            navigationKey();
            break;
        case 1:
            mouse();
            break;
        case 2:
            scroll();
            break;
        case 3:
            resize();
            break;
        default:
            settings();
            break;
        }
    }

    // Output from the application, small or a burst of tens of kilobytes.
    void write()
    {
        const std::string text = randomText(chance(2));
        consoleWriteHook(text.data(), static_cast<uint32_t>(text.size()));
    }

    // A reader waits for a line; the idle handler types it one character at
    // a time, mixed with other input, and ends it with Enter or Ctrl+Z.
    void read()
    {
        // What an abandoned read left pending is handed over first.
        ASSERT_EQ(S.inputRead, S.inputStart);
        model = PendingModel{};
        model.line.assign(S.inputStart, S.inputEnd);
        model.ended = endOfInput;
        const bool leftWaiting = S.reading;
        feedsLeft = chance(5) ? pick(500, 600) : pick(0, 40);   // now and then past the line's limit
        hlSetIdleHandler(idleHandler);
        std::string delivered;
        char buffer[consoleInputSize];
        const uint32_t capacity = static_cast<uint32_t>(pick(1, consoleInputSize));
        inRead = true;
        try {
            do {
                uint32_t count = 0;
                ASSERT_EQ(consoleReadHook(buffer, capacity, &count), 1);
                ASSERT_LE(count, capacity);
                delivered.append(buffer, count);
                if (count == 0) {
                    break;
                }
            } while (S.lineReady);
        } catch (const readAbandoned&) {
            inRead = false;
            hlSetIdleHandler(nullptr);
            return;
        }
        inRead = false;
        hlSetIdleHandler(nullptr);
        EXPECT_EQ(delivered, model.line) << "the line handed to the reader";
        if (!leftWaiting) {
            EXPECT_FALSE(S.reading);
        }
        if (model.ended) {
            // End of input is final: a further read hands over nothing at once.
            uint32_t count = 7;
            EXPECT_EQ(consoleReadHook(buffer, capacity, &count), 1);
            EXPECT_EQ(count, 0u);
            endOfInput = 0;   // a fresh input for the reads still to come
        }
    }
    int feed()
    {
        if (std::string why = invariantBroken(1); !why.empty()) {
            throw stopRun{"during a read: " + why};
        }
        if (feedsLeft < 0) {
            return 0;
        }
        if (feedsLeft-- == 0) {
            const char end = chance(80) ? '\r' : '\x1a';
            model.type(end, false);
            pwPostChar(window, static_cast<unsigned char>(end));
            return 1;
        }
        if (chance(25)) {
            otherInput();
            return 1;
        }
        char c = randomKey();
        if (c == '\r' || c == '\x1a' || c == '\x04') {
            c = 'x';   // only the last character ends the line
        }
        model.type(c, S.selStart && S.selEnd);
        pwPostChar(window, static_cast<unsigned char>(c));
        return 1;
    }

    // The first invariant the state breaks, or "".  Round trips are tried
    // from that many random positions.
    std::string invariantBroken(int roundTrips = 4)
    {
        const auto within = [](const char* p) { return p >= S.textStart && p <= S.textEnd; };
        if (!(S.textStart <= S.viewStart && S.viewStart <= S.textEnd)) return "viewStart outside the text";
        if (!(S.textEnd - S.textStart < S.capacity)) return "the transcript fills its buffer";
        if (S.selStart && !within(S.selStart)) return "selStart outside the text";
        if (S.selEnd && !within(S.selEnd)) return "selEnd outside the text";
        if (S.selAnchor && !within(S.selAnchor)) return "selAnchor outside the text";
        if (S.selStart && S.selEnd && S.selStart > S.selEnd) return "selStart after selEnd";
        if (!(S.inputStart <= S.inputRead && S.inputRead <= S.inputEnd &&
              S.inputEnd <= S.inputStart + consoleInputSize)) {
            return "pending-input positions out of order";
        }
        if (S.screenColumns < 1 || S.screenRows < 1) return "no rows or columns on the screen";
        if (S.topRow < 0) return "topRow negative";
        if (caretRow < 0 || caretColumn < 0) return "caret at a negative row or column";
        // Rows are counted as the text grows and recounted as it shrinks, so
        // the count never falls behind the rows the text takes (a lone LF is
        // drawn as a new row and may count one more).
        if (S.lastRow < countRows()) {
            return "lastRow " + std::to_string(S.lastRow) + " below the rows counted, " + std::to_string(countRows());
        }
        for (int i = 0; i < roundTrips; i++) {
            // Any position but the middle of a line break maps to a row and a
            // column and back to itself.
            char* p = S.textStart + pick(0, static_cast<int>(S.textEnd - S.textStart));
            if (p > S.textStart && p < S.textEnd && p[-1] == '\r' && p[0] == '\n') {
                continue;
            }
            int32_t row = -1;
            int32_t column = -1;
            positionToRowColumn(p, &row, &column);
            if (rowColumnToPosition(row, column) != p) {
                return "position " + std::to_string(p - S.textStart) + " maps to row " + std::to_string(row) +
                       " column " + std::to_string(column) + " and back to " +
                       std::to_string(rowColumnToPosition(row, column) - S.textStart) + " (lastRow " +
                       std::to_string(S.lastRow) + ", rows counted " + std::to_string(countRows()) + ")";
            }
        }
        if (resized && S.lastRow != countRows()) {
            resized = false;
            return "lastRow " + std::to_string(S.lastRow) + " after a resize, rows counted " +
                   std::to_string(countRows());
        }
        resized = false;
        return "";
    }

    void soak(uint32_t seed, int steps)
    {
        struct Action {
            const char* name;
            int weight;
            void (Soak::*run)();
        };
        static const Action actions[] = {
            {"write", 20, &Soak::write},       {"type", 16, &Soak::typeKeys}, {"key", 10, &Soak::navigationKey},
            {"mouse", 12, &Soak::mouse},       {"drag", 4, &Soak::drag},      {"scroll", 8, &Soak::scroll},
            {"resize", 4, &Soak::resize},      {"focus", 3, &Soak::focus},    {"menu", 8, &Soak::menu},
            {"settings", 3, &Soak::settings}, {"read", 4, &Soak::read},      {"print", 1, &Soak::print},
        };
        int total = 0;
        for (const Action& action : actions) {
            total += action.weight;
        }
        rng.seed(seed);
        std::string trail;   // the last actions taken, for the failure message
        for (int step = 0; step < steps; step++) {
            int roll = pick(0, total - 1);
            const Action* action = actions;
            while (roll >= action->weight) {
                roll -= action->weight;
                action++;
            }
            trail = (trail.size() > 300 ? trail.substr(trail.size() - 300) : trail) + " " + action->name;
            resized = false;
            std::string why;
            try {
                (this->*action->run)();
                pwPump();
                why = invariantBroken();
            } catch (const stopRun& stop) {
                why = stop.reason;
            }
            if (!why.empty() || HasFailure()) {
                FAIL() << "seed " << seed << ", step " << step << " (" << action->name << "): " << why
                       << "\nlast actions:" << trail;
            }
        }
    }

    PendingModel model;
    int feedsLeft = 0;
    bool resized = false;
};

int idleHandler() { return running ? running->feed() : 0; }

TEST_F(Soak, RandomActionsKeepTheConsoleStateSound)
{
    soak(20240611, 3000);
}

}  // namespace
