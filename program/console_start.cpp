// The console's start-up, the same on every window system.
#include "program/console_start.h"

#include "runtime/runtime.h"

void startRuntime()
{
    rt_install_fault_handlers();
    if (!rt_startup()) {
        rt_exit(-1);
    }
}

void startConsole(consoleApplication application, void (*readCommandLine)(int* count, char** vector))
{
    startRuntime();
    int count = 0;
    char** vector = nullptr;
    rt_split_command_line(plGetCommandLine(), &count, &vector);
    if (readCommandLine && count > 0) readCommandLine(&count, vector);

    plHinstance instance = plGetModuleHandle(nullptr);
    registerConsoleResources(instance);
    setConsoleApplication(application, count, vector);

    plStartupInfo startup = {};
    plGetStartupInfo(&startup);
    int show = (startup.flags & STARTF_USESHOWWINDOW) ? static_cast<int>(startup.showWindow) : static_cast<int>(SW_SHOWDEFAULT);
    rt_exit(consoleMain(instance, show));
}
