// The process entry: set up the runtime, split the command line and run the
// application, inside the console window or over the plain standard streams.
#include "program/entry.h"

#include <cstdlib>

#include "portable/frontend.h"
#include "program/console_start.h"
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

void startPortableConsole(int argc, char** argv, consoleApplication application)
{
    char* line = commandLineFrom(argc, argv);
    pwSetCommandLine(line ? line : "");
    std::free(line);
    // The front end hears of the program's end through the window system
    // only: the console's ending and the runtime's faults are handed on here.
    pwSetTextMargin(consoleTextMargin);
    consoleEndingHook = [] { pwEnding(0); };
    rt_set_fault_hook([](int fault) { pwEnding(fault); });
    startConsole(application);
}
