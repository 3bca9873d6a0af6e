// The process entry of build/rastrel and of the test programs built the same
// way around an application routine of their own.
#pragma once

#include "console/console.h"

// What the operands (the arguments that are not options) are.
enum programOperands {
    // The application's own: the options end at the first argument that is
    // not one (the test programs: "PROGRAM --window ARGUMENTS...").
    applicationOperands,
    // rastrel [OPTION]... [FOLDER]: the program changes into FOLDER before
    // the console starts; an unknown option or a second operand is a mistake.
    folderOperand,
};

// Reads the command line (--help, --version, the front-end options), picks
// the front end (program/front_ends.cpp) and runs the application with it;
// the application receives the program name and the operands.  A mistake on
// the command line ends the process with a line on standard error and
// status 2.  Does not return.
[[noreturn]] void runProgram(int argc, char** argv, consoleApplication application,
                             programOperands operands = applicationOperands);

// The same on the portable window system: the command line is rebuilt from
// argc and argv (the program name first) and handed to the window system.
[[noreturn]] void startPortableConsole(int argc, char** argv, consoleApplication application);

// The plain binding: no console window, the application talks to the
// process's own standard input and output.
[[noreturn]] void runPlain(int argc, char** argv, consoleApplication application);
