// exit, atexit and abort, each run in a child process.
#include "tests/runtime/test_support.h"

namespace {

void say(const char* text)
{
    (void)!write(2, text, strlen(text));
}

struct resumed {};   // stands in for the console's return point

TEST(process, exit_runs_atexit_functions_newest_first_then_ends_with_the_status)
{
    std::string err;
    int status = run_in_child(
        [] {
            rt_startup();
            rt_atexit([] { say("A"); });
            rt_atexit([] { say("B"); });
            rt_atexit([] { say("C"); });
            rt_exit(7);
        },
        &err);
    EXPECT_EQ(status, 7);
    EXPECT_EQ(err, "CBA");
}

TEST(process, the_65th_registration_fails_and_the_64_all_run)
{
    static int ran = 0;
    static int free_entries = 0;
    std::string err;
    int status = run_in_child(
        [] {
            rt_startup();
            free_entries = RT_ATEXIT_MAX - rt_atexit_count();
            // Our first entry runs after all our others (the runtime's own,
            // registered at start-up, come after it) and reports the count.
            rt_atexit([] { _exit(ran + 1 == free_entries ? 40 : 41); });
            for (int i = 1; i < free_entries; ++i) {
                if (rt_atexit([] { ++ran; }) != 0) {
                    _exit(42);
                }
            }
            rt_set_last_error(0);
            if (rt_atexit([] { _exit(43); }) != -1 || rt_last_error() == 0) {
                _exit(44);
            }
            rt_exit(0);
        },
        &err);
    EXPECT_EQ(status, 40) << err;
}

TEST(process, the_exit_hook_runs_after_atexit_and_before_streams_close)
{
    std::string err;
    int status = run_in_child(
        [] {
            rt_startup();
            rt_attach_console([](const char* bytes, uint32_t count) { (void)!write(2, bytes, count); }, nullptr);
            rt_fputs("S", rt_stdout);
            rt_atexit([] { say("A"); });
            rt_set_exit_hook([] { say("H"); });
            rt_exit(0);
        },
        &err);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(err, "AHS");
}

TEST(process, an_exit_hook_that_resumes_elsewhere_leaves_atexit_done)
{
    std::string err;
    int status = run_in_child(
        [] {
            rt_startup();
            static bool resume = true;
            rt_atexit([] { say("A"); });
            rt_set_exit_hook([] {
                if (resume) {
                    resume = false;
                    throw resumed{};
                }
            });
            try {
                rt_exit(5);
            } catch (const resumed&) {
                say("|resumed|");
            }
            // Ending again later: the atexit functions do not run twice.
            rt_exit(6);
        },
        &err);
    EXPECT_EQ(status, 6);
    EXPECT_EQ(err, "A|resumed|");
}

TEST(process, abort_calls_the_hook_then_signal_1_and_ends_with_1)
{
    std::string err;
    int status = run_in_child(
        [] {
            rt_startup();
            rt_attach_console([](const char* bytes, uint32_t count) { (void)!write(2, bytes, count); }, nullptr);
            rt_fputs("buffered", rt_stdout);
            rt_atexit([] { say("atexit"); });
            rt_set_exit_hook([] { say("H"); });
            rt_signal(RT_SIGABRT, [](int signal) { say(signal == RT_SIGABRT ? "S1" : "S?"); });
            rt_abort();
        },
        &err);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "HS1");   // no atexit function, no stream flushed
}

TEST(process, abort_with_a_hook_that_resumes_goes_back)
{
    std::string err;
    int status = run_in_child(
        [] {
            rt_startup();
            rt_set_exit_hook([] { throw resumed{}; });
            try {
                rt_abort();
            } catch (const resumed&) {
                say("resumed");
            }
            _exit(9);
        },
        &err);
    EXPECT_EQ(status, 9);
    EXPECT_EQ(err, "resumed");
}

}  // namespace
