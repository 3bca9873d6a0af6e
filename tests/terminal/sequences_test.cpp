// What the front end writes to the terminal by hand: the title and the
// clipboard.
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

TEST(Sequences, TheModesAreTurnedOffInTheReverseOrder)
{
    const std::string on = tmModesOn;
    const std::string off = tmModesOff;
    for (const char* mode : {"2004", "1002", "1006"}) {
        EXPECT_NE(on.find(std::string("\x1b[?") + mode + "h"), std::string::npos);
        EXPECT_NE(off.find(std::string("\x1b[?") + mode + "l"), std::string::npos);
    }
}

}  // namespace
