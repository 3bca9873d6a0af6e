// A processor fault in the application: an integer division by zero
// (the default) or a write through a null pointer ("null").
#include <cstring>

#include "program/windows/entry.h"
#include "runtime/runtime.h"

namespace {

volatile int zero = 0;
volatile int* volatile nowhere = nullptr;

__attribute__((noinline)) int divide(int dividend, int divisor)
{
    return dividend / divisor;
}

__attribute__((noinline)) void writeThroughNull()
{
    *nowhere = 1;
}

int application(int argc, char** argv)
{
    rt::cout << "about to fault\n";
    if (argc > 1 && std::strcmp(argv[1], "null") == 0) {
        writeThroughNull();
    } else {
        rt::cout << divide(7, zero) << "\n";
    }
    rt::cout << "still running\n";
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    runWindowsProgram(application);
}
