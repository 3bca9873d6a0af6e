// Writes 40 KB of numbered lines, then returns.
#include <cstdio>

#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

int application(int, char**)
{
    for (int line = 0; line < 1000; line++) {
        char text[64];
        std::snprintf(text, sizeof text, "line %04d of the bulk output, forty bytes\n", line);
        rt::cout << text;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    runProgram(argc, argv, application);
}
