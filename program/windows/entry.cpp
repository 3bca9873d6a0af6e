// The Windows process entry, after the C++ start-up has run the static
// constructors: the console's start-up, on the real window system.
#include "program/windows/entry.h"

#include "program/console_start.h"

void runWindowsProgram(consoleApplication application)
{
    startConsole(application);
}
