// The program in a real terminal: build/rastrel started from a shell in a
// tmux pane of 100 x 30, driven with send-keys (and mouse reports sent as
// the terminal would send them), read back with capture-pane.  Every wait
// is for something on the screen or on disk, never a sleep alone.
//
// Each run ends by printing its status and whether the terminal's modes are
// what they were before (stty -g), and every byte the pane was sent is kept
// (pipe-pane), so every flow also checks that the terminal was given back:
// its line modes and the modes the program turned on by escape sequences.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace {

bool fileExists(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

// A tmux server of its own with one pane running a plain shell in a folder
// of sample scan files.
class Pane : public ::testing::Test {
protected:
    std::string root;
    std::string folder;
    std::string socket;

    void SetUp() override
    {
        if (std::system("tmux -V > /dev/null 2>&1") != 0) {
            GTEST_SKIP() << "tmux is not installed (Debian's tmux): the terminal flows are not tested";
        }
        char pattern[] = "/tmp/rastrel-tmux-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        folder = root + "/scans";
        socket = root + "/tmux.sock";
        ASSERT_EQ(std::system((std::string(MAKE_SAMPLES_BINARY) + " " + folder + " > /dev/null").c_str()), 0);
        std::ofstream conf(root + "/tmux.conf");
        conf << "set -g default-terminal tmux-256color\nset -g set-clipboard on\nset -g status off\n"
                "set -g history-limit 0\n";
        conf.close();
        ASSERT_EQ(tmux("-f " + root + "/tmux.conf new-session -d -x 100 -y 30 -c " + folder +
                       " -e LANG=C.UTF-8 -e HISTFILE=/dev/null -e HOME=" + root + " 'bash --norc --noprofile'"),
                  0);
        keys("\"PS1='$ '\" Enter");
        ASSERT_TRUE(waitFor([](const std::string& s) { return s.find("$ ") != std::string::npos; }));
        ASSERT_EQ(tmux("pipe-pane -O " + quote("cat >> " + quote(root + "/pane.bytes"))), 0);
    }

    void TearDown() override
    {
        if (root.empty()) return;
        tmux("kill-server");
        // A program the server's end has just hung up may still be leaving.
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

    // Bytes as the terminal would send them (mouse reports).
    void bytes(const std::string& data)
    {
        std::string hex;
        char byte[4];
        for (unsigned char c : data) {
            std::snprintf(byte, sizeof byte, " %02x", c);
            hex += byte;
        }
        tmux("send-keys -H" + hex);
    }
    // A left-button click or drag in terminal cells (row and column from 0).
    void mouse(int code, int row, int column, bool release)
    {
        bytes("\x1b[<" + std::to_string(code) + ";" + std::to_string(column + 1) + ";" + std::to_string(row + 1) +
              (release ? "m" : "M"));
    }

    std::string screen(bool attributes = false)
    {
        return output("tmux -S " + quote(socket) + " capture-pane -p" + (attributes ? " -e" : ""));
    }
    std::string line(int row)
    {
        std::istringstream in(screen());
        std::string text;
        for (int i = 0; i <= row && std::getline(in, text); ++i) {
        }
        return text;
    }

    bool waitFor(const std::function<bool(const std::string&)>& condition, int seconds = 20)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        std::string last;
        while (std::chrono::steady_clock::now() < deadline) {
            last = screen();
            if (condition(last)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        ADD_FAILURE() << "the pane never showed what was waited for; it shows:\n" << last;
        return false;
    }
    bool waitForText(const std::string& text, int seconds = 20)
    {
        return waitFor([&](const std::string& s) { return s.find(text) != std::string::npos; }, seconds);
    }
    bool waitForFile(const std::string& path)
    {
        return waitFor([&](const std::string&) { return fileExists(path); });
    }

    // Starts a program from the shell; its status and the terminal's state
    // are printed when it ends.
    void start(const std::string& program, const std::string& environment = "")
    {
        type("clear; s=$(stty -g); " + environment + " " + program +
             "; echo EXIT=$?; [ \"$(stty -g)\" = \"$s\" ] && echo TTY=same || echo TTY=changed");
        keys("Enter");
    }
    void startRastrel(const std::string& environment = "")
    {
        start(RASTREL_BINARY, environment);
        ASSERT_TRUE(waitForText("Enter Selection:"));
        ASSERT_TRUE(waitForText(" File  Edit "));
    }
    // Every byte the pane has been sent so far.
    std::string written() { return readFile(root + "/pane.bytes"); }
    bool waitForWritten(const std::string& text)
    {
        return waitFor([&](const std::string&) { return written().find(text) != std::string::npos; });
    }

    // The modes the program turned on by escape sequences are off again:
    // Meta sending Esc (saved first, and restored), the mouse reports, the
    // alternate screen, and the title stack as deep as before.  The
    // terminal's own eight-bit Meta mode is never touched.
    void expectModesRestored()
    {
        const std::string bytes = written();
        const auto count = [&](const std::string& what) {
            size_t n = 0;
            for (size_t at = bytes.find(what); at != std::string::npos; at = bytes.find(what, at + 1)) ++n;
            return n;
        };
        for (const char* mode : {"1036", "1006", "1002", "1049"}) {
            const size_t on = bytes.rfind(std::string("\x1b[?") + mode + "h");
            const size_t off = bytes.rfind(std::string("\x1b[?") + mode + "l");
            EXPECT_NE(on, std::string::npos) << mode;
            EXPECT_TRUE(off != std::string::npos && off > on) << mode << " is left on";
        }
        const size_t lastOn = bytes.rfind("\x1b[?1036h");
        const size_t lastRestore = bytes.rfind("\x1b[?1036r");
        EXPECT_TRUE(lastRestore != std::string::npos && lastRestore > lastOn);
        EXPECT_TRUE(bytes.find("\x1b[?1036s") < bytes.find("\x1b[?1036h"));
        EXPECT_EQ(count("\x1b[?1036s"), count("\x1b[?1036r"));
        EXPECT_EQ(count("\x1b[22;0t"), count("\x1b[23;0t"));
        EXPECT_EQ(bytes.find("\x1b[?1034"), std::string::npos);
    }

    // The program has ended with status and the terminal is as it was.
    void expectEnded(const std::string& status)
    {
        // The typed command holds "TTY=" itself: wait for what the shell printed.
        ASSERT_TRUE(waitForText("EXIT=" + status + "\nTTY="));
        const std::string s = screen();
        EXPECT_NE(s.find("EXIT=" + status + "\nTTY=same\n"), std::string::npos) << s;
        EXPECT_EQ(s.find(" File  Edit "), std::string::npos) << s;
        ASSERT_TRUE(waitForWritten("EXIT=" + status + "\r\nTTY="));
        expectModesRestored();
    }
    // Answers the close prompt with No; the program ends.
    void exitWithoutSaving(const std::string& status)
    {
        keys("M-f");
        ASSERT_TRUE(waitForText("Exit"));
        keys("x");
        ASSERT_TRUE(waitForText("before quitting?"));
        keys("n");
        expectEnded(status);
    }
    int rowOf(const std::string& text)
    {
        std::istringstream in(screen());
        std::string row;
        for (int i = 0; std::getline(in, row); ++i) {
            if (row.find(text) != std::string::npos) return i;
        }
        return -1;
    }
    pid_t programPid()
    {
        const std::string shell = output("tmux -S " + quote(socket) + " display -p '#{pane_pid}'");
        return static_cast<pid_t>(std::atoi(output("pgrep -P " + std::to_string(std::atoi(shell.c_str()))).c_str()));
    }
};

TEST_F(Pane, TheMenuAppearsAndOneConverts)
{
    startRastrel();
    EXPECT_EQ(line(0).rfind(" File  Edit   Vellomex Text Window", 0), 0u) << line(0);
    type("1");
    keys("Enter");
    ASSERT_TRUE(waitForText("Could not open 6.bin"));
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(fileExists(folder + "/" + std::to_string(i) + ".tif"));
    EXPECT_NE(screen().find("Writing TIFF file 5"), std::string::npos);
    type("9");
    keys("Enter");
    ASSERT_TRUE(waitForText("before quitting?"));
    keys("n");
    expectEnded("0");
}

TEST_F(Pane, TypingBackspaceAndALongLine)
{
    startRastrel();
    type("abc");
    keys("BSpace");
    ASSERT_TRUE(waitForText("Enter Selection: ab"));
    EXPECT_EQ(screen().find("Enter Selection: abc"), std::string::npos);
    // A line longer than the 99 text columns goes on in the next row.
    const std::string longText(120, 'x');
    type(longText);
    ASSERT_TRUE(waitForText(std::string(21, 'x')));
    const int row = rowOf("Enter Selection: ab");
    ASSERT_GT(row, 0);
    EXPECT_EQ(line(row).substr(0, 99), "Enter Selection: ab" + std::string(80, 'x'));
    const std::string next = line(row + 1);
    EXPECT_EQ(next.substr(0, 40), std::string(40, 'x'));
    EXPECT_TRUE(next.size() == 40 || next[40] == ' ') << next;
    exitWithoutSaving("1");
}

TEST_F(Pane, CtrlSSavesTheTranscriptWithCrLf)
{
    startRastrel();
    keys("C-c");   // the program ends; the window stays and Ctrl+S is Save
    keys("C-s");
    ASSERT_TRUE(waitForText("Save as: Vellomex.txt"));
    keys("BSpace BSpace BSpace BSpace BSpace BSpace BSpace BSpace BSpace BSpace BSpace BSpace");
    type("out/transcript");
    keys("Enter");
    ASSERT_TRUE(waitForText("does not exist"));   // no such folder: a box, then the prompt again
    keys("Enter");
    ASSERT_TRUE(waitForText("Save as: out/transcript"));
    keys("C-u");
    type("transcript");
    keys("Enter");
    ASSERT_TRUE(waitForFile(folder + "/transcript.txt"));
    ASSERT_TRUE(waitForText("Vellomex - transcript.txt"));
    const std::string saved = readFile(folder + "/transcript.txt");
    EXPECT_NE(saved.find("Rastrel 1.0\r\n1 - Convert scan file to TIFF.\r\n"), std::string::npos);
    EXPECT_EQ(saved.find("\n\n"), std::string::npos);
    keys("M-f");
    ASSERT_TRUE(waitForText("Exit"));
    keys("x");   // saved: no question
    expectEnded("0");
}

TEST_F(Pane, TheMenusByF10AndByAlt)
{
    startRastrel();
    keys("F10");
    ASSERT_TRUE(waitForText("Ctrl+P"));
    EXPECT_NE(screen().find("Save    Ctrl+S"), std::string::npos);
    keys("Right");
    ASSERT_TRUE(waitForText("Select All"));
    EXPECT_EQ(screen().find("Ctrl+P"), std::string::npos);
    // Nothing is selected: Cut and Copy are grayed (dim), Select All is not.
    const std::string shown = screen(true);
    EXPECT_NE(shown.find("\x1b[2m Cut"), std::string::npos) << shown;
    keys("Escape");
    ASSERT_TRUE(waitFor([](const std::string& s) { return s.find("Select All") == std::string::npos; }));
    keys("M-e");
    ASSERT_TRUE(waitForText("Select All"));
    keys("l");   // its underlined letter: Select All
    ASSERT_TRUE(waitFor([](const std::string& s) { return s.find("Select All") == std::string::npos; }));
    keys("M-e");
    ASSERT_TRUE(waitForText("Select All"));
    keys("Down");
    keys("Down");   // Copy, now that everything is selected
    keys("Enter");
    ASSERT_TRUE(waitFor([](const std::string& s) { return s.find("Select All") == std::string::npos; }));
    const std::string copied = output("tmux -S " + quote(socket) + " show-buffer");
    EXPECT_NE(copied.find("Rastrel 1.0\n1 - Convert"), std::string::npos) << copied;
    keys("M-f");
    ASSERT_TRUE(waitForText("Exit"));
    keys("Escape");
    exitWithoutSaving("1");
}

TEST_F(Pane, AMouseSelectionIsCopiedAndPastedBack)
{
    startRastrel();
    const int row = rowOf("Rastrel 1.0");
    ASSERT_GT(row, 0);
    mouse(0, row, 0, false);
    mouse(32, row, 4, false);
    mouse(32, row, 7, false);
    mouse(0, row, 7, true);
    // The row alone: capture-pane -e carries attributes over from the rows above.
    const std::string captureRow = "tmux -S " + quote(socket) + " capture-pane -p -e -S " + std::to_string(row) +
                                   " -E " + std::to_string(row);
    ASSERT_TRUE(waitFor([&](const std::string&) {
        return output(captureRow).find("\x1b[7mRastrel\x1b[") != std::string::npos;
    }));
    keys("C-c");   // with a selection, Ctrl+C copies: into the terminal's clipboard too
    ASSERT_TRUE(waitFor([&](const std::string&) {
        return output("tmux -S " + quote(socket) + " show-buffer") == "Rastrel";
    }));
    // Edit, Paste: the console's own clipboard, typed into the line.
    mouse(0, row + 3, 30, false);   // a click clears the selection
    mouse(0, row + 3, 30, true);
    keys("M-e");
    ASSERT_TRUE(waitForText("Paste"));
    keys("p");
    ASSERT_TRUE(waitForText("Enter Selection: Rastrel"));
    // A paste from the terminal arrives as typed characters.
    tmux("set-buffer ' and more'");
    tmux("paste-buffer -p");
    ASSERT_TRUE(waitForText("Enter Selection: Rastrel and more"));
    exitWithoutSaving("1");
}

TEST_F(Pane, NineThenNoGivesTheShellsScreenBack)
{
    type("clear; echo before the program");
    keys("Enter");
    ASSERT_TRUE(waitForText("before the program\n$"));
    const std::string before = screen();
    type("s=$(stty -g); " + std::string(RASTREL_BINARY) +
         "; echo EXIT=$?; [ \"$(stty -g)\" = \"$s\" ] && echo TTY=same || echo TTY=changed");
    keys("Enter");
    ASSERT_TRUE(waitForText("Enter Selection:"));
    type("9");
    keys("Enter");
    ASSERT_TRUE(waitForText("Do you wish to save Vellomex.txt before quitting?"));
    EXPECT_NE(screen().find("[ Yes ]  [ No ]  [ Cancel ]"), std::string::npos);
    keys("n");
    // The typed command holds "TTY=" itself: wait for what the shell printed.
    ASSERT_TRUE(waitForText("EXIT=0\nTTY="));
    const std::string after = screen();
    EXPECT_EQ(after.rfind("before the program\n$ s=$(stty -g);", 0), 0u) << after;
    EXPECT_NE(after.find("EXIT=0\nTTY=same\n$"), std::string::npos) << after;
    EXPECT_EQ(after.find("File  Edit"), std::string::npos);
    ASSERT_TRUE(waitForWritten("EXIT=0\r\nTTY="));
    expectModesRestored();
}

TEST_F(Pane, TheWindowFollowsAResize)
{
    startRastrel();
    tmux("resize-window -x 80 -y 20");
    // The scroll bar's lower arrow moves to the new last cell.
    ASSERT_TRUE(waitFor([&](const std::string&) { return line(19).find("\u2193") == 79; }));
    EXPECT_NE(line(rowOf("Rastrel 1.0")).find("Rastrel 1.0"), std::string::npos);
    type("1");
    keys("Enter");
    ASSERT_TRUE(waitForText("Could not open 6.bin"));
    tmux("resize-window -x 100 -y 30");
    ASSERT_TRUE(waitFor([&](const std::string&) { return line(29).find("\u2193") == 99; }));
    EXPECT_NE(screen().find("Writing TIFF file 5"), std::string::npos);
    exitWithoutSaving("1");
}

TEST_F(Pane, CtrlCEndsTheProgramAndTheWindowStays)
{
    startRastrel();
    keys("C-c");
    type("1");
    keys("Enter");   // nobody reads any more: it only edits the transcript
    ASSERT_TRUE(waitForText("Enter Selection: 1"));
    EXPECT_EQ(screen().find("Writing TIFF file"), std::string::npos);
    EXPECT_FALSE(fileExists(folder + "/0.tif"));
    exitWithoutSaving("0");
}

TEST_F(Pane, AFaultShowsItsBoxAndGivesTheTerminalBack)
{
    start(APP_FAULTS);
    ASSERT_TRUE(waitForText("Unhandled Exception"));
    EXPECT_NE(screen().find("Unhandled exception: c0000094"), std::string::npos);
    EXPECT_NE(screen().find("[ OK ]"), std::string::npos);
    keys("Enter");
    // The typed command holds "TTY=" itself: wait for what the shell printed,
    // 128 + SIGFPE, as without the window.
    ASSERT_TRUE(waitForText("EXIT=136\nTTY="));
    const std::string s = screen();
    EXPECT_NE(s.find("EXIT=136\nTTY=same\n"), std::string::npos) << s;
    ASSERT_TRUE(waitForWritten("EXIT=136\r\nTTY="));
    expectModesRestored();
}

TEST_F(Pane, SigtermClosesTheWindowAsTheCloseBoxWould)
{
    startRastrel();
    const pid_t pid = programPid();
    ASSERT_GT(pid, 0);
    kill(pid, SIGTERM);
    ASSERT_TRUE(waitForText("before quitting?"));
    keys("n");
    expectEnded("1");   // closed while a read waited
}

TEST_F(Pane, SighupClosesWithoutAskingAnyone)
{
    startRastrel();
    const pid_t pid = programPid();
    ASSERT_GT(pid, 0);
    kill(pid, SIGHUP);
    expectEnded("1");
}

// The state letter of a process (R, S, T for stopped, ...), from /proc.
char processState(pid_t pid)
{
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2];
}

// No signal is waiting to be handled by the process: its handlers have run.
bool signalsHandled(pid_t pid)
{
    std::istringstream in(readFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    bool seen = false;
    while (std::getline(in, line)) {
        if (line.rfind("SigPnd:", 0) == 0 || line.rfind("ShdPnd:", 0) == 0) {
            seen = true;
            if (std::strtoull(line.c_str() + 7, nullptr, 16) != 0) return false;
        }
    }
    return seen;
}

// xterm's terminfo knows a Meta key (km, and smm for its eight-bit form):
// the program asks for Esc with Meta instead while the window is shown,
// saving the terminal's setting first and restoring it after.
TEST_F(Pane, MetaSendsEscapeWhileTheWindowIsShown)
{
    startRastrel("TERM=xterm-256color");
    std::string bytes = written();
    const size_t on = bytes.find("\x1b[?1036h");
    ASSERT_NE(on, std::string::npos) << "the program never asked for Esc with Meta";
    EXPECT_LT(bytes.find("\x1b[?1036s"), on);
    EXPECT_EQ(bytes.find("\x1b[?1036l"), std::string::npos);
    keys("M-f");   // Alt+F as Esc f: the File menu
    ASSERT_TRUE(waitForText("Ctrl+P"));
    keys("Escape");
    exitWithoutSaving("1");
}

// Suspended from outside and brought back with the shell's fg: the shell
// has its screen and modes while the program is stopped, and the window
// comes back with its modes.
TEST_F(Pane, SuspendedAndBroughtBackByTheShell)
{
    type("clear; s=$(stty -g)");
    keys("Enter");
    type(RASTREL_BINARY);
    keys("Enter");
    ASSERT_TRUE(waitForText("Enter Selection:"));
    ASSERT_TRUE(waitForText(" File  Edit "));
    const pid_t pid = programPid();
    ASSERT_GT(pid, 0);
    kill(pid, SIGTSTP);
    ASSERT_TRUE(waitForText("Stopped"));
    EXPECT_EQ(processState(pid), 'T');
    const std::string stopped = written();
    EXPECT_GT(stopped.rfind("\x1b[?1036r"), stopped.rfind("\x1b[?1036h"));
    EXPECT_GT(stopped.rfind("\x1b[?1002l"), stopped.rfind("\x1b[?1002h"));
    type("fg");
    keys("Enter");
    ASSERT_TRUE(waitForText(" File  Edit "));
    ASSERT_TRUE(waitForText("Enter Selection:"));
    ASSERT_TRUE(waitFor([&](const std::string&) { return written().rfind("\x1b[?1036h") > stopped.size(); }));
    type("9");
    keys("Enter");
    ASSERT_TRUE(waitForText("before quitting?"));
    keys("n");
    ASSERT_TRUE(waitFor([](const std::string& s) { return s.find(" File  Edit ") == std::string::npos; }));
    type("echo EXIT=$?; [ \"$(stty -g)\" = \"$s\" ] && echo TTY=same || echo TTY=changed");
    keys("Enter");
    expectEnded("0");
}

// SIGTSTP and then SIGCONT, both arriving while the program cannot look at
// them (a save blocked on a pipe nobody reads yet): the program goes on
// running once the save is done, with its window drawn, and does not stop
// itself for a suspension that is already over.
TEST_F(Pane, AStopAlreadyContinuedLeavesTheProgramRunning)
{
    const std::string fifo = folder + "/fifo.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    struct closeReader {
        int fd;
        ~closeReader() { close(fd); }
    } closing{reader};
    ASSERT_GT(fcntl(reader, F_SETPIPE_SZ, 4096), 0);
    startRastrel();
    // More than the pipe holds: 70 selections, each answered with the menu.
    type(std::string(70, 'x'));
    keys("Enter");
    ASSERT_TRUE(waitFor([](const std::string& s) {
        return s.find("Enter Selection: \n") == std::string::npos && s.rfind("Enter Selection:") != std::string::npos;
    }));
    keys("M-f");
    ASSERT_TRUE(waitForText("Ctrl+S"));
    keys("s");
    ASSERT_TRUE(waitForText("Save as:"));
    keys("C-u");
    type("fifo.txt");
    keys("Enter");
    ASSERT_TRUE(waitForText("?"));   // it exists: replace it?
    keys("y");
    const pid_t pid = programPid();
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitFor([&](const std::string&) {
        int queued = 0;
        return ioctl(reader, FIONREAD, &queued) == 0 && queued >= 4096;
    }));
    // Each handled before the next is sent: a SIGCONT sent while a SIGTSTP
    // still waits would take it away unseen.
    kill(pid, SIGTSTP);
    ASSERT_TRUE(waitFor([&](const std::string&) { return signalsHandled(pid); }));
    kill(pid, SIGCONT);
    ASSERT_TRUE(waitFor([&](const std::string&) { return signalsHandled(pid); }));
    // The save goes on to its end.
    std::string saved;
    ASSERT_TRUE(waitFor([&](const std::string&) {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(reader, buffer, sizeof buffer)) > 0) saved.append(buffer, static_cast<size_t>(n));
        return n == 0 && !saved.empty();
    }));
    EXPECT_NE(saved.find("Rastrel 1.0"), std::string::npos);
    ASSERT_TRUE(waitForText("Vellomex - fifo.txt"));
    type("z");
    ASSERT_TRUE(waitFor([](const std::string& s) { return s.rfind("Enter Selection: z") != std::string::npos; }, 10));
    EXPECT_NE(processState(pid), 'T');
    exitWithoutSaving("1");
}

// Eight-bit characters typed on a UTF-8 terminal and on one of one byte
// each (the C locale's, taken as Latin-1) reach the transcript as the
// console's bytes; the saved file shows them.
TEST_F(Pane, EightBitCharactersAreTypedAsTheConsolesBytes)
{
    const auto typeAndSave = [&](const std::string& environment, const std::function<void()>& typing,
                                 const std::string& name) {
        startRastrel(environment);
        typing();
        keys("M-f");
        ASSERT_TRUE(waitForText("Ctrl+S"));
        keys("s");
        ASSERT_TRUE(waitForText("Save as:"));
        keys("C-u");
        type(name);
        keys("Enter");
        ASSERT_TRUE(waitForFile(folder + "/" + name));
        keys("M-f");
        ASSERT_TRUE(waitForText("Exit"));
        keys("x");
        expectEnded("1");
    };
    typeAndSave("", [&] {
        type("\u00e9\u20ac\u4e2d");   // é € 中
        bytes("\xe9");                   // no UTF-8: the byte itself
        ASSERT_TRUE(waitForText("Enter Selection: \u00e9\u20ac?\u00e9"));
    }, "utf8.txt");
    EXPECT_NE(readFile(folder + "/utf8.txt").find("Enter Selection: \xe9\x80?\xe9"), std::string::npos);
    typeAndSave("LANG=C LC_ALL=C", [&] {
        bytes("\xe9\xa4\x80" "A");        // Latin-1 é ¤, a C1 control, A
        ASSERT_TRUE(waitForText("Enter Selection: A"));
    }, "latin1.txt");
    const std::string latin1 = readFile(folder + "/latin1.txt");
    EXPECT_EQ(latin1.substr(latin1.size() - 20), "Enter Selection: \xe9\xa4" "A");
}

// Rows end at their text: the blanks after it are erased, not written, so
// that the terminal's own selection copies the text alone.  tmux keeps a
// row short only while nothing has been written past its text, so rows
// drawn afresh are what it can tell (capture-pane -N keeps every blank that
// was written); what a shortened row is sent is read from the bytes.
TEST_F(Pane, ShortRowsEndWithTheirText)
{
    // The prompt's own blank may be written: curses moves the cursor past
    // it by writing it again.
    const auto expectNoPadding = [&]() {
        std::istringstream in(output("tmux -S " + quote(socket) + " capture-pane -p -N"));
        std::string row;
        for (int i = 0; std::getline(in, row); ++i) {
            if (i == 0 || row.size() >= 100 || row == "Enter Selection: ") continue;   // the menu bar, a scroll-bar glyph
            EXPECT_TRUE(row.empty() || row.back() != ' ') << "row " << i << " is padded: \"" << row << "\"";
        }
    };
    startRastrel();
    EXPECT_NE(output("tmux -S " + quote(socket) + " capture-pane -p -N")
                  .find("\nRastrel 1.0\n1 - Convert scan file to TIFF.\n9 - Exit.\n"),
              std::string::npos);
    expectNoPadding();
    type("1");
    keys("Enter");
    ASSERT_TRUE(waitForText("Could not open 6.bin"));
    ASSERT_TRUE(waitFor([](const std::string& s) { return s.rfind("Enter Selection:") > s.find("Could not open"); }));
    expectNoPadding();
    // A row that loses its last character is sent with the rest erased.
    type("abc");
    ASSERT_TRUE(waitForText("Enter Selection: abc"));
    const size_t before = written().size();
    keys("BSpace");
    ASSERT_TRUE(waitFor([&](const std::string&) { return written().find("ab\x1b[K", before) != std::string::npos; }));
    exitWithoutSaving("1");
}

}  // namespace
