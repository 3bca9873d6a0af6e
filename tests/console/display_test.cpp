// The console's display on the headless front end: the font and the cell,
// drawing, repaint and the view rule, the caret, size changes, scrolling, the
// navigation keys and selecting with the mouse.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/console.h"
#include "console/inspect.h"
#include "frontends/headless/readback.h"
#include "portable/readback.h"

namespace {

char transcript[consoleTranscriptSize];
char pendingInput[consoleInputSize];
ConsoleStateRecord& S = ConsoleState;

class Display : public ::testing::Test {
protected:
    plHwnd window = nullptr;

    // The window as the console's start-up makes it: the class registered,
    // the window created hidden, then the state set to its initial values.
    void SetUp() override
    {
        hlReset();
        consoleReset();
        plHinstance instance = plGetModuleHandle(nullptr);
        registerConsoleResources(instance);
        ASSERT_EQ(createConsoleWindow(instance), 1);
        window = consoleWindow;
        initConsoleState(transcript, pendingInput, SW_SHOWNORMAL, consoleTranscriptSize);
    }

    void TearDown() override { ConsoleSettings = consoleDefaultSettings; }

    void show()
    {
        plShowWindow(window, SW_SHOWNORMAL);
        S.windowShown = 1;
        pwPump();
    }

    // Text as output would have left it: stored, rows counted, scroll range set.
    static void setText(const std::string& text)
    {
        setTranscriptText(text.data(), static_cast<int32_t>(text.size()));
        plSetScrollRange(consoleWindow, SB_VERT, 0, S.lastRow, 0);
    }

    static std::string lines(int count)
    {
        std::string text;
        for (int i = 0; i < count; i++) {
            text += (i ? "\r\nline " : "line ") + std::to_string(i);
        }
        return text;
    }

    // One repaint of the whole window, now.
    void repaint()
    {
        plInvalidateRect(window, nullptr, 1);
        plUpdateWindow(window);
    }

    std::string row(int r) const
    {
        std::string text = hlRowText(window, r);
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }

    void send(uint32_t message, plWparam wParam, plLparam lParam = 0) { plSendMessage(window, message, wParam, lParam); }
    void scroll(uint32_t code, unsigned position = 0) { send(WM_VSCROLL, code | (position << 16)); }
    void click(int x, int y, plWparam keys = 0)
    {
        send(WM_LBUTTONDOWN, MK_LBUTTON | keys, plMakeLong(x, y));
        send(WM_LBUTTONUP, 0, plMakeLong(x, y));
    }
    void drag(int x, int y) { send(WM_MOUSEMOVE, MK_LBUTTON, plMakeLong(x, y)); }
};

// ---------------------------------------------------------------------------
// Font, cell and layout.

TEST_F(Display, CreationMakesTheFontOnceAndMeasuresTheCell)
{
    const hlFontRequest font = hlLastFontRequest();
    EXPECT_EQ(font.height, -13);  // 10 points at 96 dots per inch
    EXPECT_EQ(font.weight, 0);
    EXPECT_EQ(font.italic + font.underline + font.strikeOut + font.charSet, 0u);
    EXPECT_EQ(font.faceName, "Courier");
    EXPECT_EQ(font.pitchAndFamily, static_cast<uint32_t>(FIXED_PITCH | FF_MODERN));   // a grid where Courier is missing
    EXPECT_EQ(cellWidth, 8);
    EXPECT_EQ(cellHeight, 16);
    EXPECT_EQ(pwLiveDcCount(), 0);
    show();
    EXPECT_EQ(S.screenColumns, 80);
    EXPECT_EQ(S.screenRows, 24);

    const int made = hlFontRequestCount();
    plHdc dc = plGetDC(window);
    int32_t r = 0, c = 0;
    drawCharacter(dc, 'a', &r, &c);
    drawCharacter(dc, 'b', &r, &c);
    EXPECT_EQ(hlFontRequestCount(), made);  // looked up, not made again
    ConsoleSettings.fontSize = 12;
    drawCharacter(dc, 'c', &r, &c);
    EXPECT_EQ(hlFontRequestCount(), made + 1);
    EXPECT_EQ(hlLastFontRequest().height, -16);
    std::memset(ConsoleSettings.fontName, 'F', sizeof ConsoleSettings.fontName);  // no terminator
    selectConsoleFont(dc, 0);
    EXPECT_EQ(hlLastFontRequest().faceName, std::string(32, 'F'));
    plReleaseDC(window, dc);

    // The window is known from its creation message on, before its creator
    // has the handle.
    consoleWindow = nullptr;
    plSendMessage(window, WM_CREATE, 0, 0);
    EXPECT_EQ(consoleWindow, window);
}

TEST_F(Display, AFontChangeRefitsWithoutNegativeRowsOrAnEmptyLayout)
{
    // Before any resize the window size is 0 x 0: the layout stays as it is.
    ConsoleSettings.fontSize = 9;
    plHdc dc = plGetDC(window);
    selectConsoleFont(dc, 0);
    EXPECT_EQ(S.screenRows, 24);
    EXPECT_EQ(S.screenColumns, 80);
    // A taller window than the rows counted: the top row cannot go negative.
    S.windowHeight = 384;
    S.windowWidth = 650;
    S.screenRows = 10;
    S.topRow = 3;
    ConsoleSettings.fontSize = 11;
    selectConsoleFont(dc, 0);
    EXPECT_EQ(S.screenRows, 24);
    EXPECT_EQ(S.topRow, 0);
    plReleaseDC(window, dc);
}

TEST_F(Display, SizeChangesRecountRowsResetTheCaretAndKeepAtLeastOneColumn)
{
    show();
    setText(std::string(60, 'x') + "\r\ny");
    caretRow = 1;
    caretColumn = 1;
    pwResize(window, 330, 160);
    EXPECT_EQ(S.screenColumns, 40);
    EXPECT_EQ(S.screenRows, 10);
    EXPECT_EQ(S.lastRow, 2);
    EXPECT_EQ(caretRow, 0);
    EXPECT_EQ(caretColumn, 0);
    EXPECT_EQ(hlCaret().x, 5);
    pwResize(window, 12, 160);  // narrower than the margins and one cell
    EXPECT_EQ(S.screenColumns, 40);
    pwResize(window, 0, 0);     // minimised
    EXPECT_EQ(S.screenColumns, 40);
    EXPECT_EQ(S.screenRows, 10);
    cellWidth = 0;              // a cell never measured: nothing to divide by
    cellHeight = 0;
    pwResize(window, 650, 384);
    click(30, 30);
    EXPECT_EQ(S.screenColumns, 40);
}

// ---------------------------------------------------------------------------
// Repaint and the view rule.

TEST_F(Display, RepaintFollowsTheEndOfTheText)
{
    show();
    setText(lines(31));  // lastRow 30
    repaint();
    EXPECT_EQ(S.topRow, 11);
    EXPECT_EQ(row(0), "line 11");
    EXPECT_EQ(row(19), "line 30");  // the last row at screenRows - 5
    EXPECT_EQ(row(20), "");
    EXPECT_EQ(hlScrollBar(window, SB_VERT).position, 11);
    EXPECT_EQ(S.drawRow, 19);  // just after the last character
    EXPECT_EQ(S.drawColumn, 7);
    setText(lines(4));
    repaint();
    EXPECT_EQ(S.topRow, 0);
    EXPECT_EQ(row(3), "line 3");
}

TEST_F(Display, AFewRowsShowNothingUntilAScrollBringsTheTopBack)
{
    show();
    setText(lines(4));
    pwResize(window, 650, 64);  // four rows
    pwPump();
    EXPECT_EQ(S.topRow, 4);
    EXPECT_EQ(row(0), "");
    scroll(SB_ENDSCROLL);
    pwPump();
    EXPECT_EQ(S.topRow, 3);
    EXPECT_EQ(row(0), "line 3");
}

TEST_F(Display, AFullRowIsFollowedByAnEmptyWrapRowAndSelectedBytesAreInverted)
{
    show();
    setText(std::string(80, 'A') + "\r\nBcdef");
    S.selStart = S.textEnd - 4;
    S.selEnd = S.textEnd - 2;
    repaint();
    EXPECT_EQ(row(0), std::string(80, 'A'));
    EXPECT_EQ(row(1), "");
    EXPECT_EQ(row(2), "Bcdef");
    EXPECT_EQ(hlCell(window, 2, 0).background, plRgb(255, 255, 255));
    EXPECT_EQ(hlCell(window, 2, 0).text, plRgb(0, 0, 0));
    EXPECT_EQ(hlCell(window, 2, 1).background, plRgb(0, 0, 0));
    EXPECT_EQ(hlCell(window, 2, 2).text, plRgb(255, 255, 255));
    EXPECT_EQ(hlCell(window, 2, 3).background, plRgb(255, 255, 255));
    EXPECT_FALSE(hlCaret().shown);  // a selection hides the caret
}

TEST_F(Display, ARepaintDoesNotAskForItselfAgain)
{
    show();
    ConsoleSettings.tabWidth = 0;
    setText(lines(19) + "\r\n\t");
    ConsoleSettings.tabWidth = 500;  // the tab now spans rows below the window
    repaint();
    EXPECT_FALSE(pwIsInvalid(window));
    EXPECT_EQ(S.topRow, 0);
}

// ---------------------------------------------------------------------------
// Drawing one byte.

TEST_F(Display, DrawingControlCharacters)
{
    show();
    plHdc dc = plGetDC(window);
    int32_t r = 0, c = 0;
    auto at = [&](int32_t column) { S.drawRow = 0; S.drawColumn = column; r = 0; c = column; };

    at(3);
    drawCharacter(dc, '\t', &r, &c);
    EXPECT_EQ(S.drawColumn, 4);
    drawCharacter(dc, '\t', &r, &c);
    EXPECT_EQ(S.drawColumn, 8);
    EXPECT_EQ(c, 8);
    ConsoleSettings.tabWidth = 0;
    at(5);
    drawCharacter(dc, '\t', &r, &c);
    EXPECT_EQ(S.drawColumn, 8);

    at(0);
    drawCharacter(dc, '\b', &r, &c);
    EXPECT_EQ(S.drawColumn, 0);
    EXPECT_EQ(c, 0);
    at(4);
    drawCharacter(dc, 'z', &r, &c);
    drawCharacter(dc, '\b', &r, &c);
    EXPECT_EQ(S.drawColumn, 4);
    EXPECT_EQ(c, 4);
    EXPECT_EQ(hlCell(window, 0, 4).character, ' ');

    const int beeps = hlBeepCount();
    drawCharacter(dc, '\a', &r, &c);
    EXPECT_EQ(hlBeepCount(), beeps + 1);
    EXPECT_EQ(S.drawColumn, 4);

    drawCharacter(dc, '\v', &r, &c);  // drawn as a glyph
    EXPECT_EQ(hlCell(window, 0, 4).character, '\v');
    drawCharacter(dc, '\r', &r, &c);
    EXPECT_EQ(S.drawColumn, 0);
    drawCharacter(dc, '\n', &r, &c);
    EXPECT_EQ(S.drawRow, 1);
    EXPECT_EQ(r, 1);

    pwPump();
    at(0);
    drawCharacter(dc, '\f', &r, &c);  // from the top row: no overflow, still a new view
    EXPECT_EQ(S.drawRow, 24);
    EXPECT_EQ(S.topRow, 0);
    EXPECT_TRUE(pwIsInvalid(window));

    at(79);
    drawCharacter(dc, 'w', &r, &c);  // the 80th column wraps
    EXPECT_EQ(S.drawRow, 1);
    EXPECT_EQ(S.drawColumn, 0);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(c, 0);
    plReleaseDC(window, dc);
}

TEST_F(Display, DrawingPastTheBottomScrollsOnceForEachRow)
{
    show();
    setText(lines(40));
    repaint();
    S.viewStart = S.textStart;
    S.topRow = 0;
    S.drawRow = 24;
    S.drawColumn = 0;
    plHdc dc = plGetDC(window);
    int32_t r = 0, c = 0;
    drawCharacter(dc, '\n', &r, &c);
    EXPECT_EQ(S.topRow, 1);
    EXPECT_EQ(S.viewStart, S.textStart + 8);  // past "line 0\r\n"
    EXPECT_TRUE(pwIsInvalid(window));
    drawCharacter(dc, 'x', &r, &c);
    drawCharacter(dc, 'y', &r, &c);
    EXPECT_EQ(S.topRow, 1);
    drawCharacter(dc, '\f', &r, &c);
    EXPECT_EQ(S.topRow, 25);
    plReleaseDC(window, dc);
}

// ---------------------------------------------------------------------------
// Caret and focus.

TEST_F(Display, TheCaretShowsOnlyInViewAndNeverPastItsRow)
{
    show();
    setText("abc\r\ndefghij");
    placeCaret(0, 30);
    EXPECT_EQ(hlCaret().x, 3 * 8 + 5);
    EXPECT_EQ(hlCaret().y, 0);
    EXPECT_EQ(hlCaret().width, 2);
    EXPECT_EQ(hlCaret().height, 16);
    EXPECT_TRUE(hlCaret().shown);
    placeCaret(1, 2);
    EXPECT_EQ(hlCaret().x, 2 * 8 + 5);
    EXPECT_EQ(hlCaret().y, 16);
    placeCaret(30, 0);  // below the view: nothing happens
    EXPECT_EQ(hlCaret().y, 16);

    pwFocus(nullptr);
    EXPECT_FALSE(hlCaret().exists);
    caretRow = 1;
    caretColumn = 40;  // focus places the caret unclamped
    pwFocus(window);
    EXPECT_EQ(hlCaret().x, 40 * 8 + 5);
    EXPECT_TRUE(hlCaret().shown);
}

// ---------------------------------------------------------------------------
// Scrolling.

TEST_F(Display, ScrollRequestsMoveTheTopRowWithinTheText)
{
    show();
    setText(lines(101));  // lastRow 100
    struct Case { int32_t from; uint32_t code; unsigned position; int32_t to; };
    const Case cases[] = {
        {50, SB_LINEUP, 0, 49},     {50, SB_LINEDOWN, 0, 51},   {50, SB_PAGEUP, 0, 26},
        {50, SB_PAGEDOWN, 0, 74},   {70, SB_PAGEDOWN, 0, 81},   {50, SB_THUMBPOSITION, 33, 33},
        {50, SB_TOP, 0, 0},         {50, SB_BOTTOM, 0, 81},     {50, SB_THUMBTRACK, 20, 50},
        {50, SB_ENDSCROLL, 0, 50},  {50, consoleApplyScroll, 0, 50}, {0, SB_LINEUP, 0, 0},
        {10, SB_PAGEUP, 0, 0},      {100, SB_LINEDOWN, 0, 100}, {-4, consoleApplyScroll, 0, 0},
    };
    for (const Case& k : cases) {
        S.topRow = k.from;
        keepView = 0;
        scroll(k.code, k.position);
        EXPECT_EQ(S.topRow, k.to) << "code " << k.code << " from " << k.from;
        EXPECT_EQ(keepView, 1);
    }
    scroll(SB_THUMBPOSITION, 60);
    EXPECT_EQ(S.viewStart, rowColumnToPosition(60, 0));
    EXPECT_EQ(hlScrollBar(window, SB_VERT).position, 60);
    pwPump();
    EXPECT_EQ(row(0), "line 60");  // the repaint kept the position
}

// ---------------------------------------------------------------------------
// Navigation keys.

TEST_F(Display, ArrowKeysMoveTheCaretThroughShortRowsAndAcrossLineEnds)
{
    show();
    setText(std::string(40, 'a') + "\r\n" + std::string(10, 'b') + "\r\n" + std::string(40, 'c'));
    caretRow = 2;
    caretColumn = 30;
    send(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(caretColumn, 30);
    EXPECT_EQ(hlCaret().x, 10 * 8 + 5);  // shown at the short row's end
    send(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(hlCaret().x, 30 * 8 + 5);
    send(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(caretRow, 0);

    caretColumn = 0;
    send(WM_KEYDOWN, VK_LEFT);  // row 0, column 0: nowhere to go
    EXPECT_EQ(caretRow, 0);
    EXPECT_EQ(caretColumn, 0);
    caretRow = 1;
    send(WM_KEYDOWN, VK_LEFT);  // to the end of the row above
    EXPECT_EQ(caretRow, 0);
    EXPECT_EQ(caretColumn, 40);
    caretRow = 2;
    caretColumn = 40;
    send(WM_KEYDOWN, VK_RIGHT);  // past the end of the last row
    EXPECT_EQ(caretRow, 3);
    EXPECT_EQ(caretColumn, 0);
}

TEST_F(Display, KeysBringTheCaretIntoViewAndPageTheWindow)
{
    show();
    setText(lines(101));
    repaint();  // topRow 81
    caretRow = 40;
    caretColumn = 0;
    send(WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(caretRow, 41);
    EXPECT_EQ(S.topRow, 41 - 12);
    pwPump();
    EXPECT_EQ(row(0), "line 29");
    EXPECT_EQ(hlCaret().y, 12 * 16);
    send(WM_KEYDOWN, VK_END);
    EXPECT_EQ(S.topRow, 81);
    send(WM_KEYDOWN, VK_PRIOR);
    EXPECT_EQ(S.topRow, 57);
    send(WM_KEYDOWN, VK_HOME);
    EXPECT_EQ(S.topRow, 0);
    send(WM_KEYDOWN, VK_NEXT);
    EXPECT_EQ(S.topRow, 24);
}

// ---------------------------------------------------------------------------
// Mouse.

TEST_F(Display, ClicksPlaceTheCaretCappedAtTheRowAndCountTheMarginAsTheNextColumn)
{
    show();
    setText("abc\r\nabcdefgh");
    click(100, 3);  // right of the short row
    EXPECT_EQ(caretRow, 0);
    EXPECT_EQ(caretColumn, 3);
    EXPECT_EQ(pressRow, -1);
    click(17, 20);  // inside column 1's cell, in its right-most pixels
    EXPECT_EQ(caretRow, 1);
    EXPECT_EQ(caretColumn, 2);
    keepView = 0;
    send(WM_MOUSEMOVE, 0, plMakeLong(40, 40));
    EXPECT_EQ(keepView, 1);
}

TEST_F(Display, DraggingSelectsBetweenTheAnchorAndThePointer)
{
    show();
    setText("0123456789");
    char* t = S.textStart;
    send(WM_LBUTTONDOWN, MK_LBUTTON, plMakeLong(40, 0));  // column 5
    drag(41, 0);  // same cell: the drag starts, nothing selected yet
    EXPECT_EQ(S.selAnchor, t + 5);
    EXPECT_EQ(S.selStart, t + 5);
    EXPECT_EQ(S.selEnd, nullptr);
    send(WM_LBUTTONUP, 0, plMakeLong(41, 0));
    pwPump();
    EXPECT_FALSE(hlCaret().shown);  // until a press without Shift
    drag(8, 0);  // back past the anchor
    EXPECT_EQ(S.selStart, t + 1);
    EXPECT_EQ(S.selEnd, t + 5);
    drag(40, 0);  // back on the anchor: nothing selected
    EXPECT_EQ(S.selStart, nullptr);
    drag(56, 0);  // a new drag starts at column 7
    drag(72, 0);
    EXPECT_EQ(S.selStart, t + 7);
    EXPECT_EQ(S.selEnd, t + 9);
    send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, plMakeLong(24, 0));  // before the end
    EXPECT_EQ(S.selStart, t + 3);
    EXPECT_EQ(S.selEnd, t + 9);
    send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, plMakeLong(80, 0));
    EXPECT_EQ(S.selEnd, t + 10);
    EXPECT_EQ(S.selAnchor, t + 7);
    send(WM_LBUTTONDOWN, MK_LBUTTON, plMakeLong(80, 0));
    EXPECT_EQ(S.selStart, nullptr);
    EXPECT_EQ(S.selEnd, nullptr);
    EXPECT_EQ(keepView, 1);
}

TEST_F(Display, SelectionEndsNeverCross)
{
    show();
    setText("0123456789");
    char* t = S.textStart;
    // Shift+press while only a drag has started, at a point before it.
    drag(56, 0);
    send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, plMakeLong(16, 0));
    EXPECT_EQ(S.selStart, t + 2);
    EXPECT_EQ(S.selEnd, t + 7);
    // A selection made without a drag (Select All) and then a drag over it.
    S.selAnchor = nullptr;
    S.selStart = t;
    S.selEnd = S.textEnd;
    drag(32, 0);
    ASSERT_NE(S.selStart, nullptr);
    ASSERT_NE(S.selEnd, nullptr);
    EXPECT_LE(S.selStart, S.selEnd);
}

}  // namespace
