// The signal table: signals 1 to 6, each with a handler, the default marker
// or the ignore marker.
#include "runtime/internal.h"

namespace {

rt_sighandler signal_table[RT_NSIG + 1];   // index 0 unused; all start at the default

bool signal_valid(int signal)
{
    return signal >= 1 && signal <= RT_NSIG;
}

}  // namespace

rt_sighandler rt_signal(int signal, rt_sighandler handler)
{
    if (!signal_valid(signal) || handler == RT_SIG_ERR) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return RT_SIG_ERR;
    }
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_SIGNALS));
    rt_sighandler previous = signal_table[signal];
    signal_table[signal] = handler;
    return previous;
}

int rt_raise(int signal)
{
    if (!signal_valid(signal)) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return -1;
    }
    rt_sighandler handler;
    {
        std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_SIGNALS));
        handler = signal_table[signal];
        if (handler != RT_SIG_DFL && handler != RT_SIG_IGN) {
            // A handler fires once per registration.
            signal_table[signal] = RT_SIG_DFL;
        }
    }
    if (handler == RT_SIG_IGN) {
        return 0;
    }
    if (handler == RT_SIG_DFL) {
        if (signal == RT_SIGABRT) {
            return 0;
        }
        rt_exit(0);
    }
    handler(signal);
    return 0;
}
