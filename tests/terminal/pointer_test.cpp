// The terminal's pointer reaches the console in cells: a click is routed as
// the terminal front end routes it and posted in the client area's cells,
// and the window system alone makes the console's pixels of them.
#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "console/inspect.h"
#include "frontends/terminal/decoder.h"
#include "frontends/terminal/layout.h"
#include "portable/frontend.h"
#include "portable/input.h"

namespace {

const tmGeometry terminal{30, 100};

void onMeasureFont(const pwFontRequest*, pwFontMetrics* metrics)
{
    *metrics = pwFontMetrics{tmCellWidth, tmCellHeight, 0};
}

// The window fills the terminal less the menu bar and the scroll bar, as
// the terminal front end asks for it.
void onScreen(pwScreenInfo* info)
{
    info->clientRows = terminal.rows - 1;
    info->clientColumns = terminal.columns - 1;
}

const pwFrontEnd cells = {
    .wait = nullptr,
    .poll = nullptr,
    .windowChanged = nullptr,
    .scrollRows = nullptr,
    .damage = nullptr,
    .caretChanged = nullptr,
    .scrollBarChanged = nullptr,
    .menuChanged = nullptr,
    .frame = nullptr,
    .beep = nullptr,
    .measureFont = onMeasureFont,
    .screen = onScreen,
    .messageBox = nullptr,
    .saveDialog = nullptr,
    .printDialog = nullptr,
    .printer = nullptr,
    .spooler = nullptr,
    .setClipboard = nullptr,
    .getClipboard = nullptr,
    .fail = nullptr,
    .milliseconds = nullptr,
    .ending = nullptr,
};

char transcript[consoleCapacity];
char pendingInput[consoleInputSize];

// A press and a release on one terminal cell, posted as the front end posts them.
void click(plHwnd window, int row, int column)
{
    tmPointer pointer{};
    tmAction actions[tmMaxActions];
    for (tmMouseKind kind : {tmPress, tmRelease}) {
        const tmMouseReport report{kind, 0, row, column, 0};
        const int count = tmRouteMouse(terminal, tmMenuBar{}, pwScrollInfo{0, 0, 0}, &pointer, report, actions);
        ASSERT_EQ(count, 1);
        if (actions[0].kind == tmMouseDownAction) {
            pwMouseDownCell(window, actions[0].row, actions[0].column, actions[0].shift);
        } else {
            ASSERT_EQ(actions[0].kind, tmMouseUpAction);
            pwMouseUpCell(window, actions[0].row, actions[0].column);
        }
    }
    pwPump();
}

TEST(Pointer, AClickOnEveryColumnPutsTheCaretInThatColumn)
{
    pwReset();
    consoleReset();
    pwSetTextMargin(consoleTextMargin);
    pwInstall(&cells);
    plHinstance instance = plGetModuleHandle(nullptr);
    registerConsoleResources(instance);
    ASSERT_EQ(createConsoleWindow(instance), 1);
    initConsoleState(transcript, pendingInput, SW_SHOWNORMAL);
    showConsoleWindow(1);
    // A row of text as wide as the window, and a short one.
    const std::string full(static_cast<size_t>(terminal.columns - 1), 'x');
    consoleWriteHook((full + "short").data(), static_cast<uint32_t>(full.size() + 5));
    pwPresent();
    const consoleInspection before = consoleInspect();
    ASSERT_EQ(before.screenColumns, terminal.columns - 1);
    const int row = static_cast<int>(before.lastRow - 1 - before.topRow) + 1;   // the full row, on the terminal
    ASSERT_GE(row, 1);
    for (int column = 0; column < terminal.columns - 1; ++column) {
        click(before.window, row, column);
        const consoleInspection now = consoleInspect();
        EXPECT_EQ(now.caretRow, before.lastRow - 1) << "column " << column;
        EXPECT_EQ(now.caretColumn, column) << "column " << column;
    }
    pwReset();
    consoleReset();
}

}  // namespace
