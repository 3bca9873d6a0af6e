// What the desktop's keys and texts mean to the console: control
// characters, the keys that become key messages, the console's single-byte
// character set against the desktop's UTF-8, and menu labels.  Pure
// functions, so the tests call them directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The character Ctrl plus a letter produces (1 to 26), or -1.  state is the
// event's modifier mask; with Alt held the key is the menus' (-1).
int gwControlCharacter(unsigned keyval, unsigned state);

// The Edit menu's Copy and Paste items (their command ids in the console's
// menu).
enum : uint16_t { gwEditCopy = 18, gwEditPaste = 19 };

// The desktop's own copy and paste keys, which run the Edit menu's items:
// Ctrl+Shift+C and Ctrl+Insert give gwEditCopy, Ctrl+Shift+V and
// Shift+Insert gwEditPaste; any other key 0.
uint16_t gwShortcutCommand(unsigned keyval, unsigned state);

// A key the console receives without an input method: Enter, Backspace, Tab
// and Esc as characters, the navigation keys as key messages.
struct gwKeyMeaning {
    int character;             // -1: none
    uint32_t virtualKey;       // 0: none
};
gwKeyMeaning gwMeaningOf(unsigned keyval);

// The console's character set is Windows-1252 (its bytes 0x80 to 0x9F are
// the typographic marks, the rest is Latin-1).  gwFromAnsi gives the
// character of a byte (bytes with none give the C1 control of that number).
// gwToAnsi converts UTF-8 text to bytes, '?' for what the set lacks.
unsigned gwFromAnsi(unsigned char byte);
std::string gwToAnsi(const char* utf8, size_t length);
std::string gwFromAnsiText(const char* bytes, size_t length);

// The desktop's text ends its lines with LF; the console's clipboard text
// with CR LF, so that pasted lines are entered as typed ones are.  Each
// direction converts only those line ends.
std::string gwConsoleLineEnds(const std::string& text);
std::string gwDesktopLineEnds(const std::string& text);
// Text typed as a terminal types pasted text: every line end (CR LF, LF or
// CR) becomes one CR, the Enter key; the text stops at a NUL.
std::string gwTypedLineEnds(const std::string& text);

// A menu item's text ("&Save\tCtrl+S") as a GTK label with its mnemonic
// ("_Save") and the accelerator text after the tab ("Ctrl+S", kept exactly).
std::string gwMenuLabel(const char* text, std::string* accelerator);
