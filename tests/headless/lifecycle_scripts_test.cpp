// The program inside its console window, end to end: the menu, reading and
// typing, the ways the application ends and how the window closes.
#include <gtest/gtest.h>

#include <string>

#include "script_run.h"

namespace {

using namespace script_test;

const std::string prompt = "Enter Selection: ";

int countOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        count++;
    }
    return count;
}

bool screenShows(const Report& report, const std::string& text)
{
    for (const std::string& row : report.screen) {
        if (row.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string sampleFolder()
{
    std::string folder = makeFolder();
    std::string command = std::string(MAKE_SAMPLES_BINARY) + " " + folder + " >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return folder;
}

// ---------------------------------------------------------------------------

TEST(MenuInTheWindow, ConvertsThenNineClosesWithTheSavePromptAnsweredNo)
{
    std::string folder = sampleFolder();
    ScriptRun run = runScript(RASTREL_BINARY, "dump\ntype 1\\r\ndump\ntype 9\\r\nanswer no\n", {}, folder);
    ASSERT_EQ(run.reports.size(), 3u) << run.output << run.errors;
    const Report& first = run.reports[0];
    EXPECT_EQ(first.title, "Vellomex Text Window");
    EXPECT_EQ(first.visible, 1);
    EXPECT_EQ(first.transcript,
              "\r\n\r\n\r\nRastrel 1.0\r\n1 - Convert scan file to TIFF.\r\n9 - Exit.\r\n\r\nEnter Selection: ");
    const Report& second = run.reports[1];
    EXPECT_NE(second.transcript.find("Enter Selection: 1\r\n"), std::string::npos);
    EXPECT_NE(second.transcript.find("\r\nWriting TIFF file 0\r\n"), std::string::npos);
    EXPECT_NE(second.transcript.find("Writing TIFF file 5"), std::string::npos);
    EXPECT_NE(second.transcript.find("Could not open 6.bin"), std::string::npos);
    EXPECT_EQ(lastTextLine(second.transcript), prompt);
    EXPECT_TRUE(std::ifstream(folder + "/5.tif").good());
    ASSERT_EQ(run.last().boxes.size(), 1u);
    EXPECT_EQ(run.last().boxes[0], savePrompt("no"));
    EXPECT_EQ(run.exitLine, "exit: 0");
    EXPECT_EQ(run.status, 0);
    std::filesystem::remove_all(folder);
}

TEST(MenuInTheWindow, NineteenOnOneLineConvertsAndEndsWithoutWaitingAgain)
{
    // Any wait after the line would use up the script and end with status 3.
    ScriptRun run = runScript(RASTREL_BINARY, "type 19\\r\nanswer no\n");
    EXPECT_EQ(run.status, 0) << run.errors;
    const std::string& transcript = run.last().transcript;
    EXPECT_EQ(countOf(transcript, prompt), 2);
    EXPECT_NE(transcript.find("Enter Selection: 19\r\n\r\nCould not open scaninfo.dat"), std::string::npos);
    EXPECT_EQ(run.last().boxes, std::vector<std::string>{savePrompt("no")});
}

TEST(MenuInTheWindow, XYZDrawsTheMenuOncePerCharacterAndThePromptIsOnScreenAtEveryWait)
{
    ScriptRun run = runScript(RASTREL_BINARY, "dump\ntype x y z\\r\ndump\ntype \\r\ndump\ntype 9\\r\nanswer no\n");
    ASSERT_EQ(run.reports.size(), 4u) << run.errors;
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(lastTextLine(run.reports[i].transcript), prompt) << i;
        EXPECT_TRUE(screenShows(run.reports[i], prompt)) << i;
    }
    EXPECT_EQ(countOf(run.reports[1].transcript, prompt), 4);
    // Enter alone is white space: nothing more is drawn.
    EXPECT_EQ(countOf(run.reports[2].transcript, prompt), 4);
    EXPECT_EQ(run.status, 0);
}

// ---------------------------------------------------------------------------

TEST(EndOfInput, CtrlZOnAnEmptyLineIsEndOfFile)
{
    ScriptRun run = runScript(APP_READER, "type \\x1a\nclose\nanswer no\n");
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.last().transcript, "ready\r\n[0:]\r\n");
}

TEST(EndOfInput, CtrlZAfterTwoLettersDeliversThemThenEndOfFileWithoutWaiting)
{
    ScriptRun run = runScript(APP_READER, "type ab\\x1a\nclose\nanswer no\n");
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.last().transcript, "ready\r\nab[2:ab]\r\n[0:]\r\n");
}

TEST(Typing, ThreeHundredCharactersArriveAs256ThenTheRestWithTheLineEnd)
{
    std::string line(300, 'a');
    ScriptRun run = runScript(APP_READER, "type " + line + "\\r\ntype \\x1a\nclose\nanswer no\n");
    EXPECT_EQ(run.status, 0) << run.errors;
    const std::string& transcript = run.last().transcript;
    EXPECT_NE(transcript.find("\r\n[256:" + std::string(256, 'a') + "]\r\n[45:" + std::string(44, 'a') + "\\n]\r\n[0:]"),
              std::string::npos)
        << transcript;
}

// ---------------------------------------------------------------------------

TEST(Interrupt, CtrlCWhileReadingEndsTheApplicationAndLeavesTheWindowOpen)
{
    ScriptRun run = runScript(RASTREL_BINARY, "type \\x03\ndump\nclose\nanswer no\n");
    ASSERT_EQ(run.reports.size(), 2u) << run.errors;
    EXPECT_EQ(run.reports[0].visible, 1);
    EXPECT_EQ(lastTextLine(run.reports[0].transcript), prompt);
    // Closing now is the ordinary close of a finished program, not of a read.
    EXPECT_EQ(run.exitLine, "exit: 0");
}

TEST(Interrupt, CtrlCWhileOutputRunsEndsTheApplicationAtThatWrite)
{
    // The interrupt comes back through the stream objects' write.
    ScriptRun run = runScript(APP_BULK, "pump: type \\x03\ndump\nclose\nanswer no\n");
    ASSERT_EQ(run.reports.size(), 2u) << run.errors;
    EXPECT_EQ(run.reports[0].transcript, "line 0000 of the bulk output, forty bytes\r\n");
    EXPECT_EQ(run.reports[0].visible, 1);
    EXPECT_EQ(run.exitLine, "exit: 0");
}

TEST(Interrupt, CtrlCAfterTheProgramEndedCopiesTheSelection)
{
    ScriptRun run = runScript(APP_RETURNS, "type \\x03\ndump\nmenu 20\ntype \\x03\ndump\nclose\nanswer no\n");
    ASSERT_EQ(run.reports.size(), 3u) << run.errors;
    EXPECT_EQ(run.reports[0].clipboard, "none");
    EXPECT_EQ(run.reports[1].clipboard, "first line\r\nsecond line\r\n");
    EXPECT_EQ(run.reports[1].selection, "0 25");
    EXPECT_EQ(run.status, 0);
}

TEST(Interrupt, TypingAfterAnInterruptedReadStillGoesToThePendingLine)
{
    ScriptRun run = runScript(RASTREL_BINARY, "type \\x03\ntype ab\ndump\nclose\nanswer no\n");
    ASSERT_GE(run.reports.size(), 1u) << run.errors;
    EXPECT_EQ(run.reports[0].pending, "ab");
    EXPECT_EQ(lastTextLine(run.reports[0].transcript), prompt + "ab");
}

// ---------------------------------------------------------------------------

TEST(Closing, TheCloseBoxWhileAReadWaitsEndsWithStatusOne)
{
    ScriptRun run = runScript(RASTREL_BINARY, "close\nanswer no\n");
    EXPECT_EQ(run.last().boxes, std::vector<std::string>{savePrompt("no")});
    EXPECT_EQ(run.exitLine, "exit: 1");
    EXPECT_EQ(run.status, 1);
}

TEST(Closing, AfterTheWindowIsClosedDuringOutputNothingWaitsForIt)
{
    // Later writes are dropped and the final loop is not entered: the run
    // ends instead of waiting for messages that cannot come.
    ScriptRun bulk = runScript(APP_BULK, "pump: close\nanswer no\n");
    EXPECT_EQ(bulk.last().transcript, "line 0000 of the bulk output, forty bytes\r\n");
    EXPECT_EQ(bulk.exitLine, "exit: 0") << bulk.errors;
    // A read finds end of input, which ends the menu.
    ScriptRun menu = runScript(RASTREL_BINARY, "pump: close\nanswer no\n");
    EXPECT_EQ(menu.last().transcript, "\r\n");
    EXPECT_EQ(menu.exitLine, "exit: 0") << menu.errors;
}

TEST(Closing, ExitFromTheApplicationClosesTheWindowAndTheStatusIsZero)
{
    ScriptRun run = runScript(APP_EXIT5, "dump\ntype k\\r\nanswer no\n");
    ASSERT_EQ(run.reports.size(), 2u) << run.errors;
    EXPECT_EQ(run.reports[0].transcript, "Press a key: ");
    EXPECT_TRUE(screenShows(run.reports[0], "Press a key: "));
    // The atexit function ran before the window closed.
    EXPECT_EQ(run.last().transcript, "Press a key: k\r\ngot k\r\natexit ran");
    EXPECT_EQ(run.last().boxes, std::vector<std::string>{savePrompt("no")});
    EXPECT_EQ(run.exitLine, "exit: 0");
}

TEST(Closing, ReturningLeavesTheWindowOpenUntilTheUserClosesIt)
{
    ScriptRun run = runScript(APP_RETURNS, "dump\nclose\nanswer no\n");
    ASSERT_EQ(run.reports.size(), 2u) << run.errors;
    EXPECT_EQ(run.reports[0].visible, 1);
    EXPECT_TRUE(run.reports[0].boxes.empty());
    EXPECT_EQ(run.reports[0].transcript, "first line\r\nsecond line\r\n");
    EXPECT_EQ(run.exitLine, "exit: 0");
}

TEST(Closing, AnExceptionNobodyCatchesClosesTheWindowAsAfterExit)
{
    ScriptRun run = runScript(APP_THROWS, "answer no\n");
    EXPECT_EQ(run.last().transcript, "before\r\n");
    EXPECT_EQ(run.last().boxes, std::vector<std::string>{savePrompt("no")});
    EXPECT_EQ(run.exitLine, "exit: 0") << run.errors;
}

TEST(Closing, TerminateClosesTheWindowAsAfterAbort)
{
    ScriptRun run = runScript(APP_THROWS, "answer no\n", {"terminate"});
    EXPECT_EQ(run.last().transcript, "before\r\n");
    EXPECT_EQ(run.last().boxes, std::vector<std::string>{savePrompt("no")});
    EXPECT_EQ(run.exitLine, "exit: 0") << run.errors;
}

}  // namespace
