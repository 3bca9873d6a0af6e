// The pass-through's edge with the real window system: what the console's
// window procedure throws (its return point) is caught where the system
// called it, kept, and rethrown once the system's call has returned to the
// caller: a send, a dispatch, a nested send, and a modal message box.  The
// system's message record reaches TranslateMessage whole.
#include <stdexcept>

#include "platform/platform.h"
#include "tests/windows/unit/support.h"

namespace {

enum : uint32_t {
    throwNow = WM_USER + 1,        // throws
    sendThenContinue = WM_USER + 2,   // sends throwNow to itself, then would go on
    closeBoxThenThrow = WM_USER + 3,  // ends the message box "edge box", then throws
};

int continuedAfterNestedSend;
int secondClassCalls;

plLresult edgeProc(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    switch (message) {
    case throwNow:
        throw std::runtime_error("from the window procedure");
    case sendThenContinue:
        plSendMessage(window, throwNow, 0, 0);
        continuedAfterNestedSend = 1;
        return 0;
    case closeBoxThenThrow: {
        HWND box = FindWindowA(nullptr, "edge box");
        if (box != nullptr) {
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        throw std::runtime_error("during the box");
    }
    default:
        return plDefWindowProc(window, message, wParam, lParam);
    }
}

plLresult secondProc(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    if (message == throwNow) {
        ++secondClassCalls;
        return 42;
    }
    return plDefWindowProc(window, message, wParam, lParam);
}

plHwnd makeWindow(const char* className, plWndProc proc)
{
    plWndClass windowClass = {};
    windowClass.proc = proc;
    windowClass.instance = plGetModuleHandle(nullptr);
    windowClass.className = className;
    plRegisterClass(&windowClass);
    return plCreateWindowEx(0, className, className, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                            plGetModuleHandle(nullptr), nullptr);
}

class Win32Edge : public ::testing::Test {
protected:
    static void SetUpTestSuite() { window = makeWindow("EdgeTest", edgeProc); }
    static plHwnd window;
};
plHwnd Win32Edge::window;

TEST_F(Win32Edge, WhatTheProcedureThrowsReachesTheSenderAndNothingIsLeftPending)
{
    ASSERT_NE(window, nullptr);
    EXPECT_THROW(plSendMessage(window, throwNow, 0, 0), std::runtime_error);
    // Nothing waits any more: the next call into the system returns normally.
    EXPECT_EQ(plSendMessage(window, WM_NULL, 0, 0), 0);

    continuedAfterNestedSend = 0;
    EXPECT_THROW(plSendMessage(window, sendThenContinue, 0, 0), std::runtime_error);
    EXPECT_EQ(continuedAfterNestedSend, 0);

    // Another class has a procedure of its own behind the system's.
    plHwnd other = makeWindow("EdgeSecond", secondProc);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(plSendMessage(other, throwNow, 0, 0), 42);
    EXPECT_EQ(secondClassCalls, 1);
    plDestroyWindow(other);
}

TEST_F(Win32Edge, ADispatchedMessageThrowsWhereItWasDispatched)
{
    ASSERT_TRUE(plPostMessage(window, throwNow, 0, 0));
    plMsg msg;
    bool thrown = false;
    while (plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        try {
            plDispatchMessage(&msg);
        } catch (const std::runtime_error&) {
            thrown = msg.message == throwNow;
        }
    }
    EXPECT_TRUE(thrown);
}

TEST_F(Win32Edge, AThrowDuringAModalBoxWaitsUntilTheBoxHasReturned)
{
    ASSERT_TRUE(plPostMessage(window, closeBoxThenThrow, 0, 0));
    EXPECT_THROW(plMessageBox(window, "the box's own loop dispatches the posted message", "edge box", MB_OK),
                 std::runtime_error);
    EXPECT_EQ(FindWindowA(nullptr, "edge box"), nullptr);
}

TEST_F(Win32Edge, TranslatingAKeyUsesTheSystemsRecordOfTheMessage)
{
    // The A key, scan code 0x1E, pressed once: its character follows.
    ASSERT_TRUE(plPostMessage(window, WM_KEYDOWN, 'A', 0x001E0001));
    plMsg msg;
    ASSERT_TRUE(plPeekMessage(&msg, window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
    plTranslateMessage(&msg);
    ASSERT_TRUE(plPeekMessage(&msg, window, WM_CHAR, WM_CHAR, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<plWparam>('a'));
}

}  // namespace
