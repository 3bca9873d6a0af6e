// The program in a real terminal: build/rastrel started from a shell in a
// tmux pane of 100 x 30, driven with send-keys (and mouse reports sent as
// the terminal would send them), read back with capture-pane.  Every wait
// is for something on the screen or on disk, never a sleep alone.
//
// Each run ends by printing its status and whether the terminal's modes are
// what they were before (stty -g), so every flow also checks that the
// terminal was given back.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

std::string quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// Runs a command and returns what it printed.
std::string output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

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
    // The program has ended with status and the terminal is as it was.
    void expectEnded(const std::string& status)
    {
        // The typed command holds "TTY=" itself: wait for what the shell printed.
        ASSERT_TRUE(waitForText("EXIT=" + status + "\nTTY="));
        const std::string s = screen();
        EXPECT_NE(s.find("EXIT=" + status + "\nTTY=same\n"), std::string::npos) << s;
        EXPECT_EQ(s.find(" File  Edit "), std::string::npos) << s;
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
    EXPECT_EQ(line(row + 1).substr(0, 41), std::string(40, 'x') + " ");
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
    ASSERT_TRUE(waitFor([&](const std::string&) {
        return screen(true).find("\x1b[7mRastrel\x1b[") != std::string::npos;
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

}  // namespace
