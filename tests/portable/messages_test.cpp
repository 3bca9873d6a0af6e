// Windows and the message queue: creation and destruction order, send versus
// post, paint synthesis, the quit message, peeking, the idle handler and the
// failure that replaces a hang.
#include "tests/portable/fixture.h"

namespace {

using Messages = std::vector<uint32_t>;

TEST_F(PlatformTest, CreationSendsCreateThenSizeAndFirstShowFocusesAndSizesAgain)
{
    plHwnd window = makeWindow();
    EXPECT_EQ(messagesOf(window), (Messages{WM_CREATE, WM_SIZE}));
    EXPECT_EQ(received[1].lParam, plMakeLong(650, 384));
    EXPECT_FALSE(pwIsVisible(window));
    received.clear();

    EXPECT_EQ(plShowWindow(window, SW_SHOWDEFAULT), 0);
    EXPECT_EQ(messagesOf(window), (Messages{WM_SETFOCUS, WM_SIZE}));
    EXPECT_TRUE(pwIsVisible(window));
    EXPECT_TRUE(pwIsInvalid(window));
    EXPECT_EQ(pwShowValue(window), SW_SHOWDEFAULT);
    EXPECT_EQ(plGetFocus(), window);
    received.clear();

    EXPECT_NE(plShowWindow(window, SW_SHOW), 0);   // already visible: nothing more
    EXPECT_TRUE(received.empty());
}

TEST_F(PlatformTest, CreateAnsweringMinusOneFailsCreation)
{
    static bool refuse = true;
    plWndClass windowClass{};
    windowClass.proc = [](plHwnd w, uint32_t m, plWparam wp, plLparam lp) -> plLresult {
        if (m == WM_CREATE && refuse) return -1;
        return plDefWindowProc(w, m, wp, lp);
    };
    windowClass.className = "Refuser";
    ASSERT_NE(plRegisterClass(&windowClass), 0);
    EXPECT_EQ(plRegisterClass(&windowClass), 0);   // registered once only
    EXPECT_EQ(plCreateWindowEx(0, "Refuser", "", 0, 0, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr),
              nullptr);
    EXPECT_EQ(plCreateWindowEx(0, "NoSuchClass", "", 0, 0, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr),
              nullptr);
}

TEST_F(PlatformTest, SendCallsAtOncePostWaitsInTheQueue)
{
    plHwnd window = makeWindow();
    received.clear();
    EXPECT_EQ(plSendMessage(window, WM_USER + 1, 7, 8), 0);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].wParam, 7u);

    received.clear();
    EXPECT_EQ(plPostMessage(window, WM_USER + 2, 1, 0), 1);
    EXPECT_EQ(plPostMessage(window, WM_USER + 3, 2, 0), 1);
    EXPECT_TRUE(received.empty());
    plMsg msg{};
    ASSERT_EQ(plGetMessage(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_USER + 2u);
    plDispatchMessage(&msg);
    ASSERT_EQ(plGetMessage(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_USER + 3u);
    EXPECT_EQ(messagesOf(window), (Messages{WM_USER + 2}));
}

TEST_F(PlatformTest, DestroySendsDestroyAndLaterMessagesGoNowhere)
{
    plHwnd window = makeWindow();
    plPostMessage(window, WM_USER, 0, 0);
    received.clear();
    EXPECT_EQ(plDestroyWindow(window), 1);
    EXPECT_EQ(messagesOf(window), (Messages{WM_DESTROY}));
    EXPECT_FALSE(plIsWindow(window));
    received.clear();
    EXPECT_EQ(plSendMessage(window, WM_USER, 0, 0), 0);
    EXPECT_EQ(plPostMessage(window, WM_USER, 0, 0), 0);
    EXPECT_EQ(plDestroyWindow(window), 0);
    plMsg msg{};
    EXPECT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 0);   // the queued message went with it
    EXPECT_TRUE(received.empty());

    // A new window reusing the slot does not answer to the old handle.
    plHwnd second = makeWindow();
    EXPECT_NE(second, window);
    EXPECT_FALSE(plIsWindow(window));
}

TEST_F(PlatformTest, PaintComesOnlyWhenNothingElseIsQueuedAndOnlyOnce)
{
    plHwnd window = makeWindow();
    plShowWindow(window, SW_SHOW);
    plPostMessage(window, WM_USER, 0, 0);
    plMsg msg{};
    ASSERT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 1);
    EXPECT_EQ(msg.message, WM_USER);
    // Peeking without removing does not use the paint up.
    ASSERT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE), 1);
    EXPECT_EQ(msg.message, WM_PAINT);
    ASSERT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 1);
    EXPECT_EQ(msg.message, WM_PAINT);
    plInvalidateRect(window, nullptr, 1);   // invalidating again does not queue a second paint
    plDispatchMessage(&msg);
    EXPECT_FALSE(pwIsInvalid(window));
    EXPECT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 0);
}

TEST_F(PlatformTest, HiddenWindowsGetNoPaint)
{
    plHwnd window = makeWindow();
    plInvalidateRect(window, nullptr, 1);
    plMsg msg{};
    EXPECT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 0);
    EXPECT_EQ(plUpdateWindow(window), 1);
    EXPECT_EQ(countOf(WM_PAINT), 0);
}

TEST_F(PlatformTest, UpdateWindowPaintsAtOnceOnlyWhenInvalid)
{
    plHwnd window = makeWindow();
    plShowWindow(window, SW_SHOW);
    plUpdateWindow(window);
    EXPECT_EQ(countOf(WM_PAINT), 1);
    plUpdateWindow(window);
    EXPECT_EQ(countOf(WM_PAINT), 1);
}

TEST_F(PlatformTest, PaintHandlerThatNeverValidatesDoesNotLoop)
{
    plWndClass windowClass{};
    windowClass.proc = [](plHwnd, uint32_t, plWparam, plLparam) -> plLresult { return 0; };
    windowClass.className = "Lazy";
    ASSERT_NE(plRegisterClass(&windowClass), 0);
    plHwnd window = plCreateWindowEx(0, "Lazy", "", WS_VISIBLE, 0, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance,
                                     nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(pwPump(), 1);
    EXPECT_FALSE(pwIsInvalid(window));
}

TEST_F(PlatformTest, QuitComesAfterEarlierPostsAndBeforePaint)
{
    plHwnd window = makeWindow();
    plShowWindow(window, SW_SHOW);
    plPostMessage(window, WM_USER, 0, 0);
    plPostQuitMessage(4);
    plPostMessage(window, WM_USER + 1, 0, 0);
    plMsg msg{};
    EXPECT_EQ(plGetMessage(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_EQ(plGetMessage(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_USER + 1u);
    EXPECT_EQ(plGetMessage(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_EQ(plGetMessage(&msg, nullptr, 0, 0), 1);   // the quit is used up; the paint remains
    EXPECT_EQ(msg.message, WM_PAINT);
}

TEST_F(PlatformTest, PeekHonoursWindowAndRangeFilters)
{
    plHwnd first = makeWindow();
    plHwnd second = makeWindow();
    plPostMessage(first, WM_USER, 0, 0);
    plPostMessage(second, WM_CHAR, 'a', 0);
    plPostMessage(nullptr, WM_USER + 5, 0, 0);
    plMsg msg{};
    ASSERT_EQ(plPeekMessage(&msg, second, 0, 0, PM_REMOVE), 1);
    EXPECT_EQ(msg.message, WM_CHAR);
    ASSERT_EQ(plPeekMessage(&msg, nullptr, WM_USER + 5, WM_USER + 5, PM_REMOVE), 1);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(plPeekMessage(&msg, second, 0, 0, PM_REMOVE), 0);
    ASSERT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 1);
    EXPECT_EQ(msg.hwnd, first);
    EXPECT_EQ(plDispatchMessage(&msg), 0);
}

int idleCalls = 0;
plHwnd idleTarget = nullptr;

TEST_F(PlatformTest, BlockingWaitAsksTheIdleHandlerForInput)
{
    idleTarget = makeWindow();
    idleCalls = 0;
    hlSetIdleHandler([]() -> int {
        ++idleCalls;
        if (idleCalls == 1) return 1;   // did something, but delivered nothing: asked again
        if (idleCalls == 2) {
            pwPostChar(idleTarget, 'x');
            return 1;
        }
        return 0;
    });
    plMsg msg{};
    ASSERT_EQ(plGetMessage(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_CHAR);
    EXPECT_EQ(msg.wParam, static_cast<plWparam>('x'));
    EXPECT_EQ(idleCalls, 2);
    EXPECT_TRUE(failures.empty());
}

TEST_F(PlatformTest, BlockingWaitWithNothingToDeliverFailsAndEndsTheLoop)
{
    makeWindow();
    plMsg msg{};
    EXPECT_EQ(plGetMessage(&msg, nullptr, 0, 0), -1);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("nothing to deliver"), std::string::npos);
    // The failure leaves the quit message pending, so a message loop ends.
    EXPECT_EQ(plGetMessage(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(failures.size(), 1u);
}

TEST_F(PlatformTest, DefaultFailureEndsTheProcessWithStatusThree)
{
    EXPECT_EXIT(
        {
            hlSetFailureHandler(nullptr);
            plMsg msg{};
            plGetMessage(&msg, nullptr, 0, 0);
        },
        ::testing::ExitedWithCode(3), "rastrel: a blocking wait");
}

TEST_F(PlatformTest, PeekHandlerFeedsANonBlockingPump)
{
    idleTarget = makeWindow();
    idleCalls = 0;
    hlSetPeekHandler([]() -> int {
        if (++idleCalls > 1) return 0;
        pwPostChar(idleTarget, 'p');
        return 1;
    });
    plMsg msg{};
    ASSERT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 1);
    EXPECT_EQ(msg.wParam, static_cast<plWparam>('p'));
    EXPECT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 0);
    EXPECT_EQ(idleCalls, 2);
}

TEST_F(PlatformTest, TranslateTurnsCharacterKeysIntoTheNextMessage)
{
    plHwnd window = makeWindow();
    plPostMessage(window, WM_USER, 0, 0);
    plMsg key{window, WM_KEYDOWN, 'Q', 1};
    EXPECT_NE(plTranslateMessage(&key), 0);
    plMsg msg{};
    ASSERT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 1);
    EXPECT_EQ(msg.message, WM_CHAR);
    EXPECT_EQ(msg.wParam, static_cast<plWparam>('q'));
    plMsg navigation{window, WM_KEYDOWN, VK_LEFT, 1};
    plTranslateMessage(&navigation);
    ASSERT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 1);
    EXPECT_EQ(msg.message, WM_USER);   // a navigation key makes no character
}

// A procedure that throws from inside a dispatched message, as the console's
// return point does, leaves the window system usable.
TEST_F(PlatformTest, ProcedureThatUnwindsLeavesTheSystemConsistent)
{
    plWndClass windowClass{};
    windowClass.proc = [](plHwnd w, uint32_t m, plWparam wp, plLparam lp) -> plLresult {
        if (m == WM_USER) throw 42;
        return plDefWindowProc(w, m, wp, lp);
    };
    windowClass.className = "Thrower";
    ASSERT_NE(plRegisterClass(&windowClass), 0);
    plHwnd window = plCreateWindowEx(0, "Thrower", "", 0, 0, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_THROW(plSendMessage(window, WM_USER, 0, 0), int);
    }
    // Had the nesting depth not been restored, this send would be refused.
    EXPECT_EQ(plSendMessage(window, WM_SETTEXT, 0, reinterpret_cast<plLparam>("after")), 1);
    char title[16];
    plGetWindowText(window, title, sizeof title);
    EXPECT_STREQ(title, "after");
    EXPECT_TRUE(failures.empty());
}

TEST_F(PlatformTest, SendsNestedWithoutEndAreRefusedInsteadOfOverflowing)
{
    plWndClass windowClass{};
    windowClass.proc = [](plHwnd w, uint32_t m, plWparam wp, plLparam lp) -> plLresult {
        if (m == WM_USER) return plSendMessage(w, WM_USER, wp + 1, lp);
        return plDefWindowProc(w, m, wp, lp);
    };
    windowClass.className = "Recurser";
    ASSERT_NE(plRegisterClass(&windowClass), 0);
    plHwnd window = plCreateWindowEx(0, "Recurser", "", 0, 0, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    EXPECT_EQ(plSendMessage(window, WM_USER, 0, 0), 0);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("nested"), std::string::npos);
}

TEST_F(PlatformTest, FocusMovesWithKillAndSetFocusMessages)
{
    plHwnd first = makeWindow();
    plHwnd second = makeWindow();
    received.clear();
    EXPECT_EQ(plSetFocus(first), nullptr);
    EXPECT_EQ(plSetFocus(second), first);
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1].window, first);
    EXPECT_EQ(received[1].message, WM_KILLFOCUS);
    EXPECT_EQ(received[2].window, second);
    EXPECT_EQ(received[2].message, WM_SETFOCUS);
    pwFocus(nullptr);
    EXPECT_EQ(plGetFocus(), nullptr);
    EXPECT_EQ(received.back().message, WM_KILLFOCUS);
}

TEST_F(PlatformTest, DisablingTheFocusWindowTakesTheFocusAndDropsInput)
{
    plHwnd window = makeWindow();
    plShowWindow(window, SW_SHOW);
    EXPECT_EQ(plEnableWindow(window, 0), 0);
    EXPECT_EQ(plGetFocus(), nullptr);
    EXPECT_FALSE(plIsWindowEnabled(window));
    EXPECT_EQ(pwDisableCount(window), 1);
    pwPostChar(window, 'a');
    pwClose(window);
    EXPECT_EQ(pwChooseMenuItem(window, 13), 0);
    pwPump();
    EXPECT_EQ(countOf(WM_CHAR), 0);
    EXPECT_EQ(countOf(WM_CLOSE), 0);
    EXPECT_EQ(countOf(WM_COMMAND), 0);
    EXPECT_EQ(plEnableWindow(window, 1), 1);
    EXPECT_TRUE(plIsWindowEnabled(window));
}

TEST_F(PlatformTest, CloseBoxAndShutdownQueryReachTheProcedure)
{
    plHwnd window = makeWindow();
    queryEndSessionAnswer = 0;
    EXPECT_EQ(pwQueryEndSession(window), 0);
    pwClose(window);
    pwPump();
    EXPECT_FALSE(plIsWindow(window));   // the default handling of WM_CLOSE destroys
    EXPECT_EQ(pwMainWindow(), nullptr);
}

TEST_F(PlatformTest, ResizeSendsSizeAndInvalidatesRedrawingClasses)
{
    plHwnd window = makeWindow();
    plShowWindow(window, SW_SHOW);
    pwPump();
    received.clear();
    pwResize(window, 330, 200);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, WM_SIZE);
    EXPECT_EQ(received[0].lParam, plMakeLong(330, 200));
    EXPECT_TRUE(pwIsInvalid(window));
    EXPECT_EQ(hlSurfaceColumns(window), 42);   // 330 / 8, the last cell partly visible
    EXPECT_EQ(hlSurfaceRows(window), 13);
}

TEST_F(PlatformTest, WindowTextGoesThroughTheProcedure)
{
    plHwnd window = makeWindow();
    EXPECT_EQ(plSetWindowText(window, "Vellomex - out.txt"), 1);
    char title[8];
    EXPECT_EQ(plGetWindowText(window, title, sizeof title), 7);
    EXPECT_STREQ(title, "Vellome");
    EXPECT_EQ(countOf(WM_SETTEXT), 1);
}

}  // namespace

namespace {

TEST_F(PlatformTest, IdleHandlerThatNeverDeliversEndsInTheFailure)
{
    makeWindow();
    hlSetIdleHandler([]() -> int { return 1; });
    plMsg msg{};
    EXPECT_EQ(plGetMessage(&msg, nullptr, 0, 0), -1);
    EXPECT_EQ(failures.size(), 1u);
}

}  // namespace
