// Writes the control characters the console gives a meaning: a lone CR, BS,
// TAB at columns 3 and 4, BEL and, when asked ("formfeed"), FF.
#include <cstring>

#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

int application(int argc, char** argv)
{
    rt::cout << "abc\rXY\n";      // the lone CR: XY overwrites the line
    rt::cout << "ab\bc\n";        // BS removes the b
    rt::cout << "\bstart\n";      // BS right after a line end removes nothing
    rt::cout << "abc\tT\n";       // TAB at column 3: one space
    rt::cout << "abcd\tT\n";      // TAB at column 4: four spaces
    rt::cout << "bell\a\n";       // BEL stores nothing and beeps
    if (argc > 1 && std::strcmp(argv[1], "formfeed") == 0) {
        rt::cout << "before the form feed\f";
        rt::cout << "after\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    runProgram(argc, argv, application);
}
