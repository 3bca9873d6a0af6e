// What the terminal sends, decoded into the user's actions: the one decoder
// of the terminal's input, from the bytes as they are read.  Characters
// (UTF-8 where the locale's characters are, else one byte each), the keys
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

// The decoder's state between two reads: a sequence or a character may
// arrive split.
struct tmDecoder {
    const tmKeyTable* keys;  // the terminal's own keys (null: the common forms only)
    int utf8;                // characters arrive as UTF-8
    std::string sequence;    // an escape sequence begun, Esc first
    int altEscape;           // an Esc came before the sequence begun (Alt with a key)
    uint32_t character;      // a UTF-8 character begun
    int characterLeft;       // its bytes still to come
    int inPaste;
    int pastedReturn;        // the last pasted byte was CR: an LF after it is the same line end
};

// The bytes read; the events they complete are appended to out.
void tmDecode(tmDecoder* decoder, const char* bytes, size_t count, std::deque<tmEvent>* out);
// Nothing more came within the Esc delay: an Esc still pending was a lone
// Esc (a sequence begun further stays pending).
void tmDecodeIdle(tmDecoder* decoder, std::deque<tmEvent>* out);
// 1 when an Esc is pending that the next byte may turn into a key: the
// reader waits the Esc delay before it calls tmDecodeIdle.
int tmDecodeWaiting(const tmDecoder* decoder);

// The terminal's characters and the console's bytes.  The console's bytes
// are the Western Windows code page; a character it cannot hold gives -1.
int tmByteOfCharacter(uint32_t character);
uint32_t tmCharacterOfByte(unsigned char byte);
