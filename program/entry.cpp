// The process entry: set up the runtime, split the command line and run the
// application, inside the console window or over the plain standard streams.
#include "program/entry.h"

#include <cstdlib>

#include "portable/frontend.h"
#include "runtime/runtime.h"

namespace {

// The command line as the platform would hand it over, rebuilt from the
// arguments (the program name first) so that splitting gives them back.
char* commandLineFrom(int argc, const char* const* argv)
{
    size_t needed = rt_build_command_line(argc, argv, nullptr, 0);
    char* line = static_cast<char*>(std::malloc(needed + 1));
    if (line) {
        rt_build_command_line(argc, argv, line, needed + 1);
    }
    return line;
}

// The runtime first: the fault handlers cover the whole run.
void startRuntime()
{
    rt_install_fault_handlers();
    if (!rt_startup()) {
        rt_exit(-1);
    }
}

}  // namespace

void runPlain(int argc, char** argv, consoleApplication application)
{
    startRuntime();
    char* line = commandLineFrom(argc, argv);
    int count = 0;
    char** vector = nullptr;
    rt_split_command_line(line ? line : "", &count, &vector);
    std::free(line);
    rt_exit(application(count, vector));
}

void startConsole(consoleApplication application)
{
    startRuntime();
    int count = 0;
    char** vector = nullptr;
    rt_split_command_line(plGetCommandLine(), &count, &vector);

    plHinstance instance = plGetModuleHandle(nullptr);
    registerConsoleResources(instance);
    setConsoleApplication(application, count, vector);

    plStartupInfo startup = {};
    plGetStartupInfo(&startup);
    int show = (startup.flags & STARTF_USESHOWWINDOW) ? static_cast<int>(startup.showWindow) : static_cast<int>(SW_SHOWDEFAULT);
    rt_exit(consoleMain(instance, show));
}

void startPortableConsole(int argc, char** argv, consoleApplication application)
{
    char* line = commandLineFrom(argc, argv);
    pwSetCommandLine(line ? line : "");
    std::free(line);
    startConsole(application);
}
