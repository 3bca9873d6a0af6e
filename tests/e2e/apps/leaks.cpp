// A program that loses one block on purpose and ends through the runtime's
// exit, as every program of ours ends: sanitizer builds must report the leak.
#include <cstdlib>

#include "runtime/runtime.h"

namespace {

void* volatile kept;

__attribute__((noinline)) void leak_on_purpose()
{
    kept = std::malloc(40);
    kept = nullptr;   // the only pointer to the block is gone
}

}  // namespace

int main()
{
    if (!rt_startup()) {
        rt_exit(-1);
    }
    leak_on_purpose();
    rt::cout << "leaked\n";
    rt_exit(0);
}
