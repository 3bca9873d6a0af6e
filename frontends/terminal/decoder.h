// What the terminal sends, decoded into the user's actions.  Curses decodes
// the keys (terminfo) and hands over one character or key code at a time;
// this layer adds what curses does not know: bracketed paste (2004), SGR
// mouse reports (1006), Alt+letter and a lone Esc, and it swallows escape
// sequences no terminfo entry names, so that their bytes are never typed.
//
// Why the mouse is decoded here: curses decodes SGR reports only where the
// terminal's terminfo entry says so (xterm's does, tmux's and screen's
// declare the old X10 form, which cannot tell which button was released and
// stops at column 223).  The terminal is asked for SGR reports in every
// case, and one decoder serves every terminal.
#pragma once

#include <cstdint>
#include <deque>

#include <curses.h>

// Key codes handed to curses (define_key) for the sequences it does not know.
enum : int {
    tmKeyPasteBegin = 01001,   // ESC [ 2 0 0 ~
    tmKeyPasteEnd = 01002,     // ESC [ 2 0 1 ~
    tmKeySgrMouse = 01003,     // ESC [ <   (the report's numbers follow as characters)
};

enum tmEventKind {
    tmCharacter = 1,   // a byte typed or pasted
    tmKey,             // a navigation key (a Win32 virtual key)
    tmMouse,
    tmMenuKey,         // F10, Alt+F, Alt+E: open the menu bar at a position
    tmCloseKey,        // Alt+F4
    tmEscape,          // a lone Esc
    tmResize,          // curses noticed a new size
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

// The decoder's state between two inputs: a sequence may arrive split.
struct tmDecoder {
    int escapePending;       // an Esc came; what follows decides what it was
    int inPaste;
    int pastedReturn;        // the last pasted byte was CR: an LF after it is the same line end
    int csi;                 // inside an escape sequence curses did not know: 1 after ESC [, 2 after ESC O
    int sgr;                 // inside an SGR mouse report
    int sgrCount;            // numbers begun
    int sgrValues[3];
};

// One input from curses' wget_wch: isKey nonzero for a key code (KEY_UP,
// tmKeyPasteBegin, ...), otherwise a character.  The events it completes
// are appended to out.
void tmDecode(tmDecoder* decoder, int isKey, uint32_t value, std::deque<tmEvent>* out);
// Curses has nothing more for now (it waited its short Esc delay): an Esc
// still pending was a lone Esc.
void tmDecodeIdle(tmDecoder* decoder, std::deque<tmEvent>* out);

// Teaches curses the sequences above (for the screen that is current).
void tmDefineKeys();
// Takes everything curses has for the window now (it must be in no-delay
// mode), decodes it into out, and ends with tmDecodeIdle; returns how many
// inputs curses gave.
int tmDrainCurses(WINDOW* window, tmDecoder* decoder, std::deque<tmEvent>* out);

// The terminal's characters and the console's bytes.  The console's bytes
// are the Western Windows code page; a character it cannot hold gives -1.
int tmByteOfCharacter(uint32_t character);
uint32_t tmCharacterOfByte(unsigned char byte);
