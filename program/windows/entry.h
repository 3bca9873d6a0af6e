// The process entry of the native Windows program (rastrel.exe) and of the
// Windows test programs built the same way around an application routine of
// their own.
#pragma once

#include "console/console.h"

// What the arguments after the program's name are.
enum windowsOperands {
    windowsApplicationOperands,   // the application's own (the test programs)
    windowsFolderOperand,         // rastrel.exe [--help | --version] [FOLDER]
};

// The start-up of a windowed program: the fault handlers, the runtime, the
// command line split into arguments, the show value from the start-up
// information, and consoleMain inside the real console window, whose result
// ends the process.  With windowsFolderOperand the program first changes
// into FOLDER; --help and --version, a FOLDER that cannot be entered and any
// other option are answered in a message box captioned "Rastrel" (status 0
// for --help and --version, 2 for a mistake), since a windowed program has
// no standard output of its own.  Does not return.
[[noreturn]] void runWindowsProgram(consoleApplication application,
                                    windowsOperands operands = windowsApplicationOperands);
