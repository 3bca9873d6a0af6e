// Movable memory blocks, their injected failure, and the clipboard's rules.
#include <cstring>

#include "tests/portable/fixture.h"

namespace {

plHglobal textBlock(const char* text)
{
    size_t n = std::strlen(text);
    plHglobal block = plGlobalAlloc(GHND, n + 1);
    if (!block) return nullptr;
    char* p = static_cast<char*>(plGlobalLock(block));
    std::memcpy(p, text, n);
    plGlobalUnlock(block);
    return block;
}

TEST_F(PlatformTest, BlocksAreZeroFilledLockCountedAndFreed)
{
    plHglobal block = plGlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 10);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(plGlobalSize(block), 10u);
    char* p = static_cast<char*>(plGlobalLock(block));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::memcmp(p, "\0\0\0\0\0\0\0\0\0\0", 10), 0);
    EXPECT_EQ(plGlobalLock(block), p);
    EXPECT_EQ(plGlobalUnlock(block), 1);   // still locked once
    EXPECT_EQ(plGlobalUnlock(block), 0);
    EXPECT_EQ(plGlobalUnlock(block), 0);   // not locked at all
    EXPECT_EQ(plGlobalFree(block), nullptr);
    EXPECT_EQ(plGlobalLock(block), nullptr);   // gone
    EXPECT_EQ(plGlobalFree(block), block);     // freeing twice fails
    EXPECT_EQ(pwLiveBlockCount(), 0);
}

TEST_F(PlatformTest, InjectedAllocationFailuresCountDown)
{
    pwFailAllocations(2);
    EXPECT_EQ(plGlobalAlloc(GHND, 4), nullptr);
    EXPECT_EQ(plGlobalAlloc(GHND, 4), nullptr);
    plHglobal block = plGlobalAlloc(GHND, 4);
    EXPECT_NE(block, nullptr);
    plGlobalFree(block);
}

TEST_F(PlatformTest, ClipboardMustBeOpenToEmptySetOrGet)
{
    plHwnd window = makeWindow();
    plHglobal block = textBlock("one");
    EXPECT_EQ(plEmptyClipboard(), 0);
    EXPECT_EQ(plSetClipboardData(CF_TEXT, block), nullptr);
    EXPECT_EQ(plGetClipboardData(CF_TEXT), nullptr);
    EXPECT_EQ(plCloseClipboard(), 0);

    ASSERT_EQ(plOpenClipboard(window), 1);
    EXPECT_EQ(plOpenClipboard(nullptr), 0);   // someone else while it is open
    EXPECT_EQ(plEmptyClipboard(), 1);
    EXPECT_EQ(plSetClipboardData(CF_TEXT, block), block);
    EXPECT_EQ(plCloseClipboard(), 1);

    EXPECT_TRUE(plIsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(plIsClipboardFormatAvailable(2));
    EXPECT_STREQ(hlClipboardText(), "one");
    // The clipboard owns the block now.
    EXPECT_EQ(plGlobalFree(block), block);

    ASSERT_EQ(plOpenClipboard(window), 1);
    plHglobal got = plGetClipboardData(CF_TEXT);
    EXPECT_EQ(got, block);
    EXPECT_STREQ(static_cast<const char*>(plGlobalLock(got)), "one");
    plGlobalUnlock(got);
    plCloseClipboard();
}

TEST_F(PlatformTest, EmptyingOrReplacingFreesTheClipboardsBlock)
{
    plHwnd window = makeWindow();
    plOpenClipboard(window);
    plEmptyClipboard();
    plSetClipboardData(CF_TEXT, textBlock("first"));
    plSetClipboardData(CF_TEXT, textBlock("second"));
    plCloseClipboard();
    EXPECT_EQ(pwLiveBlockCount(), 1);
    EXPECT_STREQ(hlClipboardText(), "second");

    hlSetClipboardText("from elsewhere\r\nline");
    EXPECT_EQ(pwLiveBlockCount(), 1);
    EXPECT_STREQ(hlClipboardText(), "from elsewhere\r\nline");

    plOpenClipboard(window);
    plEmptyClipboard();
    plCloseClipboard();
    EXPECT_EQ(pwLiveBlockCount(), 0);
    EXPECT_EQ(hlClipboardText(), nullptr);
    EXPECT_FALSE(plIsClipboardFormatAvailable(CF_TEXT));
}

TEST_F(PlatformTest, ClipboardTextStopsAtTheBlockEndWithoutTerminator)
{
    plHglobal block = plGlobalAlloc(GHND, 3);
    std::memcpy(plGlobalLock(block), "abc", 3);
    plGlobalUnlock(block);
    plOpenClipboard(nullptr);
    plEmptyClipboard();
    plSetClipboardData(CF_TEXT, block);
    plCloseClipboard();
    EXPECT_STREQ(hlClipboardText(), "abc");
}

TEST_F(PlatformTest, BeepsAreCounted)
{
    plMessageBeep(0);
    plMessageBeep(MB_ICONEXCLAMATION);
    EXPECT_EQ(hlBeepCount(), 2);
}

TEST_F(PlatformTest, ProcessInformationComesFromTheFrontEnd)
{
    EXPECT_STREQ(plGetCommandLine(), "rastrel");
    pwSetCommandLine("rastrel \"two words\"");
    EXPECT_STREQ(plGetCommandLine(), "rastrel \"two words\"");
    plStartupInfo info{1, 1};
    plGetStartupInfo(&info);
    EXPECT_EQ(info.flags, 0u);
    pwSetStartupInfo(STARTF_USESHOWWINDOW, SW_SHOWMINIMIZED);
    plGetStartupInfo(&info);
    EXPECT_EQ(info.showWindow, SW_SHOWMINIMIZED);
    EXPECT_EQ(plGetVersion() & 0x80000000u, 0u);
    EXPECT_NE(plGetModuleHandle(nullptr), nullptr);
    EXPECT_NE(plLoadIcon(nullptr, IDI_APPLICATION), nullptr);
    EXPECT_NE(plLoadCursor(nullptr, IDC_ARROW), nullptr);
}

}  // namespace
