// What the terminal sends, decoded into the user's actions: the one decoder
// of the terminal's input, from the bytes as they are read.  Characters
// (UTF-8 where the locale's characters are, else one byte each in the
// locale's set, see tmCharset), the keys
// terminfo names for the terminal and the forms every terminal of the xterm
// family sends, bracketed paste (2004), SGR mouse reports (1006), Alt with a
// letter and a lone Esc.  Escape sequences it does not know are swallowed
// whole, so their bytes are never typed.
//
// It reads no terminal and keeps no global state: the reader hands it what
// it read, and tells it when nothing more came within the Esc delay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

enum tmEventKind {
    tmCharacter = 1,   // a byte typed or pasted
    tmKey,             // a navigation key (a Win32 virtual key)
    tmMouse,
    tmMenuKey,         // F10, Alt+F, Alt+E: open the menu bar at a position
    tmCloseKey,        // Alt+F4
    tmEscape,          // a lone Esc
    tmResize,          // the terminal's size changed (a box draws itself anew)
};

enum tmMouseKind { tmPress = 1, tmRelease, tmDrag, tmWheelUp, tmWheelDown };

struct tmMouseReport {
    tmMouseKind kind;
    int button;        // 0 left, 1 middle, 2 right
    int row, column;   // terminal cells from 0
    int shift;
};

struct tmEvent {
    tmEventKind kind;
    unsigned char byte;      // tmCharacter
    int pasted;              // tmCharacter: it came in a bracketed paste
    uint32_t key;            // tmKey: VK_UP, VK_PRIOR, ...
    int menu;                // tmMenuKey: 0 File, 1 Edit
    tmMouseReport mouse;     // tmMouse
};

// What a key of the terminal's own means: a sequence terminfo names (kcuu1,
// kf10, ...) and the event it stands for.
enum tmKeyMeaning { tmKeyUnknown = 0, tmKeyVirtual, tmKeyBackspace, tmKeyEnter, tmKeyMenu, tmKeyF4, tmKeyClose };
struct tmKeyEntry {
    std::string sequence;    // starts with Esc
    tmKeyMeaning meaning;
    uint32_t virtualKey;     // tmKeyVirtual: VK_UP, ...
};
struct tmKeyTable {
    std::vector<tmKeyEntry> entries;
};

// The terminal's characters and the console's bytes.  The console is a
// window of single bytes in the Western Windows code page; a terminal's
// characters are UTF-8 or one byte each in the locale's set.
//
// Typed or pasted, a character becomes the console's byte for it, and a
// character the console's set lacks becomes '?' (as in the desktop window
// and on Windows).  On a UTF-8 terminal a byte that is no part of a
// well-formed character stays a character: the console's byte of that
// value (a terminal sending Meta as the eighth bit, or Latin-1 text pasted
// as it is), shown as that byte's character.  On a terminal of one byte
// each, a byte is the character the locale says it is; a locale that gives
// no eight-bit byte a meaning (C, POSIX) is taken as Latin-1, and bytes the
// set leaves without a character (Latin-1's 0x80 to 0x9F, which are
// controls) are no characters.
//
// The screen shows each console byte as its character where the terminal's
// set has it, '?' where it does not (glyph): what is typed and what is
// shown agree.
struct tmCharset {
    int utf8;
    uint32_t upper[128];     // a set of one byte each: the character of byte 0x80 + i, 0 for none
    uint32_t glyph[256];     // what the screen shows for each console byte
};
// upper: the characters of bytes 0x80 to 0xFF of a set of one byte each
// (null: Latin-1); unused for UTF-8.
tmCharset tmMakeCharset(int utf8, const uint32_t* upper);

// The decoder's state between two reads: a sequence or a character may
// arrive split.
struct tmDecoder {
    const tmKeyTable* keys;  // the terminal's own keys (null: the common forms only)
    int utf8;                // characters arrive as UTF-8
    const tmCharset* charset;   // otherwise, the set of one byte each (null: Latin-1)
    std::string sequence;    // an escape sequence begun, Esc first
    int altEscape;           // an Esc came before the sequence begun (Alt with a key)
    uint32_t character;      // a UTF-8 character begun
    int characterLeft;       // its bytes still to come
    unsigned char begun[4];  // its bytes so far
    int begunCount;
    int inPaste;
    int pastedReturn;        // the last pasted byte was CR: an LF after it is the same line end
};

// The bytes read; the events they complete are appended to out.
void tmDecode(tmDecoder* decoder, const char* bytes, size_t count, std::deque<tmEvent>* out);
// Nothing more came within the Esc delay: an Esc still pending was a lone
// Esc, and the bytes of a UTF-8 character begun were bytes of their own (a
// sequence begun further stays pending).
void tmDecodeIdle(tmDecoder* decoder, std::deque<tmEvent>* out);
// 1 when an Esc is pending that the next byte may turn into a key, or a
// UTF-8 character is begun: the reader waits the Esc delay before it calls
// tmDecodeIdle.
int tmDecodeWaiting(const tmDecoder* decoder);

// A character of the Western Windows code page as the console's byte, -1
// when the code page has no byte for it; a byte's character (U+FFFD for the
// five bytes the code page leaves unassigned).
int tmByteOfCharacter(uint32_t character);
uint32_t tmCharacterOfByte(unsigned char byte);
