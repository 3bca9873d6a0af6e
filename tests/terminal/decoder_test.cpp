// The terminal's input decoded from its bytes into the user's actions:
// characters in the terminal's set (UTF-8 or one byte each) as the
// console's bytes, keys in terminfo's and the common forms, bracketed
// paste, SGR mouse reports, Alt with a letter and a lone Esc, whole, split
// and garbled.  The last group reads the keys of real terminfo entries.
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "frontends/terminal/internal.h"
#include "frontends/terminal/sequences.h"
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
    // Ctrl+Up as xterm sends it, a focus report, an SS3 key and the Linux
    // console's F1, then text.
    f.text("\x1b[1;5A" "\x1b[I" "\x1bOP" "\x1b[[A" "ok").idle();
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

// ---------------------------------------------------------------------------
// Characters: the terminal's set against the console's bytes.

TEST(Characters, Utf8BecomesTheWesternWindowsCodePageAndWhatItLacksIsAQuestionMark)
{
    feed f;
    f.split("\xc3\xa9" "\xe2\x82\xac" "\xe4\xb8\xad" "\xf0\x9f\x98\x80").idle();   // é € 中 😀
    EXPECT_EQ(f.typed(), "\xe9\x80??");
    // C1 controls are no characters.
    feed controls;
    controls.text("a\xc2\x85" "b").idle();
    EXPECT_EQ(controls.typed(), "ab");
}

// xterm sends Alt+F as "æ" unless asked for Esc: a real letter, never a key.
TEST(Characters, AnEightBitCharacterStaysACharacter)
{
    feed f;
    f.text("\xc3\xa6").idle();
    ASSERT_EQ(f.events.size(), 1u);
    EXPECT_EQ(f.events[0].kind, tmCharacter);
    EXPECT_EQ(f.events[0].byte, 0xe6);
}

// Bytes that form no character on a UTF-8 terminal are the console's bytes
// of their values: cut short, stray, in the long forms, surrogates.  A
// character begun waits for the rest, as long as the Esc delay.
TEST(Characters, BytesOfNoUtf8CharacterAreTheConsolesBytes)
{
    feed f;
    f.text("\xc3(" "\x80" "\xc0\xaf" "\xed\xa0\x80" "\xf5" "\xe2\x82\x1b[A");
    EXPECT_EQ(f.typed(), std::string("\xc3(\x80\xc0\xaf\xed\xa0\x80\xf5\xe2\x82"));
    EXPECT_EQ(f.events.back().kind, tmKey);   // the Esc that cut the last one short begins a key
    feed waiting;
    waiting.text("\xe9");
    EXPECT_TRUE(waiting.events.empty());
    EXPECT_TRUE(tmDecodeWaiting(&waiting.decoder));
    waiting.idle();
    EXPECT_EQ(waiting.typed(), "\xe9");
    feed split;
    split.text("\xe2").text("\x82").text("\xac").idle();
    EXPECT_EQ(split.typed(), "\x80");
}

TEST(Characters, PastedTextMapsAsTypedText)
{
    feed f;
    f.text("\x1b[200~\xe9" "\xc3\xa9" "\xe4\xb8\xad\r\xe9\n\x1b[201~").idle();
    EXPECT_EQ(f.typed(), "\xe9\xe9?\r\xe9\r");
    for (const tmEvent& e : f.events) EXPECT_TRUE(e.pasted);
}

// A terminal of one byte each: the locale's characters; C and POSIX give
// their eight-bit bytes none, and are taken as Latin-1, whose 0x80 to 0x9F
// are controls.
TEST(Characters, OneByteTerminalsTypeTheirLocalesCharacters)
{
    feed latin1(0);
    latin1.text("\xe9\xa4\x80\x9b" "a").idle();
    EXPECT_EQ(latin1.typed(), "\xe9\xa4" "a");

    uint32_t upper[128] = {};
    for (int i = 0x20; i < 128; ++i) upper[i] = 0x80u + static_cast<uint32_t>(i);
    upper[0xA4 - 0x80] = 0x20AC;   // ISO 8859-15's euro sign
    upper[0xA6 - 0x80] = 0x0160;   // and its S with caron
    upper[0xC0 - 0x80] = 0x0416;   // a letter Windows-1252 lacks
    const tmCharset set = tmMakeCharset(0, upper);
    feed latin9(0);
    latin9.decoder.charset = &set;
    latin9.text("\xa4\xa6\xc0\xe9").idle();
    EXPECT_EQ(latin9.typed(), "\x80\x8a?\xe9");
}

// What is shown for each console byte is what typing brings back: every
// byte the screen shows as a character of the terminal's set is the byte
// that character types, and every other is shown as '?'.
TEST(Characters, TheScreenShowsEachByteAsTheCharacterThatTypesIt)
{
    uint32_t latin9[128] = {};
    for (int i = 0x20; i < 128; ++i) latin9[i] = 0x80u + static_cast<uint32_t>(i);
    latin9[0xA4 - 0x80] = 0x20AC;
    const tmCharset sets[] = {tmMakeCharset(1, nullptr), tmMakeCharset(0, nullptr), tmMakeCharset(0, latin9)};
    for (const tmCharset& set : sets) {
        for (int byte = 0x20; byte < 256; ++byte) {
            const uint32_t glyph = set.glyph[byte];
            if (byte == 0x7f || (glyph == '?' && byte != '?') || glyph == 0xFFFD) continue;   // shown as no character
            std::string terminal;
            if (set.utf8) {
                terminal = tmUtf8OfBytes(reinterpret_cast<const char*>(&byte), 1);
            } else if (glyph < 0x80) {
                terminal = std::string(1, static_cast<char>(glyph));
            } else {
                for (int i = 0; i < 128; ++i) {
                    if (set.upper[i] == glyph) terminal = std::string(1, static_cast<char>(0x80 + i));
                }
            }
            ASSERT_FALSE(terminal.empty()) << byte;
            feed f(set.utf8);
            f.decoder.charset = &set;
            f.text(terminal).idle();
            EXPECT_EQ(f.typed(), std::string(1, static_cast<char>(byte))) << set.utf8 << " " << byte;
        }
    }
    EXPECT_EQ(sets[0].glyph[0x80], 0x20ACu);
    EXPECT_EQ(sets[0].glyph[0x81], 0xFFFDu);
    EXPECT_EQ(sets[0].glyph[1], 0x25A1u);
    EXPECT_EQ(sets[1].glyph[0x80], static_cast<uint32_t>('?'));   // no euro sign in Latin-1
    EXPECT_EQ(sets[1].glyph[0xE9], 0xE9u);
    EXPECT_EQ(sets[2].glyph[0x80], 0x20ACu);
    EXPECT_EQ(sets[2].glyph[0xA4], static_cast<uint32_t>('?'));   // ISO 8859-15 has no currency sign
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
    // Wheel up and down, motion with no button, the sideways wheel, the
    // code of no button pressed, and button 8 (back).
    f.text("\x1b[<64;5;5M\x1b[<65;5;5M\x1b[<35;5;5M\x1b[<66;5;5M\x1b[<3;5;5M\x1b[<128;5;5M\x1b[<128;5;5m");
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
