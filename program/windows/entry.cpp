// The Windows process entry, after the C++ start-up has run the static
// constructors: the console's start-up, on the real window system.
#include "program/windows/entry.h"

#include <cstdio>

#include "program/console_start.h"
#include "program/options.h"
#include "runtime/runtime.h"

namespace {

const char helpText[] =
    "Usage: rastrel [OPTION]... [FOLDER]\n"
    "Converts the scan files in FOLDER (by default the current folder) into TIFF images, "
    "through a menu shown in a console window of its own.\n\n"
    "--help\tshow this help\n"
    "--version\tshow the version\n\n"
    "In the menu, 1 converts scaninfo.dat and 0.bin, 1.bin, ... into 0.tif, 1.tif, ...; 9 ends the program.";

[[noreturn]] void answer(const char* text, uint32_t icon, int status)
{
    plMessageBox(nullptr, text, "Rastrel", MB_OK | icon);
    rt_exit(status);
}

[[noreturn]] void mistake(const char* line)
{
    char text[commandLineMessageSize + MAX_PATH + 64];
    std::snprintf(text, sizeof text, "rastrel: %s\n%s", line, programTryHelpText);
    answer(text, MB_ICONEXCLAMATION, 2);
}

// rastrel.exe [--help | --version] [FOLDER]: the folder becomes the current
// one, and the application receives the program's name and the folder.
void readFolderCommandLine(int* count, char** vector)
{
    parsedCommandLine parsed;
    switch (parseCommandLine(*count, vector, nullptr, 0, commandLineStrict, &parsed)) {
    case commandLineHelp:
        answer(helpText, MB_ICONINFORMATION, 0);
    case commandLineVersion:
        answer(programVersionText, MB_ICONINFORMATION, 0);
    case commandLineWrong:
        mistake(parsed.message);
    case commandLineRun:
        break;
    }
    char line[commandLineMessageSize + MAX_PATH];
    if (parsed.operandCount > 1) {
        std::snprintf(line, sizeof line, "extra operand '%s'", vector[2]);
        mistake(line);
    }
    if (parsed.operandCount == 1 && !SetCurrentDirectoryA(vector[1])) {
        std::snprintf(line, sizeof line, "cannot change to folder '%s'", vector[1]);
        mistake(line);
    }
    *count = 1 + parsed.operandCount;
}

}  // namespace

void runWindowsProgram(consoleApplication application, windowsOperands operands)
{
    startConsole(application, operands == windowsFolderOperand ? readFolderCommandLine : nullptr);
}
