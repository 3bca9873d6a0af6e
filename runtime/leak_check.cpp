// The leak check of sanitizer builds.  The process ends through _exit, after
// its standard handles are closed, so the checker's own check at exit never
// runs; exit asks for it here instead, while standard error is still open.
// In every other build this does nothing.
#include "runtime/internal.h"

#if defined(__SANITIZE_ADDRESS__)
#define RT_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define RT_LEAK_CHECKER 1
#endif
#endif

#if defined(RT_LEAK_CHECKER) && defined(__has_include)
#if __has_include(<sanitizer/lsan_interface.h>)
#include <sanitizer/lsan_interface.h>
#define RT_LEAK_CHECK_AVAILABLE 1
#endif
#endif

void rt_check_leaks()
{
#if defined(RT_LEAK_CHECK_AVAILABLE)
    // What the program wrote goes out first: the report follows it, and a
    // leak found ends the process without losing any of it.
    rt_flushall();
    // Reports on standard error and ends the process with the checker's
    // failure status when it finds a leak; does nothing when leak detection
    // is turned off.
    __lsan_do_leak_check();
#endif
}
