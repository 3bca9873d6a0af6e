// Where the front end puts things and what the pointer means over them:
// the client area's cells, the menu bar and its popups, the scroll bar, and
// the message boxes.
#include <gtest/gtest.h>

#include "frontends/terminal/decoder.h"
#include "frontends/terminal/layout.h"

namespace {

const tmGeometry screen{30, 100};

// ---------------------------------------------------------------------------

tmMenuBar consoleBar()
{
    tmMenuBar bar;
    bar.items.push_back(tmParseMenuText("&File"));
    bar.items.push_back(tmParseMenuText("&Edit"));
    return bar;
}

TEST(Menus, ItemTextSplitsIntoLabelLetterAndShortcut)
{
    tmMenuText t = tmParseMenuText("Select A&ll\tCtrl+A");
    EXPECT_EQ(t.label, "Select All");
    EXPECT_EQ(t.mnemonic, 8);
    EXPECT_EQ(t.accelerator, "Ctrl+A");
    t = tmParseMenuText("Save && quit");
    EXPECT_EQ(t.label, "Save & quit");
    EXPECT_EQ(t.mnemonic, -1);
    t = tmParseMenuText("odd&\tX");
    EXPECT_EQ(t.label, "odd");
    EXPECT_EQ(t.accelerator, "X");
}

TEST(Menus, TheBarReadsFileEditAndKnowsWhichLabelIsUnderAColumn)
{
    const tmMenuBar bar = consoleBar();
    EXPECT_EQ(tmMenuBarColumn(bar, 0), 1);
    EXPECT_EQ(tmMenuBarColumn(bar, 1), 7);   // " File  Edit "
    EXPECT_EQ(tmMenuBarEnd(bar), 12);
    EXPECT_EQ(tmMenuBarItemAt(bar, 0), 0);
    EXPECT_EQ(tmMenuBarItemAt(bar, 5), 0);
    EXPECT_EQ(tmMenuBarItemAt(bar, 6), 1);
    EXPECT_EQ(tmMenuBarItemAt(bar, 11), 1);
    EXPECT_EQ(tmMenuBarItemAt(bar, 12), -1);
}

std::vector<tmPopupItem> editPopup()
{
    std::vector<tmPopupItem> items;
    auto add = [&](const char* text, uint16_t id, int grayed) {
        tmPopupItem item{};
        item.separator = text == nullptr;
        if (text) item.text = tmParseMenuText(text);
        item.id = id;
        item.grayed = grayed;
        items.push_back(item);
    };
    add("&Undo\tCtrl+Z", 16, 1);
    add(nullptr, 0, 0);
    add("Cu&t\tCtrl+X", 17, 1);
    add("&Copy\tCtrl+C", 18, 0);
    add("&Paste\tCtrl+V", 19, 0);
    add(nullptr, 0, 0);
    add("Select A&ll\tCtrl+A", 20, 0);
    return items;
}

TEST(Menus, APopupHangsUnderItsLabelAndStaysOnTheScreen)
{
    const auto items = editPopup();
    tmPopupLayout p = tmLayoutPopup(items, 7, screen);
    EXPECT_EQ(p.top, 1);
    EXPECT_EQ(p.left, 6);
    EXPECT_EQ(p.height, 9);
    EXPECT_EQ(p.width, 2 + 10 + 3 + 6 + 2);
    EXPECT_EQ(p.accelColumn, p.left + 2 + 10 + 3);
    p = tmLayoutPopup(items, 95, screen);
    EXPECT_EQ(p.left + p.width, 100);
    p = tmLayoutPopup(items, 7, tmGeometry{5, 10});
    EXPECT_EQ(p.width, 10);
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.height, 4);
}

TEST(Menus, ThePointerAndTheKeysFindItemsButNeverSeparators)
{
    const auto items = editPopup();
    const tmPopupLayout p = tmLayoutPopup(items, 7, screen);
    EXPECT_EQ(tmPopupItemAt(p, items, 2, 8), 0);
    EXPECT_EQ(tmPopupItemAt(p, items, 3, 8), -1);            // separator
    EXPECT_EQ(tmPopupItemAt(p, items, 5, p.left), -1);       // the frame
    EXPECT_EQ(tmPopupItemAt(p, items, 8, p.left + 1), 6);
    EXPECT_EQ(tmPopupItemAt(p, items, 9, p.left + 1), -1);   // the bottom frame
    EXPECT_EQ(tmPopupStep(items, 0, 1), 2);
    EXPECT_EQ(tmPopupStep(items, 4, 1), 6);
    EXPECT_EQ(tmPopupStep(items, 6, 1), 0);                  // round again
    EXPECT_EQ(tmPopupStep(items, 0, -1), 6);
    EXPECT_EQ(tmPopupMnemonic(items, 'l'), 6);
    EXPECT_EQ(tmPopupMnemonic(items, 'T'), 2);
    EXPECT_EQ(tmPopupMnemonic(items, 'z'), -1);
}

// ---------------------------------------------------------------------------

TEST(ScrollBar, ArrowsAtTheEndsAndTheThumbShowsThePosition)
{
    tmScrollBarLayout sb = tmLayoutScrollBar(screen, pwScrollInfo{0, 100, 0});
    EXPECT_EQ(sb.column, 99);
    EXPECT_EQ(sb.top, 1);
    EXPECT_EQ(sb.bottom, 29);
    EXPECT_TRUE(sb.arrows);
    EXPECT_EQ(sb.trackTop, 2);
    EXPECT_EQ(sb.trackLength, 27);
    EXPECT_EQ(sb.thumb, 2);
    EXPECT_EQ(tmLayoutScrollBar(screen, pwScrollInfo{0, 100, 100}).thumb, 28);
    EXPECT_EQ(tmLayoutScrollBar(screen, pwScrollInfo{0, 100, 50}).thumb, 15);
    EXPECT_EQ(tmLayoutScrollBar(screen, pwScrollInfo{0, 0, 0}).thumb, 2);
    EXPECT_EQ(tmLayoutScrollBar(screen, pwScrollInfo{0, 100, 500}).thumb, 28);
    sb = tmLayoutScrollBar(tmGeometry{3, 10}, pwScrollInfo{0, 10, 5});
    EXPECT_FALSE(sb.arrows);
    EXPECT_EQ(sb.trackLength, 2);
}

TEST(ScrollBar, ADraggedThumbStandsForAPositionFromTopToBottom)
{
    const pwScrollInfo bar{0, 1000, 0};
    const tmScrollBarLayout sb = tmLayoutScrollBar(screen, bar);
    EXPECT_EQ(tmThumbPosition(sb, bar, 0), 0);
    EXPECT_EQ(tmThumbPosition(sb, bar, sb.trackTop), 0);
    EXPECT_EQ(tmThumbPosition(sb, bar, sb.trackTop + sb.trackLength - 1), 1000);
    EXPECT_EQ(tmThumbPosition(sb, bar, 99), 1000);
    for (int row = sb.trackTop; row < sb.trackTop + sb.trackLength; ++row) {
        // The thumb drawn for a position lands on the row dragged to.
        EXPECT_EQ(tmLayoutScrollBar(screen, pwScrollInfo{0, 1000, tmThumbPosition(sb, bar, row)}).thumb, row);
    }
}

// ---------------------------------------------------------------------------

struct pointer {
    tmPointer state{};
    pwScrollInfo scroll{0, 100, 50};
    tmAction actions[tmMaxActions];
    int count = 0;
    pointer& at(tmMouseKind kind, int row, int column, int shift = 0, int button = 0)
    {
        tmMouseReport m{kind, button, row, column, shift};
        count = tmRouteMouse(screen, consoleBar(), scroll, &state, m, actions);
        return *this;
    }
};

TEST(Pointer, PressDragAndReleaseInTheClientAreaAreTheConsolesMouse)
{
    pointer p;
    p.at(tmPress, 5, 10, 1);
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.actions[0].kind, tmMouseDownAction);
    EXPECT_EQ(p.actions[0].column, 10);
    EXPECT_EQ(p.actions[0].row, 4);
    EXPECT_EQ(p.actions[0].shift, 1);
    // The first move passes through the press point, so a selection is
    // anchored where the button went down.
    p.at(tmDrag, 5, 14);
    ASSERT_EQ(p.count, 2);
    EXPECT_EQ(p.actions[0].kind, tmMouseMoveAction);
    EXPECT_EQ(p.actions[0].column, 10);
    EXPECT_EQ(p.actions[1].column, 14);
    p.at(tmDrag, 0, 200);   // beyond the client area: held at its edge
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.actions[0].row, 0);
    EXPECT_EQ(p.actions[0].column, 98);
    p.at(tmRelease, 6, 3);
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.actions[0].kind, tmMouseUpAction);
    p.at(tmDrag, 6, 4);
    EXPECT_EQ(p.count, 0);   // no button held any more
}

TEST(Pointer, TheWheelScrollsThreeLinesAndOtherButtonsDoNothing)
{
    pointer p;
    p.at(tmWheelDown, 5, 5);
    ASSERT_EQ(p.count, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p.actions[i].kind, tmScrollAction);
        EXPECT_EQ(p.actions[i].code, SB_LINEDOWN);
    }
    EXPECT_EQ(p.at(tmWheelUp, 5, 5).actions[0].code, SB_LINEUP);
    EXPECT_EQ(p.at(tmPress, 5, 5, 0, 2).count, 0);
}

TEST(Pointer, TheScrollBarsArrowsPagesAndThumb)
{
    pointer p;   // position 50 of 100: the thumb on row 15
    EXPECT_EQ(p.at(tmPress, 1, 99).actions[0].code, SB_LINEUP);
    EXPECT_EQ(p.at(tmPress, 29, 99).actions[0].code, SB_LINEDOWN);
    EXPECT_EQ(p.at(tmPress, 3, 99).actions[0].code, SB_PAGEUP);
    EXPECT_EQ(p.at(tmPress, 20, 99).actions[0].code, SB_PAGEDOWN);
    EXPECT_EQ(p.at(tmPress, 15, 99).count, 0);   // the thumb is taken
    p.at(tmDrag, 2, 50);
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.actions[0].code, SB_THUMBTRACK);
    EXPECT_EQ(p.actions[0].position, 0);
    EXPECT_EQ(p.at(tmDrag, 2, 60).count, 0);     // no news, no report
    p.at(tmRelease, 28, 60);
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.actions[0].code, SB_THUMBPOSITION);
    EXPECT_EQ(p.actions[0].position, 100);
}

TEST(Pointer, TheMenuBarOpensTheMenuUnderThePointer)
{
    pointer p;
    p.at(tmPress, 0, 8);
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.actions[0].kind, tmOpenMenuAction);
    EXPECT_EQ(p.actions[0].menu, 1);
    EXPECT_EQ(p.at(tmPress, 0, 40).count, 0);
}

// ---------------------------------------------------------------------------

TEST(Boxes, TheSaveQuestionIsCentredWithItsThreeButtons)
{
    const std::string text = "Do you wish to save Vellomex.txt before quitting?";
    const tmBoxLayout box = tmLayoutBox("Vellomex", text, MB_YESNOCANCEL | MB_ICONQUESTION, screen);
    ASSERT_EQ(box.lines.size(), 1u);
    EXPECT_EQ(box.width, static_cast<int>(text.size()) + 4);
    EXPECT_EQ(box.height, 6);
    EXPECT_EQ(box.left, (100 - box.width) / 2);
    EXPECT_EQ(box.top, 12);
    ASSERT_EQ(box.buttons.size(), 3u);
    EXPECT_EQ(box.buttons[0].answer, IDYES);
    EXPECT_EQ(box.defaultButton, 0);
    EXPECT_EQ(box.escapeAnswer, IDCANCEL);
    EXPECT_EQ(tmBoxAnswerForKey(box, 'n'), IDNO);
    EXPECT_EQ(tmBoxAnswerForKey(box, 'C'), IDCANCEL);
    EXPECT_EQ(tmBoxAnswerForKey(box, 'o'), 0);
    // The buttons sit side by side on their row, and the pointer finds them.
    EXPECT_EQ(tmBoxButtonAt(box, box.buttonRow, box.buttons[1].column), 1);
    EXPECT_EQ(tmBoxButtonAt(box, box.buttonRow, box.buttons[1].column + 5), 1);
    EXPECT_EQ(tmBoxButtonAt(box, box.buttonRow, box.buttons[1].column + 6), -1);
    EXPECT_EQ(tmBoxButtonAt(box, box.buttonRow - 1, box.buttons[1].column), -1);
}

TEST(Boxes, EscAnswersCancelOrNoOrOkAndTheDefaultButtonComesFromTheType)
{
    EXPECT_EQ(tmLayoutBox("c", "t", MB_YESNO, screen).escapeAnswer, IDNO);
    EXPECT_EQ(tmLayoutBox("c", "t", MB_OK | MB_ICONEXCLAMATION, screen).escapeAnswer, IDOK);
    EXPECT_EQ(tmLayoutBox("c", "t", MB_OKCANCEL, screen).escapeAnswer, IDCANCEL);
    EXPECT_EQ(tmLayoutBox("c", "t", 2, screen).escapeAnswer, 0);   // abort, retry, ignore
    EXPECT_EQ(tmLayoutBox("c", "t", MB_YESNOCANCEL | 0x100, screen).defaultButton, 1);
    EXPECT_EQ(tmLayoutBox("c", "t", MB_YESNO | 0x200, screen).defaultButton, 1);
}

TEST(Boxes, LongTextWrapsAtBlanksAndTheBoxFitsASmallTerminal)
{
    EXPECT_EQ(tmWrapText("one two three", 7), (std::vector<std::string>{"one two", "three"}));
    EXPECT_EQ(tmWrapText("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
    EXPECT_EQ(tmWrapText("a\nb\n", 10), (std::vector<std::string>{"a", "b"}));
    const std::string fault = "Unhandled exception: c0000094\nAt address:          0000555555555555\n";
    const tmBoxLayout box = tmLayoutBox("Unhandled Exception", fault, MB_OK, tmGeometry{8, 30});
    EXPECT_LE(box.width, 30);
    EXPECT_LE(box.top + box.height, 8);
    EXPECT_GE(box.left, 0);
    for (const std::string& line : box.lines) EXPECT_LE(static_cast<int>(line.size()), box.width - 4);
}

}  // namespace
