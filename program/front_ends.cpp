// The one place that picks the front end: a table of front ends, each with
// the option that forces it, a test of whether it can run here, and how it
// starts.  Without an option the first one that fits is taken, in this
// order: standard input a pipe or a regular file (the user is feeding the
// menu): plain; a display with the desktop front end built: the desktop
// window; standard input and output both terminals: the terminal; otherwise
// plain.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontends/gtk/gtk_frontend.h"
#include "frontends/headless/script.h"
#include "frontends/terminal/terminal.h"
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
    void (*start)(char** optionArguments);   // does not return
    const char* (*whyNot)();       // why it cannot run here (null: no reason given)
};

int always() { return 1; }
int never() { return 0; }

// Standard input is a pipe, a socket or a regular file.
int inputIsFed()
{
    struct stat info{};
    return fstat(0, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISREG(info.st_mode) || S_ISSOCK(info.st_mode));
}

[[noreturn]] void startTerminal(char**)
{
    tmInstall();
    startPortableConsole(applicationArgc, applicationArgv, application);
}

[[noreturn]] void startPlain(char**)
{
    runPlain(applicationArgc, applicationArgv, application);
}

void startPortableProgram()
{
    startPortableConsole(applicationArgc, applicationArgv, application);
}

[[noreturn]] void startHeadless(char** optionArguments)
{
    runHeadless(optionArguments[0], startPortableProgram);
}

// The desktop window: where a display is and the desktop front end can be
// loaded.
int windowFits()
{
    return gwDisplayPresent() && gwAvailable();
}

const char* windowUnavailableReason()
{
    return gwDisplayPresent() ? "the desktop front end cannot open the display here" : "there is no display";
}

[[noreturn]] void startWindow(char**)
{
    gwRun(applicationArgc, applicationArgv, startPortableProgram);
}

// In the order they are tried without an option.
const programFrontEnd frontEnds[] = {
    {"--headless", 1, "--headless SCRIPT [ARGUMENTS...]", always, never, startHeadless, nullptr},
    {"--plain", 0, "--plain [ARGUMENTS...]", always, inputIsFed, startPlain, nullptr},
    {"--window", 0, "--window [ARGUMENTS...]", gwAvailable, windowFits, startWindow, windowUnavailableReason},
    {"--terminal", 0, "--terminal [ARGUMENTS...]", tmAvailable, tmAvailable, startTerminal, tmUnavailableReason},
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
            std::fprintf(stderr, "%s: %s is not possible here%s%s\n", argv[0], frontEnd.option,
                         frontEnd.whyNot ? ": " : "", frontEnd.whyNot ? frontEnd.whyNot() : "");
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
