// Output reaching the window, editing the transcript after the program has
// ended, processor faults, and the script language's own rules.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "script_run.h"

namespace {

using namespace script_test;

const std::string closeNo = "close\nanswer no\n";

// ---------------------------------------------------------------------------

TEST(OutputInTheWindow, FortyKilobytesKeepTheNewestWholeLinesInsideTheTranscript)
{
    ScriptRun run = runScript(APP_BULK, "dump\n" + closeNo);
    ASSERT_EQ(run.reports.size(), 2u) << run.errors;
    const std::string& transcript = run.reports[0].transcript;
    EXPECT_LT(transcript.size(), 32768u);
    EXPECT_GT(transcript.size(), 32768u - 200);
    const std::string tail = "line 0999 of the bulk output, forty bytes\r\n";
    ASSERT_GE(transcript.size(), tail.size());
    EXPECT_EQ(transcript.substr(transcript.size() - tail.size()), tail);
    // Only whole lines left the top: every line kept is intact.
    std::regex line("line [0-9]{4} of the bulk output, forty bytes\r\n");
    std::string rest = transcript;
    std::smatch match;
    int lines = 0;
    while (std::regex_search(rest, match, line, std::regex_constants::match_continuous)) {
        rest = match.suffix();
        lines++;
    }
    EXPECT_EQ(rest, "");
    EXPECT_EQ(lines * 43, static_cast<int>(transcript.size()));
}

TEST(OutputInTheWindow, ControlCharactersTakeTheirMeaningInTheTranscript)
{
    ScriptRun run = runScript(APP_CONTROLS, "dump\n" + closeNo);
    ASSERT_EQ(run.reports.size(), 2u) << run.errors;
    const Report& report = run.reports[0];
    EXPECT_EQ(report.transcript, "XY\r\nac\r\nstart\r\nabc T\r\nabcd    T\r\nbell\r\n");
    EXPECT_EQ(report.beeps, 1);
    ASSERT_GE(report.screen.size(), 6u);
    // On the screen a CR only moves the draw position: XY is drawn over abc.
    EXPECT_EQ(report.screen[0].substr(0, 4), "XYc ");
    EXPECT_EQ(report.screen[4].substr(0, 10), "abcd    T ");
}

TEST(OutputInTheWindow, AFormFeedScrollsTheEarlierTextOutOfTheWindow)
{
    ScriptRun run = runScript(APP_CONTROLS, "dump\n" + closeNo, {"formfeed"});
    ASSERT_EQ(run.reports.size(), 2u) << run.errors;
    const Report& report = run.reports[0];
    std::string blankRows;
    for (int i = 0; i < 24; i++) {
        blankRows += "\r\n";
    }
    EXPECT_NE(report.transcript.find("before the form feed" + blankRows + "after\r\n"), std::string::npos);
    bool earlierShown = false;
    bool afterShown = false;
    for (const std::string& row : report.screen) {
        earlierShown = earlierShown || row.find("before the form feed") != std::string::npos;
        afterShown = afterShown || row.find("after") != std::string::npos;
    }
    EXPECT_FALSE(earlierShown);
    EXPECT_TRUE(afterShown);
}

TEST(OutputInTheWindow, KeysTypedWhileOutputRunsEditTheTranscript)
{
    // The Z arrives at the pump after the first line's write: no reader
    // waits, so it goes into the transcript at the caret, which output left
    // at the end; the second line is appended after it.
    ScriptRun run = runScript(APP_RETURNS, "pump: type Z\ndump\n" + closeNo);
    ASSERT_EQ(run.reports.size(), 2u) << run.errors;
    EXPECT_EQ(run.reports[0].transcript, "first line\r\nZsecond line\r\n");
    EXPECT_EQ(run.reports[0].pending, "");
}

// ---------------------------------------------------------------------------

TEST(EditingAfterTheEnd, TypingInsertsAtTheCaretAndBackspaceDeletes)
{
    // Click row 0, column 5 (cells are 8 x 16 pixels), type, then delete it again.
    ScriptRun run = runScript(APP_RETURNS,
                        "press 42 4\nrelease 42 4\ntype X\ndump\ntype \\x08\ndump\n"
                        "press 2 20\nrelease 2 20\ntype \\x08\ndump\n" + closeNo);
    ASSERT_EQ(run.reports.size(), 4u) << run.errors;
    EXPECT_EQ(run.reports[0].transcript, "firstX line\r\nsecond line\r\n");
    EXPECT_EQ(run.reports[0].caret, "row=0 column=6 shown=1");
    EXPECT_EQ(run.reports[0].modified, 1);
    EXPECT_EQ(run.reports[1].transcript, "first line\r\nsecond line\r\n");
    // Backspace at the start of the second row joins it to the first.
    EXPECT_EQ(run.reports[2].transcript, "first linesecond line\r\n");
    EXPECT_EQ(run.reports[2].caret, "row=0 column=10 shown=1");
}

TEST(EditingAfterTheEnd, EnterBreaksTheLineAtTheCaret)
{
    ScriptRun run = runScript(APP_RETURNS, "press 42 4\nrelease 42 4\ntype \\r\ndump\n" + closeNo);
    ASSERT_EQ(run.reports.size(), 2u) << run.errors;
    EXPECT_EQ(run.reports[0].transcript, "first\r\n line\r\nsecond line\r\n");
    EXPECT_EQ(run.reports[0].caret, "row=1 column=0 shown=1");
    EXPECT_NE(run.reports[0].view.find("last=3"), std::string::npos) << run.reports[0].view;
}

// ---------------------------------------------------------------------------

std::regex faultBox(const std::string& code)
{
    return std::regex("\"Unhandled Exception\" \"Unhandled exception: " + code +
                      "\\\\nAt address:          [0-9a-f]{8,16}\\\\n\" ok");
}

TEST(Faults, ADivisionByZeroShowsItsCodeAndAddressThenEndsWithoutTheSavePrompt)
{
    ScriptRun run = runScript(APP_FAULTS, "answer ok\n");
    ASSERT_EQ(run.last().boxes.size(), 1u) << run.output << run.errors;
    EXPECT_TRUE(std::regex_match(run.last().boxes[0], faultBox("c0000094"))) << run.last().boxes[0];
    EXPECT_EQ(run.last().transcript, "about to fault\r\n");
    EXPECT_EQ(run.exitLine, "exit: signal 8");
    EXPECT_EQ(run.status, 128 + 8);
}

TEST(Faults, AWriteThroughANullPointerIsAnAccessViolation)
{
    ScriptRun run = runScript(APP_FAULTS, "answer ok\n", {"null"});
    ASSERT_EQ(run.last().boxes.size(), 1u) << run.output << run.errors;
    EXPECT_TRUE(std::regex_match(run.last().boxes[0], faultBox("c0000005"))) << run.last().boxes[0];
    EXPECT_EQ(run.exitLine, "exit: signal 11");
}

// ---------------------------------------------------------------------------

TEST(ScriptLanguage, AWaitWithTheScriptUsedUpEndsWithStatusThree)
{
    ScriptRun run = runScript(RASTREL_BINARY, "");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.errors, "rastrel: the script is used up while the program waits for input\n");
    EXPECT_EQ(run.exitLine, "exit: 3");
    // The last report shows where the program stood.
    EXPECT_EQ(run.reports.size(), 1u);
}

TEST(ScriptLanguage, AnAnswerMissingOrOutOfPlaceEndsWithStatusThree)
{
    ScriptRun run = runScript(RASTREL_BINARY, "type 9\\r\ntype 9\\r\n");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.errors.find("line 2: a message box is open, but the line does not answer it"), std::string::npos)
        << run.errors;
    ScriptRun early = runScript(RASTREL_BINARY, "answer yes\n");
    EXPECT_EQ(early.status, 3);
    EXPECT_NE(early.errors.find("line 1: an answer, but no message box or dialog is open"), std::string::npos);
}

TEST(ScriptLanguage, AnUnparsableLineEndsWithStatusThreeBeforeTheProgramStarts)
{
    ScriptRun run = runScript(RASTREL_BINARY, "# a comment\n\ntype 1\\r\njump 3\n");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.errors.find("line 4: unknown action jump"), std::string::npos) << run.errors;
    EXPECT_TRUE(run.reports.empty());
    ScriptRun escape = runScript(RASTREL_BINARY, "type \\q\n");
    EXPECT_EQ(escape.status, 3);
    EXPECT_NE(escape.errors.find("line 1: unknown escape \\q"), std::string::npos) << escape.errors;
    // Numbers that do not fit the 16-bit fields they go to are refused, not
    // cut down to another item, copy count or page.
    for (const char* line : {"menu 65549", "menu -1", "print-dialog ok copies=65537", "print-dialog ok pages=1-65536"}) {
        ScriptRun wide = runScript(RASTREL_BINARY, std::string(line) + "\n");
        EXPECT_EQ(wide.status, 3) << line;
        EXPECT_NE(wide.errors.find("line 1: "), std::string::npos) << line << ": " << wide.errors;
        EXPECT_TRUE(wide.reports.empty()) << line;
    }
}

TEST(ScriptLanguage, ScriptFromStandardInput)
{
    std::string folder = makeFolder();
    std::string command = "cd " + folder + " && printf 'type 9\\\\r\\nanswer no\\n' | " + RASTREL_BINARY +
                          " --headless - > out.txt 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(readFile(folder + "/out.txt").find("exit: 0"), std::string::npos);
    std::filesystem::remove_all(folder);
}

}  // namespace
