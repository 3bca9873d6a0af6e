// The terminal's input decoded from its bytes into the user's actions:
// characters, keys in terminfo's and the common forms, bracketed paste, SGR
// mouse reports, Alt with a letter and a lone Esc, whole, split and
// garbled.  The last group reads the keys of real terminfo entries.
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "frontends/terminal/internal.h"
#include "platform/platform.h"

// Last: it names every capability as a macro.
#include <term.h>

namespace {

struct feed {
    tmDecoder decoder{};
    std::deque<tmEvent> events;

    explicit feed(int utf8 = 1, const tmKeyTable* keys = nullptr)
    {
        decoder.utf8 = utf8;
        decoder.keys = keys;
    }
    feed& text(const std::string& bytes)
    {
        tmDecode(&decoder, bytes.data(), bytes.size(), &events);
        return *this;
    }
    // The bytes one read at a time.
    feed& split(const std::string& bytes)
    {
        for (char c : bytes) tmDecode(&decoder, &c, 1, &events);
        return *this;
    }
    feed& idle()
    {
        tmDecodeIdle(&decoder, &events);
        return *this;
    }
    std::string typed() const
    {
        std::string out;
        for (const tmEvent& e : events) {
            if (e.kind == tmCharacter) out += static_cast<char>(e.byte);
        }
        return out;
    }
};

TEST(Keys, ControlCharactersReachTheConsoleAsTheyAre)
{
    feed f;
    f.text(std::string("\x03\x13\x11\x1a\r\t\b", 7)).idle();
    EXPECT_EQ(f.typed(), std::string("\x03\x13\x11\x1a\r\t\b", 7));
}

TEST(Keys, DeleteIsBackspaceAndTheKeypadEnterIsEnter)
{
    feed f;
    f.text("\x7f" "\x1bOM").idle();
    EXPECT_EQ(f.typed(), "\b\r");
}

TEST(Keys, NavigationKeysInBothFormsBecomeVirtualKeys)
{
    const uint32_t keys[] = {VK_UP, VK_DOWN, VK_RIGHT, VK_LEFT, VK_HOME, VK_END, VK_PRIOR, VK_NEXT, VK_HOME, VK_END};
    for (const std::string& sequences : {std::string("\x1b[A\x1b[B\x1b[C\x1b[D\x1b[H\x1b[F\x1b[5~\x1b[6~\x1b[1~\x1b[4~"),
                                         std::string("\x1bOA\x1bOB\x1bOC\x1bOD\x1bOH\x1bOF\x1b[5~\x1b[6~\x1b[7~\x1b[8~")}) {
        feed f;
        f.split(sequences).idle();
        ASSERT_EQ(f.events.size(), 10u);
        for (size_t i = 0; i < 10; ++i) {
            EXPECT_EQ(f.events[i].kind, tmKey);
            EXPECT_EQ(f.events[i].key, keys[i]) << i;
        }
    }
}

TEST(Keys, MenusOpenByF10AndAltWithTheirLetters)
{
    feed f;
    f.text("\x1b[21~" "\x1b" "f" "\x1b" "E").idle();
    ASSERT_EQ(f.events.size(), 3u);
    EXPECT_EQ(f.events[0].kind, tmMenuKey);
    EXPECT_EQ(f.events[0].menu, 0);
    EXPECT_EQ(f.events[1].menu, 0);
    EXPECT_EQ(f.events[2].menu, 1);
}

TEST(Keys, ALoneEscIsToldApartOnlyWhenNothingFollows)
{
    feed f;
    f.text("\x1b");
    EXPECT_TRUE(f.events.empty());
    EXPECT_TRUE(tmDecodeWaiting(&f.decoder));
    f.idle();
    ASSERT_EQ(f.events.size(), 1u);
    EXPECT_EQ(f.events[0].kind, tmEscape);
    EXPECT_FALSE(tmDecodeWaiting(&f.decoder));

    feed twice;
    twice.text("\x1b\x1b").idle();
    ASSERT_EQ(twice.events.size(), 2u);
    EXPECT_EQ(twice.events[1].kind, tmEscape);
}

TEST(Keys, AltF4ClosesAndOtherAltKeysTypeNothing)
{
    feed f;
    // Esc before F4 (Alt sending Esc), xterm's Alt+F4, Alt+Q, F4 alone.
    f.text("\x1b\x1bOS" "\x1b[1;3S" "\x1bq" "\x1bOS").idle();
    ASSERT_EQ(f.events.size(), 2u);
    EXPECT_EQ(f.events[0].kind, tmCloseKey);
    EXPECT_EQ(f.events[1].kind, tmCloseKey);
}

TEST(Keys, SequencesNoOneNamesAreSwallowedWhole)
{
    feed f;
    // Ctrl+Up as xterm sends it, a focus report and an SS3 key, then text.
    f.text("\x1b[1;5A" "\x1b[I" "\x1bOP" "ok").idle();
    EXPECT_EQ(f.typed(), "ok");
    EXPECT_EQ(f.events.size(), 2u);
}

TEST(Keys, ACutOffSequenceGivesBackTheControlCharacterThatEndedIt)
{
    feed f;
    f.text("\x1b[12\r").idle();
    EXPECT_EQ(f.typed(), "\r");
}

TEST(Keys, ASequenceSplitAcrossReadsIsOneSequence)
{
    feed f;
    f.text("\x1b[2").idle().text("00~x\x1b[201~").idle();
    EXPECT_EQ(f.typed(), "x");
    ASSERT_EQ(f.events.size(), 1u);
    EXPECT_TRUE(f.events[0].pasted);
}

TEST(Keys, CharactersBecomeTheWesternWindowsCodePage)
{
    feed f;
    f.split("\xc3\xa9" "\xe2\x82\xac" "\xe4\xb8\xad" "\xc3").text("\x28").idle();   // é € 中, then a broken one
    EXPECT_EQ(f.typed(), "\xe9\x80(");
    feed bytes(0);   // a locale whose characters are one byte each
    bytes.text("\xe9").idle();
    EXPECT_EQ(bytes.typed(), "\xe9");
    EXPECT_EQ(tmCharacterOfByte(0x80), 0x20ACu);
    EXPECT_EQ(tmCharacterOfByte(0x81), 0xFFFDu);
    for (int byte = 32; byte < 256; ++byte) {
        const uint32_t c = tmCharacterOfByte(static_cast<unsigned char>(byte));
        if (c != 0xFFFDu) {
            EXPECT_EQ(tmByteOfCharacter(c), byte);
        }
    }
}

// ---------------------------------------------------------------------------

TEST(Paste, TextArrivesAsTypedWithLineEndsAsEnter)
{
    feed f;
    f.text("\x1b[200~a\r\nb\nc\rd\te\x1b[201~").idle();
    EXPECT_EQ(f.typed(), "a\rb\rc\rd\te");
    for (const tmEvent& e : f.events) EXPECT_TRUE(e.pasted);
}

TEST(Paste, ControlCharactersEscapesAndKeysInsideAreNotTheUsersKeys)
{
    feed f;
    f.text("\x1b[200~x\x03\x1b\x7f" "y\x1b[A\x1b[201~\x1b").idle();
    EXPECT_EQ(f.typed(), "xy");
    ASSERT_EQ(f.events.size(), 3u);
    EXPECT_EQ(f.events[2].kind, tmEscape);   // after the paste, Esc is a key again
}

TEST(Paste, ACrLfSplitAcrossTheEndMarkerIsOneLineEnd)
{
    feed f;
    f.text("\x1b[200~a\r").idle().text("\n\x1b[201~");
    EXPECT_EQ(f.typed(), "a\r");
}

// ---------------------------------------------------------------------------

tmMouseReport onlyMouse(const feed& f)
{
    EXPECT_EQ(f.events.size(), 1u);
    if (f.events.empty()) return tmMouseReport{};
    EXPECT_EQ(f.events[0].kind, tmMouse);
    return f.events[0].mouse;
}

TEST(Mouse, PressDragReleaseAndShiftFromSgrReports)
{
    feed press;
    press.text("\x1b[<4;12;7M");
    tmMouseReport m = onlyMouse(press);
    EXPECT_EQ(m.kind, tmPress);
    EXPECT_EQ(m.button, 0);
    EXPECT_EQ(m.shift, 1);
    EXPECT_EQ(m.column, 11);
    EXPECT_EQ(m.row, 6);

    feed drag;
    drag.text("\x1b[<32;300;40M");
    m = onlyMouse(drag);
    EXPECT_EQ(m.kind, tmDrag);
    EXPECT_EQ(m.column, 299);   // past the X10 form's limit of 223

    feed release;
    release.text("\x1b[<0;1;1m");
    EXPECT_EQ(onlyMouse(release).kind, tmRelease);
}

TEST(Mouse, WheelAndMotionWithoutAButton)
{
    feed f;
    f.text("\x1b[<64;5;5M\x1b[<65;5;5M\x1b[<35;5;5M\x1b[<66;5;5M");
    ASSERT_EQ(f.events.size(), 2u);
    EXPECT_EQ(f.events[0].mouse.kind, tmWheelUp);
    EXPECT_EQ(f.events[1].mouse.kind, tmWheelDown);
}

TEST(Mouse, AReportSplitAcrossReadsIsWholeOnceTheRestArrives)
{
    feed f;
    f.text("\x1b[<0;1").idle();
    EXPECT_TRUE(f.events.empty());
    f.text("0;2").idle().text("M");
    EXPECT_EQ(onlyMouse(f).column, 9);
}

TEST(Mouse, GarbageEndsTheReportAndIsDecodedAfresh)
{
    feed f;
    f.text("\x1b[<0;1x");
    EXPECT_EQ(f.typed(), "x");
    feed missing;
    missing.text("\x1b[<0;5M");   // two numbers only
    EXPECT_TRUE(missing.events.empty());
    feed zero;
    zero.text("\x1b[<0;0;5M");    // columns count from 1
    EXPECT_TRUE(zero.events.empty());
    feed huge;
    huge.text("\x1b[<0;99999999999;1M").text("a");
    EXPECT_EQ(huge.typed(), "a");
}

// ---------------------------------------------------------------------------
// The keys of real terminals as terminfo names them.

class Terminfo : public ::testing::TestWithParam<const char*> {};

TEST_P(Terminfo, TheTerminalsOwnKeysAreDecoded)
{
    int error = 0;
    ASSERT_EQ(setupterm(const_cast<char*>(GetParam()), -1, &error), OK);
    const tmKeyTable keys = tmTerminfoKeys();
    const std::string up = tigetstr(const_cast<char*>("kcuu1"));
    const std::string end = tigetstr(const_cast<char*>("kend"));
    const char* f10 = tigetstr(const_cast<char*>("kf10"));
    ASSERT_TRUE(f10 && f10 != reinterpret_cast<char*>(-1));
    const std::string menu = f10;
    del_curterm(cur_term);
    feed f(1, &keys);
    f.split(up + "a" + end + menu + "\x1b[<0;3;4M").idle();
    ASSERT_EQ(f.events.size(), 5u);
    EXPECT_EQ(f.events[0].key, VK_UP);
    EXPECT_EQ(f.events[1].byte, 'a');
    EXPECT_EQ(f.events[2].key, VK_END);
    EXPECT_EQ(f.events[3].kind, tmMenuKey);
    EXPECT_EQ(f.events[4].mouse.column, 2);
}

INSTANTIATE_TEST_SUITE_P(Terminals, Terminfo, ::testing::Values("xterm-256color", "tmux-256color", "screen", "linux"));

}  // namespace
