// The one place that picks the front end: a table of front ends, each with
// the option that forces it, a test of whether it can run here, and how it
// starts.  Without an option the first one that fits is taken, in this
// order: standard input a pipe or a regular file (the user is feeding the
// menu): plain; a display with the desktop front end built: the desktop
// window; standard input and output both terminals: the terminal; otherwise
// plain.  The command line is read here too (program/options.h).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontends/gtk/gtk_frontend.h"
#include "frontends/headless/script.h"
#include "frontends/terminal/terminal.h"
#include "program/entry.h"
#include "program/options.h"

namespace {

consoleApplication application;
int applicationArgc;
char** applicationArgv;

struct programFrontEnd {
    commandLineOption option;      // the option that forces it
    int (*available)();            // 1 when it can run here
    int (*fits)();                 // 1 when it is the right choice without an option
    void (*start)(char* value);    // does not return; value: the option's own, or null
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

[[noreturn]] void startTerminal(char*)
{
    tmInstall();
    startPortableConsole(applicationArgc, applicationArgv, application);
}

[[noreturn]] void startPlain(char*)
{
    runPlain(applicationArgc, applicationArgv, application);
}

void startPortableProgram()
{
    startPortableConsole(applicationArgc, applicationArgv, application);
}

[[noreturn]] void startHeadless(char* script)
{
    runHeadless(script, startPortableProgram);
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

[[noreturn]] void startWindow(char*)
{
    gwRun(applicationArgc, applicationArgv, startPortableProgram);
}

// In the order they are tried without an option.
const programFrontEnd frontEnds[] = {
    {{"--headless", 1}, always, never, startHeadless, nullptr},
    {{"--plain", 0}, always, inputIsFed, startPlain, nullptr},
    {{"--window", 0}, gwAvailable, windowFits, startWindow, windowUnavailableReason},
    {{"--terminal", 0}, tmAvailable, tmAvailable, startTerminal, tmUnavailableReason},
};
enum { frontEndCount = sizeof frontEnds / sizeof frontEnds[0] };

const char helpText[] =
    "Usage: rastrel [OPTION]... [FOLDER]\n"
    "Convert the scan files in FOLDER (by default the current folder) into TIFF\n"
    "images, through a menu shown in a console window of its own.\n"
    "\n"
    "  --window           show the console window on the desktop\n"
    "  --terminal         show the console window in this terminal\n"
    "  --plain            no window: the menu reads standard input and writes\n"
    "                     standard output\n"
    "  --headless SCRIPT  take the user's actions from SCRIPT (- for standard\n"
    "                     input) and write reports of the window on standard output\n"
    "      --help         display this help and exit\n"
    "      --version      output version information and exit\n"
    "\n"
    "Without an option: plain when standard input is a pipe or a file, else the\n"
    "desktop window where there is a display, else the terminal where standard\n"
    "input and output are terminals, else plain.\n"
    "\n"
    "In the menu, 1 converts scaninfo.dat and 0.bin, 1.bin, ... into 0.tif,\n"
    "1.tif, ...; 9 ends the program.\n"
    "\n"
    "Exit status: 0 when the program ends, 1 when the window is closed while the\n"
    "program waits for input, 2 for a mistake on the command line, 3 when a\n"
    "script stops the run.\n"
    "\n"
    "Full documentation: man rastrel\n";

[[noreturn]] void commandLineMistake(const char* message)
{
    std::fprintf(stderr, "rastrel: %s\n%s\n", message, programTryHelpText);
    std::exit(2);
}

// A relative path in the option's value still names the file it named
// before the program changes into FOLDER.
char* pathBeforeChangingFolder(char* path)
{
    static char absolute[PATH_MAX + 1];
    if (!path || path[0] == '/' || std::strcmp(path, "-") == 0) return path;
    char here[PATH_MAX];
    if (!getcwd(here, sizeof here)) return path;
    if (std::snprintf(absolute, sizeof absolute, "%s/%s", here, path) >= static_cast<int>(sizeof absolute)) return path;
    return absolute;
}

}  // namespace

void runProgram(int argc, char** argv, consoleApplication routine, programOperands operands)
{
    application = routine;
    commandLineOption options[frontEndCount];
    for (int i = 0; i < frontEndCount; ++i) {
        options[i] = frontEnds[i].option;
    }
    parsedCommandLine parsed;
    const commandLineMode mode = operands == folderOperand ? commandLineStrict : commandLineLeading;
    switch (parseCommandLine(argc, argv, options, frontEndCount, mode, &parsed)) {
    case commandLineHelp:
        std::fputs(helpText, stdout);
        std::exit(std::fflush(stdout) == 0 ? 0 : 1);
    case commandLineVersion:
        std::fputs(programVersionText, stdout);
        std::exit(std::fflush(stdout) == 0 ? 0 : 1);
    case commandLineWrong:
        commandLineMistake(parsed.message);
    case commandLineRun:
        break;
    }
    char* value = parsed.value;
    if (operands == folderOperand && parsed.operandCount > 0) {
        char message[commandLineMessageSize + PATH_MAX];
        if (parsed.operandCount > 1) {
            std::snprintf(message, sizeof message, "extra operand '%s'", argv[2]);
            commandLineMistake(message);
        }
        value = pathBeforeChangingFolder(value);
        if (chdir(argv[1]) != 0) {
            std::snprintf(message, sizeof message, "cannot change to folder '%s': %s", argv[1], std::strerror(errno));
            commandLineMistake(message);
        }
    }
    // The application sees the program name and the operands.
    applicationArgc = 1 + parsed.operandCount;
    applicationArgv = argv;
    if (parsed.chosen >= 0) {
        const programFrontEnd& frontEnd = frontEnds[parsed.chosen];
        if (!frontEnd.available()) {
            std::fprintf(stderr, "rastrel: %s is not possible here%s%s\n", frontEnd.option.name,
                         frontEnd.whyNot ? ": " : "", frontEnd.whyNot ? frontEnd.whyNot() : "");
            std::exit(2);
        }
        frontEnd.start(value);
    }
    for (const programFrontEnd& frontEnd : frontEnds) {
        if (frontEnd.fits()) {
            frontEnd.start(nullptr);
        }
    }
    runPlain(applicationArgc, applicationArgv, routine);
}
