// The transcript primitives: discarding, deleting, inserting and the row
// mapping, on the buffers alone (no window).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "console/console.h"
#include "console/inspect.h"
#include "walked_rows.h"

namespace {

char transcript[consoleTranscriptSize];
char pendingInput[consoleInputSize];
ConsoleStateRecord& S = ConsoleState;

class Transcript : public ::testing::Test {
protected:
    void SetUp() override
    {
        consoleReset();
        cellWidth = 8;
        cellHeight = 16;
        std::memset(transcript, '#', sizeof transcript);
        initConsoleState(transcript, pendingInput, 10, consoleTranscriptSize);
    }

    // Puts text in the transcript as it stands, with lastRow counted.
    static void setText(const std::string& text)
    {
        ASSERT_LT(text.size(), static_cast<size_t>(consoleCapacity));
        setTranscriptText(text.data(), static_cast<int32_t>(text.size()));
    }

    static std::string text() { return std::string(S.textStart, S.textEnd); }
    static int32_t used() { return static_cast<int32_t>(S.textEnd - S.textStart); }

    // Appends through openGap, as output and typing store text; the rows the
    // new text takes are counted as the storing code counts them.
    static void append(const std::string& bytes)
    {
        makeRoom(static_cast<int32_t>(bytes.size()));
        ASSERT_EQ(S.lastRow, countRows()) << "after discarding";
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
// Discarding old text.

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

TEST_F(Transcript, MakeRoomCutsAtLineBreaksOrElseWholeDisplayRows)
{
    struct Case { std::string head; int32_t columns, n, cut; const char* why; };
    const Case cases[] = {
        {"ab\r\ncd\r\n", 80, 1, 4, "through the first break at or after n + 1"},
        {"ab\r\ncd\r\n", 80, 3, 8, "a break before n + 1 is too early"},
        {"a\r\n", 80, 1, 3, "a break straddling n + 1: just after it"},
        {"", 80, 1, 80, "no break at all: one display row"},
        {"12\r\n", 7, 100, 4 + 14 * 7, "no break after n + 1: whole rows of the tail"},
        {"ab\r\ncd\r\n", 80, consoleCapacity, consoleCapacity - 2, "more than the buffer: everything"},
    };
    for (const Case& k : cases) {
        S.screenColumns = k.columns;
        setText(k.head + std::string(consoleCapacity - 2 - k.head.size(), 'x'));  // 32766 bytes
        EXPECT_EQ(makeRoom(k.n), k.cut) << k.why;
        EXPECT_EQ(S.lastRow, countRows()) << k.why;
        if (k.n < consoleCapacity) {
            EXPECT_LT(used() + k.n + 1, consoleCapacity) << k.why;
        }
    }
    setText(std::string(consoleCapacity - 3, 'x'));
    EXPECT_EQ(makeRoom(1), 0);  // 32765 + 1 + 1 < 32768: room enough
    EXPECT_EQ(makeRoom(-5), 0);
}

TEST_F(Transcript, DiscardingMovesHeldPositionsBackAndDropsADiscardedSelection)
{
    std::string t;
    while (t.size() < static_cast<size_t>(consoleCapacity)) {
        t += "0123456789abcdef\r\n";
    }
    t.resize(consoleCapacity - 2);
    setText(t);
    S.viewStart = S.textStart + 5;  // in the first line, which goes
    S.selStart = S.textStart + 2;
    S.selEnd = S.textStart + 10;    // the whole selection goes
    ASSERT_EQ(makeRoom(1), 18);
    EXPECT_EQ(S.viewStart, S.textStart);
    EXPECT_EQ(S.selStart, nullptr);
    EXPECT_EQ(S.selEnd, nullptr);

    setText(t);
    S.selStart = S.textStart + 4;
    S.selEnd = S.textStart + 40;  // part of it stays
    S.viewStart = S.textStart + 36;
    ASSERT_EQ(makeRoom(1), 18);
    EXPECT_EQ(S.selStart, S.textStart);
    EXPECT_EQ(S.selEnd, S.textStart + 22);
    EXPECT_EQ(S.viewStart, S.textStart + 18);
}

TEST_F(Transcript, TheTextMovingDownInItsBlockTakesTheHeldPositionsAlong)
{
    // Lines written until the end of the text nears the end of the block;
    // positions are held in the last of them; more lines move the text down.
    char line[32];
    int i = 0;
    const auto writeLine = [&]() {
        std::snprintf(line, sizeof line, "line %05d\r\n", i++);
        for (const char* p = line; *p; p++) {
            *S.textEnd++ = *p;
            makeRoom(1);
        }
    };
    while (S.textEnd + 100 < transcriptBlock + transcriptBlockSize) {
        writeLine();
    }
    S.viewStart = S.textEnd - 12;
    S.selAnchor = S.textEnd - 11;
    S.selStart = S.textEnd - 10;
    S.selEnd = S.textEnd - 2;
    const std::string held = std::string(S.viewStart, S.textEnd);
    const char* start = S.textStart;
    while (S.textStart >= start) {
        writeLine();
    }
    EXPECT_LT(S.textStart, start);
    EXPECT_EQ(std::string(S.viewStart, S.viewStart + 12), held);
    EXPECT_EQ(S.selAnchor, S.viewStart + 1);
    EXPECT_EQ(S.selStart, S.viewStart + 2);
    EXPECT_EQ(S.selEnd, S.viewStart + 10);
}

// ---------------------------------------------------------------------------
// Deleting.

TEST_F(Transcript, DeletingCountsAPairAsOneCharacterAndStopsAtTheEnd)
{
    struct Case { const char* before; int at, count; const char* after; int32_t lastRow; };
    const Case cases[] = {
        {"abc\r\ndef", 2, 1, "ab\r\ndef", 1},         // just before a break: that character only
        {"abc\r\ndef\r\ng", 3, 1, "abcdef\r\ng", 1},  // the CR of a pair takes its LF
        {"xx12\r\n34\r\n5yy", 2, 9 - 2, "xxyy", 0},   // a range holding two whole pairs
        {"abc\r\nde", 3, 1000, "abc", 0},             // never past the end
        {"abc", 3, 1, "abc", 0},                       // at the end: nothing
        {"abc", 0, 0, "abc", 0},
        {"abc", 0, -3, "abc", 0},
    };
    for (const Case& k : cases) {
        setText(k.before);
        deleteText(S.textStart + k.at, k.count);
        EXPECT_EQ(text(), k.after) << k.before;
        EXPECT_EQ(S.lastRow, k.lastRow) << k.before;
    }
    deleteText(S.textStart - 1, 1);
    deleteText(nullptr, 1);
    EXPECT_EQ(text(), "abc");
}

TEST_F(Transcript, DeletingKeepsLastRowRightWhenWrappingChanges)
{
    const std::string fifty(50, 'a');
    setText(fifty + "\r\n" + fifty + "\r\nz");
    deleteText(S.textStart + 50, 1);  // the lines join into one of 100: still two rows
    EXPECT_EQ(S.lastRow, 2);
    setText(std::string(80, 'b') + "\r\nc");  // 80 characters take two rows
    deleteText(S.textStart, 1);
    EXPECT_EQ(S.lastRow, 1);
    setText("ab\rX\ncd");  // removing X makes CR and LF a pair
    deleteText(S.textStart + 3, 1);
    EXPECT_EQ(S.lastRow, 1);
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

TEST_F(Transcript, OpenGapReturnsThePositionMovedBackByDiscarding)
{
    setText("abef");
    std::memcpy(openGap(S.textStart + 2, 2), "cd", 2);
    EXPECT_EQ(text(), "abcdef");
    EXPECT_EQ(openGap(S.textStart + 100, 1), S.textStart + 6);  // outside the text: at its end

    std::string t = "first\r\n";
    t += std::string(consoleCapacity - 2 - t.size() - 4, 'm') + "tail";
    setText(t);
    const ptrdiff_t at = S.textEnd - 4 - S.textStart;  // before "tail"
    char* gap = openGap(S.textStart + at, 3);
    ASSERT_EQ(gap - S.textStart, at - 7);  // "first\r\n" was discarded
    std::memcpy(gap, "NEW", 3);
    EXPECT_EQ(text().substr(text().size() - 7), "NEWtail");

    setText("abc");
    EXPECT_EQ(openGap(S.textStart, consoleCapacity - 1), nullptr);  // can never fit
    EXPECT_EQ(text(), "abc");
    EXPECT_EQ(openGap(S.textStart, consoleCapacity - 2), S.textStart);  // fits once all else goes
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
}

TEST_F(Transcript, PositionsOutsideTheTextAndRowsBeyondItStayInside)
{
    EXPECT_EQ(rowOf(S.textEnd), 0);  // empty transcript
    EXPECT_EQ(columnOf(S.textEnd), 0);
    setText("ab\r\ncdef\r\ng");
    EXPECT_EQ(rowColumnToPosition(4, 0), S.textEnd);  // beyond lastRow + 1
    EXPECT_EQ(rowColumnToPosition(0, 5), S.textStart + 5);  // into the next row
    EXPECT_EQ(rowColumnToPosition(1, 50), S.textEnd);
    EXPECT_EQ(rowColumnToPosition(-3, -7), S.textStart);
    EXPECT_EQ(rowColumnToPosition(2, INT32_MAX), S.textEnd);
    S.lastRow = INT32_MAX;  // a row count gone wrong must not overflow the walk
    EXPECT_EQ(rowColumnToPosition(INT32_MAX - 1, 3), S.textEnd);
    EXPECT_EQ(rowOf(S.textStart - 10), 0);
    EXPECT_EQ(rowOf(S.textEnd + 10), 2);
    EXPECT_EQ(rowOf(nullptr), 0);
    // On the LF of a pair: just after the CR, never a negative column.
    EXPECT_EQ(rowOf(S.textStart + 3), 0);
    EXPECT_EQ(columnOf(S.textStart + 3), 3);
    S.screenColumns = 0;  // never divided by
    EXPECT_EQ(countRows(), (1 + 2) + (1 + 4) + 1);
    EXPECT_EQ(rowLength(S.textStart), 1);
}

TEST_F(Transcript, RowLengthStopsAtTheBreakOrTheRowWidth)
{
    S.screenColumns = 5;
    setText("ab\rc\r\nlonger line");
    EXPECT_EQ(rowLength(S.textStart), 4);  // a lone CR is a character
    EXPECT_EQ(rowLength(S.textStart + 4), 0);
    EXPECT_EQ(rowLength(S.textStart + 6), 5);
    EXPECT_EQ(rowLength(S.textEnd - 2), 2);
    EXPECT_EQ(rowLength(nullptr), 0);
}

// ---------------------------------------------------------------------------
// A million bytes of random text, appended and edited through the primitives,
// the row mapping held against a walk from the start of the text.

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
            if (probe == 1) {
                int64_t walkedRow = 0;
                int64_t walkedColumn = 0;
                walkedRows::walkedRowColumn(static_cast<size_t>(p - S.textStart), &walkedRow, &walkedColumn);
                ASSERT_EQ(row, walkedRow) << "step " << steps << " offset " << (p - S.textStart);
                ASSERT_EQ(column, walkedColumn) << "step " << steps << " offset " << (p - S.textStart);
                const int32_t r = below(static_cast<uint32_t>(S.lastRow) + 3) - 1;
                const int32_t c = below(100);
                ASSERT_EQ(static_cast<size_t>(rowColumnToPosition(r, c) - S.textStart),
                          walkedRows::walkedPosition(r, c))
                    << "step " << steps << " row " << r << " column " << c;
            }
        }
    }
    EXPECT_GT(steps, 1000);
}

}  // namespace
