// Printing from the terminal front end, end to end: the real program in a
// tmux pane, its print form driven with send-keys, the job sent to a CUPS
// server of the test's own (or written to a PDF file with no server at
// all), and the printed page read back with pdfinfo and pdftotext -bbox.
// Every wait is for something on the screen, on disk or in the server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "tests/print/cups_server.h"
#include "tests/support/process.h"

namespace {

// The lines of a listing of mapped files or of ldd that name one of names,
// one per line, "" for none.
template <size_t count>
std::string linesNaming(const std::string& listing, const char* const (&names)[count])
{
    std::string found;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        for (const char* name : names) {
            if (line.find(name) != std::string::npos && found.find(line) == std::string::npos) found += line + "\n";
        }
    }
    return found;
}

// The libraries only printing needs (cups and cairo, and what they bring),
// and the print module.
std::string printingLibrariesIn(const std::string& listing)
{
    static const char* const names[] = {"libcups", "libcairo", "libgnutls", "libkrb5", "libavahi", "/print.so"};
    return linesNaming(listing, names);
}

// The libraries only the terminal front end needs (curses and terminfo),
// and the terminal module.
std::string terminalLibrariesIn(const std::string& listing)
{
    static const char* const names[] = {"libncurses", "libtinfo", "/terminal.so"};
    return linesNaming(listing, names);
}

std::string mapsOf(pid_t pid)
{
    return readFile("/proc/" + std::to_string(pid) + "/maps");
}

// A line typed at the prompt, longer than a printed row: digits in words
// of ten, so the cut at the printable width falls inside a word.
const std::string longLine = [] {
    std::string line;
    for (int i = 0; i < 12; ++i) line += "0123456789 ";
    return line;
}();

class TerminalPrinting : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("tmux -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed (Debian's tmux)";
        if (std::system("pdftotext -v > /dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
        char pattern[] = "/tmp/rastrel-tprint-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        folder = root + "/scans";
        socket = root + "/tmux.sock";
        ASSERT_EQ(std::system((std::string(MAKE_SAMPLES_BINARY) + " " + folder + " > /dev/null").c_str()), 0);
        std::ofstream(root + "/tmux.conf") << "set -g default-terminal tmux-256color\nset -g status off\n";
        ASSERT_EQ(tmux("-f " + root + "/tmux.conf new-session -d -x 100 -y 30 -c " + folder +
                       " -e LANG=C.UTF-8 -e LC_PAPER=C -e HISTFILE=/dev/null -e HOME=" + root +
                       " 'bash --norc --noprofile'"),
                  0);
        tmux("send-keys \"PS1='$ '\" Enter");
        ASSERT_TRUE(waitForText("$ "));
    }

    void TearDown() override
    {
        if (root.empty()) return;
        tmux("kill-server");
        server.stop();
        const std::string remove = "rm -rf " + quote(root) + " 2> /dev/null";
        for (int attempt = 0; attempt < 50 && std::system(remove.c_str()) != 0; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    int tmux(const std::string& arguments)
    {
        return std::system(("tmux -S " + quote(socket) + " " + arguments + " > /dev/null 2>&1").c_str());
    }
    void keys(const std::string& arguments) { tmux("send-keys " + arguments); }
    void type(const std::string& text) { tmux("send-keys -l " + quote(text)); }
    std::string screen() { return output("tmux -S " + quote(socket) + " capture-pane -p"); }
    bool waitForText(const std::string& text)
    {
        std::string last;
        if (waitFor([&] { return (last = screen()).find(text) != std::string::npos; })) return true;
        ADD_FAILURE() << "the pane never showed \"" << text << "\"; it shows:\n" << last;
        return false;
    }

    // The program with its prompt, a long line typed at it, in the
    // environment given.
    void startRastrel(const std::string& environment)
    {
        type("clear; " + environment + " " + RASTREL_BINARY + "; echo EXIT=$?");
        keys("Enter");
        ASSERT_TRUE(waitForText("Enter Selection:"));
        ASSERT_TRUE(waitForText(" File  Edit "));
        type(longLine);
        ASSERT_TRUE(waitForText("0123456789"));
    }
    void openPrintForm()
    {
        keys("M-f");
        ASSERT_TRUE(waitForText("Print"));
        keys("p");
        ASSERT_TRUE(waitForText("Destination:"));
    }
    void exitWithoutSaving()
    {
        keys("M-f");
        ASSERT_TRUE(waitForText("Exit"));
        keys("x");
        ASSERT_TRUE(waitForText("before quitting?"));
        keys("n");
        ASSERT_TRUE(waitForText("EXIT=1"));
    }

    // The page printed: its paper, and every word inside the margins; the
    // header, the page number and the transcript's first line whole, that
    // line starting at the printable area's left edge.
    void expectPage(const std::string& pdf, const std::string& paper, const double margins[4])
    {
        PrintedDocument page;
        ASSERT_TRUE(readPrinted(pdf, &page)) << pdf;
        EXPECT_NE(page.pageSize.find(paper), std::string::npos) << page.pageSize;
        EXPECT_EQ(wordsOutsideMargins(page, margins), "");
        EXPECT_NE(findWord(page, "Vellomex.out"), nullptr);
        EXPECT_NE(findWord(page, "Page"), nullptr);
        EXPECT_NE(findWord(page, "1"), nullptr);
        const PrintedWord* first = findWord(page, "Rastrel");
        ASSERT_NE(first, nullptr);
        EXPECT_NE(findWord(page, "1.0"), nullptr);
        EXPECT_NEAR(first->xMin, margins[0], 0.5);
        // The typed line runs to the printable area's right edge and goes on
        // on the next row.
        const PrintedWord* cut = findWord(page, "0123456789");
        ASSERT_NE(cut, nullptr);
        double right = 0;
        for (const PrintedWord& w : page.words) right = std::max(right, w.xMax);
        EXPECT_GT(right, page.width - margins[2] - 7);   // within a character of the edge
    }

    // The program the pane's shell started (0 when there is none).
    pid_t programPid()
    {
        const std::string shell = output("tmux -S " + quote(socket) + " display -p '#{pane_pid}'");
        const std::string children = readFile("/proc/" + std::to_string(std::atoi(shell.c_str())) + "/task/" +
                                              std::to_string(std::atoi(shell.c_str())) + "/children");
        return static_cast<pid_t>(std::atoi(children.c_str()));
    }

    std::string root, folder, socket;
    TestCupsServer server;
};

// A4 queues as an office has them: a printer with margins of its own (the
// default) and a PDF writer whose sizes are all borderless.
TEST_F(TerminalPrinting, EachQueueGetsItsDefaultPaperAndTheTextKeepsItsPrintableArea)
{
    std::string reason;
    if (!server.start(root, &reason)) GTEST_SKIP() << reason;
    ASSERT_TRUE(server.addQueue("writer", {testA4(0, 0, 0, 0), testLetter(0, 0, 0, 0)}, false, &reason)) << reason;
    ASSERT_TRUE(server.addQueue("office", {testA4(30, 40, 25, 35), testLetter(20, 30, 20, 30)}, true, &reason))
        << reason;
    startRastrel("env -u PRINTER -u LPDEST " + server.environment());

    openPrintForm();
    ASSERT_TRUE(waitForText("< office >"));   // the default, first
    keys("Enter");
    ASSERT_TRUE(waitFor([&] { return server.completed("office", 1); }));
    const double office[4] = {30, 35, 25, 40};
    expectPage(server.output("office"), "(A4)", office);
    EXPECT_NE(readFile(server.options("office")).find("media=iso_a4_210x297mm"), std::string::npos);

    openPrintForm();
    keys("Right");
    ASSERT_TRUE(waitForText("< writer >"));
    keys("Enter");
    ASSERT_TRUE(waitFor([&] { return server.completed("writer", 1); }));
    const double quarterInch[4] = {18, 18, 18, 18};
    expectPage(server.output("writer"), "(A4)", quarterInch);
    exitWithoutSaving();
}

// With no printing system to be reached, and whatever printers the machine
// has, the form offers the PDF file: the locale's paper, half-inch margins.
TEST_F(TerminalPrinting, APdfFileWithNoServerToBeReached)
{
    startRastrel(noCupsEnvironment(root));
    openPrintForm();
    ASSERT_TRUE(waitForText("< PDF file >"));
    keys("Down");
    keys("C-u");
    type(folder + "/printed.pdf");
    keys("Enter");
    ASSERT_TRUE(waitFor([&] {
        struct stat info{};
        return stat((folder + "/printed.pdf").c_str(), &info) == 0;
    }));
    const double halfInch[4] = {36, 36, 36, 36};
    expectPage(folder + "/printed.pdf", "(A4)", halfInch);
    exitWithoutSaving();
}

// Printing's libraries are loaded only when the user prints: neither the
// program's file nor a plain or terminal run that has not printed maps any
// of them; the print form loads the print module, and with it cairo.  The
// same for curses: only a run in the terminal loads the terminal module,
// and with it curses and terminfo.
TEST_F(TerminalPrinting, LibrariesAreLoadedOnlyWhenUsed)
{
    const std::string linked = output(std::string("ldd ") + RASTREL_BINARY);
    EXPECT_NE(linked.find("libc.so"), std::string::npos) << linked;
    EXPECT_EQ(printingLibrariesIn(linked), "");
    EXPECT_EQ(terminalLibrariesIn(linked), "");

    // Plain, waiting at the menu.
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    const std::string transcript = root + "/plain.out";
    const pid_t plain = fork();
    ASSERT_GE(plain, 0);
    if (plain == 0) {
        dup2(input[0], 0);
        const int out = open(transcript.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        close(input[1]);
        execl(RASTREL_BINARY, RASTREL_BINARY, "--plain", folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(input[0]);
    const bool waiting = waitFor([&] { return readFile(transcript).find("Enter Selection:") != std::string::npos; });
    const std::string plainMaps = mapsOf(plain);
    EXPECT_TRUE(write(input[1], "9\n", 2) == 2);
    close(input[1]);
    int status = 0;
    waitpid(plain, &status, 0);
    ASSERT_TRUE(waiting) << readFile(transcript);
    EXPECT_NE(plainMaps.find("rastrel"), std::string::npos);
    EXPECT_EQ(printingLibrariesIn(plainMaps), "");
    EXPECT_EQ(terminalLibrariesIn(plainMaps), "");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // In the terminal, until the print form opens.
    startRastrel(noCupsEnvironment(root));
    const pid_t terminal = programPid();
    ASSERT_GT(terminal, 0);
    const std::string terminalMaps = mapsOf(terminal);
    const std::string terminalLibraries = terminalLibrariesIn(terminalMaps);
    EXPECT_NE(terminalLibraries.find("libncursesw"), std::string::npos) << terminalLibraries;
    EXPECT_NE(terminalLibraries.find("/terminal.so"), std::string::npos) << terminalLibraries;
    EXPECT_EQ(printingLibrariesIn(terminalMaps), "");
    openPrintForm();
    const std::string printing = printingLibrariesIn(mapsOf(terminal));
    EXPECT_NE(printing.find("/print.so"), std::string::npos) << printing;
    EXPECT_NE(printing.find("libcairo"), std::string::npos) << printing;
    keys("Escape");
    ASSERT_TRUE(waitForText("Enter Selection:"));
    exitWithoutSaving();
}

}  // namespace
