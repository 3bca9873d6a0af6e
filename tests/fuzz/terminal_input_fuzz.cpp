// Coverage-guided fuzzing of the terminal front end's input decoder: the
// bytes a terminal sends in, keys, characters, mouse reports and pastes out.
//
// The first byte chooses the terminal: bit 0 UTF-8 (else one byte each),
// bit 1 a set of one byte each with characters of its own (else Latin-1),
// bit 2 the terminal's own keys as xterm's terminfo names them, bits 3 to 7
// how the rest is cut into reads.  Whatever the bytes, decoding never
// crashes, and:
// - the events do not depend on how the bytes are cut into reads, and
//   decoding the same bytes again gives the same events;
// - nothing is invented: there are never more events than bytes, a
//   character of the console is typed no more often than the bytes that can
//   give it arrived, a paste's characters come only after a paste began,
//   and keys, menus and mouse reports hold only values that exist;
// - every byte is used or waiting: after the reader's idle, no character is
//   left begun, and a sequence still waiting is the input's last bytes;
// - Esc delays aside, an idle after each read changes only how a lone Esc
//   or a cut character is read, so it never gives more events than bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "frontends/terminal/decoder.h"
#include "platform/platform.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& input)
{
    std::fprintf(stderr, "terminal input fuzz: %s (%zu bytes in)\n", what, input.size());
    std::fflush(stderr);
    std::abort();
}

const tmKeyTable& xtermKeys()
{
    static const tmKeyTable table = {{
        {"\x1bOA", tmKeyVirtual, VK_UP},   {"\x1bOB", tmKeyVirtual, VK_DOWN}, {"\x1bOD", tmKeyVirtual, VK_LEFT},
        {"\x1bOC", tmKeyVirtual, VK_RIGHT}, {"\x1b[5~", tmKeyVirtual, VK_PRIOR}, {"\x1b[6~", tmKeyVirtual, VK_NEXT},
        {"\x1bOH", tmKeyVirtual, VK_HOME}, {"\x1bOF", tmKeyVirtual, VK_END},  {"\x1bOM", tmKeyEnter, 0},
        {"\x1b[21~", tmKeyMenu, 0},        {"\x1bOS", tmKeyF4, 0},            {"\x1b[1;3S", tmKeyClose, 0},
        {"\x1b[3;5~", tmKeyBackspace, 0},
    }};
    return table;
}

const tmCharset& ownSet()
{
    static const tmCharset set = [] {
        uint32_t upper[128];
        for (uint32_t i = 0; i < 128; ++i) upper[i] = i < 0x20 ? 0 : 0x3A0 + i;   // Greek, which Windows-1252 lacks
        upper[0x24] = 0x20AC;
        upper[0x69] = 0xE9;
        return tmMakeCharset(0, upper);
    }();
    return set;
}

struct run {
    tmDecoder decoder{};
    std::deque<tmEvent> events;
};

enum readKind { oneRead, cutReads, cutReadsWithIdles };

// The bytes in one read, or in reads of the sizes the flags' cut gives
// (with the reader's idle after each, or only at the end).
run decode(const std::string& bytes, unsigned flags, readKind reads)
{
    run r;
    r.decoder.utf8 = flags & 1;
    r.decoder.charset = flags & 2 ? &ownSet() : nullptr;
    r.decoder.keys = flags & 4 ? &xtermKeys() : nullptr;
    uint32_t cut = (flags >> 3) * 2654435761u + 1;
    for (size_t at = 0; at < bytes.size();) {
        cut = cut * 1103515245u + 12345u;
        const size_t length =
            reads == oneRead ? bytes.size() : std::min(bytes.size() - at, static_cast<size_t>(1 + (cut >> 16) % 17));
        tmDecode(&r.decoder, bytes.data() + at, length, &r.events);
        at += length;
        if (reads == cutReadsWithIdles) tmDecodeIdle(&r.decoder, &r.events);
    }
    tmDecodeIdle(&r.decoder, &r.events);
    return r;
}

bool same(const tmEvent& a, const tmEvent& b)
{
    if (a.kind != b.kind) return false;
    switch (a.kind) {
    case tmCharacter: return a.byte == b.byte && a.pasted == b.pasted;
    case tmKey: return a.key == b.key;
    case tmMenuKey: return a.menu == b.menu;
    case tmMouse:
        return a.mouse.kind == b.mouse.kind && a.mouse.button == b.mouse.button && a.mouse.row == b.mouse.row &&
               a.mouse.column == b.mouse.column && a.mouse.shift == b.mouse.shift;
    default: return true;
    }
}

bool sameEvents(const run& a, const run& b)
{
    if (a.events.size() != b.events.size()) return false;
    for (size_t i = 0; i < a.events.size(); ++i) {
        if (!same(a.events[i], b.events[i])) return false;
    }
    return true;
}

void checkEvents(const run& r, const std::string& bytes)
{
    if (r.events.size() > bytes.size()) fail("more events than bytes", bytes);
    size_t count[256] = {};
    size_t upper = 0, escapes = 0;
    for (unsigned char c : bytes) {
        ++count[c];
        upper += c >= 0x80;
        escapes += c == 27;
    }
    size_t typed[256] = {};
    const size_t pasteBegins = bytes.find("\x1b[200~");
    for (const tmEvent& e : r.events) {
        switch (e.kind) {
        case tmCharacter:
            ++typed[e.byte];
            if (e.pasted && pasteBegins == std::string::npos) fail("a pasted character with no paste", bytes);
            if (e.pasted && e.byte < 32 && e.byte != '\t' && e.byte != '\r') fail("a control character pasted", bytes);
            break;
        case tmKey:
            if (e.key != VK_UP && e.key != VK_DOWN && e.key != VK_LEFT && e.key != VK_RIGHT && e.key != VK_HOME &&
                e.key != VK_END && e.key != VK_PRIOR && e.key != VK_NEXT) {
                fail("a key that does not exist", bytes);
            }
            break;
        case tmMenuKey:
            if (e.menu != 0 && e.menu != 1) fail("a menu that does not exist", bytes);
            break;
        case tmMouse:
            if (e.mouse.kind < tmPress || e.mouse.kind > tmWheelDown || e.mouse.button < 0 || e.mouse.button > 2 ||
                e.mouse.row < 0 || e.mouse.column < 0 || e.mouse.row > 999999 || e.mouse.column > 999999) {
                fail("a mouse report out of range", bytes);
            }
            break;
        case tmCloseKey:
        case tmEscape:
            break;
        default:
            fail("an event of no kind", bytes);
        }
    }
    // Which input bytes can give each character: itself; CR from LF in a
    // paste and from a key's sequence; Backspace from DEL and a key's
    // sequence; '?' and the eight-bit bytes from eight-bit input.
    for (int c = 0; c < 256; ++c) {
        size_t sources = c >= 0x80 ? upper : count[c];
        if (c == '\r') sources += count[static_cast<unsigned char>('\n')] + escapes;
        if (c == '\b') sources += count[0x7f] + escapes;
        if (c == '?') sources += upper;
        if (typed[c] > sources) fail("a character typed more often than it came", bytes);
    }
    size_t eightBit = 0;
    for (int c = 0x80; c < 256; ++c) eightBit += typed[c];
    if (eightBit > upper) fail("more eight-bit characters than eight-bit bytes", bytes);
}

void checkWaiting(const run& r, const std::string& bytes)
{
    const tmDecoder& d = r.decoder;
    if (d.characterLeft != 0 || d.begunCount != 0) fail("a character still begun after the idle", bytes);
    const std::string& s = d.sequence;
    if (s.empty()) return;
    if (s.size() < 2 || s.size() > 64 || s[0] != 27) fail("a waiting sequence of no shape", bytes);
    if (bytes.size() < s.size() || bytes.compare(bytes.size() - s.size(), s.size(), s) != 0) {
        fail("a waiting sequence that is not the input's last bytes", bytes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const unsigned flags = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    const run whole = decode(bytes, flags, oneRead);
    if (!sameEvents(whole, decode(bytes, flags, cutReads))) fail("the events depend on how the bytes are cut", bytes);
    if (!sameEvents(whole, decode(bytes, flags, oneRead))) fail("the same bytes decode differently", bytes);
    checkEvents(whole, bytes);
    checkWaiting(whole, bytes);

    const run idle = decode(bytes, flags, cutReadsWithIdles);
    checkEvents(idle, bytes);
    checkWaiting(idle, bytes);
    return 0;
}
