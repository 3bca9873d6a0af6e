// The terminal front end: the console window drawn in the terminal the
// program runs in (curses, wide-character build, writes every byte), fed by
// its keyboard and mouse (read and decoded by the front end itself).  Row 0 is the menu bar, the other rows the client area with the
// scroll bar in the last column.  Boxes and dialogs are drawn over it, and
// printing writes PDF files or sends them to the system's printers.
//
// The terminal is taken over (raw mode, alternate screen) when the window is
// first shown, and given back as it was on every way the process ends.
//
// The front end is a module (terminal.so, frontends/terminal/module.h): in
// a program these three are the loader's (loader.cpp), which loads the
// module only once standard input and output are terminals; in the module
// and in the tests that link the front end's code they are its own.
#pragma once

// 1 when it can run here: standard input and output are terminals, and
// terminfo knows the terminal well enough to address the cursor.
int tmAvailable();
// Why it cannot run here, for a forced choice's message.
const char* tmUnavailableReason();
// Installs it as the window system's front end, with its signal handlers.
// The screen starts with the first show, and is given back at every end
// (the front end's `ending` hook, and the signals that end the process).
void tmInstall();
