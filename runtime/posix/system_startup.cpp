// What start-up does on a POSIX system beyond what every system shares.
#include <csignal>

#include "runtime/internal.h"

void rt_system_startup()
{
    // A write past the file-size limit must fail with an error, as on a full
    // disk, so that the program reports it; by default the signal that such
    // a write raises would end the process instead.
    std::signal(SIGXFSZ, SIG_IGN);
}
