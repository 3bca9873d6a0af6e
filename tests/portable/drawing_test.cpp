// Drawing on the character-cell surface, fonts and metrics, the caret and
// the scroll bar.
#include "tests/portable/fixture.h"

namespace {

const plColor black = plRgb(0, 0, 0);
const plColor white = plRgb(255, 255, 255);

class Surface : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        window = makeWindow();
        plShowWindow(window, SW_SHOW);
        pwPump();
    }
    // Draws one character in console style: 5-pixel margin, 8 x 16 cells.
    void put(plHdc dc, int row, int column, char c) { plTextOut(dc, 5 + column * 8, row * 16, &c, 1); }
    plHwnd window = nullptr;
};

TEST_F(Surface, NewWindowStartsWithEightyColumnsOfTwentyFourRows)
{
    EXPECT_EQ(hlClientWidth(window), 650);
    EXPECT_EQ(hlClientHeight(window), 384);
    EXPECT_EQ(hlSurfaceRows(window), 24);
    EXPECT_EQ(hlSurfaceColumns(window), 82);   // (650 - 10) / 8 = 80 whole columns inside the margins
    EXPECT_EQ(hlRowText(window, 0), std::string(82, ' '));
}

TEST_F(Surface, CharacterLandsInItsCellWithItsColours)
{
    plHdc dc = plGetDC(window);
    put(dc, 2, 3, 'A');
    plSetTextColor(dc, white);
    plSetBkColor(dc, black);
    put(dc, 2, 4, 'B');
    plReleaseDC(window, dc);

    hlCellInfo a = hlCell(window, 2, 3);
    EXPECT_EQ(a.character, 'A');
    EXPECT_EQ(a.text, black);
    EXPECT_EQ(a.background, white);
    hlCellInfo b = hlCell(window, 2, 4);
    EXPECT_EQ(b.character, 'B');
    EXPECT_EQ(b.text, white);
    EXPECT_EQ(b.background, black);
    EXPECT_EQ(hlRowText(window, 2).substr(0, 6), "   AB ");
    EXPECT_EQ(pwLiveDcCount(), 0);
}

TEST_F(Surface, LaterDrawingOverwritesAndTransparentKeepsTheBackground)
{
    plHdc dc = plGetDC(window);
    plSetBkColor(dc, plRgb(1, 2, 3));
    put(dc, 0, 0, 'x');
    plSetBkMode(dc, TRANSPARENT);
    plSetTextColor(dc, plRgb(9, 9, 9));
    put(dc, 0, 0, 'y');
    plReleaseDC(window, dc);
    hlCellInfo cell = hlCell(window, 0, 0);
    EXPECT_EQ(cell.character, 'y');
    EXPECT_EQ(cell.text, plRgb(9, 9, 9));
    EXPECT_EQ(cell.background, plRgb(1, 2, 3));
}

TEST_F(Surface, FreshContextHasDefaultColoursWhateverTheLastOneSet)
{
    plHdc dc = plGetDC(window);
    plSetTextColor(dc, white);
    plSetBkColor(dc, black);
    plReleaseDC(window, dc);
    dc = plGetDC(window);
    put(dc, 1, 1, 'z');
    plReleaseDC(window, dc);
    EXPECT_EQ(hlCell(window, 1, 1).text, black);
    EXPECT_EQ(hlCell(window, 1, 1).background, white);
}

TEST_F(Surface, StringsAdvanceByTheFontWidthAndClipAtTheEdges)
{
    plHdc dc = plGetDC(window);
    plTextOut(dc, 5 + 79 * 8, 0, "abcdef", 6);   // runs past the client area
    plTextOut(dc, 5, 384, "hidden", 6);          // the row below the last
    plTextOut(dc, -8, 16, "cd", 2);              // starts left of the client area
    plReleaseDC(window, dc);
    EXPECT_EQ(hlCell(window, 0, 79).character, 'a');
    EXPECT_EQ(hlCell(window, 0, 81).character, 'c');
    EXPECT_EQ(hlRowText(window, 1).substr(0, 2), "d ");
    EXPECT_EQ(hlCell(window, 24, 0).character, 0);
}

TEST_F(Surface, EraseHappensWhenPaintingBeginsAndOnlyIfRequested)
{
    plHdc dc = plGetDC(window);
    put(dc, 0, 0, 'k');
    plMoveToEx(dc, 0, 16, nullptr);
    plLineTo(dc, 80, 16);
    plReleaseDC(window, dc);
    ASSERT_EQ(hlSurfaceLineCount(window), 1);
    hlLine line = hlSurfaceLine(window, 0);
    EXPECT_EQ(line.x1, 0);
    EXPECT_EQ(line.y2, 16);
    EXPECT_EQ(line.x2, 80);

    plInvalidateRect(window, nullptr, 0);
    pwPump();
    EXPECT_EQ(hlCell(window, 0, 0).character, 'k');   // invalid, but not erased

    plInvalidateRect(window, nullptr, 1);
    EXPECT_EQ(hlCell(window, 0, 0).character, 'k');   // the erase waits for the paint
    paintText = "new";
    pwPump();
    EXPECT_EQ(hlRowText(window, 0).substr(0, 4), "new ");
    EXPECT_EQ(hlSurfaceLineCount(window), 0);
}

TEST_F(Surface, OriginsShiftDrawingAndDeviceToLogicalIsTheirInverse)
{
    plHdc dc = plGetDC(window);
    plPoint old{};
    plSetViewportOrgEx(dc, 16, 32, &old);
    EXPECT_EQ(old.x, 0);
    put(dc, 0, 0, 'o');
    plPoint p{16, 32};
    plDPtoLP(dc, &p, 1);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    plSetViewportOrgEx(dc, 0, 0, nullptr);
    p = plPoint{0, 133};
    plDPtoLP(dc, &p, 1);
    EXPECT_EQ(p.y, 133);
    plReleaseDC(window, dc);
    EXPECT_EQ(hlCell(window, 2, 2).character, 'o');
}

TEST_F(Surface, FontsMeasureEightBySixteenAndTheRequestIsRecorded)
{
    plHdc dc = plGetDC(window);
    EXPECT_EQ(plGetDeviceCaps(dc, LOGPIXELSY), 96);
    plTextMetric metrics{};
    ASSERT_EQ(plGetTextMetrics(dc, &metrics), 1);   // the default font
    EXPECT_EQ(metrics.aveCharWidth, 8);
    EXPECT_EQ(metrics.height, 16);
    EXPECT_EQ(metrics.externalLeading, 0);

    // Ten points at 96 dpi, as the console asks for its font.
    int height = (10 * 10 * plGetDeviceCaps(dc, LOGPIXELSY) / 72 + 5) / 10;
    plHfont font = plCreateFont(-height, 0, 0, 0, FW_DONTCARE, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Courier");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(hlFontRequestCount(), 1);
    hlFontRequest request = hlLastFontRequest();
    EXPECT_EQ(request.height, -13);
    EXPECT_EQ(request.faceName, "Courier");
    plHgdiobj old = plSelectObject(dc, font);
    EXPECT_NE(old, nullptr);
    plGetTextMetrics(dc, &metrics);
    EXPECT_EQ(metrics.aveCharWidth, 8);
    EXPECT_EQ(metrics.height + metrics.externalLeading, 16);
    EXPECT_EQ(plDeleteObject(font), 0);   // still selected
    plSelectObject(dc, old);
    plReleaseDC(window, dc);
    EXPECT_EQ(plDeleteObject(font), 1);
    EXPECT_EQ(plSelectObject(nullptr, font), nullptr);
}

TEST_F(Surface, SaveAndRestoreBringBackFontColoursAndMode)
{
    plHdc dc = plGetDC(window);
    plHfont font = plCreateFont(-13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Courier");
    int saved = plSaveDC(dc);
    EXPECT_EQ(saved, 1);
    plHgdiobj stock = plSelectObject(dc, font);
    plSetTextColor(dc, white);
    EXPECT_EQ(plSetGraphicsMode(dc, GM_ADVANCED), GM_COMPATIBLE);
    EXPECT_EQ(plModifyWorldTransform(dc, nullptr, MWT_IDENTITY), 1);
    EXPECT_EQ(plRestoreDC(dc, saved), 1);
    EXPECT_EQ(plSelectObject(dc, stock), stock);   // the stock font was back
    EXPECT_EQ(plSetTextColor(dc, black), black);
    EXPECT_EQ(plSetGraphicsMode(dc, GM_COMPATIBLE), GM_COMPATIBLE);
    EXPECT_EQ(plModifyWorldTransform(dc, nullptr, MWT_IDENTITY), 0);   // only in advanced mode
    EXPECT_EQ(plRestoreDC(dc, 1), 0);                                  // nothing saved any more
    plReleaseDC(window, dc);
}

TEST_F(Surface, CaretHidesCountAndStartHidden)
{
    EXPECT_EQ(plSetCaretPos(1, 1), 0);   // no caret yet
    ASSERT_EQ(plCreateCaret(window, nullptr, 2, 16), 1);
    hlCaretInfo caret = hlCaret();
    EXPECT_TRUE(caret.exists);
    EXPECT_FALSE(caret.shown);
    EXPECT_EQ(caret.height, 16);
    plSetCaretPos(45, 32);
    plShowCaret(window);
    EXPECT_TRUE(hlCaret().shown);
    EXPECT_EQ(hlCaret().x, 45);
    plShowCaret(window);                    // showing a shown caret does not bank a show
    plHideCaret(window);
    EXPECT_FALSE(hlCaret().shown);
    plHideCaret(window);
    plShowCaret(window);
    EXPECT_FALSE(hlCaret().shown);          // two hides need two shows
    plShowCaret(nullptr);
    EXPECT_TRUE(hlCaret().shown);

    plHwnd other = makeWindow();
    EXPECT_EQ(plHideCaret(other), 0);       // not its caret
    EXPECT_TRUE(hlCaret().shown);
    plCreateCaret(window, nullptr, 2, 16);  // a new caret starts hidden again
    EXPECT_FALSE(hlCaret().shown);
    plDestroyWindow(window);
    EXPECT_FALSE(hlCaret().exists);
    EXPECT_EQ(plDestroyCaret(), 0);
}

TEST_F(Surface, ScrollBarKeepsItsPositionWithinTheRange)
{
    EXPECT_EQ(plSetScrollRange(window, SB_VERT, 0, 30, 0), 1);
    EXPECT_EQ(plSetScrollPos(window, SB_VERT, 11, 1), 0);
    EXPECT_EQ(plSetScrollPos(window, SB_VERT, 40, 1), 11);
    EXPECT_EQ(plGetScrollPos(window, SB_VERT), 30);
    plSetScrollRange(window, SB_VERT, 0, 3, 0);
    EXPECT_EQ(plGetScrollPos(window, SB_VERT), 3);
    EXPECT_EQ(plSetScrollPos(window, SB_VERT, -2, 1), 3);
    hlScrollInfo bar = hlScrollBar(window, SB_VERT);
    EXPECT_EQ(bar.minimum, 0);
    EXPECT_EQ(bar.maximum, 3);
    EXPECT_EQ(bar.position, 0);
    EXPECT_EQ(plSetScrollRange(window, SB_CTL, 0, 3, 0), 0);
}

TEST_F(Surface, DriverInputArrivesAsWin32PacksIt)
{
    received.clear();
    pwMouseDown(window, 300, 70, 1);
    pwMouseMove(window, 310, 71, 1);
    pwMouseUp(window, 311, 72);
    pwScroll(window, SB_THUMBPOSITION, 12);
    pwPostKey(window, VK_NEXT);
    pwType(window, "a\r", 2);
    pwPump();
    ASSERT_EQ(received.size(), 7u);
    EXPECT_EQ(received[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(received[0].wParam, MK_LBUTTON | MK_SHIFT);
    EXPECT_EQ(plLoWord(static_cast<uintptr_t>(received[0].lParam)), 300);
    EXPECT_EQ(plHiWord(static_cast<uintptr_t>(received[0].lParam)), 70);
    EXPECT_EQ(received[1].wParam, MK_LBUTTON);
    EXPECT_EQ(received[2].message, WM_LBUTTONUP);
    EXPECT_EQ(received[3].message, WM_VSCROLL);
    EXPECT_EQ(plLoWord(received[3].wParam), SB_THUMBPOSITION);
    EXPECT_EQ(plHiWord(received[3].wParam), 12);
    EXPECT_EQ(received[4].message, WM_KEYDOWN);
    EXPECT_EQ(received[5].wParam, static_cast<plWparam>('a'));
    EXPECT_EQ(received[6].wParam, static_cast<plWparam>('\r'));
}

}  // namespace
