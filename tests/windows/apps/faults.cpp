// A processor fault in the application (tests/apps/faulting.h), in the
// native Windows program's entry.
#include "program/windows/entry.h"
#include "tests/apps/faulting.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    runWindowsProgram(faulting::application);
}
