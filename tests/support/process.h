// What the end-to-end tests share for driving programs from the outside:
// running a command for its output, quoting for a shell command line,
// reading a file whole, and waiting on a condition.
#pragma once

#include <functional>
#include <string>

// What the command (run by /bin/sh) printed on standard output.
std::string output(const std::string& command);

// The same, with its standard error thrown away.
std::string shell(const std::string& command);

// The text as one word of a shell command line.
std::string quote(const std::string& text);

// The file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);

// Asks the condition every 50 ms until it holds or the seconds have passed,
// and then once more.
bool waitFor(const std::function<bool()>& condition, double seconds = 20);
