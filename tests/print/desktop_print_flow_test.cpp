// Printing from the desktop window, end to end: the program in its window
// on an Xvfb of the test's own with a window manager (openbox, where it is
// installed), GTK's print dialog answered with real X input (xdotool), the
// job sent to a CUPS server of the test's own, and the printed page read
// back with pdfinfo and pdftotext -bbox.  Every wait is for a condition.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/gtk/display.h"
#include "tests/print/cups_server.h"
#include "tests/support/process.h"

namespace {

bool exists(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

pid_t spawn(const std::vector<std::string>& arguments, const std::string& folder, const std::string& home,
            const std::vector<std::pair<std::string, std::string>>& variables, const std::string& log)
{
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (chdir(folder.c_str()) != 0) _exit(126);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
        unsetenv("PRINTER");
        unsetenv("LPDEST");
        for (const auto& v : variables) setenv(v.first.c_str(), v.second.c_str(), 1);
        const int input = open("/dev/null", O_RDONLY);
        const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        dup2(input, 0);
        dup2(output, 1);
        dup2(output, 2);
        std::vector<char*> argv;
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void end(pid_t* pid)
{
    if (*pid > 0) {
        kill(*pid, SIGKILL);
        waitpid(*pid, nullptr, 0);
        *pid = 0;
    }
}

class DesktopPrinting : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_TEST_DISPLAY();
        for (const char* tool : {"xdotool", "pdftotext", "pdfinfo"}) {
            if (shell(std::string("command -v ") + tool).empty()) GTEST_SKIP() << tool << " is not installed";
        }
        char pattern[] = "/tmp/rastrel-dprint-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home = pattern;
        std::string reason;
        if (!server.start(home, &reason)) GTEST_SKIP() << reason;
        // A window manager, as a desktop has, when one is installed.
        if (!shell("command -v openbox").empty()) {
            const std::string ready = home + "/openbox.ready";
            windowManager = spawn({"openbox", "--sm-disable", "--startup", "touch " + ready}, home, home, {},
                                  home + "/openbox.log");
            ASSERT_TRUE(waitFor([&] { return exists(ready); })) << "openbox did not start";
        }
    }

    void TearDown() override
    {
        end(&program);
        end(&windowManager);
        server.stop();
        if (!home.empty()) std::system(("rm -rf " + home).c_str());
    }

    // A visible window whose title matches exactly ("" when none comes).
    std::string window(const std::string& title, double seconds = 20)
    {
        std::string id;
        waitFor([&] {
            std::istringstream ids(shell("xdotool search --onlyvisible --name '^" + title + "$'"));
            ids >> id;
            return !id.empty();
        }, seconds);
        return id;
    }
    void keys(const std::string& id, const std::string& sequence)
    {
        shell("xdotool windowactivate --sync " + id + " key --delay 100 " + sequence);
    }

    // The program writes two lines (the first from column 0) and returns;
    // its window stays.
    void startProgram()
    {
        program = spawn({RETURNS_BINARY, "--window"}, home, home, server.variables(), home + "/program.log");
        mainWindow = window("Vellomex Text Window");
        ASSERT_FALSE(mainWindow.empty()) << shell("cat " + home + "/program.log");
    }

    // Opens the print dialog and answers it with its Print button (Alt+P),
    // which it takes once a printer is selected.
    void printWithTheDialogsDefaultAnswer()
    {
        // The item's key goes once the File menu is up (the program's
        // second visible window): sent before, it is typed at the prompt.
        keys(mainWindow, "alt+f");
        waitFor([&] {
            const std::string ids = shell("xdotool search --onlyvisible --pid " + std::to_string(program));
            return std::count(ids.begin(), ids.end(), '\n') >= 2;
        }, 10);
        shell("xdotool key p");
        const std::string dialog = window("Print");
        ASSERT_FALSE(dialog.empty()) << "no print dialog";
        EXPECT_TRUE(waitFor([&] {
            keys(dialog, "alt+p");
            return window("Print", 0.5).empty();
        }));
    }

    void expectPage(const std::string& pdf, const double margins[4])
    {
        PrintedDocument page;
        ASSERT_TRUE(readPrinted(pdf, &page)) << pdf;
        EXPECT_NE(page.pageSize.find("(A4)"), std::string::npos) << page.pageSize;
        EXPECT_EQ(wordsOutsideMargins(page, margins), "");
        EXPECT_NE(findWord(page, "Vellomex.out"), nullptr);
        EXPECT_NE(findWord(page, "Page"), nullptr);
        EXPECT_NE(findWord(page, "1"), nullptr);
        const PrintedWord* first = findWord(page, "first");
        ASSERT_NE(first, nullptr);
        EXPECT_NE(findWord(page, "line"), nullptr);
        EXPECT_NEAR(first->xMin, margins[0], 0.5);
    }

    std::string home, mainWindow;
    pid_t program = 0, windowManager = 0;
    TestCupsServer server;
};

TEST_F(DesktopPrinting, TheDialogOpensOnTheDefaultPrinterThenOnTheLastOneAndThePageKeepsTheMargins)
{
    std::string reason;
    ASSERT_TRUE(server.addQueue("office", {testA4(30, 40, 25, 35), testLetter(20, 30, 20, 30)}, true, &reason))
        << reason;
    ASSERT_TRUE(server.addQueue("writer", {testA4(0, 0, 0, 0), testLetter(0, 0, 0, 0)}, false, &reason)) << reason;
    startProgram();

    printWithTheDialogsDefaultAnswer();
    ASSERT_TRUE(waitFor([&] { return server.completed("office", 1); })) << "nothing reached the default printer";
    const double office[4] = {30, 35, 25, 40};
    expectPage(server.output("office"), office);
    EXPECT_FALSE(exists(home + "/output.pdf"));   // not printed to a file

    // Another default now; the dialog still offers the printer just used.
    ASSERT_EQ(server.client("lpadmin -d writer"), 0);
    printWithTheDialogsDefaultAnswer();
    EXPECT_TRUE(waitFor([&] { return server.completed("office", 2); }));
    EXPECT_FALSE(server.completed("writer", 1));
}

// A PDF writer whose sizes are all borderless: its A4, a quarter inch off
// every edge.
TEST_F(DesktopPrinting, ABorderlessDefaultPaperKeepsAQuarterInchOffTheEdges)
{
    std::string reason;
    ASSERT_TRUE(server.addQueue("writer", {testA4(0, 0, 0, 0), testLetter(0, 0, 0, 0)}, true, &reason)) << reason;
    startProgram();
    printWithTheDialogsDefaultAnswer();
    ASSERT_TRUE(waitFor([&] { return server.completed("writer", 1); })) << "nothing reached the default printer";
    const double quarterInch[4] = {18, 18, 18, 18};
    expectPage(server.output("writer"), quarterInch);
}

}  // namespace
