// Console input on the headless front end: the read hook and the character
// handler, while a reader waits and while it does not.
#include <gtest/gtest.h>

#include <string>

#include "commands_fixture.h"
#include "runtime/runtime.h"

namespace {

using commandsTest::ConsoleWindow;

// Thrown by the window system's failure handler: a read waited for input
// that no test supplied.
struct waitedForNothing {};

void failByThrowing(const char*)
{
    throw waitedForNothing{};
}

int interruptsRaised;
void countInterrupt(int)
{
    interruptsRaised++;
}

class Input : public ConsoleWindow {
protected:
    void SetUp() override
    {
        ConsoleWindow::SetUp();
        hlSetFailureHandler(failByThrowing);
        interruptsRaised = 0;
    }
    void TearDown() override
    {
        rt_signal(RT_SIGINT, RT_SIG_DFL);
        ConsoleWindow::TearDown();
    }

    void type(const std::string& keys) { pwType(window, keys.data(), keys.size()); }
    void key(char c) { plSendMessage(window, WM_CHAR, static_cast<unsigned char>(c), 0); }
    void write(const std::string& bytes) { consoleWriteHook(bytes.data(), static_cast<uint32_t>(bytes.size())); }
    std::string read(uint32_t capacity = 256)
    {
        char buffer[512];
        uint32_t count = 12345;
        EXPECT_EQ(consoleReadHook(buffer, capacity, &count), 1);
        EXPECT_LE(count, capacity);
        return std::string(buffer, count);
    }
    void caretAt(int32_t row, int32_t column)
    {
        caretRow = row;
        caretColumn = column;
    }
};

// ---------------------------------------------------------------------------
// Reading a line.

TEST_F(Input, AReaderTakingOneByteAtATimeWaitsOnlyBeforeTheFirst)
{
    type("12\r");
    EXPECT_EQ(read(1), "1");
    // Nothing more is queued: another wait would fail the test.
    EXPECT_EQ(read(1), "2");
    EXPECT_EQ(read(1), "\r");
    EXPECT_EQ(read(1), "\n");
    EXPECT_THROW(read(1), waitedForNothing);
}

TEST_F(Input, ALineFeedTypedDuringAReadIsAnOrdinaryCharacter)
{
    // Backspace takes it out of neither the line nor the transcript.
    type("a\n\bb\r");
    EXPECT_EQ(read(), "a\nb\r\n");
    EXPECT_EQ(text(), "a\nb\r\n");
}

TEST_F(Input, TheCaretMovedIntoOldOutputJumpsBackToTheEnd)
{
    write("line one\r\nline two\r\n> ");
    caretAt(0, 2);
    type("x\r");
    EXPECT_EQ(read(), "x\r\n");
    EXPECT_EQ(text(), "line one\r\nline two\r\n> x\r\n");
    EXPECT_EQ(caretRow, 3);
    EXPECT_EQ(caretColumn, 0);
}

// ---------------------------------------------------------------------------
// Backspace and the length limit while reading.

TEST_F(Input, BackspaceNeverRemovesTextFromBeforeTheRead)
{
    write("prompt> ");
    type("ab\a\b\b\b\b\bc\r");   // a bell echoes nothing to take back
    EXPECT_EQ(read(), "c\r\n");
    EXPECT_EQ(text(), "prompt> c\r\n");
}

TEST_F(Input, The511thCharacterBeepsAndIsDroppedAndEnterStillCompletesTheLine)
{
    int beeps = hlBeepCount();
    type(std::string(511, 'a') + "\r");
    std::string line = read(512);
    EXPECT_EQ(line, std::string(510, 'a') + "\r\n");
    EXPECT_EQ(hlBeepCount(), beeps + 1);
}

TEST_F(Input, EnterOnAPendingLineWithNoRoomLeftBeepsInsteadOfOverflowing)
{
    // A read abandoned by Ctrl+C leaves reading set; lines then pile up.
    ConsoleState.reading = 1;
    for (int i = 0; i < 510; i++) {
        key('a');
    }
    key('\r');
    ASSERT_EQ(pending().size(), 512u);
    int beeps = hlBeepCount();
    key('\r');
    key('b');
    EXPECT_EQ(pending().size(), 512u);
    EXPECT_EQ(hlBeepCount(), beeps + 2);
    ConsoleState.reading = 0;
}

TEST_F(Input, EndOfInputStillHandsOverTheRestOfALongLine)
{
    type(std::string(300, 'q') + "\x1a");
    EXPECT_EQ(read(256), std::string(256, 'q'));
    EXPECT_EQ(read(256), std::string(44, 'q'));
    EXPECT_EQ(read(256), "");
}

TEST_F(Input, CtrlCInterruptsOnlyARunningApplicationWithNothingSelected)
{
    rt_signal(RT_SIGINT, countInterrupt);
    write("hello there");
    select(0, 5);
    key('\x03');   // copies instead
    EXPECT_EQ(interruptsRaised, 0);
    ASSERT_NE(hlClipboardText(), nullptr);
    EXPECT_STREQ(hlClipboardText(), "hello");
    EXPECT_EQ(text(), "hello there");
    ConsoleState.selStart = ConsoleState.selEnd = nullptr;
    appFinished = 1;
    key('\x03');
    EXPECT_EQ(interruptsRaised, 0);
    appFinished = 0;
    key('\x03');
    EXPECT_EQ(interruptsRaised, 1);
}

// ---------------------------------------------------------------------------
// Editing the transcript when no reader waits.

TEST_F(Input, TabInsertsSpacesToTheNextStop)
{
    setText("ab");
    caretAt(0, 1);
    key('\t');
    EXPECT_EQ(text(), "a   b");
    EXPECT_EQ(caretColumn, 4);
    ConsoleSettings.tabWidth = 0;
    key('\t');
    EXPECT_EQ(text(), "a   \tb");
    EXPECT_EQ(caretColumn, 5);
    ConsoleSettings.tabWidth = 4;
}

TEST_F(Input, TypingReplacesASelectionAndBackspaceOnlyDeletesIt)
{
    setText("hello\r\nbig world");
    select(3, 11);   // "lo\r\nbig " holds one whole line break
    key('J');
    EXPECT_EQ(text(), "helJworld");
    EXPECT_EQ(ConsoleState.lastRow, 0);
    select(0, 3);
    key('\b');
    EXPECT_EQ(text(), "Jworld");
    EXPECT_EQ(caretRow, 0);
    EXPECT_EQ(caretColumn, 0);
}

TEST_F(Input, BackspaceAtTheStartOrTheEndOfTheTranscriptDoesNothing)
{
    setText("abc");
    caretAt(0, 0);
    key('\b');
    EXPECT_EQ(text(), "abc");
    caretAt(0, 3);
    key('\b');
    EXPECT_EQ(text(), "abc");
    key('\x1a');
    EXPECT_EQ(text(), "abc");
    EXPECT_EQ(endOfInput, 0);
}

TEST_F(Input, BackspaceAtTheStartOfAWrappedRowDeletesOneCharacter)
{
    setText(std::string(80, 'a') + "bcdef");
    caretAt(1, 0);
    key('\b');
    EXPECT_EQ(text(), std::string(79, 'a') + "bcdef");
    EXPECT_EQ(caretRow, 0);
    EXPECT_EQ(caretColumn, 79);
}

TEST_F(Input, BackspaceAtTheSecondByteOfTheTranscriptDeletesOnlyTheFirst)
{
    pwResize(window, 18, 384);   // one column
    ASSERT_EQ(ConsoleState.screenColumns, 1);
    setText("ab");
    caretAt(1, 0);
    key('\b');
    EXPECT_EQ(text(), "b");
    EXPECT_EQ(caretRow, 0);
    EXPECT_EQ(caretColumn, 0);
}

TEST_F(Input, TypingPastTheEndOfAShortRowGoesWhereTheCaretIsShown)
{
    setText("a long first line\r\nshort\r\nthird line\r\n");
    caretAt(1, 12);   // the column kept from a longer row
    key('X');
    EXPECT_EQ(text(), "a long first line\r\nshortX\r\nthird line\r\n");
    EXPECT_EQ(caretColumn, 6);
}

TEST_F(Input, TypingOnAcrossAFullRowKeepsTheTextInOrder)
{
    // Outside a read, at the end of a row that fills the window's width and
    // in the middle of a wrapped line: the characters follow one another and
    // the caret steps onto the next display row.
    setText(std::string(78, 'a'));
    caretAt(0, 78);
    for (char c : std::string("0123456789")) key(c);
    EXPECT_EQ(text(), std::string(78, 'a') + "0123456789");
    EXPECT_EQ(caretRow, 1);
    EXPECT_EQ(caretColumn, 8);

    setText(std::string(100, 'a') + "\r\nnext");
    caretAt(0, 79);
    for (char c : std::string("xyz")) key(c);
    EXPECT_EQ(text(), std::string(79, 'a') + "xyz" + std::string(21, 'a') + "\r\nnext");
    EXPECT_EQ(caretRow, 1);
    EXPECT_EQ(caretColumn, 2);
}

TEST_F(Input, TypingInsideTheTextCountsTheRowsItAdds)
{
    setText(std::string(78, 'a') + "\r\nnext");
    caretAt(0, 10);
    key('\t');   // two spaces to the stop: the line fills its row and wraps
    EXPECT_EQ(ConsoleState.lastRow, 2);
    caretAt(0, 0);
    key('x');
    EXPECT_EQ(ConsoleState.lastRow, 2);
    caretAt(0, 40);
    key('\r');   // splits the line in two that fit their rows
    EXPECT_EQ(text(), "x" + std::string(10, 'a') + "  " + std::string(27, 'a') + "\r\n" + std::string(41, 'a') +
                          "\r\nnext");
    EXPECT_EQ(ConsoleState.lastRow, 2);
    // Deleting it all leaves the one row of an empty transcript.
    select(0, text().size());
    key('\b');
    EXPECT_EQ(text(), "");
    EXPECT_EQ(ConsoleState.lastRow, 0);
}

TEST_F(Input, DestroyingTheWindowWhileAnotherMessageWaitsEndsTheRead)
{
    ConsoleSettings.askToSave = 0;
    type("a");
    pwClose(window);
    plPostMessage(nullptr, WM_USER, 0, 0);
    EXPECT_EQ(read(), "");
    EXPECT_EQ(appFinished, 1);
    ConsoleSettings.askToSave = 1;
}

}  // namespace
