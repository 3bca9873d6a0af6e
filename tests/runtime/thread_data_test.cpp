// The per-thread record: one per thread, last error 0 when created, and the
// message box when a record cannot be made.
#include "tests/runtime/test_support.h"

#include <thread>

namespace {

TEST(thread_data, every_thread_has_its_own_record_starting_at_0)
{
    rt_startup();
    rt_set_last_error(RT_ERROR_ACCESS_DENIED);
    runtimeThreadData* main_record = getThreadData();
    runtimeThreadData* other_record = nullptr;
    uint32_t other_first = 99;
    std::thread other([&] {
        other_record = getThreadData();
        other_first = rt_last_error();
        rt_set_last_error(RT_ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(getThreadData(), other_record);
    });
    other.join();
    EXPECT_NE(other_record, main_record);
    EXPECT_EQ(other_first, 0u);
    EXPECT_EQ(rt_last_error(), RT_ERROR_ACCESS_DENIED);
    EXPECT_EQ(getThreadData(), main_record);
}

TEST(thread_data, a_record_that_cannot_be_made_shows_the_box_and_exits_with_0)
{
    std::string err;
    int status = run_in_child(
        [] {
            rt_startup();
            rt_atexit([] { (void)!write(2, "|atexit", 7); });
            rt_set_thread_data_allocator([](size_t) -> void* { return nullptr; });
            std::thread other([] {
                getThreadData();
                _exit(50);   // not reached
            });
            other.join();
            _exit(51);
        },
        &err);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(err, "ZR Win32 Runtime: Could not get thread local data\n|atexit");
}

TEST(thread_data, the_slot_is_freed_at_exit_and_made_again_when_needed)
{
    int status = run_in_child([] {
        rt_startup();
        rt_set_exit_hook([] { throw 1; });
        try {
            rt_exit(0);   // runs the release registered at start-up
        } catch (int) {
        }
        rt_set_exit_hook(nullptr);
        rt_set_last_error(RT_ERROR_WRITE_FAULT);
        _exit(rt_last_error() == RT_ERROR_WRITE_FAULT ? 0 : 1);
    });
    EXPECT_EQ(status, 0);
}

}  // namespace
