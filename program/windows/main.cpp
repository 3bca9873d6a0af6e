// The process entry of rastrel.exe: a windowed program whose standard
// streams live in the console window, running the converter's menu.
#include "app/menu.h"
#include "program/windows/entry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    runWindowsProgram(app_main, windowsFolderOperand);
}
