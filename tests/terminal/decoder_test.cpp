// The terminal's input decoded into the user's actions: keys as curses
// hands them over, and what curses does not know (bracketed paste, SGR mouse
// reports, Alt+letter, a lone Esc), whole, split and garbled.  The last
// group runs real curses on a pipe, so terminfo's sequences and the ones the
// front end teaches curses are decoded from the very bytes a terminal sends.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "frontends/terminal/decoder.h"
#include "platform/platform.h"

namespace {

struct feed {
    tmDecoder decoder{};
    std::deque<tmEvent> events;

    feed& text(const std::string& bytes)
    {
        for (unsigned char c : bytes) tmDecode(&decoder, 0, c, &events);
        return *this;
    }
    feed& key(int code)
    {
        tmDecode(&decoder, 1, static_cast<uint32_t>(code), &events);
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

TEST(Keys, DeleteAndTheBackspaceKeyAreBackspace)
{
    feed f;
    f.text("\x7f").key(KEY_BACKSPACE).key(KEY_ENTER).idle();
    EXPECT_EQ(f.typed(), "\b\b\r");
}

TEST(Keys, NavigationKeysBecomeVirtualKeys)
{
    feed f;
    const int codes[] = {KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, KEY_PPAGE, KEY_NPAGE, KEY_HOME, KEY_END};
    const uint32_t keys[] = {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_PRIOR, VK_NEXT, VK_HOME, VK_END};
    for (int code : codes) f.key(code);
    ASSERT_EQ(f.events.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(f.events[i].kind, tmKey);
        EXPECT_EQ(f.events[i].key, keys[i]);
    }
}

TEST(Keys, MenusOpenByF10AndAltWithTheirLetters)
{
    feed f;
    f.key(KEY_F(10)).text("\x1b" "f").text("\x1b" "E").idle();
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
    f.idle();
    ASSERT_EQ(f.events.size(), 1u);
    EXPECT_EQ(f.events[0].kind, tmEscape);

    feed twice;
    twice.text("\x1b\x1b").idle();
    ASSERT_EQ(twice.events.size(), 2u);
    EXPECT_EQ(twice.events[1].kind, tmEscape);
}

TEST(Keys, AltF4ClosesAndOtherAltKeysTypeNothing)
{
    feed f;
    f.text("\x1b").key(KEY_F(4)).key(KEY_F(52)).text("\x1bq").idle();
    ASSERT_EQ(f.events.size(), 2u);
    EXPECT_EQ(f.events[0].kind, tmCloseKey);
    EXPECT_EQ(f.events[1].kind, tmCloseKey);
}

TEST(Keys, SequencesNoTerminfoEntryNamesAreSwallowedWhole)
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

TEST(Keys, CharactersBecomeTheWesternWindowsCodePage)
{
    feed f;
    tmDecode(&f.decoder, 0, 0xE9, &f.events);     // é
    tmDecode(&f.decoder, 0, 0x20AC, &f.events);   // €
    tmDecode(&f.decoder, 0, 0x4E2D, &f.events);   // a character it has not: dropped
    EXPECT_EQ(f.typed(), "\xe9\x80");
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
    f.key(tmKeyPasteBegin).text("a\r\nb\nc\rd\te").key(tmKeyPasteEnd).idle();
    EXPECT_EQ(f.typed(), "a\rb\rc\rd\te");
    for (const tmEvent& e : f.events) EXPECT_TRUE(e.pasted);
}

TEST(Paste, ControlCharactersEscapesAndKeysInsideAreNotTheUsersKeys)
{
    feed f;
    f.key(tmKeyPasteBegin).text(std::string("x\x03\x1b\x7fy", 5)).key(KEY_UP).key(tmKeyPasteEnd).text("\x1b").idle();
    EXPECT_EQ(f.typed(), "xy");
    ASSERT_EQ(f.events.size(), 3u);
    EXPECT_EQ(f.events[2].kind, tmEscape);   // after the paste, Esc is a key again
}

TEST(Paste, ACrLfSplitAcrossTheEndMarkerIsOneLineEnd)
{
    feed f;
    f.key(tmKeyPasteBegin).text("a\r").idle().text("\n").key(tmKeyPasteEnd);
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
    press.key(tmKeySgrMouse).text("4;12;7M");
    tmMouseReport m = onlyMouse(press);
    EXPECT_EQ(m.kind, tmPress);
    EXPECT_EQ(m.button, 0);
    EXPECT_EQ(m.shift, 1);
    EXPECT_EQ(m.column, 11);
    EXPECT_EQ(m.row, 6);

    feed drag;
    drag.key(tmKeySgrMouse).text("32;300;40M");
    m = onlyMouse(drag);
    EXPECT_EQ(m.kind, tmDrag);
    EXPECT_EQ(m.column, 299);   // past the X10 form's limit of 223

    feed release;
    release.key(tmKeySgrMouse).text("0;1;1m");
    EXPECT_EQ(onlyMouse(release).kind, tmRelease);
}

TEST(Mouse, WheelAndMotionWithoutAButton)
{
    feed f;
    f.key(tmKeySgrMouse).text("64;5;5M").key(tmKeySgrMouse).text("65;5;5M");
    f.key(tmKeySgrMouse).text("35;5;5M").key(tmKeySgrMouse).text("66;5;5M");
    ASSERT_EQ(f.events.size(), 2u);
    EXPECT_EQ(f.events[0].mouse.kind, tmWheelUp);
    EXPECT_EQ(f.events[1].mouse.kind, tmWheelDown);
}

TEST(Mouse, AReportSplitAcrossReadsIsWholeOnceTheRestArrives)
{
    feed f;
    f.key(tmKeySgrMouse).text("0;1").idle();
    EXPECT_TRUE(f.events.empty());
    f.text("0;2").idle().text("M");
    EXPECT_EQ(onlyMouse(f).column, 9);
}

TEST(Mouse, GarbageEndsTheReportAndIsDecodedAfresh)
{
    feed f;
    f.key(tmKeySgrMouse).text("0;1x");
    EXPECT_EQ(f.typed(), "x");
    feed missing;
    missing.key(tmKeySgrMouse).text("0;5M");   // two numbers only
    EXPECT_TRUE(missing.events.empty());
    feed zero;
    zero.key(tmKeySgrMouse).text("0;0;5M");    // columns count from 1
    EXPECT_TRUE(zero.events.empty());
    feed huge;
    huge.key(tmKeySgrMouse).text("0;99999999999;1M").text("a");
    EXPECT_EQ(huge.typed(), "a");
}

// ---------------------------------------------------------------------------
// Real curses on a pipe: the bytes a terminal sends.

struct cursesPipe {
    int input[2] = {-1, -1};
    FILE* in = nullptr;
    FILE* out = nullptr;
    SCREEN* screen = nullptr;
    tmDecoder decoder{};
    std::deque<tmEvent> events;

    explicit cursesPipe(const char* type)
    {
        if (pipe(input) != 0) return;
        in = fdopen(input[0], "r");
        out = std::fopen("/dev/null", "w");
        screen = newterm(type, out, in);
        if (!screen) return;
        set_term(screen);
        raw();
        noecho();
        nonl();
        keypad(stdscr, TRUE);
        nodelay(stdscr, TRUE);
        set_escdelay(25);
        tmDefineKeys();
    }
    ~cursesPipe()
    {
        if (screen) {
            endwin();
            delscreen(screen);
        }
        if (in) std::fclose(in);
        if (out) std::fclose(out);
        if (input[1] >= 0) close(input[1]);
    }
    void send(const std::string& bytes)
    {
        ASSERT_EQ(write(input[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    int drain() { return tmDrainCurses(stdscr, &decoder, &events); }
};

class Curses : public ::testing::TestWithParam<const char*> {};

TEST_P(Curses, DecodesKeysPasteAndMouseFromTheTerminalsOwnBytes)
{
    cursesPipe c(GetParam());
    ASSERT_NE(c.screen, nullptr);
    // Up as this terminal sends it (terminfo's kcuu1, keypad mode), paste,
    // an SGR press, Alt+F, a lone Esc.
    const char* up = tigetstr(const_cast<char*>("kcuu1"));
    ASSERT_TRUE(up && up != reinterpret_cast<char*>(-1));
    c.send(std::string(up) + "a\x7f" "\x1b[200~p\r\nq\x1b[201~" "\x1b[<0;3;4M" "\x1b" "f");
    c.drain();
    c.send("\x1b");
    c.drain();
    ASSERT_EQ(c.events.size(), 9u);
    EXPECT_EQ(c.events[0].kind, tmKey);
    EXPECT_EQ(c.events[0].key, VK_UP);
    EXPECT_EQ(c.events[1].byte, 'a');
    EXPECT_EQ(c.events[2].byte, '\b');
    EXPECT_EQ(c.events[3].byte, 'p');
    EXPECT_EQ(c.events[4].byte, '\r');
    EXPECT_EQ(c.events[5].byte, 'q');
    EXPECT_TRUE(c.events[5].pasted);
    EXPECT_EQ(c.events[6].kind, tmMouse);
    EXPECT_EQ(c.events[6].mouse.column, 2);
    EXPECT_EQ(c.events[7].kind, tmMenuKey);
    EXPECT_EQ(c.events[8].kind, tmEscape);
}

TEST_P(Curses, TheRestOfASequenceCutOffByTheEscDelayTypesNothing)
{
    cursesPipe c(GetParam());
    ASSERT_NE(c.screen, nullptr);
    c.send("\x1b[20");
    c.drain();   // curses waits its short delay, then hands over what it has
    c.send("0~x\x1b[201~");
    c.drain();
    // What arrived after the delay is not a paste marker any more: its bytes
    // are swallowed as a sequence, and the text after it is typed.
    std::string typed;
    for (const tmEvent& e : c.events) {
        if (e.kind == tmCharacter) typed += static_cast<char>(e.byte);
    }
    EXPECT_EQ(typed, "x");
}

INSTANTIATE_TEST_SUITE_P(Terminals, Curses, ::testing::Values("xterm-256color", "tmux-256color", "screen"));

}  // namespace
