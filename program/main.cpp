// The process entry of build/rastrel.
//
// With no console front end the menu runs straight over the process's own
// standard input and output (the runtime's plain binding).
#include <cstdio>

#include "app/menu.h"
#include "runtime/runtime.h"

int main(int argc, char** argv)
{
    if (!rt_startup()) {
        rt_exit(-1);
    }
    static char line[32768];
    rt_build_command_line(argc, argv, line, sizeof line);
    int count = 0;
    char** vector = nullptr;
    rt_split_command_line(line, &count, &vector);
    rt_exit(app_main(count, vector));
}
