// A test program's application that faults: an integer division by zero
// (the default) or a write through a null pointer ("null").  The programs
// around it differ only in their entry (the scripted and terminal runs, the
// desktop window, Windows).
#pragma once

#include <cstring>

#include "runtime/runtime.h"

namespace faulting {

inline volatile int zero = 0;
inline volatile int* volatile nowhere = nullptr;

// The division and the write themselves must fault, not a sanitizer's
// check before them.
__attribute__((noinline, no_sanitize("undefined"))) inline int divide(int dividend, int divisor)
{
    return dividend / divisor;
}

__attribute__((noinline, no_sanitize("undefined"))) inline void writeThroughNull()
{
    *nowhere = 1;
}

inline int application(int argc, char** argv)
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

}  // namespace faulting
