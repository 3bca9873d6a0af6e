// Shows every device read of standard input as [COUNT:BYTES], until a read
// delivers nothing; then returns.
#include <cstdio>

#include "program/entry.h"
#include "runtime/runtime.h"

namespace {

int application(int, char**)
{
    rt::cout << "ready\n";
    for (;;) {
        char bytes[256];
        int count = rt_slot_read(0, bytes, sizeof bytes);
        rt::cout << "[" << count << ":";
        for (int i = 0; i < count; i++) {
            if (bytes[i] == '\n') {
                rt::cout << "\\n";
            } else {
                rt::cout << bytes[i];
            }
        }
        rt::cout << "]\n";
        if (count <= 0) {
            return 0;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    runProgram(argc, argv, application);
}
