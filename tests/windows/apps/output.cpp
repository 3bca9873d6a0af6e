// Writes COUNT numbered lines (the first argument; without one, so many that
// only an interrupt ends them in time), then "done", and returns.
#include <cstdio>
#include <cstdlib>

#include "program/windows/entry.h"
#include "runtime/runtime.h"

namespace {

int application(int argc, char** argv)
{
    const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000000L;
    for (long line = 1; line <= count; ++line) {
        char text[32];
        std::snprintf(text, sizeof text, "line %ld\n", line);
        rt::cout << text;
    }
    rt::cout << "done\n";
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    runWindowsProgram(application);
}
