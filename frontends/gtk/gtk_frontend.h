// The desktop front end: the console's windows as GTK 3 windows on the
// user's display.  program/front_ends.cpp chooses it; without GTK the build
// has a stand-in whose front end is never available.
#pragma once

// DISPLAY or WAYLAND_DISPLAY names a display.
int gwDisplayPresent();

// GTK is built into the program and opens the display (GTK is initialised
// here, once; later calls give the same answer).
int gwAvailable();

// Installs this front end and calls startProgram, which starts the console
// on the portable window system (startPortableConsole) and does not return.
// argc and argv are the application's: its program name and arguments.
[[noreturn]] void gwRun(int argc, char** argv, void (*startProgram)());
