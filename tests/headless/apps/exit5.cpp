// Asks for a key, then ends through exit with status 5; an atexit function
// writes a last line first.
#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

void atExit()
{
    rt::cout << "\natexit ran";
}

int application(int, char**)
{
    rt_atexit(atExit);
    rt::cout << "Press a key: ";
    char key = 0;
    rt::cin >> key;
    rt::cout << "got " << key;
    rt_exit(5);
}

}  // namespace

int main(int argc, char** argv)
{
    runProgram(argc, argv, application);
}
