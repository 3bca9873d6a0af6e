// The scripted run: `PROGRAM --headless SCRIPT [ARGUMENTS...]` runs the
// program inside the console window on the headless front end, with the
// user's actions taken from SCRIPT (a file, or - for standard input) and the
// reports written on standard output.
#pragma once

// Reads and parses the script; 0 (with the reason on standard error) when it
// cannot be read or parsed.
int readHeadlessScript(const char* scriptPath);

// Runs the program in a child process on the headless front end, driven by
// the script: the child installs the front end and calls startProgram, which
// does not return.  The parent waits, writes "exit: STATUS" and ends with
// the program's status.  Does not return.
[[noreturn]] void runHeadless(const char* scriptPath, void (*startProgram)());
