// Writes its process id to program.pid in the current folder, then waits for
// ever without touching the console.
#include <unistd.h>

#include <cstdio>

#include "program/entry.h"

namespace {

int application(int, char**)
{
    if (FILE* file = std::fopen("program.pid.new", "w")) {
        std::fprintf(file, "%d\n", static_cast<int>(getpid()));
        std::fclose(file);
        std::rename("program.pid.new", "program.pid");
    }
    for (;;) {
        pause();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    runProgram(argc, argv, application);
}
