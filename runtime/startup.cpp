// Runtime start-up: the standard handles and streams, the main thread's
// record and the standard stream objects.
#include "runtime/internal.h"

namespace {
bool started = false;
}

int rt_startup()
{
    if (started) {
        return 1;
    }
    rt_system_startup();
    rt_slots_startup();
    rt_streams_binding_changed();
    if (!rt_thread_data_startup()) {
        return 0;
    }
    rt_stream_objects_startup();
    started = true;
    return 1;
}
