// Ends in a way abort would: an exception nobody catches ("throw"), or a call
// of terminate ("terminate").
#include <cstring>
#include <exception>
#include <stdexcept>

#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

int application(int argc, char** argv)
{
    rt::cout << "before\n";
    if (argc > 1 && std::strcmp(argv[1], "terminate") == 0) {
        std::terminate();
    }
    throw std::runtime_error("nobody catches this");
}

}  // namespace

int main(int argc, char** argv)
{
    runProgram(argc, argv, application);
}
