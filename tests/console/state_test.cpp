// The transcript primitives: discarding, deleting, inserting and the row
// mapping, on the buffers alone (no window).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "console/console.h"

namespace {

char transcript[consoleCapacity];
char pendingInput[consoleInputSize];
ConsoleStateRecord& S = ConsoleState;

class Transcript : public ::testing::Test {
protected:
    void SetUp() override
    {
        ConsoleState = {};
        consoleWindow = nullptr;
        cellWidth = 8;
        cellHeight = 16;
        std::memset(transcript, '#', sizeof transcript);
        initConsoleState(transcript, pendingInput, 10);
    }

    // Puts text in the transcript as it stands, with lastRow counted.
    static void setText(const std::string& text)
    {
        ASSERT_LT(text.size(), static_cast<size_t>(consoleCapacity));
        std::memcpy(S.textStart, text.data(), text.size());
        S.textEnd = S.textStart + text.size();
        S.lastRow = countRows();
    }

    static std::string text() { return std::string(S.textStart, S.textEnd); }
    static int32_t used() { return static_cast<int32_t>(S.textEnd - S.textStart); }

    // Appends through openGap, as output and typing store text; the rows the
    // new text takes are counted as the storing code counts them.
    static void append(const std::string& bytes)
    {
        char* gap = openGap(S.textEnd, static_cast<int32_t>(bytes.size()));
        ASSERT_NE(gap, nullptr);
        std::memcpy(gap, bytes.data(), bytes.size());
        S.lastRow = countRows();
    }

    static int32_t rowOf(const char* position)
    {
        int32_t row = -1;
        int32_t column = -1;
        positionToRowColumn(position, &row, &column);
        return row;
    }
    static int32_t columnOf(const char* position)
    {
        int32_t row = -1;
        int32_t column = -1;
        positionToRowColumn(position, &row, &column);
        return column;
    }
};

// ---------------------------------------------------------------------------
// Initial state.

TEST_F(Transcript, InitialValuesAndSettingsDefaults)
{
    EXPECT_EQ(S.viewStart, transcript);
    EXPECT_EQ(S.textEnd, transcript);
    EXPECT_EQ(S.inputRead, pendingInput);
    EXPECT_EQ(S.inputEnd, pendingInput);
    EXPECT_EQ(S.selStart, nullptr);
    EXPECT_EQ(S.screenRows, 24);
    EXPECT_EQ(S.screenColumns, 80);
    EXPECT_EQ(S.showCommand, 10);
    EXPECT_EQ(S.capacity, 32768);
    EXPECT_EQ(S.lastRow, 0);
    EXPECT_EQ(ConsoleSettings.autoClose, 0);
    EXPECT_EQ(ConsoleSettings.askToSave, 1);
    EXPECT_EQ(ConsoleSettings.tabWidth, 4);
    EXPECT_STREQ(ConsoleSettings.fontName, "Courier");
    EXPECT_EQ(ConsoleSettings.fontSize, 10);
    EXPECT_EQ(sizeof(ConsoleStateRecord), 9 * sizeof(char*) + 14 * sizeof(int32_t));
}

// ---------------------------------------------------------------------------
// Discarding old text.

TEST_F(Transcript, MakeRoomDoesNothingWhileThereIsRoom)
{
    setText(std::string(consoleCapacity - 3, 'x'));
    EXPECT_EQ(makeRoom(1), 0);  // 32765 + 1 + 1 < 32768
    EXPECT_EQ(used(), consoleCapacity - 3);
}

TEST_F(Transcript, WritingForeverKeepsTheBoundAndDropsWholeOldestLines)
{
    char line[32];
    for (int i = 0; i < 5000; i++) {
        std::snprintf(line, sizeof line, "line %05d\r\n", i);
        for (const char* p = line; *p; p++) {
            *S.textEnd++ = *p;  // store, then make room, as output does
            makeRoom(1);
            ASSERT_LT(used(), consoleCapacity);
        }
    }
    const std::string all = text();
    EXPECT_EQ(all.compare(0, 5, "line "), 0);  // starts with a whole line
    EXPECT_EQ(all.substr(all.size() - 12), "line 04999\r\n");
    const int first = std::atoi(all.c_str() + 5);
    EXPECT_EQ(all.size(), static_cast<size_t>(5000 - first) * 12);  // nothing lost in between
}

TEST_F(Transcript, MakeRoomCutsThroughTheFirstBreakAfterTheRoomNeeded)
{
    std::string t = "ab\r\ncd\r\n";
    t += std::string(consoleCapacity - 2 - t.size(), 'x');  // 32766 bytes
    setText(t);
    const int32_t rows = S.lastRow;
    // n = 1: the break must begin at or after offset 2, which "ab\r\n" does.
    EXPECT_EQ(makeRoom(1), 4);
    EXPECT_EQ(text().substr(0, 4), "cd\r\n");
    EXPECT_EQ(S.lastRow, rows - 1);
    // n = 3: the break at offset 2 is too early; the cut goes through the next one.
    S.textEnd = S.textStart;
    setText(t);
    EXPECT_EQ(makeRoom(3), 8);
    EXPECT_EQ(text(), std::string(consoleCapacity - 10, 'x'));
}

TEST_F(Transcript, MakeRoomCutsJustAfterABreakThatStraddlesTheMinimumCut)
{
    std::string t = "a\r\n" + std::string(consoleCapacity - 5, 'x');  // 32766 bytes
    setText(t);
    EXPECT_EQ(makeRoom(1), 3);
    EXPECT_EQ(text(), std::string(consoleCapacity - 5, 'x'));
    EXPECT_EQ(S.lastRow, countRows());
}

TEST_F(Transcript, MakeRoomWithoutAnyBreakCutsWholeDisplayRows)
{
    setText(std::string(consoleCapacity - 2, 'x'));
    const int32_t rows = S.lastRow;
    EXPECT_EQ(makeRoom(1), 80);  // one display row of 80 columns
    EXPECT_EQ(S.lastRow, rows - 1);
    EXPECT_EQ(S.lastRow, countRows());
    EXPECT_LT(used() + 1 + 1, consoleCapacity);

    S.screenColumns = 7;
    setText("12\r\n" + std::string(consoleCapacity - 6, 'x'));
    // At least n + 1 = 101 bytes; the tail starts at offset 4, so 4 + 14 rows of 7.
    EXPECT_EQ(makeRoom(100), 4 + 14 * 7);
    EXPECT_EQ(S.lastRow, countRows());
    EXPECT_LT(used() + 100 + 1, consoleCapacity);
}

TEST_F(Transcript, MakeRoomForMoreThanTheBufferEmptiesIt)
{
    setText("abc\r\ndef");
    EXPECT_EQ(makeRoom(consoleCapacity), 8);
    EXPECT_EQ(used(), 0);
    EXPECT_EQ(S.lastRow, 0);
    EXPECT_EQ(makeRoom(-5), 0);  // a negative count asks for nothing
}

TEST_F(Transcript, DiscardingWrappedLinesKeepsLastRowExact)
{
    // Lines of 200 characters wrap twice at 80 columns; discarding them must
    // take their wrapped rows off lastRow too, or the view drifts past the text.
    const std::string line = std::string(200, 'w') + "\r\n";
    for (int i = 0; i < 400; i++) {
        append(line);
        ASSERT_EQ(S.lastRow, countRows());
    }
    EXPECT_LT(used(), consoleCapacity);
    EXPECT_EQ(S.lastRow, (used() / 202) * 3);
}

TEST_F(Transcript, DiscardingMovesHeldPositionsBackAndDropsADiscardedSelection)
{
    std::string t;
    for (int i = 0; t.size() < static_cast<size_t>(consoleCapacity - 20); i++) {
        t += "0123456789abcdef\r\n";
    }
    t.resize(consoleCapacity - 2);
    setText(t);
    char* old = S.textStart;
    S.viewStart = old + 5;      // in the first line, which goes
    S.selAnchor = old + 40;     // kept text
    S.selStart = old + 2;
    S.selEnd = old + 10;        // the whole selection goes
    const int32_t cut = makeRoom(1);
    ASSERT_EQ(cut, 18);
    EXPECT_EQ(S.viewStart, S.textStart);
    EXPECT_EQ(S.selStart, nullptr);
    EXPECT_EQ(S.selEnd, nullptr);
    EXPECT_EQ(S.selAnchor, nullptr);

    setText(t);
    S.selStart = S.textStart + 4;
    S.selEnd = S.textStart + 40;  // part of it stays
    S.viewStart = S.textStart + 36;
    ASSERT_EQ(makeRoom(1), 18);
    EXPECT_EQ(S.selStart, S.textStart);
    EXPECT_EQ(S.selEnd, S.textStart + 22);
    EXPECT_EQ(S.viewStart, S.textStart + 18);
}

// ---------------------------------------------------------------------------
// Deleting.

TEST_F(Transcript, DeletingBeforeALineBreakRemovesOnlyThatCharacter)
{
    setText("abc\r\ndef");
    deleteText(S.textStart + 2, 1);
    EXPECT_EQ(text(), "ab\r\ndef");
    EXPECT_EQ(S.lastRow, 1);
}

TEST_F(Transcript, DeletingTheCarriageReturnOfAPairTakesTheLineFeed)
{
    setText("abc\r\ndef\r\ng");
    deleteText(S.textStart + 3, 1);
    EXPECT_EQ(text(), "abcdef\r\ng");
    EXPECT_EQ(S.lastRow, 1);
}

TEST_F(Transcript, DeletingARangeCountsEachWholePairAsOneCharacter)
{
    setText("xx12\r\n34\r\n5yy");
    char* from = S.textStart + 2;
    const int32_t length = 9;  // "12\r\n34\r\n5" holds two whole pairs
    deleteText(from, length - 2);
    EXPECT_EQ(text(), "xxyy");
    EXPECT_EQ(S.lastRow, 0);
}

TEST_F(Transcript, DeletingNeverRunsPastTheEnd)
{
    setText("abc\r\nde");
    deleteText(S.textStart + 3, 1000);
    EXPECT_EQ(text(), "abc");
    EXPECT_EQ(S.lastRow, 0);
    deleteText(S.textEnd, 1);        // at the end: nothing to delete
    deleteText(S.textStart - 1, 1);  // outside the text
    deleteText(nullptr, 1);
    deleteText(S.textStart, 0);
    deleteText(S.textStart, -3);
    EXPECT_EQ(text(), "abc");
}

TEST_F(Transcript, DeletingKeepsLastRowRightWhenWrappingChanges)
{
    const std::string fifty(50, 'a');
    setText(fifty + "\r\n" + fifty + "\r\n" + "z");
    ASSERT_EQ(S.lastRow, 2);
    deleteText(S.textStart + 50, 1);  // the lines join into one of 100: still two rows
    EXPECT_EQ(S.lastRow, 2);
    EXPECT_EQ(S.lastRow, countRows());
    setText(std::string(80, 'b') + "\r\nc");  // 80 characters take two rows
    ASSERT_EQ(S.lastRow, 2);
    deleteText(S.textStart, 1);
    EXPECT_EQ(S.lastRow, 1);
    // Removing a character between a CR and an LF makes them a pair.
    setText("ab\rX\ncd");
    ASSERT_EQ(S.lastRow, 0);
    deleteText(S.textStart + 3, 1);
    EXPECT_EQ(S.lastRow, 1);
    EXPECT_EQ(S.lastRow, countRows());
}

TEST_F(Transcript, DeletingMovesHeldPositionsWithTheirText)
{
    setText("0123456789");
    S.viewStart = S.textStart + 8;
    S.selStart = S.textStart + 3;
    S.selEnd = S.textStart + 5;
    S.selAnchor = S.textEnd;
    deleteText(S.textStart + 2, 4);  // removes 2345
    EXPECT_EQ(text(), "016789");
    EXPECT_EQ(S.viewStart, S.textStart + 4);  // still on '8'
    EXPECT_EQ(S.selStart, S.textStart + 2);   // its text went: to the cut
    EXPECT_EQ(S.selEnd, S.textStart + 2);
    EXPECT_EQ(S.selAnchor, S.textEnd);
}

// ---------------------------------------------------------------------------
// Inserting.

TEST_F(Transcript, OpenGapMovesTheRestRight)
{
    setText("abef");
    char* gap = openGap(S.textStart + 2, 2);
    ASSERT_EQ(gap, S.textStart + 2);
    std::memcpy(gap, "cd", 2);
    EXPECT_EQ(text(), "abcdef");
    EXPECT_EQ(openGap(S.textStart + 1, 0), S.textStart + 1);
    EXPECT_EQ(openGap(S.textStart + 100, 1), S.textStart + 6);  // outside the text: at its end
}

TEST_F(Transcript, OpenGapInAFullTranscriptReturnsThePositionMovedBack)
{
    std::string t = "first\r\n";
    t += std::string(consoleCapacity - 2 - t.size() - 4, 'm') + "tail";
    setText(t);
    char* at = S.textEnd - 4;  // before "tail"
    char* gap = openGap(at, 3);
    ASSERT_NE(gap, nullptr);
    EXPECT_EQ(gap, at - 7);  // "first\r\n" was discarded
    std::memcpy(gap, "NEW", 3);
    EXPECT_EQ(text().substr(text().size() - 7), "NEWtail");
    EXPECT_LT(used(), consoleCapacity);
}

TEST_F(Transcript, OpenGapRefusesAGapThatCanNeverFit)
{
    setText("abc");
    EXPECT_EQ(openGap(S.textStart, consoleCapacity - 1), nullptr);
    EXPECT_EQ(text(), "abc");
    char* gap = openGap(S.textStart, consoleCapacity - 2);  // fits once everything else goes
    ASSERT_EQ(gap, S.textStart);
    EXPECT_EQ(used(), consoleCapacity - 2);
}

// ---------------------------------------------------------------------------
// Row mapping.

TEST_F(Transcript, ALineOfExactlyTheRowWidthTakesTwoRows)
{
    setText(std::string(80, 'a') + "\r\nb");
    EXPECT_EQ(countRows(), 2);
    EXPECT_EQ(rowColumnToPosition(1, 0), S.textStart + 80);  // the empty wrap row
    EXPECT_EQ(rowColumnToPosition(2, 0), S.textStart + 82);  // "b"
    EXPECT_EQ(rowLength(rowColumnToPosition(1, 0)), 0);
    EXPECT_EQ(rowOf(S.textStart + 80), 1);
    EXPECT_EQ(columnOf(S.textStart + 80), 0);
    setText(std::string(80, 'a'));  // the unterminated tail too
    EXPECT_EQ(countRows(), 1);
    EXPECT_EQ(rowColumnToPosition(1, 0), S.textEnd);
}

TEST_F(Transcript, RowsBeyondTheTextAndColumnsBeyondTheRow)
{
    setText("ab\r\ncdef\r\ng");
    ASSERT_EQ(S.lastRow, 2);
    EXPECT_EQ(rowColumnToPosition(4, 0), S.textEnd);
    EXPECT_EQ(rowColumnToPosition(3, 0), S.textEnd);  // lastRow + 1: capped at the end
    // A column past the row's end reaches into the next row, capped only at the end.
    EXPECT_EQ(rowColumnToPosition(0, 5), S.textStart + 5);
    EXPECT_EQ(rowColumnToPosition(1, 50), S.textEnd);
    // Negative rows and columns count as 0; huge ones stay in the text.
    EXPECT_EQ(rowColumnToPosition(-3, -7), S.textStart);
    EXPECT_EQ(rowColumnToPosition(2, INT32_MAX), S.textEnd);
    EXPECT_EQ(rowColumnToPosition(INT32_MAX, 0), S.textEnd);
    S.lastRow = INT32_MAX;  // a row count gone wrong must not overflow the walk
    EXPECT_EQ(rowColumnToPosition(INT32_MAX - 1, 3), S.textEnd);
}

TEST_F(Transcript, PositionsMapToRowsAndColumns)
{
    EXPECT_EQ(rowOf(S.textEnd), 0);  // empty transcript
    EXPECT_EQ(columnOf(S.textEnd), 0);
    S.screenColumns = 4;
    setText("abcdefg\r\nhi");
    EXPECT_EQ(rowOf(S.textStart + 5), 1);
    EXPECT_EQ(columnOf(S.textStart + 5), 1);
    EXPECT_EQ(rowOf(S.textStart + 9), 2);
    EXPECT_EQ(columnOf(S.textEnd), 2);
    // On the LF of a pair: just after the CR, never a negative column.
    EXPECT_EQ(rowOf(S.textStart + 8), 2);
    EXPECT_EQ(columnOf(S.textStart + 8), 0);
    S.screenColumns = 80;
    EXPECT_EQ(columnOf(S.textStart + 8), 8);
    // Outside the text: clamped to it.
    EXPECT_EQ(rowOf(S.textStart - 10), 0);
    EXPECT_EQ(rowOf(S.textEnd + 10), rowOf(S.textEnd));
    EXPECT_EQ(rowOf(nullptr), 0);
}

TEST_F(Transcript, RowLengthStopsAtTheBreakOrTheRowWidth)
{
    S.screenColumns = 5;
    setText("ab\rc\r\nlonger line");
    EXPECT_EQ(rowLength(S.textStart), 4);  // a lone CR is a character
    EXPECT_EQ(rowLength(S.textStart + 4), 0);
    EXPECT_EQ(rowLength(S.textStart + 6), 5);
    EXPECT_EQ(rowLength(S.textEnd - 2), 2);
    EXPECT_EQ(rowLength(S.textEnd), 0);
    EXPECT_EQ(rowLength(nullptr), 0);
}

TEST_F(Transcript, ARowWidthBelowOneNeverDividesByZero)
{
    setText("abc\r\ndef");
    S.screenColumns = 0;
    EXPECT_EQ(countRows(), 1 + 3 + 3);  // mapped as one column per row
    S.lastRow = countRows();
    EXPECT_EQ(rowColumnToPosition(2, 0), S.textStart + 2);
    EXPECT_EQ(rowLength(S.textStart), 1);
}

// ---------------------------------------------------------------------------
// A million bytes of random text, appended and edited through the primitives.

TEST_F(Transcript, RandomEditsKeepTheBoundTheMappingAndTheRowCount)
{
    std::mt19937 rng(20260);
    auto below = [&](uint32_t n) { return static_cast<int32_t>(rng() % n); };
    auto randomText = [&](int32_t length) {
        std::string s;
        while (static_cast<int32_t>(s.size()) < length) {
            const int32_t r = below(100);
            if (r < 2) {
                s += "\r\n";
            } else if (r < 3) {
                s += '\r';  // lone CR
            } else if (r < 4) {
                s += '\n';  // lone LF
            } else if (r < 5) {
                s += std::string(static_cast<size_t>(S.screenColumns), 'L') + "\r\n";  // exactly a row
            } else {
                s += static_cast<char>('a' + below(26));
            }
        }
        return s;
    };

    int64_t appended = 0;
    int steps = 0;
    while (appended < 1000000) {
        const int32_t action = below(100);
        if (action < 55) {
            const std::string s = randomText(1 + below(below(10) == 0 ? 2000 : 120));
            append(s);
            appended += static_cast<int64_t>(s.size());
        } else if (action < 75) {
            const std::string s = randomText(1 + below(8));
            char* at = S.textStart + below(static_cast<uint32_t>(used()) + 1);
            char* gap = openGap(at, static_cast<int32_t>(s.size()));
            ASSERT_NE(gap, nullptr);
            std::memcpy(gap, s.data(), s.size());
            S.lastRow = countRows();
            appended += static_cast<int64_t>(s.size());
        } else if (action < 92) {
            if (used() > 0) {
                deleteText(S.textStart + below(static_cast<uint32_t>(used())), 1 + below(40));
                ASSERT_EQ(S.lastRow, countRows()) << "after a deletion, step " << steps;
            }
        } else if (action < 96) {
            makeRoom(below(3000));
            ASSERT_EQ(S.lastRow, countRows()) << "after discarding, step " << steps;
        } else {
            // A size change: a new row width (8-pixel cells), rows recounted.
            const int32_t columns = 1 + below(below(4) == 0 ? 8 : 160);
            displaySize(plMakeLong(static_cast<unsigned>(10 + columns * 8 + below(8)), 384));
            ASSERT_EQ(S.screenColumns, columns);
            ASSERT_EQ(S.lastRow, countRows()) << "after a size change, step " << steps;
        }
        steps++;
        ASSERT_LT(used(), consoleCapacity);
        ASSERT_EQ(S.lastRow, countRows()) << "step " << steps;

        // Round trip at the end and at a few random positions (not on the
        // LF of a pair, which shares its line end with the CR).
        for (int probe = 0; probe < 2; probe++) {
            char* p = probe == 0 ? S.textEnd : S.textStart + below(static_cast<uint32_t>(used()) + 1);
            if (p > S.textStart && p < S.textEnd && p[-1] == '\r' && p[0] == '\n') {
                continue;
            }
            int32_t row = 0;
            int32_t column = 0;
            positionToRowColumn(p, &row, &column);
            ASSERT_GE(column, 0);
            ASSERT_LT(column, S.screenColumns);
            ASSERT_EQ(rowColumnToPosition(row, column), p) << "step " << steps << " offset " << (p - S.textStart);
        }
    }
    EXPECT_GT(steps, 1000);
}

}  // namespace
