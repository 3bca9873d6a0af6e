// What the front end tells the terminal by hand, because terminfo has no
// name for it: the window's title (OSC 2), text for the terminal's
// clipboard (OSC 52), and the modes for bracketed paste (2004), mouse
// reports with button motion (1002) in the SGR form (1006), and Esc before
// a key typed with Meta (1036), so that Alt+F is Esc f and never the
// eight-bit character a terminal like xterm sends for it by default.
#pragma once

#include <cstddef>
#include <string>

// Turned on when the screen starts and off when it ends.  The title stack
// (xterm's push and pop) keeps the shell's own title for afterwards, and
// the terminal's own Meta setting is saved (xterm's private-mode save) and
// restored; a terminal that cannot restore it gets the usual default, off.
extern const char tmModesOn[];
extern const char tmModesOff[];
// Turned on again when the program comes back to a terminal whose modes
// may have been changed under it: nothing saved or pushed a second time,
// so that what is restored at the end is still the shell's.
extern const char tmModesAgain[];

// OSC 2 with the title; control characters are left out, so the title
// cannot end the sequence early or smuggle in another.
std::string tmTitleSequence(const std::string& title);

// OSC 52 putting text on the clipboard ("c"), base64-encoded.  The text is
// the console's bytes (the Western Windows code page) with CR LF line ends;
// the clipboard gets UTF-8 with the LF line ends of this system.
std::string tmClipboardSequence(const char* text, size_t length);

// The console's bytes as UTF-8.
std::string tmUtf8OfBytes(const char* text, size_t length);
std::string tmBase64(const std::string& bytes);
