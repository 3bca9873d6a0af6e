// Menus, the system menu and accelerator translation: an accelerator fires
// its command only when its menu item is enabled once its popup has been
// initialised.
#include "tests/portable/fixture.h"

namespace {

// Ctrl+S saves, Ctrl+X cuts, Ctrl+V pastes, Ctrl+Q has no menu item, F5 is a virtual key.
const plAccelEntry testAccelerators[] = {
    {0, 0x13, 13}, {0, 0x18, 17}, {0, 0x16, 19}, {0, 0x11, 99}, {FVIRTKEY, 0x74, 13},
};

class Accelerators : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        plAddAcceleratorResource(instance, "TestKeys", testAccelerators, 5);
        window = makeWindow();
        table = plLoadAccelerators(instance, "TestKeys");
        ASSERT_NE(table, nullptr);
        received.clear();
    }
    int translate(uint32_t message, plWparam key)
    {
        plMsg msg{window, message, key, 1};
        return plTranslateAccelerator(window, table, &msg);
    }
    plHwnd window = nullptr;
    plHaccel table = nullptr;
};

TEST_F(PlatformTest, ClassMenuCarriesTheTemplateStates)
{
    plHwnd window = makeWindow();
    plHmenu menu = plGetMenu(window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(hlMenuItemState(window, 11), static_cast<int>(MF_GRAYED));
    EXPECT_EQ(hlMenuItemState(window, 13), static_cast<int>(MF_ENABLED));
    EXPECT_EQ(hlMenuItemState(window, 19), static_cast<int>(MF_ENABLED));
    EXPECT_EQ(hlMenuItemState(window, 12), -1);

    EXPECT_EQ(plEnableMenuItem(menu, 17, MF_BYCOMMAND | MF_ENABLED), static_cast<int>(MF_GRAYED));
    EXPECT_EQ(plEnableMenuItem(menu, 17, MF_BYCOMMAND | MF_GRAYED), static_cast<int>(MF_ENABLED));
    EXPECT_EQ(plEnableMenuItem(menu, 77, MF_BYCOMMAND | MF_GRAYED), -1);
    EXPECT_EQ(hlMenuItemState(window, 17), static_cast<int>(MF_GRAYED));
    // By position within the bar: the Edit popup itself.
    EXPECT_EQ(plEnableMenuItem(menu, 1, MF_BYPOSITION | MF_GRAYED), static_cast<int>(MF_ENABLED));
    EXPECT_EQ(plEnableMenuItem(menu, 2, MF_BYPOSITION | MF_GRAYED), -1);

    // Each window gets its own copy of the resource.
    plHwnd other = makeWindow();
    EXPECT_EQ(hlMenuItemState(other, 17), static_cast<int>(MF_GRAYED));
    plEnableMenuItem(plGetMenu(other), 11, MF_ENABLED);
    EXPECT_EQ(hlMenuItemState(window, 11), static_cast<int>(MF_GRAYED));
}

TEST_F(PlatformTest, SystemMenuCloseItemCanBeGrayed)
{
    plHwnd window = makeWindow();
    plHmenu system = plGetSystemMenu(window, 0);
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(plGetSystemMenu(window, 0), system);
    EXPECT_EQ(plEnableMenuItem(system, SC_CLOSE, MF_GRAYED), static_cast<int>(MF_ENABLED));
    EXPECT_EQ(pwMenuItemState(system, SC_CLOSE), static_cast<int>(MF_GRAYED));
}

TEST_F(Accelerators, EnabledItemInitialisesItsPopupThenFiresTheCommand)
{
    EXPECT_EQ(translate(WM_CHAR, 0x13), 1);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].message, WM_INITMENUPOPUP);
    EXPECT_EQ(plLoWord(static_cast<uintptr_t>(received[0].lParam)), 0);   // File is the first popup
    EXPECT_EQ(received[1].message, WM_COMMAND);
    EXPECT_EQ(received[1].wParam, static_cast<plWparam>(plMakeLong(13, 1)));
}

TEST_F(Accelerators, GrayedItemIsConsumedWithoutCommand)
{
    EXPECT_EQ(translate(WM_CHAR, 0x18), 1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, WM_INITMENUPOPUP);
    EXPECT_EQ(plLoWord(static_cast<uintptr_t>(received[0].lParam)), 1);   // Edit
    plHmenu edit = reinterpret_cast<plHmenu>(received[0].wParam);
    EXPECT_EQ(pwMenuItemState(edit, 17), static_cast<int>(MF_GRAYED));
}

TEST_F(Accelerators, StateSetDuringPopupInitialisationDecides)
{
    // The procedure enables Cut and grays Paste when the Edit popup opens.
    onInitMenuPopup = [](plHwnd, plWparam popup, plLparam) {
        plEnableMenuItem(reinterpret_cast<plHmenu>(popup), 17, MF_ENABLED);
        plEnableMenuItem(reinterpret_cast<plHmenu>(popup), 19, MF_GRAYED);
    };
    EXPECT_EQ(translate(WM_CHAR, 0x18), 1);
    EXPECT_EQ(countOf(WM_COMMAND), 1);
    EXPECT_EQ(translate(WM_CHAR, 0x16), 1);
    EXPECT_EQ(countOf(WM_COMMAND), 1);
}

TEST_F(Accelerators, OtherMessagesAndKeysAreNotTranslated)
{
    EXPECT_EQ(translate(WM_CHAR, 'a'), 0);
    EXPECT_EQ(translate(WM_KEYDOWN, 0x13), 0);   // an ASCII entry matches characters only
    EXPECT_EQ(translate(WM_USER, 0x13), 0);
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(translate(WM_KEYDOWN, 0x74), 1);   // the virtual-key entry
    EXPECT_EQ(countOf(WM_COMMAND), 1);
    plMsg msg{window, WM_CHAR, 0x13, 1};
    EXPECT_EQ(plTranslateAccelerator(window, nullptr, &msg), 0);
    EXPECT_EQ(plLoadAccelerators(instance, "Missing"), nullptr);
}

TEST_F(Accelerators, CommandWithoutMenuItemIsSentDirectly)
{
    EXPECT_EQ(translate(WM_CHAR, 0x11), 1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, WM_COMMAND);
    EXPECT_EQ(plLoWord(received[0].wParam), 99);
}

TEST_F(Accelerators, ChoosingAnItemInitialisesNowAndPostsTheCommand)
{
    EXPECT_EQ(pwChooseMenuItem(window, 19), 1);
    EXPECT_EQ(messagesOf(window), (std::vector<uint32_t>{WM_INITMENUPOPUP}));
    pwPump();
    ASSERT_EQ(countOf(WM_COMMAND), 1);
    EXPECT_EQ(received.back().wParam, 19u);
    received.clear();
    EXPECT_EQ(pwChooseMenuItem(window, 17), 0);   // grayed: the popup opens, nothing is chosen
    pwPump();
    EXPECT_EQ(messagesOf(window), (std::vector<uint32_t>{WM_INITMENUPOPUP}));
    EXPECT_EQ(pwChooseMenuItem(window, 55), -1);
}

}  // namespace
