// The signal table: the reset-to-default rule, the default actions, ignore,
// and bad signal numbers.
#include "tests/runtime/test_support.h"

namespace {

int calls = 0;
int last_signal = 0;

void count_call(int signal)
{
    ++calls;
    last_signal = signal;
}

class signals : public ::testing::Test {
protected:
    void SetUp() override
    {
        rt_startup();
        calls = 0;
        last_signal = 0;
    }
    void TearDown() override
    {
        for (int signal = 1; signal <= RT_NSIG; ++signal) {
            rt_signal(signal, RT_SIG_DFL);
        }
    }
};

TEST_F(signals, a_handler_fires_once_per_registration)
{
    EXPECT_EQ(rt_signal(RT_SIGINT, count_call), RT_SIG_DFL);
    EXPECT_EQ(rt_raise(RT_SIGINT), 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(last_signal, RT_SIGINT);
    // The handler was reset to the default before it was called.
    EXPECT_EQ(rt_signal(RT_SIGINT, count_call), RT_SIG_DFL);
    EXPECT_EQ(rt_signal(RT_SIGINT, count_call), count_call);
}

TEST_F(signals, a_handler_that_registers_itself_again_keeps_firing)
{
    rt_signal(3, [](int signal) {
        ++calls;
        rt_signal(signal, count_call);
    });
    rt_raise(3);
    rt_raise(3);
    EXPECT_EQ(calls, 2);
}

TEST_F(signals, ignore_does_nothing_and_stays)
{
    rt_signal(RT_SIGINT, RT_SIG_IGN);
    EXPECT_EQ(rt_raise(RT_SIGINT), 0);
    EXPECT_EQ(rt_raise(RT_SIGINT), 0);
    EXPECT_EQ(rt_signal(RT_SIGINT, RT_SIG_DFL), RT_SIG_IGN);
}

TEST_F(signals, the_default_for_signal_1_returns)
{
    EXPECT_EQ(rt_raise(RT_SIGABRT), 0);
}

TEST_F(signals, the_default_for_any_other_signal_ends_the_process_through_exit)
{
    for (int signal = 2; signal <= RT_NSIG; ++signal) {
        std::string err;
        int status = run_in_child(
            [signal] {
                rt_atexit([] { (void)!write(2, "atexit", 6); });
                rt_raise(signal);
                _exit(99);
            },
            &err);
        EXPECT_EQ(status, 0) << signal;
        EXPECT_EQ(err, "atexit") << signal;
    }
}

TEST_F(signals, bad_signal_numbers_are_refused_with_an_error_code)
{
    for (int signal : {0, -1, 7, 100}) {
        rt_set_last_error(0);
        EXPECT_EQ(rt_signal(signal, count_call), RT_SIG_ERR) << signal;
        EXPECT_EQ(rt_last_error(), RT_ERROR_INVALID_PARAMETER);
        rt_set_last_error(0);
        EXPECT_EQ(rt_raise(signal), -1) << signal;
        EXPECT_EQ(rt_last_error(), RT_ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(rt_signal(RT_SIGINT, RT_SIG_ERR), RT_SIG_ERR);
    EXPECT_EQ(calls, 0);
}

}  // namespace
