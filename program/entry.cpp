// The process entry: set up the runtime, rebuild and split the command line,
// and run the application, inside the console window or over the plain
// standard streams.
#include "program/entry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/headless.h"
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

// The plain binding: no console window, the application talks to the
// process's own standard input and output.
[[noreturn]] void runPlain(int argc, char** argv, consoleApplication application)
{
    rt_install_fault_handlers();
    if (!rt_startup()) {
        rt_exit(-1);
    }
    char* line = commandLineFrom(argc, argv);
    int count = 0;
    char** vector = nullptr;
    rt_split_command_line(line ? line : "", &count, &vector);
    std::free(line);
    rt_exit(application(count, vector));
}

}  // namespace

void startConsole(int argc, char** argv, consoleApplication application)
{
    // The fault handlers come first, so they cover the whole run.
    rt_install_fault_handlers();
    if (!rt_startup()) {
        rt_exit(-1);
    }
    char* line = commandLineFrom(argc, argv);
    hlSetCommandLine(line ? line : "");
    std::free(line);

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

void runProgram(int argc, char** argv, consoleApplication application)
{
    if (argc >= 2 && std::strcmp(argv[1], "--headless") == 0) {
        if (argc < 3) {
            std::fprintf(stderr, "usage: %s --headless SCRIPT [ARGUMENTS...]\n", argv[0]);
            std::exit(2);
        }
        runHeadless(argv[2], argc, argv, application);
    }
    runPlain(argc, argv, application);
}
