// Writes two lines and returns from its main routine with status 3.
#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

int application(int, char**)
{
    rt::cout << "first line\nsecond line\n";
    return 3;
}

}  // namespace

int main(int argc, char** argv)
{
    runProgram(argc, argv, application);
}
