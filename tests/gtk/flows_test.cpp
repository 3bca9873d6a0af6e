// The program in its desktop window, end to end: started as a user starts
// it, on an Xvfb of the test's own, driven by real X input (xdotool), the
// window found by its title, and read back from outside: screenshots
// (ImageMagick's import), the X clipboard (xclip), files, PDF text
// (pdftotext) and the process's status.  Every wait is for a condition,
// with a deadline.
#include <gtest/gtest.h>
#include <cairo.h>
#include <fcntl.h>
#include <signal.h>
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
#include <vector>

#include <X11/Xlib.h>

#include "console/console.h"
#include "frontends/gtk/text.h"
#include "tests/gtk/display.h"
#include "tests/support/process.h"

namespace {

const char mainTitle[] = "Vellomex Text Window";
const std::vector<std::string> menuRows = {
    "", "", "", "Rastrel 1.0", "1 - Convert scan file to TIFF.", "9 - Exit.", "", "Enter Selection:", "", "",
};

bool exists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// A cell grid read from a screenshot of the window: the drawing area starts
// below the menu bar, where the left margin turns white.
struct Screenshot {
    cairo_surface_t* image = nullptr;
    int areaTop = -1, areaRight = -1;

    ~Screenshot() { if (image) cairo_surface_destroy(image); }
    uint32_t pixel(int x, int y) const
    {
        const unsigned char* data = cairo_image_surface_get_data(image);
        return *reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(image) + x * 4) & 0xFFFFFFu;
    }
    int width() const { return cairo_image_surface_get_width(image); }
    int height() const { return cairo_image_surface_get_height(image); }
};

class Flows : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_TEST_DISPLAY();
        for (const char* tool : {"xdotool", "import", "xclip"}) {
            if (shell(std::string("command -v ") + tool).empty()) GTEST_SKIP() << tool << " is not installed";
        }
        char dir[] = "/tmp/rastrel-flows-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        home = dir;
        samples = home + "/samples";
        ASSERT_EQ(std::system((std::string(MAKE_SAMPLES_BINARY) + " " + samples + " >/dev/null").c_str()), 0);
        ASSERT_EQ(gwOpenFont(&font, gwChooseFont(nullptr, 96)), 1);
    }

    void TearDown() override
    {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        for (const char* selection : {"clipboard", "primary"}) {
            const std::string xclip = readFile(home + "/xclip-" + selection + ".pid");
            if (!xclip.empty()) kill(static_cast<pid_t>(std::atoi(xclip.c_str())), SIGTERM);
        }
        if (!home.empty()) std::system(("rm -rf " + home).c_str());
        gwCloseFont(&font);
    }

    // Starts a program in the sample folder, with its own home and standard
    // input that is neither a pipe nor a file.
    void start(const std::vector<std::string>& arguments)
    {
        child = fork();
        if (child == 0) {
            if (chdir(samples.c_str()) != 0) _exit(126);
            setenv("HOME", home.c_str(), 1);
            setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
            setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
            setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
            const int input = open("/dev/null", O_RDONLY);
            const int log = open((home + "/program.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(input, 0);
            dup2(log, 1);
            dup2(log, 2);
            std::vector<char*> argv;
            for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }

    // The process's end: its wait status, or -1 when it has not ended.
    int finish(double seconds = 20)
    {
        int status = -1;
        waitFor([&] {
            if (child <= 0) return true;
            if (waitpid(child, &status, WNOHANG) == child) {
                child = 0;
                return true;
            }
            return false;
        }, seconds);
        return child == 0 ? status : -1;
    }

    // A visible window whose title matches exactly.
    std::string window(const std::string& title)
    {
        std::string id;
        waitFor([&] {
            std::istringstream ids(shell("xdotool search --onlyvisible --name '^" + title + "$'"));
            ids >> id;
            return !id.empty();
        });
        return id;
    }

    void keys(const std::string& windowId, const std::string& sequence)
    {
        shell("xdotool windowfocus --sync " + windowId + " key --delay 150 " + sequence);
    }

    // Opens a menu with Alt and its letter, and presses the item's keys once
    // the menu is on the screen (GTK's popup menus are named after the
    // program), then waits for it to close: keys that reach the window
    // before GTK has popped the menu up are typed at the prompt instead.
    void menuCommand(const std::string& windowId, const std::string& letter, const std::string& itemKeys)
    {
        const std::string popup = "xdotool search --onlyvisible --name '^rastrel$'";
        keys(windowId, "alt+" + letter);
        waitFor([&] { return !shell(popup).empty(); }, 10);
        shell("xdotool key --delay 150 " + itemKeys);
        waitFor([&] { return shell(popup).empty(); }, 10);
    }

    void type(const std::string& windowId, const std::string& text)
    {
        shell("xdotool windowfocus --sync " + windowId + " type --delay 20 '" + text + "'");
    }

    bool shoot(const std::string& windowId, Screenshot* shot)
    {
        const std::string path = home + "/shot.png";
        shell("import -window " + windowId + " " + path);
        if (shot->image) cairo_surface_destroy(shot->image);
        shot->image = cairo_image_surface_create_from_png(path.c_str());
        if (cairo_surface_status(shot->image) != CAIRO_STATUS_SUCCESS) return false;
        cairo_surface_flush(shot->image);
        shot->areaTop = -1;
        for (int y = 0; y < shot->height() && shot->areaTop < 0; ++y) {
            if (shot->pixel(0, y) == 0xFFFFFFu && shot->pixel(3, y) == 0xFFFFFFu) shot->areaTop = y;
        }
        shot->areaRight = -1;
        const int y = shot->areaTop + 1;
        for (int x = shot->width() - 1; x >= 0 && shot->areaRight < 0 && shot->areaTop >= 0; --x) {
            if (shot->pixel(x, y) == 0xFFFFFFu) shot->areaRight = x + 1;
        }
        return shot->areaTop >= 0;
    }

    // Ink inside a text cell of the screenshot (its edges left out, where a
    // neighbour's antialiasing may reach).
    bool ink(const Screenshot& shot, int row, int column)
    {
        const int x0 = gwCellX(font, column) + 1;
        const int y0 = shot.areaTop + row * font.cellHeight + 1;
        for (int y = y0; y < y0 + font.cellHeight - 2 && y < shot.height(); ++y) {
            for (int x = x0; x < x0 + font.cellWidth - 2 && x < shot.width(); ++x) {
                if (shot.pixel(x, y) != 0xFFFFFFu) return true;
            }
        }
        return false;
    }

    // Where the screenshot's cells differ from the expected rows ("" when
    // they agree): ink exactly under the non-blank characters.  The caret's
    // cell, and the rows above firstRow, are not judged.
    std::string cellsDiffer(const Screenshot& shot, const std::vector<std::string>& rows, int columns, int caretRow,
                            int caretColumn, int firstRow = 0)
    {
        for (int r = firstRow; r < static_cast<int>(rows.size()); ++r) {
            for (int c = 0; c < columns; ++c) {
                if (r == caretRow && c == caretColumn) continue;
                const bool expected = c < static_cast<int>(rows[static_cast<size_t>(r)].size()) &&
                                      rows[static_cast<size_t>(r)][static_cast<size_t>(c)] != ' ';
                if (ink(shot, r, c) != expected) {
                    return "row " + std::to_string(r) + " column " + std::to_string(c) + (expected ? " blank" : " inked");
                }
            }
        }
        return "";
    }

    int tiffCount()
    {
        int count = 0;
        for (int i = 0; i < 6; ++i) count += exists(samples + "/" + std::to_string(i) + ".tif");
        return count;
    }

    std::string clipboard(const char* selection = "clipboard")
    {
        return shell(std::string("timeout 5 xclip -o -selection ") + selection);
    }
    void setClipboard(const std::string& text, const char* selection = "clipboard")
    {
        // xclip serves the selection until another program takes it.
        const std::string path = home + "/" + selection + ".txt";
        const std::string pidFile = home + "/xclip-" + selection + ".pid";
        std::ofstream(path, std::ios::binary) << text;
        const std::string old = readFile(pidFile);
        if (!old.empty()) kill(static_cast<pid_t>(std::atoi(old.c_str())), SIGTERM);
        shell(std::string("xclip -quiet -i -selection ") + selection + " " + path + " >/dev/null 2>&1 & echo $! > " +
              pidFile);
        waitFor([&] { return clipboard(selection) == text; }, 5);
    }

    // Drags the left button from one cell to another with the pointer's
    // moves spread out in time, as a hand makes them: the first move, within
    // the pressed cell, starts the drag there.  A pointer's column is its x
    // over the cell width (the console does not take off its margin).
    void drag(const std::string& id, int fromRow, int fromColumn, int toRow, int toColumn, int areaTop)
    {
        auto x = [&](int column, int nudge) { return std::to_string(column * font.cellWidth + 1 + nudge); };
        auto y = [&](int row) { return std::to_string(areaTop + row * font.cellHeight + font.cellHeight / 2); };
        const std::string move = " mousemove --window " + id + " ";
        shell("xdotool" + move + x(fromColumn, 0) + " " + y(fromRow) + " mousedown 1 sleep 0.2" + move +
              x(fromColumn, 2) + " " + y(fromRow) + " sleep 0.2" + move + x(toColumn, 0) + " " + y(toRow) +
              " sleep 0.2 mouseup 1");
    }

    // The libraries the process has mapped.
    std::string maps(pid_t pid) { return readFile("/proc/" + std::to_string(pid) + "/maps"); }

    // Starts the program in its window and waits until the menu is drawn
    // in its cells; the window, or empty (with a failure saying why).
    std::string startWithTheMenuShown(Screenshot* shot)
    {
        start({RASTREL_BINARY, "--window"});
        const std::string id = window(mainTitle);
        if (id.empty()) {
            ADD_FAILURE() << "no window: " << readFile(home + "/program.log");
            return "";
        }
        if (!waitFor([&] { return shoot(id, shot) && cellsDiffer(*shot, menuRows, 40, 7, 17).empty(); })) {
            ADD_FAILURE() << "the menu is not drawn in its cells";
            return "";
        }
        return id;
    }

    std::string home, samples;
    pid_t child = 0;
    gwTextFont font{};
};

TEST_F(Flows, TheMenuAppearsInItsCellsAndOneEnterConvertsAndNineEndsAfterTheSaveQuestion)
{
    start({RASTREL_BINARY});   // no option: a display is here, so the window
    const std::string id = window(mainTitle);
    ASSERT_FALSE(id.empty()) << readFile(home + "/program.log");
    Screenshot shot;
    std::string differs = "no screenshot";
    waitFor([&] {
        differs = shoot(id, &shot) ? cellsDiffer(shot, menuRows, 40, 7, 17) : "no drawing area";
        return differs.empty();
    });
    EXPECT_EQ(differs, "");

    type(id, "1");
    keys(id, "Return");
    EXPECT_TRUE(waitFor([&] { return tiffCount() == 6; }));
    type(id, "9");
    keys(id, "Return");
    const std::string box = window("Vellomex");
    ASSERT_FALSE(box.empty());
    keys(box, "alt+n");
    const int status = finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(Flows, TheEditMenuFollowsTheSelectionAndCopyAndPasteUseTheDesktopClipboard)
{
    Screenshot shot;
    const std::string id = startWithTheMenuShown(&shot);
    ASSERT_FALSE(id.empty());
    setClipboard("sentinel");

    menuCommand(id, "e", "c Escape");   // Copy is grayed with nothing selected: the menu stays open
    EXPECT_EQ(clipboard(), "sentinel");
    menuCommand(id, "e", "l");           // Select All
    menuCommand(id, "e", "c");           // now Copy copies
    EXPECT_TRUE(waitFor([&] { return clipboard() == "\n\n\nRastrel 1.0\n1 - Convert scan file to TIFF.\n9 - Exit.\n\nEnter Selection: "; }, 5))
        << clipboard();

    shell("xdotool mousemove --window " + id + " 50 " + std::to_string(shot.areaTop + 5) + " click 1");   // clears the selection
    setClipboard("1\n");
    menuCommand(id, "e", "p");           // pasted, the line is entered
    EXPECT_TRUE(waitFor([&] { return tiffCount() == 6; }));
}

TEST_F(Flows, CtrlSSavesWithCrLfAndPrintToFileMakesAPdfWithTheHeaderAndTheTranscript)
{
    // No printing system is reached, whatever printers the machine has:
    // the print dialog offers "Print to File" alone.
    setenv("CUPS_SERVER", (home + "/no-cups.sock").c_str(), 1);
    setenv("CUPS_SERVERROOT", home.c_str(), 1);
    unsetenv("PRINTER");
    unsetenv("LPDEST");
    start({RETURNS_BINARY, "--window"});   // writes two lines and returns: the window stays
    const std::string id = window(mainTitle);
    ASSERT_FALSE(id.empty()) << readFile(home + "/program.log");

    keys(id, "ctrl+s");
    const std::string save = window("Save As");
    ASSERT_FALSE(save.empty());
    keys(save, "ctrl+a");
    type(save, home + "/saved");
    keys(save, "Return");
    EXPECT_TRUE(waitFor([&] { return readFile(home + "/saved.txt") == "first line\r\nsecond line\r\n"; }));
    EXPECT_FALSE(window("Vellomex - saved.txt").empty());

    if (!shell("command -v pdftotext").empty()) {
        menuCommand(id, "f", "p");
        const std::string print = window("Print");
        ASSERT_FALSE(print.empty());
        // "Print to File" is listed once the dialog has
        // asked its printers; Print does nothing until a printer is chosen.
        EXPECT_TRUE(waitFor([&] {
            keys(print, "Home alt+p");   // the keyboard starts in the list of printers
            return shell("xdotool search --onlyvisible --name '^Print$'").empty();
        }));
        // GTK names it output.pdf, in the documents folder or else the
        // current one.
        const std::string pdf = samples + "/output.pdf";
        std::string text;
        EXPECT_TRUE(waitFor([&] {
            text = exists(pdf) ? shell("pdftotext -layout " + pdf + " -") : "";
            return text.find("second line") != std::string::npos;
        })) << text;
        EXPECT_NE(text.find("saved.txt"), std::string::npos);
        EXPECT_NE(text.find("Page 1"), std::string::npos);
        EXPECT_LT(text.find("first line"), text.find("second line"));
    }

    menuCommand(id, "f", "x");            // saved: Exit closes without a question
    const int status = finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(Flows, AResizeChangesTheRowsAndColumns)
{
    Screenshot shot;
    const std::string id = startWithTheMenuShown(&shot);
    ASSERT_FALSE(id.empty());
    const std::string typed = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ";
    type(id, typed);
    const std::string line = "Enter Selection: " + typed;

    // Smaller: the typed line wraps at the new width, and the view follows
    // the end, whose row is the fifth from the bottom.
    shell("xdotool windowsize --sync " + id + " 360 240");
    std::string differs = "no screenshot";
    waitFor([&] {
        if (!shoot(id, &shot) || shot.areaRight < 0) return false;
        const int columns = (shot.areaRight - 2 * consoleTextMargin) / font.cellWidth;
        const int rows = (shot.height() - shot.areaTop) / font.cellHeight;
        if (columns < 10 || columns >= static_cast<int>(line.size()) || rows < 7) {
            differs = "window of " + std::to_string(rows) + " rows and " + std::to_string(columns) + " columns";
            return false;
        }
        std::vector<std::string> expected(static_cast<size_t>(rows));
        expected[static_cast<size_t>(rows - 6)] = line.substr(0, static_cast<size_t>(columns));
        expected[static_cast<size_t>(rows - 5)] = line.substr(static_cast<size_t>(columns));
        // The typed line's two rows and the empty rows below them are judged.
        differs = cellsDiffer(shot, expected, columns, rows - 5, static_cast<int>(line.size()) - columns, rows - 6);
        return differs.empty();
    });
    EXPECT_EQ(differs, "");
}

TEST_F(Flows, AProcessorFaultShowsItsBoxAndTheProcessEndsByTheFault)
{
    start({FAULTS_BINARY, "--window", "divide"});
    const std::string box = window("Unhandled Exception");
    ASSERT_FALSE(box.empty()) << readFile(home + "/program.log");
    EXPECT_EQ(finish(0.5), -1);   // the box waits for its answer
    keys(box, "Return");
    const int status = finish();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGFPE) << status;
}

// The desktop's selection conventions: a selection is PRIMARY at once, the
// middle button types PRIMARY where typing goes (here: the prompt, so the
// pasted line is read), and neither touches the clipboard.
TEST_F(Flows, TheSelectionIsPrimaryAndTheMiddleButtonTypesPrimaryAtThePrompt)
{
    Screenshot shot;
    const std::string id = startWithTheMenuShown(&shot);
    ASSERT_FALSE(id.empty());
    setClipboard("sentinel");

    // From "1.0" on the banner's row to before "Convert" on the next: the
    // selection starts at the first move's cell.
    drag(id, 3, 8, 4, 4, shot.areaTop);
    EXPECT_TRUE(waitFor([&] { return clipboard("primary") == "1.0\n1 - "; }, 5)) << clipboard("primary");
    shell("xdotool mousemove --window " + id + " 5 " + std::to_string(shot.areaTop + 3) + " click 1");
    EXPECT_EQ(clipboard("primary"), "1.0\n1 - ");   // a cleared selection leaves PRIMARY as it was

    setClipboard("1\n", "primary");
    shell("xdotool mousemove --window " + id + " 300 " + std::to_string(shot.areaTop + 200) + " click 2");
    EXPECT_TRUE(waitFor([&] { return tiffCount() == 6; }));
    EXPECT_EQ(clipboard(), "sentinel");
}

// Ctrl+Shift+C and Ctrl+Insert copy, Shift+Insert and Ctrl+Shift+V paste,
// at the prompt too, exactly as the Edit menu's items: Copy with nothing
// selected does nothing.
TEST_F(Flows, TheDesktopsCopyAndPasteKeysRunTheEditMenusItemsAtThePrompt)
{
    Screenshot shot;
    const std::string id = startWithTheMenuShown(&shot);
    ASSERT_FALSE(id.empty());
    const std::string menu = "\n\n\nRastrel 1.0\n1 - Convert scan file to TIFF.\n9 - Exit.\n\nEnter Selection: ";

    setClipboard("sentinel");
    keys(id, "ctrl+shift+c");            // nothing selected: Copy is grayed
    EXPECT_EQ(clipboard(), "sentinel");
    menuCommand(id, "e", "l");           // Select All, then copy
    keys(id, "ctrl+shift+c");
    EXPECT_TRUE(waitFor([&] { return clipboard() == menu; }, 5)) << clipboard();
    setClipboard("sentinel");
    keys(id, "ctrl+Insert");
    EXPECT_TRUE(waitFor([&] { return clipboard() == menu; }, 5)) << clipboard();

    shell("xdotool mousemove --window " + id + " 5 " + std::to_string(shot.areaTop + 3) + " click 1");
    // The line is completed only by the second paste, so both land in the
    // same read whatever the timing.
    setClipboard("1");
    keys(id, "shift+Insert");
    setClipboard("\n");
    keys(id, "ctrl+shift+v");
    EXPECT_TRUE(waitFor([&] { return tiffCount() == 6; }));
}

// A clipboard owner that never answers (a hung program) must not hold the
// window: the Edit menu opens at once, and the keys after it are handled,
// through resizes from 2x2 to 5000x5000 with the menu opened after each.
TEST_F(Flows, ASilentClipboardOwnerHoldsNeitherTheEditMenuNorTheKeysThroughResizes)
{
    const pid_t owner = fork();
    if (owner == 0) {
        Display* display = XOpenDisplay(nullptr);
        if (!display) _exit(1);
        const Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), w, CurrentTime);
        XSync(display, False);
        pause();   // owns the clipboard and answers nothing
        _exit(0);
    }
    start({RASTREL_BINARY, "--window"});
    const std::string id = window(mainTitle);
    ASSERT_FALSE(id.empty()) << readFile(home + "/program.log");
    for (const char* size : {"2 2", "5000 5000", "50 20000", "10 10", "640 480"}) {
        shell("xdotool windowsize " + id + " " + size);
        menuCommand(id, "e", "Escape");
        type(id, "abc");
    }
    // The read has waited all along: the typed abc's are taken back (the
    // line never shrinks past its start), and 1 is entered.
    std::string backspaces;
    for (int i = 0; i < 30; ++i) backspaces += " BackSpace";
    keys(id, backspaces);
    type(id, "1");
    keys(id, "Return");
    // Before: each opening waited for the silent owner (GTK gives up after
    // 30 seconds) inside GTK's own handling of the key, and the keys after
    // it waited too.
    EXPECT_TRUE(waitFor([&] { return tiffCount() == 6; }, 20));
    EXPECT_EQ(finish(0.1), -1);   // still running
    kill(owner, SIGTERM);
    waitpid(owner, nullptr, 0);
}

TEST_F(Flows, AWindowDestroyedByAnotherProgramEndsTheProgramWithStatusOne)
{
    start({RASTREL_BINARY, "--window"});
    const std::string id = window(mainTitle);
    ASSERT_FALSE(id.empty()) << readFile(home + "/program.log");
    shell("xdotool windowclose " + id);
    const int status = finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

// The window starts without the SVG renderer and its XML parser (the theme's
// scroll-bar arrows), and without the GL driver (a compiler with it).
TEST_F(Flows, TheWindowStartsWithoutTheSvgRendererOrTheGlDriver)
{
    Screenshot shot;
    const std::string id = startWithTheMenuShown(&shot);
    ASSERT_FALSE(id.empty());
    const std::string mapped = maps(child);
    EXPECT_NE(mapped.find("libgtk-3"), std::string::npos);
    for (const char* library : {"librsvg", "libxml2", "libGLX", "libLLVM"}) {
        EXPECT_EQ(mapped.find(library), std::string::npos) << library;
    }
}

// A screen reader's view, through AT-SPI in a session bus of the test's own:
// the text area is named with the title, has the role terminal, and its
// text holds the menu and, after a conversion, a converted file's line.
TEST_F(Flows, AnAccessibilityClientReadsTheMenuAndAConvertedLine)
{
    for (const char* tool : {"dbus-run-session", "/usr/bin/python3"}) {
        if (shell(std::string("command -v ") + tool).empty()) GTEST_SKIP() << tool << " is not installed";
    }
    if (std::system("/usr/bin/python3 -c 'import pyatspi' 2>/dev/null") != 0) {
        GTEST_SKIP() << "pyatspi is not installed (Debian: python3-pyatspi)";
    }
    const std::string out = shell("env -u DBUS_SESSION_BUS_ADDRESS HOME=" + home + " timeout 100 dbus-run-session -- " +
                                  "/usr/bin/python3 " + ACCESSIBILITY_SCRIPT + " " + RASTREL_BINARY + " " + samples);
    EXPECT_NE(out.find("name: Vellomex Text Window\n"), std::string::npos) << out;
    EXPECT_NE(out.find("role: terminal\n"), std::string::npos) << out;
    EXPECT_NE(out.find("menu: yes\n"), std::string::npos) << out;
    EXPECT_NE(out.find("converted: yes\n"), std::string::npos) << out;
    EXPECT_NE(out.find("events: yes\n"), std::string::npos) << out;
    EXPECT_NE(out.find("caret: "), std::string::npos) << out;
}

}  // namespace
