// The console on the portable window system with a fake front end of the
// tests' own, which keeps a copy of the window built only from what the
// hooks tell it.  No headless code is linked into this program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/inspect.h"
#include "portable/frontend.h"
#include "portable/readback.h"
#include "portable/input.h"

namespace {

// What the fake front end was told.
struct shownWindow {
    int rows = 0, columns = 0;
    std::vector<pwCell> cells;
};
plHwnd window;
shownWindow shown;
uint64_t clockNow;
int frames;
int scrolls;
int lastScroll;          // the last scroll's rows (delta) and region
int lastScrollTop, lastScrollBottom;
int damagedRows;
std::vector<int> damaged;   // the rows damaged, in order
int waits;
std::string staleAtWait;
std::string toType;   // typed, one line per wait

const pwCell unknown = {1, 0xFFFFFFFFu, 0xFFFFFFFFu};

void resizeShown(plHwnd w)
{
    pwSurfaceSize(w, &shown.rows, &shown.columns, nullptr, nullptr);
    shown.cells.assign(static_cast<size_t>(shown.rows * shown.columns), unknown);
}

bool sameCell(const pwCell& a, const pwCell& b)
{
    return a.character == b.character && a.text == b.text && a.background == b.background;
}

// Where the copy differs from the surface, or "" when it does not.
std::string difference()
{
    int rows = 0, columns = 0;
    pwSurfaceSize(window, &rows, &columns, nullptr, nullptr);
    if (rows != shown.rows || columns != shown.columns) return "size";
    for (int r = 0; r < rows; r++) {
        const pwCell* cells = pwSurfaceRow(window, r);
        for (int c = 0; c < columns; c++) {
            if (!sameCell(cells[c], shown.cells[static_cast<size_t>(r * columns + c)])) {
                return "row " + std::to_string(r) + " column " + std::to_string(c);
            }
        }
    }
    return "";
}

void onWindowChanged(plHwnd w, uint32_t changes)
{
    if (pwKindOf(w) == pwTopLevel && (changes & (pwCreated | pwResized))) resizeShown(w);
}

void onScrollRows(plHwnd w, int top, int bottom, int delta)
{
    ASSERT_EQ(w, window);
    scrolls++;
    lastScroll = delta;
    lastScrollTop = top;
    lastScrollBottom = bottom;
    std::vector<pwCell> moved = shown.cells;
    for (int r = top; r < bottom; r++) {
        int from = r + delta;
        if (from < top || from >= bottom) {
            std::fill_n(&moved[static_cast<size_t>(r * shown.columns)], shown.columns, unknown);
            continue;
        }
        std::memcpy(&moved[static_cast<size_t>(r * shown.columns)], &shown.cells[static_cast<size_t>(from * shown.columns)],
                    static_cast<size_t>(shown.columns) * sizeof(pwCell));
    }
    shown.cells.swap(moved);
}

void onDamage(plHwnd w, int top, int bottom)
{
    if (w != window) return;
    for (int r = top; r < bottom; r++) {
        std::memcpy(&shown.cells[static_cast<size_t>(r * shown.columns)], pwSurfaceRow(w, r),
                    static_cast<size_t>(shown.columns) * sizeof(pwCell));
        damagedRows++;
        damaged.push_back(r);
    }
}

void onFrame()
{
    frames++;
}

// A blocking wait: the window must be painted and shown as it is; then the
// next line is typed.
int onWait()
{
    waits++;
    if (pwIsInvalid(window)) staleAtWait += "invalid at a wait; ";
    std::string where = difference();
    if (!where.empty()) staleAtWait += "stale at a wait: " + where + "; ";
    size_t end = toType.find('\r');
    if (end == std::string::npos) return 0;
    pwType(window, toType.data(), end + 1);
    toType.erase(0, end + 1);
    return 1;
}

uint64_t onClock()
{
    return clockNow;
}

void onFail(const char* reason)
{
    ADD_FAILURE() << "window system: " << reason;
}

const pwFrontEnd fake = {
    .wait = onWait,
    .poll = nullptr,
    .windowChanged = onWindowChanged,
    .scrollRows = onScrollRows,
    .damage = onDamage,
    .caretChanged = nullptr,
    .scrollBarChanged = nullptr,
    .menuChanged = nullptr,
    .frame = onFrame,
    .beep = nullptr,
    .measureFont = nullptr,
    .screen = nullptr,
    .messageBox = nullptr,
    .saveDialog = nullptr,
    .printDialog = nullptr,
    .printer = nullptr,
    .spooler = nullptr,
    .setClipboard = nullptr,
    .getClipboard = nullptr,
    .fail = onFail,
    .milliseconds = onClock,
    .ending = nullptr,
};

char transcript[consoleCapacity];
char pendingInput[consoleInputSize];

class Seam : public ::testing::Test {
protected:
    void SetUp() override
    {
        pwReset();
        consoleReset();
        pwInstall(&fake);
        shown = shownWindow{};
        clockNow = 1000;
        frames = scrolls = damagedRows = waits = 0;
        damaged.clear();
        staleAtWait.clear();
        toType.clear();
        plHinstance instance = plGetModuleHandle(nullptr);
        registerConsoleResources(instance);
        ASSERT_EQ(createConsoleWindow(instance), 1);
        window = consoleWindow;
        initConsoleState(transcript, pendingInput, SW_SHOWNORMAL);
        showConsoleWindow(1);
        pwPresent();
    }

    void write(const std::string& bytes) { consoleWriteHook(bytes.data(), static_cast<uint32_t>(bytes.size())); }
    std::string read()
    {
        char buffer[512];
        uint32_t count = 0;
        consoleReadHook(buffer, sizeof buffer, &count);
        return std::string(buffer, count);
    }
};

TEST_F(Seam, EveryChangeReachesTheFrontEndThroughDamageAndScrolls)
{
    std::mt19937 random(7);
    const char pieces[][8] = {"text", "\r\n", "\r", "\b", "\t", "wide", "\f"};
    for (int step = 0; step < 400; step++) {
        switch (random() % 8) {
        case 0:
            // Now and then a window with no room at all.
            pwResize(window, static_cast<int>(random() % 800), static_cast<int>(random() % 500));
            break;
        case 1:
            pwScroll(window, static_cast<int>(random() % 8), static_cast<int>(random() % 40));
            break;
        case 2:
            pwMouseDown(window, static_cast<int>(random() % 400), static_cast<int>(random() % 300), 0);
            pwMouseMove(window, static_cast<int>(random() % 400), static_cast<int>(random() % 300), 1);
            break;
        case 3:
            pwType(window, "ab\r", 3);   // no read waits: the transcript is edited
            break;
        default: {
            std::string bytes;
            for (int n = static_cast<int>(random() % 12); n > 0; n--) bytes += pieces[random() % 7];
            write(bytes);
            break;
        }
        }
        pwPump();
        if (random() % 3 == 0) clockNow += 20;
        pwPresent();
        ASSERT_EQ(difference(), "") << "after step " << step;
    }
    EXPECT_GT(scrolls, 0);
}

TEST_F(Seam, OutputIsPaintedOncePerFrameAndNeverStaleAtAWait)
{
    for (int i = 0; i < 60; i++) write("line " + std::to_string(i) + "\r\n");
    const int framesBefore = frames;
    for (int i = 60; i < 200; i++) write("line " + std::to_string(i) + "\r\n");
    EXPECT_EQ(frames, framesBefore);   // the clock stood still: no frame while output streamed
    clockNow += 16;
    write("line 200\r\n");
    EXPECT_EQ(frames, framesBefore + 1);
    write("line 201\r\n");
    EXPECT_EQ(frames, framesBefore + 1);

    toType = "7\r";
    EXPECT_EQ(read(), "7\r\n");
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(staleAtWait, "");
    // What the front end shows at the wait holds the last line written.
    bool found = false;
    for (int r = 0; r < shown.rows && !found; r++) {
        std::string row;
        for (int c = 0; c < shown.columns; c++) row += shown.cells[static_cast<size_t>(r * shown.columns + c)].character;
        found = row.find("line 201") != std::string::npos;
    }
    EXPECT_TRUE(found);
}

TEST_F(Seam, OutputPastTheBottomIsOneScrollOfTheRowsTheViewMovedAndOnlyNewRowsAreDrawn)
{
    for (int i = 0; i < 40; i++) write("line " + std::to_string(i) + "\r\n");
    clockNow += 16;
    pwPresent();
    // Each time enough to run past the rows kept free below the text: the
    // view then follows the end.
    for (int lines : {6, 9, 15}) {
        scrolls = damagedRows = 0;
        damaged.clear();
        const int32_t top = ConsoleState.topRow;
        const int32_t end = ConsoleState.lastRow - top;   // the window row of the end of the text
        for (int i = 0; i < lines; i++) write("one more line " + std::to_string(i) + "\r\n");
        clockNow += 16;
        pwPresent();
        // The view moved on by the rows written: the window's rows are moved
        // as one scroll of that many, the whole window's height...
        const int32_t moved = ConsoleState.topRow - top;
        EXPECT_EQ(moved, lines);
        EXPECT_EQ(scrolls, 1) << lines << " lines";
        EXPECT_EQ(lastScroll, moved);
        EXPECT_EQ(lastScrollTop, 0);
        EXPECT_EQ(lastScrollBottom, shown.rows);
        // ...and only the rows with the new text are drawn: from where the
        // text ended, moved up with the rest, to the bottom.
        for (int row : damaged) EXPECT_GE(row, end - moved) << lines << " lines";
        EXPECT_LE(damagedRows, shown.rows - (end - moved));
        EXPECT_EQ(difference(), "");
    }
}

TEST_F(Seam, AWindowWithAPartRowScrollsToo)
{
    pwResize(window, 300, 200);   // 12.5 rows
    for (int i = 0; i < 40; i++) write("line " + std::to_string(i) + "\r\n");
    clockNow += 16;
    pwPresent();
    scrolls = 0;
    for (int i = 0; i < 6; i++) write("next\r\n");
    clockNow += 16;
    pwPresent();
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(lastScroll, 6);
    EXPECT_EQ(difference(), "");
}

}  // namespace
