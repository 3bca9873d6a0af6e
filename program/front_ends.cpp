// The one place that picks the front end: a table of front ends, each with
// the option that forces it, a test of whether it can run here, and how it
// starts.  Without an option the first one that fits is taken.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "frontends/gtk/gtk_frontend.h"
#include "frontends/headless/script.h"
#include "program/entry.h"

namespace {

consoleApplication application;
int applicationArgc;
char** applicationArgv;

struct programFrontEnd {
    const char* option;            // the option that forces it
    int arguments;                 // the option's own arguments after it
    const char* usage;
    int (*available)();            // 1 when it can run here
    int (*fits)();                 // 1 when it is the right choice without an option
    [[noreturn]] void (*start)(char** optionArguments);
};

int always() { return 1; }
int never() { return 0; }

[[noreturn]] void startPlain(char**)
{
    runPlain(applicationArgc, applicationArgv, application);
}

void startHeadlessProgram()
{
    startPortableConsole(applicationArgc, applicationArgv, application);
}

[[noreturn]] void startHeadless(char** optionArguments)
{
    runHeadless(optionArguments[0], startHeadlessProgram);
}

// The desktop window: where a display is, and standard input is not a pipe
// or a file (that is the plain binding's, whichever entry comes first).
int windowFits()
{
    struct stat input {};
    if (fstat(STDIN_FILENO, &input) == 0 && (S_ISFIFO(input.st_mode) || S_ISREG(input.st_mode))) return 0;
    return gwDisplayPresent() && gwAvailable();
}

[[noreturn]] void startWindow(char**)
{
    gwRun(applicationArgc, applicationArgv, startHeadlessProgram);
}

// In the order they are tried without an option.
const programFrontEnd frontEnds[] = {
    {"--headless", 1, "--headless SCRIPT [ARGUMENTS...]", always, never, startHeadless},
    {"--window", 0, "--window [ARGUMENTS...]", gwAvailable, windowFits, startWindow},
    {"--plain", 0, "--plain [ARGUMENTS...]", always, always, startPlain},
};

}  // namespace

void runProgram(int argc, char** argv, consoleApplication routine)
{
    application = routine;
    for (const programFrontEnd& frontEnd : frontEnds) {
        if (argc < 2 || std::strcmp(argv[1], frontEnd.option) != 0) {
            continue;
        }
        if (argc < 2 + frontEnd.arguments) {
            std::fprintf(stderr, "usage: %s %s\n", argv[0], frontEnd.usage);
            std::exit(2);
        }
        if (!frontEnd.available()) {
            std::fprintf(stderr, "%s: %s is not possible here\n", argv[0], frontEnd.option);
            std::exit(2);
        }
        // The application sees the program name and the arguments after
        // the option's own.
        enum { maxOptionArguments = 4 };
        char* optionArguments[maxOptionArguments] = {};
        for (int i = 0; i < frontEnd.arguments && i < maxOptionArguments; i++) {
            optionArguments[i] = argv[2 + i];
        }
        const int skipped = 1 + frontEnd.arguments;
        argv[skipped] = argv[0];
        applicationArgc = argc - skipped;
        applicationArgv = argv + skipped;
        frontEnd.start(optionArguments);
    }
    applicationArgc = argc;
    applicationArgv = argv;
    for (const programFrontEnd& frontEnd : frontEnds) {
        if (frontEnd.fits()) {
            frontEnd.start(nullptr);
        }
    }
    runPlain(argc, argv, routine);
}
