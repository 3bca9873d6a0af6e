// What start-up does on Windows beyond what every system shares: nothing;
// a write past a limit fails with an error there already.
#include "runtime/internal.h"

void rt_system_startup() {}
