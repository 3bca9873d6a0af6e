// The process entry of build/rastrel and of the test programs built the same
// way around an application routine of their own.
#pragma once

#include "console/console.h"

// Picks the front end (program/front_ends.cpp) and runs the application with
// it.  Does not return.
[[noreturn]] void runProgram(int argc, char** argv, consoleApplication application);

// The same on the portable window system: the command line is rebuilt from
// argc and argv (the program name first) and handed to the window system.
[[noreturn]] void startPortableConsole(int argc, char** argv, consoleApplication application);

// The plain binding: no console window, the application talks to the
// process's own standard input and output.
[[noreturn]] void runPlain(int argc, char** argv, consoleApplication application);
