// The process entry of the native Windows program (rastrel.exe) and of the
// Windows test programs built the same way around an application routine of
// their own.
#pragma once

#include "console/console.h"

// The start-up of a windowed program: the fault handlers, the runtime, the
// command line split into arguments, the show value from the start-up
// information, and consoleMain inside the real console window, whose result
// ends the process.  Does not return.
[[noreturn]] void runWindowsProgram(consoleApplication application);
