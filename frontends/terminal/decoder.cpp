// Decoding the terminal's input from its bytes.
#include "frontends/terminal/decoder.h"

#include "platform/platform.h"

namespace {

enum : unsigned char { escape = 27, deleteCharacter = 127 };
// A sequence longer than this is no key: it is dropped.
enum { longestSequence = 64 };

// Bytes 0x80 to 0x9F of the Western Windows code page (0: unassigned).
const uint16_t windowsHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

tmEvent characterEvent(unsigned char byte, int pasted)
{
    tmEvent event{};
    event.kind = tmCharacter;
    event.byte = byte;
    event.pasted = pasted;
    return event;
}

tmEvent simpleEvent(tmEventKind kind)
{
    tmEvent event{};
    event.kind = kind;
    return event;
}

tmEvent keyEvent(uint32_t virtualKey)
{
    tmEvent event = simpleEvent(tmKey);
    event.key = virtualKey;
    return event;
}

tmEvent menuEvent(int position)
{
    tmEvent event = simpleEvent(tmMenuKey);
    event.menu = position;
    return event;
}

// The console's byte for a character that is not a control: '?' where the
// console's set has none.
unsigned char byteFor(uint32_t character)
{
    const int byte = tmByteOfCharacter(character);
    return byte >= 0 ? static_cast<unsigned char>(byte) : static_cast<unsigned char>('?');
}

// A byte of a bracketed paste: text, tabs and line ends only.  A pasted
// line end is Enter, whether the other program wrote CR, LF or CR LF.
void pastedCharacter(tmDecoder* d, uint32_t character, std::deque<tmEvent>* out)
{
    const bool lineFeed = character == '\n';
    if (lineFeed && d->pastedReturn) {
        d->pastedReturn = 0;
        return;
    }
    d->pastedReturn = character == '\r';
    if (character == '\r' || lineFeed) {
        out->push_back(characterEvent('\r', 1));
        return;
    }
    if ((character != '\t' && character < 32) || (character >= deleteCharacter && character < 0xA0)) return;
    out->push_back(characterEvent(byteFor(character), 1));
}

// A character typed (not Esc, which begins a sequence).
void typedCharacter(tmDecoder* d, uint32_t character, std::deque<tmEvent>* out)
{
    if (d->inPaste) {
        pastedCharacter(d, character, out);
        return;
    }
    if (character == 0 || (character > deleteCharacter && character < 0xA0)) return;   // C1 controls
    if (character == deleteCharacter) {
        out->push_back(characterEvent('\b', 0));
        return;
    }
    out->push_back(characterEvent(byteFor(character), 0));
}

// A byte of a UTF-8 terminal that is no part of a well-formed character:
// the console's byte of that value.
void strayByte(tmDecoder* d, unsigned char byte, std::deque<tmEvent>* out)
{
    if (d->inPaste) d->pastedReturn = 0;
    out->push_back(characterEvent(byte, d->inPaste));
}

// The bytes of a UTF-8 character begun and cut short, each a byte of its own.
void flushBegun(tmDecoder* d, std::deque<tmEvent>* out)
{
    for (int i = 0; i < d->begunCount; ++i) strayByte(d, d->begun[i], out);
    d->begunCount = 0;
    d->characterLeft = 0;
}

// How many bytes follow a UTF-8 lead byte (0: it leads no character).
int followingBytes(unsigned char lead)
{
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return 0;
}

// Whether byte continues the character begun: the second byte's range
// excludes the long forms, UTF-16's surrogates and what lies past U+10FFFF.
bool continues(const tmDecoder* d, unsigned char byte)
{
    if (d->begunCount == 1) {
        switch (d->begun[0]) {
        case 0xE0: return byte >= 0xA0 && byte <= 0xBF;
        case 0xED: return byte >= 0x80 && byte <= 0x9F;
        case 0xF0: return byte >= 0x90 && byte <= 0xBF;
        case 0xF4: return byte >= 0x80 && byte <= 0x8F;
        default: break;
        }
    }
    return (byte & 0xC0) == 0x80;
}

// A byte of the eight-bit half on a terminal of one byte each.
void upperByte(tmDecoder* d, unsigned char byte, std::deque<tmEvent>* out)
{
    const uint32_t character = d->charset ? d->charset->upper[byte - 0x80] : (byte >= 0xA0 ? byte : 0);
    if (character != 0) typedCharacter(d, character, out);
}

// The numbers of a CSI sequence's parameters ("1;5" gives 1 and 5); false
// when they hold anything else.  At most three are kept.
bool parameters(const std::string& text, int* values, int* count)
{
    *count = 0;
    values[0] = values[1] = values[2] = 0;
    if (text.empty()) return true;
    *count = 1;
    for (char c : text) {
        if (c == ';') {
            if (*count == 3) return false;
            ++*count;
        } else if (c >= '0' && c <= '9') {
            int& number = values[*count - 1];
            if (number < 100000) number = number * 10 + (c - '0');
        } else {
            return false;
        }
    }
    return true;
}

// An SGR mouse report: ESC [ < button ; column ; row, then M (press or
// motion) or m (release).
void mouseReport(const std::string& numbers, bool released, std::deque<tmEvent>* out)
{
    int values[3];
    int count = 0;
    if (!parameters(numbers, values, &count) || count != 3 || values[1] < 1 || values[2] < 1) return;
    const int code = values[0];
    // Buttons 8 to 11 (back, forward, ...) and the code of no button (3)
    // are no button the window knows.
    if (code & 128) return;
    if ((code & 3) == 3 && !(code & 64)) return;
    tmEvent event = simpleEvent(tmMouse);
    event.mouse.button = code & 3;
    event.mouse.shift = (code & 4) != 0;
    event.mouse.column = values[1] - 1;
    event.mouse.row = values[2] - 1;
    if (code & 64) {
        if ((code & 3) > 1) return;   // sideways wheel
        event.mouse.kind = (code & 3) == 0 ? tmWheelUp : tmWheelDown;
        event.mouse.button = 0;
    } else if (code & 32) {
        event.mouse.kind = tmDrag;
    } else {
        event.mouse.kind = released ? tmRelease : tmPress;
    }
    out->push_back(event);
}

// The meaning of a whole CSI or SS3 sequence in the forms of the xterm
// family: the cursor keys, Home, End, Page Up and Down, F4 and F10.
tmKeyEntry commonKey(const std::string& s)
{
    tmKeyEntry key{s, tmKeyUnknown, 0};
    const char last = s.back();
    const std::string inner = s.substr(2, s.size() - 3);
    int values[3];
    int count = 0;
    if (!parameters(inner, values, &count)) return key;
    const bool plain = count == 0 || (count == 1 && values[0] == 1);
    const bool alt = count == 2 && values[0] == 1 && values[1] == 3;
    uint32_t virtualKey = 0;
    switch (last) {
    case 'A': virtualKey = VK_UP; break;
    case 'B': virtualKey = VK_DOWN; break;
    case 'C': virtualKey = VK_RIGHT; break;
    case 'D': virtualKey = VK_LEFT; break;
    case 'H': virtualKey = VK_HOME; break;
    case 'F': virtualKey = VK_END; break;
    case 'M': key.meaning = s[1] == 'O' && plain ? tmKeyEnter : tmKeyUnknown; return key;
    case 'S': key.meaning = plain ? tmKeyF4 : (alt ? tmKeyClose : tmKeyUnknown); return key;
    case '~':
        // The key's number is the parameter: Home, End, Page Up and Down, F4, F10.
        if (count != 1) return key;
        switch (values[0]) {
        case 1: case 7: key.virtualKey = VK_HOME; break;
        case 4: case 8: key.virtualKey = VK_END; break;
        case 5: key.virtualKey = VK_PRIOR; break;
        case 6: key.virtualKey = VK_NEXT; break;
        case 14: key.meaning = tmKeyF4; return key;
        case 21: key.meaning = tmKeyMenu; return key;
        default: return key;
        }
        key.meaning = tmKeyVirtual;
        return key;
    default:
        return key;
    }
    if (plain) {
        key.meaning = tmKeyVirtual;
        key.virtualKey = virtualKey;
    }
    return key;
}

tmKeyEntry keyOf(const tmDecoder* d, const std::string& s)
{
    if (d->keys) {
        for (const tmKeyEntry& entry : d->keys->entries) {
            if (entry.sequence == s) return entry;
        }
    }
    return commonKey(s);
}

// A whole sequence: what it means, with an Esc before it (Alt).
void finishSequence(tmDecoder* d, std::deque<tmEvent>* out)
{
    const std::string s = d->sequence;
    const bool alt = d->altEscape != 0;
    d->sequence.clear();
    d->altEscape = 0;
    if (s == "\x1b[200~") {
        d->inPaste = 1;
        d->pastedReturn = 0;
        return;
    }
    if (s == "\x1b[201~") {
        d->inPaste = 0;
        return;
    }
    if (d->inPaste) return;   // keys inside a paste are not the user's keys
    if (s.size() > 3 && s[2] == '<' && (s.back() == 'M' || s.back() == 'm')) {
        mouseReport(s.substr(3, s.size() - 4), s.back() == 'm', out);
        return;
    }
    const tmKeyEntry key = keyOf(d, s);
    switch (key.meaning) {
    case tmKeyVirtual:
        out->push_back(keyEvent(key.virtualKey));   // with Alt: the key itself counts
        break;
    case tmKeyBackspace:
        out->push_back(characterEvent('\b', 0));
        break;
    case tmKeyEnter:
        out->push_back(characterEvent('\r', 0));
        break;
    case tmKeyMenu:
        out->push_back(menuEvent(0));
        break;
    case tmKeyF4:
        if (alt) out->push_back(simpleEvent(tmCloseKey));
        break;
    case tmKeyClose:
        out->push_back(simpleEvent(tmCloseKey));
        break;
    case tmKeyUnknown:
        break;
    }
}

void decodeByte(tmDecoder* d, unsigned char byte, std::deque<tmEvent>* out);

// Esc followed by a byte that begins no sequence: Alt with a letter, or a
// control character that ends what was begun.
void afterEscape(tmDecoder* d, unsigned char byte, std::deque<tmEvent>* out)
{
    if (byte == escape) {
        // Esc Esc: the first is Alt for whatever the second begins.
        if (d->altEscape && !d->inPaste) out->push_back(simpleEvent(tmEscape));
        d->altEscape = 1;
        return;
    }
    if (d->altEscape && !d->inPaste) out->push_back(simpleEvent(tmEscape));
    d->sequence.clear();
    d->altEscape = 0;
    if (d->inPaste || byte < 32 || byte >= 127) {
        decodeByte(d, byte, out);   // not part of it: the Esc is dropped
        return;
    }
    if (byte == 'f' || byte == 'F') out->push_back(menuEvent(0));
    if (byte == 'e' || byte == 'E') out->push_back(menuEvent(1));
    // Alt with another key: nothing the window offers.
}

// A byte inside a sequence begun.
void continueSequence(tmDecoder* d, unsigned char byte, std::deque<tmEvent>* out)
{
    std::string& s = d->sequence;
    if (s.size() == 1) {
        if (byte == '[' || byte == 'O') {
            s.push_back(static_cast<char>(byte));
            return;
        }
        afterEscape(d, byte, out);
        return;
    }
    if (s == "\x1b[" && byte == '[') {
        s.push_back('[');   // the Linux console's F1 to F5: one letter follows
        return;
    }
    const bool mouse = s.size() >= 3 && s[1] == '[' && s[2] == '<';
    const bool fits = mouse ? (byte >= '0' && byte <= '9') || byte == ';' || byte == 'M' || byte == 'm'
                            : byte >= 0x20 && byte <= 0x7E;
    if (!fits || s.size() >= longestSequence) {
        // Cut short: what was begun is dropped and this byte decoded afresh.
        s.clear();
        d->altEscape = 0;
        decodeByte(d, byte, out);
        return;
    }
    s.push_back(static_cast<char>(byte));
    const bool ends = s[1] == 'O' ? s.size() == 3 : byte >= 0x40 && byte <= 0x7E;
    if (ends) finishSequence(d, out);
}

void decodeByte(tmDecoder* d, unsigned char byte, std::deque<tmEvent>* out)
{
    if (!d->sequence.empty()) {
        continueSequence(d, byte, out);
        return;
    }
    if (d->characterLeft > 0) {
        if (continues(d, byte)) {
            d->character = (d->character << 6) | (byte & 0x3Fu);
            d->begun[d->begunCount++] = byte;
            if (--d->characterLeft == 0) {
                d->begunCount = 0;
                typedCharacter(d, d->character, out);
            }
            return;
        }
        flushBegun(d, out);   // cut short: its bytes stand for themselves
    }
    if (byte == escape) {
        d->sequence.assign(1, static_cast<char>(escape));
        return;
    }
    if (byte < 0x80) {
        typedCharacter(d, byte, out);
    } else if (!d->utf8) {
        upperByte(d, byte, out);
    } else if (const int following = followingBytes(byte)) {
        d->character = byte & (0x3Fu >> following);
        d->characterLeft = following;
        d->begun[0] = byte;
        d->begunCount = 1;
    } else {
        strayByte(d, byte, out);
    }
}

}  // namespace

int tmByteOfCharacter(uint32_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) return static_cast<int>(character);
    for (int i = 0; i < 32; ++i) {
        if (windowsHighControls[i] != 0 && windowsHighControls[i] == character) return 0x80 + i;
    }
    return -1;
}

uint32_t tmCharacterOfByte(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0) {
        const uint16_t character = windowsHighControls[byte - 0x80];
        return character ? character : 0xFFFDu;
    }
    return byte;
}

void tmDecode(tmDecoder* d, const char* bytes, size_t count, std::deque<tmEvent>* out)
{
    for (size_t i = 0; i < count; ++i) decodeByte(d, static_cast<unsigned char>(bytes[i]), out);
}

void tmDecodeIdle(tmDecoder* d, std::deque<tmEvent>* out)
{
    if (d->characterLeft > 0) flushBegun(d, out);
    if (d->sequence.size() != 1) return;
    if (!d->inPaste) {
        if (d->altEscape) out->push_back(simpleEvent(tmEscape));
        out->push_back(simpleEvent(tmEscape));
    }
    d->sequence.clear();
    d->altEscape = 0;
}

int tmDecodeWaiting(const tmDecoder* d)
{
    return d->sequence.size() == 1 || d->characterLeft > 0 ? 1 : 0;
}

tmCharset tmMakeCharset(int utf8, const uint32_t* upper)
{
    tmCharset set{};
    set.utf8 = utf8;
    for (int i = 0; i < 128; ++i) set.upper[i] = upper ? upper[i] : (i >= 0x20 ? 0x80u + i : 0u);
    for (int byte = 0; byte < 256; ++byte) {
        uint32_t& glyph = set.glyph[byte];
        const uint32_t character = tmCharacterOfByte(static_cast<unsigned char>(byte));
        if (byte == 0) {
            glyph = ' ';
        } else if (byte < 32 || byte == deleteCharacter) {
            glyph = utf8 ? 0x25A1 : '?';   // a control character: an empty box
        } else if (byte < 0x80 || utf8) {
            glyph = character;
        } else {
            glyph = '?';
            for (uint32_t c : set.upper) {
                if (c == character) glyph = character;
            }
        }
    }
    return set;
}
