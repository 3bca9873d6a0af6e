// The Windows process entry, after the C++ start-up has run the static
// constructors: the runtime's start-up, the arguments and the console.
#include "program/windows/entry.h"

#include "runtime/runtime.h"

void runWindowsProgram(consoleApplication application)
{
    // The fault handlers come first, so they cover the whole run.
    rt_install_fault_handlers();
    if (!rt_startup()) {
        rt_exit(-1);
    }

    int count = 0;
    char** vector = nullptr;
    rt_split_command_line(plGetCommandLine(), &count, &vector);

    plHinstance instance = plGetModuleHandle(nullptr);
    registerConsoleResources(instance);
    setConsoleApplication(application, count, vector);

    plStartupInfo startup = {};
    plGetStartupInfo(&startup);
    int show = (startup.flags & STARTF_USESHOWWINDOW) ? static_cast<int>(startup.showWindow) : SW_SHOWDEFAULT;
    rt_exit(consoleMain(instance, show));
}
