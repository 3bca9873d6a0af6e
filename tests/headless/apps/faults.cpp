// A processor fault in the application (tests/apps/faulting.h), on the
// program's own entry.
#include "program/entry.h"
#include "tests/apps/faulting.h"

int main(int argc, char** argv)
{
    runProgram(argc, argv, faulting::application);
}
