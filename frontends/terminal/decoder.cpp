// Decoding the terminal's input on top of curses' key decoding.
#include "frontends/terminal/decoder.h"

#include <curses.h>

#include "platform/platform.h"

namespace {

enum : uint32_t { escape = 27, deleteCharacter = 127 };

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

// The navigation keys by curses' codes; 0 for any other code.
uint32_t virtualKeyOf(uint32_t code)
{
    switch (code) {
    case KEY_UP:
        return VK_UP;
    case KEY_DOWN:
        return VK_DOWN;
    case KEY_LEFT:
        return VK_LEFT;
    case KEY_RIGHT:
        return VK_RIGHT;
    case KEY_PPAGE:
        return VK_PRIOR;
    case KEY_NPAGE:
        return VK_NEXT;
    case KEY_HOME:
    case KEY_A1:
    case KEY_FIND:
        return VK_HOME;
    case KEY_END:
    case KEY_C1:
    case KEY_SELECT:
        return VK_END;
    default:
        return 0;
    }
}

// A finished SGR report: ESC [ < button ; column ; row, then M (press or
// motion) or m (release).
void finishMouse(const tmDecoder& d, bool released, std::deque<tmEvent>* out)
{
    const int code = d.sgrValues[0];
    if (d.sgrCount != 3 || d.sgrValues[1] < 1 || d.sgrValues[2] < 1) return;
    tmEvent event = simpleEvent(tmMouse);
    event.mouse.button = code & 3;
    event.mouse.shift = (code & 4) != 0;
    event.mouse.column = d.sgrValues[1] - 1;
    event.mouse.row = d.sgrValues[2] - 1;
    if (code & 64) {
        if ((code & 3) > 1) return;   // sideways wheel
        event.mouse.kind = (code & 3) == 0 ? tmWheelUp : tmWheelDown;
        event.mouse.button = 0;
    } else if (code & 32) {
        if ((code & 3) == 3) return;  // motion with no button held
        event.mouse.kind = tmDrag;
    } else {
        event.mouse.kind = released ? tmRelease : tmPress;
    }
    out->push_back(event);
}

// A byte of a bracketed paste: text, tabs and line ends only.  A pasted
// line end is Enter, whether the other program wrote CR, LF or CR LF.
void decodePasted(tmDecoder* d, uint32_t character, std::deque<tmEvent>* out)
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
    if (character != '\t' && character < 32) return;
    if (character == deleteCharacter) return;
    const int byte = tmByteOfCharacter(character);
    if (byte >= 0) out->push_back(characterEvent(static_cast<unsigned char>(byte), 1));
}

// What follows an Esc that curses handed over as a character (it knew no
// sequence starting so): Alt with a letter, or a sequence to swallow.
// Returns true when the input was taken.
bool decodeAfterEscape(tmDecoder* d, int isKey, uint32_t value, std::deque<tmEvent>* out)
{
    d->escapePending = 0;
    if (isKey) {
        if (value == static_cast<uint32_t>(KEY_F(4))) {
            out->push_back(simpleEvent(tmCloseKey));
            return true;
        }
        return false;   // the key itself counts; the Esc before it is dropped
    }
    switch (value) {
    case 'f':
    case 'F':
        out->push_back(menuEvent(0));
        return true;
    case 'e':
    case 'E':
        out->push_back(menuEvent(1));
        return true;
    case '[':
        d->csi = 1;
        return true;
    case 'O':
        d->csi = 2;
        return true;
    case escape:
        out->push_back(simpleEvent(tmEscape));
        d->escapePending = 1;
        return true;
    default:
        // Alt with another key: nothing the window offers.
        return value >= 32;
    }
}

// Inside a sequence curses did not know: parameters and intermediates go
// on, a final byte ends it.  Returns true when the input was taken.
bool swallowSequence(tmDecoder* d, int isKey, uint32_t value)
{
    if (isKey || value < 0x20 || value > 0x7E) {
        d->csi = 0;
        return false;   // not part of it: the sequence was cut short
    }
    if (d->csi == 2 || value >= 0x40) d->csi = 0;   // SS3 takes one byte; a final byte ends CSI
    return true;
}

// Inside an SGR report.  Returns true when the input was taken.
bool decodeSgr(tmDecoder* d, int isKey, uint32_t value, std::deque<tmEvent>* out)
{
    if (!isKey && value >= '0' && value <= '9') {
        if (d->sgrCount == 0) d->sgrCount = 1;
        int& number = d->sgrValues[d->sgrCount - 1];
        if (number < 100000) number = number * 10 + static_cast<int>(value - '0');
        return true;
    }
    if (!isKey && value == ';' && d->sgrCount >= 1 && d->sgrCount < 3) {
        ++d->sgrCount;
        return true;
    }
    d->sgr = 0;
    if (!isKey && (value == 'M' || value == 'm')) {
        finishMouse(*d, value == 'm', out);
        return true;
    }
    return false;   // garbage: the report is dropped and this input decoded afresh
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

void tmDecode(tmDecoder* d, int isKey, uint32_t value, std::deque<tmEvent>* out)
{
    if (d->sgr && decodeSgr(d, isKey, value, out)) return;
    if (d->csi && swallowSequence(d, isKey, value)) return;
    if (isKey && value == static_cast<uint32_t>(tmKeyPasteBegin)) {
        d->escapePending = 0;
        d->inPaste = 1;
        d->pastedReturn = 0;
        return;
    }
    if (isKey && value == static_cast<uint32_t>(tmKeyPasteEnd)) {
        d->inPaste = 0;
        return;
    }
    if (isKey && value == static_cast<uint32_t>(tmKeySgrMouse)) {
        d->escapePending = 0;
        d->sgr = 1;
        d->sgrCount = 0;
        d->sgrValues[0] = d->sgrValues[1] = d->sgrValues[2] = 0;
        return;
    }
    if (d->inPaste) {
        // Keys and escapes inside a paste are not the user's keys.
        if (!isKey && value != escape) decodePasted(d, value, out);
        return;
    }
    if (d->escapePending && decodeAfterEscape(d, isKey, value, out)) return;
    if (isKey) {
        if (value == static_cast<uint32_t>(KEY_BACKSPACE)) {
            out->push_back(characterEvent('\b', 0));
        } else if (value == static_cast<uint32_t>(KEY_ENTER)) {
            out->push_back(characterEvent('\r', 0));
        } else if (value == static_cast<uint32_t>(KEY_F(10))) {
            out->push_back(menuEvent(0));
        } else if (value == static_cast<uint32_t>(KEY_F(52))) {   // Alt+F4 as xterm reports it
            out->push_back(simpleEvent(tmCloseKey));
        } else if (value == static_cast<uint32_t>(KEY_RESIZE)) {
            out->push_back(simpleEvent(tmResize));
        } else if (const uint32_t virtualKey = virtualKeyOf(value)) {
            out->push_back(keyEvent(virtualKey));
        }
        return;
    }
    if (value == escape) {
        d->escapePending = 1;
        return;
    }
    if (value == deleteCharacter) {
        out->push_back(characterEvent('\b', 0));
        return;
    }
    if (value == 0) return;
    const int byte = tmByteOfCharacter(value);
    if (byte >= 0) out->push_back(characterEvent(static_cast<unsigned char>(byte), 0));
}

void tmDecodeIdle(tmDecoder* d, std::deque<tmEvent>* out)
{
    if (d->escapePending && !d->inPaste) out->push_back(simpleEvent(tmEscape));
    d->escapePending = 0;
}

void tmDefineKeys()
{
    define_key("\033[200~", tmKeyPasteBegin);
    define_key("\033[201~", tmKeyPasteEnd);
    define_key("\033[<", tmKeySgrMouse);
}

int tmDrainCurses(WINDOW* window, tmDecoder* decoder, std::deque<tmEvent>* out)
{
    int count = 0;
    wint_t value = 0;
    for (int result = wget_wch(window, &value); result != ERR; result = wget_wch(window, &value)) {
        tmDecode(decoder, result == KEY_CODE_YES, static_cast<uint32_t>(value), out);
        ++count;
    }
    tmDecodeIdle(decoder, out);
    return count;
}
