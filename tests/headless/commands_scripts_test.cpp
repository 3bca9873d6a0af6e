// The File and Edit commands and printing, end to end: the real program and
// small test programs run with --headless and a script, in a fresh folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script_run.h"

namespace {

using script_test::Report;
using script_test::makeFolder;
using script_test::readFile;
using script_test::runScript;
using script_test::savePrompt;

// The menu program's first screen, as the transcript holds it.
const std::string banner =
    "\r\n\r\n\r\nRastrel 1.0\r\n1 - Convert scan file to TIFF.\r\n9 - Exit.\r\n\r\nEnter Selection: ";

// The lines of a report's printed documents, one string.
std::string documents(const Report& report)
{
    std::string all;
    for (const std::string& line : report.documents) {
        all += line + "\n";
    }
    return all;
}

std::string boxes(const Report& report)
{
    std::string all;
    for (const std::string& line : report.boxes) {
        all += line + "\n";
    }
    return all;
}

// ---------------------------------------------------------------------------
// Save and the close prompt

TEST(CommandScripts, SaveAsksForAFileTitlesTheWindowAndTheClosePromptNamesIt)
{
    const std::string folder = makeFolder();
    script_test::ScriptRun run = runScript(RASTREL_BINARY,
                        "menu 13\n"
                        "save-dialog " + folder + "/session.txt\n"
                        "dump\n"
                        "type 9\\r\n"
                        "answer no\n",
                        {}, folder);
    ASSERT_EQ(run.exitLine, "exit: 0") << run.errors;
    ASSERT_GE(run.reports.size(), 2u);
    const Report& saved = run.reports[0];
    EXPECT_EQ(saved.title, "Vellomex - session.txt");
    EXPECT_EQ(saved.modified, 0);
    EXPECT_EQ(readFile(folder + "/session.txt"), banner);
    EXPECT_EQ(saved.transcript, banner);
    EXPECT_EQ(boxes(run.last()), savePrompt("no", "session.txt") + "\n");
}

TEST(CommandScripts, YesThenACancelledDialogKeepsTheWindowOpen)
{
    script_test::ScriptRun run = runScript(RASTREL_BINARY,
                        "close\n"
                        "answer yes\n"
                        "save-dialog cancel\n"
                        "dump\n"
                        "menu 15\n"
                        "answer cancel\n"
                        "dump\n"
                        "close\n"
                        "answer no\n");
    // The window went while the menu waited for its selection.
    EXPECT_EQ(run.exitLine, "exit: 1") << run.errors;
    ASSERT_GE(run.reports.size(), 3u);
    EXPECT_EQ(run.reports[0].visible, 1);
    EXPECT_EQ(run.reports[0].title, "Vellomex Text Window");
    EXPECT_EQ(boxes(run.reports[0]), savePrompt("yes") + "\n");
    EXPECT_EQ(run.reports[1].visible, 1);
    EXPECT_EQ(boxes(run.reports[1]), savePrompt("cancel") + "\n");
    EXPECT_EQ(boxes(run.last()), savePrompt("no") + "\n");
}

TEST(CommandScripts, CtrlSWhileAReadWaitsIsTypedIntoTheLine)
{
    script_test::ScriptRun run = runScript(APP_READER,
                        "type ab\\x13cd\\r\n"
                        "dump\n"
                        "type \\x1a\n"
                        "close\n"
                        "answer no\n");
    ASSERT_EQ(run.exitLine, "exit: 0") << run.errors;
    EXPECT_NE(run.reports[0].transcript.find("[6:ab\x13" "cd\\n]"), std::string::npos)
        << run.reports[0].transcript;
    EXPECT_EQ(run.reports[0].title, "Vellomex Text Window");
}

TEST(CommandScripts, CtrlSWhileOutputRunsSaves)
{
    const std::string folder = makeFolder();
    script_test::ScriptRun run = runScript(APP_BULK,
                        "pump: type \\x13\n"
                        "save-dialog " + folder + "/during.txt\n"
                        "dump\n"
                        "close\n"
                        "answer no\n",
                        {}, folder);
    ASSERT_EQ(run.exitLine, "exit: 0") << run.errors;
    const std::string saved = readFile(folder + "/during.txt");
    EXPECT_FALSE(saved.empty());
    EXPECT_EQ(saved.rfind("line 0000 of the bulk output", 0), 0u);
    EXPECT_EQ(run.reports[0].title, "Vellomex - during.txt");
    EXPECT_EQ(run.reports[0].modified, 1);   // the output went on after the save
    EXPECT_EQ(boxes(run.last()), savePrompt("no", "during.txt") + "\n");
}

// ---------------------------------------------------------------------------
// The clipboard

TEST(CommandScripts, PasteDuringAReadCompletesALineForEachLineEnd)
{
    script_test::ScriptRun run = runScript(APP_READER,
                        "clipboard one\\r\\ntwo\\r\\n\n"
                        "menu 19\n"
                        "dump\n"
                        "type \\x1a\n"
                        "close\n"
                        "answer no\n");
    ASSERT_EQ(run.exitLine, "exit: 0") << run.errors;
    const std::string& text = run.reports[0].transcript;
    // Both lines are pending before the program reads them.
    EXPECT_NE(text.find("one\r\ntwo\r\n["), std::string::npos) << text;
    EXPECT_NE(text.find("one\\ntwo\\n]"), std::string::npos) << text;
}

// ---------------------------------------------------------------------------
// Printing

TEST(CommandScripts, PrintingTheMenuScreen)
{
    // The pump: dump runs while the job prints its page: the document is
    // not reported until it is whole.
    script_test::ScriptRun run = runScript(RASTREL_BINARY,
                        "menu 14\n"
                        "print-dialog ok\n"
                        "pump: dump\n"
                        "dump\n"
                        "type 9\\r\n"
                        "answer no\n");
    ASSERT_EQ(run.exitLine, "exit: 0") << run.errors;
    ASSERT_GE(run.reports.size(), 2u);
    EXPECT_EQ(documents(run.reports[0]), "");
    EXPECT_EQ(documents(run.reports[1]),
              "document: \"Vellomex.out\" pages=1\n"
              "page: 1\n"
              "text: 0 0 \"Vellomex.out\"\n"
              "text: 4500 0 \"Page 1\"\n"
              "text: 0 500 \"Rastrel 1.0\"\n"
              "text: 0 600 \"1 - Convert scan file to TIFF.\"\n"
              "text: 0 700 \"9 - Exit.\"\n"
              "text: 0 900 \"Enter Selection: \"\n"
              "line: 0 100 4800 100\n");
    EXPECT_EQ(boxes(run.reports[1]), "");
}

TEST(CommandScripts, CopiesAndPageRanges)
{
    // Five body rows a page: the menu screen's eight rows take two pages.
    script_test::ScriptRun run = runScript(RASTREL_BINARY,
                        "printer 4800 700 50 100\n"
                        "menu 14\n"
                        "print-dialog ok copies=3 collate=1\n"
                        "dump\n"
                        "menu 14\n"
                        "print-dialog ok copies=3 collate=0\n"
                        "dump\n"
                        "menu 14\n"
                        "print-dialog ok pages=2-3\n"
                        "dump\n"
                        "type 9\\r\n"
                        "answer no\n");
    ASSERT_EQ(run.exitLine, "exit: 0") << run.errors;
    ASSERT_GE(run.reports.size(), 3u);
    auto labels = [](const Report& report) {
        std::string all;
        for (const std::string& line : report.documents) {
            if (line.find("\"Page ") != std::string::npos) {
                all += line.substr(line.find("Page ") + 5, 1);
            }
        }
        return all;
    };
    EXPECT_EQ(labels(run.reports[0]), "121212");
    EXPECT_EQ(labels(run.reports[1]), "111222");
    EXPECT_EQ(labels(run.reports[2]), "23");
    const std::string ranged = documents(run.reports[2]);
    EXPECT_NE(ranged.find("text: 0 200 \"9 - Exit.\""), std::string::npos) << ranged;
    // Page 3 lies past the text: its header and rule only.
    EXPECT_NE(ranged.find("page: 2\ntext: 0 0 \"Vellomex.out\"\ntext: 4500 0 \"Page 3\"\nline: 0 100 4800 100\n"),
              std::string::npos)
        << ranged;
}

TEST(CommandScripts, CancelledAndFailedJobsAreReported)
{
    script_test::ScriptRun run = runScript(RASTREL_BINARY,
                        "printer 4800 700 50 100\n"
                        "cancel-print-after 1\n"
                        "menu 14\n"
                        "print-dialog ok\n"
                        "answer ok\n"
                        "dump\n"
                        "cancel-print-after 0\n"
                        "printer fail=startdoc\n"
                        "menu 14\n"
                        "print-dialog ok\n"
                        "answer ok\n"
                        "dump\n"
                        "printer none\n"
                        "menu 14\n"
                        "print-dialog ok nodc\n"
                        "answer ok\n"
                        "answer ok\n"
                        "dump\n"
                        "type 9\\r\n"
                        "answer no\n");
    ASSERT_EQ(run.exitLine, "exit: 0") << run.errors;
    ASSERT_GE(run.reports.size(), 3u);
    const std::string failed = "\"Vellomex\" \"Could not print output\" ok\n";
    EXPECT_NE(documents(run.reports[0]).find("pages=1\n"), std::string::npos) << documents(run.reports[0]);
    EXPECT_EQ(boxes(run.reports[0]), failed);
    EXPECT_EQ(boxes(run.reports[1]), failed);
    EXPECT_EQ(documents(run.reports[1]).find("text:"), std::string::npos);
    EXPECT_EQ(boxes(run.reports[2]), "\"Vellomex\" \"Default printer not found\" ok\n" + failed);
    EXPECT_EQ(documents(run.reports[2]), "");
}

}  // namespace
