// Handle slots: the moving search and its wrap, bad slot numbers, the text
// flag's translation across the 256-byte boundary, and the plain binding.
#include "tests/runtime/test_support.h"

#include <fcntl.h>
#include <set>

namespace {

class slots : public ::testing::Test {
protected:
    void SetUp() override { rt_startup(); }
    scratch_folder folder;
};

TEST_F(slots, the_search_moves_past_every_slot_handed_out)
{
    int first = rt_slot_open("/dev/null", RT_OPEN_READ);
    ASSERT_GE(first, 3);
    ASSERT_EQ(rt_slot_close(first), 0);
    // The freed slot is not taken again at once: the search goes on after it.
    int second = rt_slot_open("/dev/null", RT_OPEN_READ);
    ASSERT_GE(second, 3);
    EXPECT_EQ(second, first == RT_SLOT_COUNT - 1 ? 3 : first + 1);
    rt_slot_close(second);
}

TEST_F(slots, a_full_table_fails_and_the_search_wraps_to_3)
{
    std::vector<int> opened;
    for (;;) {
        int slot = rt_slot_open("/dev/null", RT_OPEN_READ);
        if (slot < 0) {
            break;
        }
        opened.push_back(slot);
        ASSERT_LE(opened.size(), 253u);
    }
    EXPECT_EQ(rt_last_error(), RT_ERROR_TOO_MANY_OPEN_FILES);
    // Every slot from 3 to 255 is now in use, none of 0 to 2 was handed out.
    std::set<int> distinct(opened.begin(), opened.end());
    EXPECT_EQ(distinct.size(), opened.size());
    for (int slot : opened) {
        EXPECT_GE(slot, 3);
        EXPECT_LT(slot, RT_SLOT_COUNT);
    }
    EXPECT_EQ(rt_fopen("/dev/null", "rb"), nullptr);
    EXPECT_EQ(rt_last_error(), RT_ERROR_TOO_MANY_OPEN_FILES);

    // Free two slots well apart; the search runs on from the last slot handed
    // out, wrapping from 255 back to 3, and finds them in that order.
    int last = opened.back();
    int low = 3 + (last - 3 + 10) % 253;
    int high = 3 + (last - 3 + 200) % 253;
    ASSERT_EQ(rt_slot_close(high), 0);
    ASSERT_EQ(rt_slot_close(low), 0);
    EXPECT_EQ(rt_slot_open("/dev/null", RT_OPEN_READ), low);
    EXPECT_EQ(rt_slot_open("/dev/null", RT_OPEN_READ), high);
    for (int slot : opened) {
        EXPECT_EQ(rt_slot_close(slot), 0);
    }
}

TEST_F(slots, bad_slot_numbers_and_empty_slots_fail)
{
    char byte = 0;
    for (int slot : {-1, int{RT_SLOT_COUNT}, RT_SLOT_COUNT + 1, 100000}) {
        rt_set_last_error(0);
        EXPECT_EQ(rt_slot_read(slot, &byte, 1), -1);
        EXPECT_EQ(rt_last_error(), RT_ERROR_INVALID_HANDLE);
        EXPECT_EQ(rt_slot_write(slot, &byte, 1), -1);
        EXPECT_EQ(rt_slot_close(slot), -1);
    }
    int slot = rt_slot_open("/dev/null", RT_OPEN_WRITE);
    ASSERT_GE(slot, 3);
    ASSERT_EQ(rt_slot_close(slot), 0);
    EXPECT_EQ(rt_slot_write(slot, &byte, 1), -1);
    EXPECT_EQ(rt_slot_read(slot, &byte, 1), -1);
    EXPECT_EQ(rt_slot_close(slot), -1);
    EXPECT_EQ(rt_slot_open(nullptr, RT_OPEN_READ), -1);
    EXPECT_EQ(rt_slot_open("/dev/null", 0), -1);
}

TEST_F(slots, text_write_puts_cr_before_every_lf_and_append_goes_to_the_end)
{
    std::string path = folder.file("t.txt");
    write_whole_file(path, "head|");
    int slot = rt_slot_open(path.c_str(), RT_OPEN_WRITE | RT_OPEN_APPEND | RT_OPEN_TEXT);
    ASSERT_GE(slot, 3);
    // Long enough to pass through the translation in several pieces.
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        text += "x\n";
    }
    EXPECT_EQ(rt_slot_write(slot, text.data(), static_cast<uint32_t>(text.size())), static_cast<int>(text.size()));
    rt_slot_close(slot);
    std::string expected = "head|";
    for (int i = 0; i < 3000; ++i) {
        expected += "x\r\n";
    }
    EXPECT_EQ(read_whole_file(path), expected);
}

// A file whose CR LF pairs fall at every position around the 256-byte boundary.
TEST_F(slots, a_cr_lf_split_across_two_reads_yields_one_lf)
{
    for (int before = 250; before <= 258; ++before) {
        std::string path = folder.file("split.txt");
        std::string raw(static_cast<size_t>(before), 'a');
        raw += "\r\nb\r\n";
        write_whole_file(path, raw);
        int slot = rt_slot_open(path.c_str(), RT_OPEN_READ | RT_OPEN_TEXT);
        ASSERT_GE(slot, 3);
        std::string back;
        char buffer[256];
        for (int got; (got = rt_slot_read(slot, buffer, sizeof buffer)) > 0;) {
            back.append(buffer, static_cast<size_t>(got));
        }
        rt_slot_close(slot);
        EXPECT_EQ(back, std::string(static_cast<size_t>(before), 'a') + "\nb\n") << before;
    }
}

TEST_F(slots, one_byte_text_reads_join_cr_lf)
{
    std::string path = folder.file("bytes.txt");
    write_whole_file(path, "a\r\nb\rc\r");
    int slot = rt_slot_open(path.c_str(), RT_OPEN_READ | RT_OPEN_TEXT);
    ASSERT_GE(slot, 3);
    std::string back;
    char byte;
    while (rt_slot_read(slot, &byte, 1) == 1) {
        back.push_back(byte);
    }
    rt_slot_close(slot);
    EXPECT_EQ(back, "a\nb\rc\r");
}

TEST_F(slots, a_device_that_cannot_step_back_keeps_the_cr_for_the_next_read)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::string raw = std::string(255, 'p') + "\r\nq\rr";
    ASSERT_EQ(write(ends[1], raw.data(), raw.size()), static_cast<ssize_t>(raw.size()));
    close(ends[1]);
    std::string path = "/proc/self/fd/" + std::to_string(ends[0]);
    int slot = rt_slot_open(path.c_str(), RT_OPEN_READ | RT_OPEN_TEXT);
    close(ends[0]);
    ASSERT_GE(slot, 3);
    std::string back;
    char buffer[256];
    for (int got; (got = rt_slot_read(slot, buffer, sizeof buffer)) > 0;) {
        back.append(buffer, static_cast<size_t>(got));
    }
    rt_slot_close(slot);
    EXPECT_EQ(back, std::string(255, 'p') + "\nq\rr");
}

TEST_F(slots, the_read_hook_gets_256_and_a_split_cr_lf_gives_one_lf)
{
    fake_console console;
    console.script = {std::string(255, 'k') + "\r\n", std::string(300, 'm') + "\r\n"};
    attached_console attach(console);
    char buffer[512];
    EXPECT_EQ(rt_slot_read(0, buffer, 256), 255);   // the CR at the end of a full read is dropped
    EXPECT_EQ(rt_slot_read(0, buffer, 256), 1);     // its LF arrives next
    EXPECT_EQ(buffer[0], '\n');
    // A 300-character line: 256 bytes, then 44 and the LF.
    EXPECT_EQ(rt_slot_read(0, buffer, 512), 256);
    EXPECT_EQ(rt_slot_read(0, buffer, 512), 45);
    EXPECT_EQ(std::string(buffer, 45), std::string(44, 'm') + "\n");
    EXPECT_EQ(rt_slot_read(0, buffer, 256), 0);     // end of input
    EXPECT_EQ(console.capacities, (std::vector<uint32_t>{256, 256, 256, 256, 256}));
}

TEST_F(slots, a_failing_read_hook_reports_no_bytes_and_an_error_code)
{
    fake_console console;
    console.fail_reads = true;
    attached_console attach(console);
    char buffer[256];
    rt_set_last_error(0);
    EXPECT_EQ(rt_slot_read(0, buffer, sizeof buffer), 0);
    EXPECT_EQ(rt_last_error(), RT_ERROR_READ_FAULT);
}

TEST_F(slots, console_writes_are_translated_and_reported_whole)
{
    fake_console console;
    attached_console attach(console);
    EXPECT_EQ(rt_slot_write(1, "a\nb\n", 4), 6);
    EXPECT_EQ(rt_slot_write(2, "\n", 1), 2);
    EXPECT_EQ(console.writes, (std::vector<std::string>{"a\r\nb\r\n", "\r\n"}));
}

TEST_F(slots, the_plain_binding_has_no_line_end_translation)
{
    std::string out_path = folder.file("out.txt");
    std::string in_path = folder.file("in.txt");
    write_whole_file(in_path, "x\r\ny\n");
    int status = run_in_child([&] {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open(in_path.c_str(), O_RDONLY);
        dup2(out, 1);
        dup2(in, 0);
        char buffer[16];
        int got = rt_slot_read(0, buffer, sizeof buffer);
        rt_slot_write(1, buffer, static_cast<uint32_t>(got));
        rt_slot_write(1, "z\n", 2);
        _exit(0);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read_whole_file(out_path), "x\r\ny\nz\n");
}

}  // namespace
