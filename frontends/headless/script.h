// The scripted run: `PROGRAM --headless SCRIPT [ARGUMENTS...]` runs the
// program inside the console window on the headless front end, with the
// user's actions taken from SCRIPT (a file, or - for standard input) and the
// reports written on standard output.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Reads and parses the script; 0 (with the reason on standard error) when it
// cannot be read or parsed.
int readHeadlessScript(const char* scriptPath);

// Parses a script held in memory in place of any script parsed before: the
// number of actions it holds, or -1 with the reason ("line N: ...") in
// error when it cannot be parsed.  verbs (when not null) receives each
// action's verb in order, "pump: VERB" for a pump: line.
int parseHeadlessScript(const char* text, size_t length, std::string* error,
                        std::vector<std::string>* verbs = nullptr);

// Runs the program in a child process on the headless front end, driven by
// the script: the child installs the front end and calls startProgram, which
// does not return.  The parent waits, writes "exit: STATUS" and ends with
// the program's status.  SIGTERM, SIGINT and SIGHUP sent to the parent are
// passed on to the program, and the program is killed when the parent ends
// any other way, so ending the run by its pid ends all of it.  Does not
// return.
[[noreturn]] void runHeadless(const char* scriptPath, void (*startProgram)());
