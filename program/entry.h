// The process entry of build/rastrel and of the test programs built the same
// way around an application routine of their own.
#pragma once

#include "console/console.h"

// `PROGRAM --headless SCRIPT [ARGS...]` runs the application inside the
// console window on the headless front end, driven by SCRIPT; without
// --headless the application runs over the process's own standard input and
// output.  Does not return.
[[noreturn]] void runProgram(int argc, char** argv, consoleApplication application);

// The scripted run: the console's start-up on the headless front end, with
// the user's actions taken from the script (a file, or - for standard input)
// and the reports written on the process's standard output.
[[noreturn]] void runHeadless(const char* scriptPath, int argc, char** argv, consoleApplication application);

// The console's start-up after the front end is ready: the runtime, the
// command line, the resources, the show value and consoleMain, whose result
// ends the process.
[[noreturn]] void startConsole(int argc, char** argv, consoleApplication application);
