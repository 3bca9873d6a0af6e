// The process entry of build/rastrel: the converter's menu.
#include "app/menu.h"
#include "program/entry.h"

int main(int argc, char** argv)
{
    runProgram(argc, argv, app_main, folderOperand);
}
