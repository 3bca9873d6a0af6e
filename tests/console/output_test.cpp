// Console output on the headless front end: the write hook, storing bytes
// with their control-character rules, and drawing them.
#include <gtest/gtest.h>

#include <string>

#include "commands_fixture.h"

namespace {

using commandsTest::ConsoleWindow;

class Output : public ConsoleWindow {
protected:
    void write(const std::string& bytes) { consoleWriteHook(bytes.data(), static_cast<uint32_t>(bytes.size())); }
    // Stores one byte at a transcript offset, as typing outside a read does.
    void storeAt(size_t offset, const char* source) { storeChar(source, ConsoleState.textStart + offset); }
    void TearDown() override
    {
        ConsoleSettings.tabWidth = 4;
        ConsoleWindow::TearDown();
    }
};

TEST_F(Output, TheFirstWriteShowsTheWindowWithTheStartUpShowValue)
{
    plShowWindow(window, SW_HIDE);
    ConsoleState.windowShown = 0;
    ConsoleState.showCommand = SW_SHOWMAXIMIZED;
    write("a");
    EXPECT_EQ(pwShowValue(window), SW_SHOWMAXIMIZED);
    EXPECT_TRUE(pwIsVisible(window));
    EXPECT_NE(consoleAccelerators, nullptr);
    // Later writes do not show it again.
    plShowWindow(window, SW_HIDE);
    write("b");
    EXPECT_FALSE(pwIsVisible(window));
    EXPECT_EQ(text(), "ab");
    EXPECT_EQ(hlRowText(window, 0).substr(0, 2), "ab");
}

TEST_F(Output, ALoneCrReturnsToTheStartOfTheLine)
{
    write("first\r\nabc\rde");
    EXPECT_EQ(text(), "first\r\nde");
    // A CR ending a write is lone even when the next write begins with LF.
    write("xyz\r");
    write("\nnext");
    EXPECT_EQ(text(), "first\r\n\nnext");
}

TEST_F(Output, WithTabWidthZeroATabIsStoredAsItIsAndDrawnToAStopOfFour)
{
    ConsoleSettings.tabWidth = 0;
    write("ab\tX\v");
    EXPECT_EQ(text(), "ab\tX\v");
    EXPECT_EQ(ConsoleState.drawColumn, 6);
}

TEST_F(Output, RowsAreCountedAsTheyFill)
{
    write("x\r\n");
    EXPECT_EQ(ConsoleState.lastRow, 1);
    write(std::string(79, 'a'));
    EXPECT_EQ(ConsoleState.lastRow, 1);
    write("a");   // the 80th character of the row
    EXPECT_EQ(ConsoleState.lastRow, 2);
    EXPECT_EQ(ConsoleState.lastRow, countRows());
    EXPECT_EQ(hlScrollBar(window, SB_VERT).maximum, 2);
    write(std::string(160, 'b'));   // two more full rows of the same line
    EXPECT_EQ(ConsoleState.lastRow, 4);
    EXPECT_EQ(ConsoleState.lastRow, countRows());
    // Writing and erasing in place (a spinner, a progress line) counts no
    // rows the text does not take.
    write("\r\n");
    for (int i = 0; i < 200; i++) {
        write("|\b");
    }
    EXPECT_EQ(ConsoleState.lastRow, countRows());
    write(std::string(79, 'c'));
    for (int i = 0; i < 3; i++) {
        write("d\b");   // the 80th character, wrapping and unwrapping the row
    }
    EXPECT_EQ(ConsoleState.lastRow, countRows());
    for (int i = 0; i < 10; i++) {
        write(std::string(100, 'p') + "\r");
    }
    EXPECT_EQ(ConsoleState.lastRow, 5);
    EXPECT_EQ(ConsoleState.lastRow, countRows());
}

TEST_F(Output, TheSpacesOfATabFillRowsLikeOtherCharacters)
{
    write("x\r\n" + std::string(20, '\t'));   // 80 spaces: a full row
    EXPECT_EQ(text(), "x\r\n" + std::string(80, ' '));
    EXPECT_EQ(ConsoleState.lastRow, 2);
    EXPECT_EQ(ConsoleState.lastRow, countRows());
    ConsoleSettings.tabWidth = 0;
    write(std::string(80, '\t'));   // stored as they are, one character each
    EXPECT_EQ(ConsoleState.lastRow, 3);
    EXPECT_EQ(ConsoleState.lastRow, countRows());
}

TEST_F(Output, TheRowCountKeepsUpWhenTheLastLineChangesOtherThanByAppending)
{
    write(std::string(80, 'a'));   // a full first row, from the start of the text
    EXPECT_EQ(ConsoleState.lastRow, 1);
    write("\r" + std::string(80, 'b'));   // over again after a lone CR
    EXPECT_EQ(text(), std::string(80, 'b'));
    EXPECT_EQ(ConsoleState.lastRow, 1);
    write(std::string("\f").append(79, 'c'));   // the line after a form feed starts empty
    EXPECT_EQ(ConsoleState.lastRow, countRows());
    write("c");
    EXPECT_EQ(ConsoleState.lastRow, countRows());
    pwResize(window, 330, 384);   // 40 columns: the line wraps in the new width
    write(std::string(35, 'd'));
    EXPECT_EQ(ConsoleState.lastRow, countRows());
    const size_t size = text().size();
    select(size - 50, size);   // the end of the line cut away
    command(commandCut);
    write(std::string(20, 'e'));
    EXPECT_EQ(ConsoleState.lastRow, countRows());
}

TEST_F(Output, ResizingCountsAnEmptyTranscriptAsTheOneRow)
{
    write("\n");   // a lone LF is drawn as a new row, and counted as one
    select(0, 1);
    command(commandCut);
    ASSERT_EQ(text(), "");
    pwResize(window, 330, 384);
    EXPECT_EQ(ConsoleState.lastRow, 0);
}

TEST_F(Output, BackspaceRightAfterAResizeLeavesTheCaretInItsRow)
{
    write("abc");
    pwResize(window, 650, 384);   // the caret goes back to row 0, column 0
    write("\b");
    EXPECT_EQ(text(), "ab");
    EXPECT_EQ(caretRow, 0);
    EXPECT_EQ(caretColumn, 0);
}

TEST_F(Output, AWriteLongerThanTheTranscriptWithoutLineBreaksStaysInside)
{
    write("old line\r\n");
    write(std::string(40000, 'z'));
    EXPECT_LT(ConsoleState.textEnd - ConsoleState.textStart, ConsoleState.capacity);
    EXPECT_EQ(text(), std::string(text().size(), 'z'));
}

TEST_F(Output, TheCaretStaysAfterTheLastCharacterWhenOldLinesAreDiscarded)
{
    std::string lines;
    for (int i = 0; i < 4000; i++) {
        lines += "line " + std::to_string(10000 + i) + "\r\n";
    }
    write(lines);
    write("> ");
    ASSERT_NE(text().compare(0, 10, "line 10000"), 0);  // old lines went
    int32_t row = -1;
    int32_t column = -1;
    positionToRowColumn(ConsoleState.textEnd, &row, &column);
    EXPECT_EQ(caretRow, row);
    EXPECT_EQ(caretColumn, 2);
    EXPECT_TRUE(hlCaret().shown);
    EXPECT_EQ(hlCaret().y, (row - ConsoleState.topRow) * 16);
}

TEST_F(Output, AnyWriteClearsTheSelectionAndMarksTheTranscriptModified)
{
    setText("some text");
    ConsoleState.modified = 0;
    select(0, 4);
    write("!");
    EXPECT_EQ(ConsoleState.selStart, nullptr);
    EXPECT_EQ(ConsoleState.selEnd, nullptr);
    EXPECT_EQ(ConsoleState.modified, 1);
}

TEST_F(Output, WritesAfterTheWindowIsGoneAreDropped)
{
    write("kept");
    ConsoleSettings.askToSave = 0;
    plSendMessage(window, WM_CLOSE, 0, 0);
    ASSERT_FALSE(plIsWindow(window));
    write("dropped");
    EXPECT_EQ(text(), "kept");
}

TEST_F(Output, StoringInsideTheTextInserts)
{
    setText("abcd");
    ConsoleState.lastRow = 0;
    const char x[2] = {'X', 0};
    storeAt(2, x);
    EXPECT_EQ(text(), "abXcd");
    const char tab[2] = {'\t', 0};
    storeAt(0, tab);
    EXPECT_EQ(text(), "\tabXcd");
    const char crlf[2] = {'\r', '\n'};
    storeAt(3, crlf);
    storeAt(4, crlf + 1);
    EXPECT_EQ(text(), "\tab\r\nXcd");
    EXPECT_EQ(ConsoleState.lastRow, 1);
    const char bs[2] = {'\b', 0};
    storeAt(0, bs);   // deletes the byte at the position
    EXPECT_EQ(text(), "ab\r\nXcd");
    const char ff[2] = {'\f', 0};
    const char bel[2] = {'\a', 0};
    storeAt(1, ff);
    storeAt(1, bel);
    EXPECT_EQ(text(), "ab\r\nXcd");
}

TEST_F(Output, StoreCharAtReportsWhereTheNextByteGoesWhenOldTextIsDiscarded)
{
    // A full transcript: inserting near the end discards lines from the top,
    // and the returned position moves back with the text.
    std::string full;
    while (full.size() + 30 < static_cast<size_t>(consoleCapacity)) {
        full += "0123456789\r\n";
    }
    // One byte short of the most the transcript holds.
    full += std::string(static_cast<size_t>(consoleCapacity) - 4 - full.size(), 'y') + "\r\n";
    setText(full);
    char* position = ConsoleState.textEnd - 2;
    const char x[2] = {'X', 0};
    char* after = storeCharAt(x, position);
    ASSERT_GE(after, ConsoleState.textStart + 1);
    ASSERT_LE(after, ConsoleState.textEnd);
    EXPECT_EQ(after[-1], 'X');
    EXPECT_EQ(std::string(after, ConsoleState.textEnd), "\r\n");
    EXPECT_LT(ConsoleState.textEnd - ConsoleState.textStart, ConsoleState.capacity);
}

}  // namespace
