// What the front end writes to the terminal by hand: the title, the
// clipboard and the modes.
#include <gtest/gtest.h>

#include "frontends/terminal/sequences.h"

namespace {

TEST(Sequences, TheTitleCannotEndOrSmuggleASequence)
{
    EXPECT_EQ(tmTitleSequence("Vellomex - out.txt"), "\x1b]2;Vellomex - out.txt\a");
    EXPECT_EQ(tmTitleSequence("a\a\x1b]52;c;eA==\x07\x7f" "b"), "\x1b]2;a]52;c;eA==b\a");
}

TEST(Sequences, TheClipboardGetsBase64OfUtf8)
{
    EXPECT_EQ(tmBase64(""), "");
    EXPECT_EQ(tmBase64("f"), "Zg==");
    EXPECT_EQ(tmBase64("fo"), "Zm8=");
    EXPECT_EQ(tmBase64("foo"), "Zm9v");
    EXPECT_EQ(tmBase64("Rastrel 1.0\r\n"), "UmFzdHJlbCAxLjANCg==");
    EXPECT_EQ(tmUtf8OfBytes("\xe9\x80", 2), "\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(tmClipboardSequence("Rastrel", 7), "\x1b]52;c;UmFzdHJlbA==\a");
    // Line ends become this system's; a lone CR stays.
    EXPECT_EQ(tmClipboardSequence("a\r\nb\rc\r", 7), "\x1b]52;c;" + tmBase64("a\nb\rc\r") + "\a");
}

// Every mode turned on is turned off; Meta's is saved before it is set and
// restored after it is reset, and turning the modes on again saves and
// pushes nothing, so that the end restores what the shell had.
TEST(Sequences, EveryModeTurnedOnIsTurnedOffAndMetasIsRestored)
{
    const std::string on = tmModesOn;
    const std::string again = tmModesAgain;
    const std::string off = tmModesOff;
    for (const char* mode : {"2004", "1002", "1006", "1036"}) {
        EXPECT_NE(on.find(std::string("\x1b[?") + mode + "h"), std::string::npos) << mode;
        EXPECT_NE(again.find(std::string("\x1b[?") + mode + "h"), std::string::npos) << mode;
        EXPECT_NE(off.find(std::string("\x1b[?") + mode + "l"), std::string::npos) << mode;
    }
    EXPECT_LT(on.find("\x1b[?1036s"), on.find("\x1b[?1036h"));
    EXPECT_LT(off.find("\x1b[?1036l"), off.find("\x1b[?1036r"));
    EXPECT_NE(on.find("\x1b[22;0t"), std::string::npos);
    EXPECT_NE(off.find("\x1b[23;0t"), std::string::npos);
    EXPECT_EQ(again.find("s"), std::string::npos);
    EXPECT_EQ(again.find("t"), std::string::npos);
}

}  // namespace
