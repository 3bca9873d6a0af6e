// A processor fault in the application: an integer division by zero
// ("divide") or a write through a null pointer ("null").
#include <cstring>

#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

volatile int zero = 0;
volatile int* volatile nowhere = nullptr;

// The division itself must fault, not a sanitizer's check before it.
__attribute__((noinline, no_sanitize("undefined"))) int divide(int dividend, int divisor)
{
    return dividend / divisor;
}

int application(int argc, char** argv)
{
    rt::cout << "about to fault\n";
    if (argc > 1 && std::strcmp(argv[1], "null") == 0) {
        *nowhere = 1;
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
