// A processor fault in the application: an integer division by zero
// ("divide") or a write through a null pointer ("null").
#include <cstring>

#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

volatile int zero = 0;
volatile int* volatile nowhere = nullptr;

// The division and the write themselves must fault, not a sanitizer's
// check before them.
__attribute__((noinline, no_sanitize("undefined"))) int divide(int dividend, int divisor)
{
    return dividend / divisor;
}

__attribute__((noinline, no_sanitize("undefined"))) void writeThroughNull()
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

int main(int argc, char** argv)
{
    runProgram(argc, argv, application);
}
