// The runtime's locks, exit, atexit and abort.
#include <cstdio>

#include "runtime/internal.h"

namespace {

std::recursive_mutex lock_table[RT_LOCK_COUNT];

void (*exit_table[RT_ATEXIT_MAX])();
int exit_count = 0;
void (*exit_hook)() = nullptr;

// Takes the newest registered function off the table, or null when none is left.
void (*take_newest())()
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_EXIT));
    if (exit_count == 0) {
        return nullptr;
    }
    return exit_table[--exit_count];
}

void call_exit_hook()
{
    void (*hook)();
    {
        std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_EXIT));
        hook = exit_hook;
    }
    if (hook != nullptr) {
        hook();
    }
}

}  // namespace

std::recursive_mutex& rt_lock(int which)
{
    return lock_table[which];
}

int rt_atexit(void (*function)())
{
    if (function == nullptr) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_EXIT));
    if (exit_count == RT_ATEXIT_MAX) {
        rt_set_last_error(RT_ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    exit_table[exit_count++] = function;
    return 0;
}

int rt_atexit_count()
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_EXIT));
    return exit_count;
}

void rt_set_exit_hook(void (*hook)())
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_EXIT));
    exit_hook = hook;
}

void rt_exit(int status)
{
    // Newest first.  Each function leaves the table before it runs, so none
    // runs twice, even when one of them calls exit again or the exit hook
    // resumes the console and the process ends through exit later.
    for (void (*function)() = take_newest(); function != nullptr; function = take_newest()) {
        function();
    }
    // The console's hook does not come back while the application runs.
    call_exit_hook();
    // Parts of the program that write through the C library's own streams
    // lose nothing either: their text goes out while the standard handles are
    // still open, before closing our streams closes them.
    std::fflush(nullptr);
    // Sanitizer builds look for leaks while standard error can still take
    // the report.
    rt_check_leaks();
    rt_streams_close_at_exit();
    rt_end_process(status);
}

void rt_abort()
{
    call_exit_hook();
    rt_raise(RT_SIGABRT);
    rt_end_process(1);
}
