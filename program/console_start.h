// The console's start-up, the same on every window system.
#pragma once

#include "console/console.h"

// The runtime first, so that the fault handlers cover the whole run; a
// runtime that cannot start ends the process with status -1.
void startRuntime();

// The console's start-up once the window system and its front end are ready:
// the runtime, the command line (as plGetCommandLine gives it) split into
// arguments, the resources, the show value from the start-up information,
// and consoleMain, whose result ends the process.  readCommandLine, when
// given, sees the arguments first and may take options and operands out of
// them (lowering the count) or end the process.
[[noreturn]] void startConsole(consoleApplication application,
                               void (*readCommandLine)(int* count, char** vector) = nullptr);
