// Buffered file streams: opening, reading and writing files, text mode, the
// list of open streams and bad input.
#include "tests/runtime/test_support.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace {

class streams : public ::testing::Test {
protected:
    void SetUp() override { rt_startup(); }
    scratch_folder folder;
};

TEST_F(streams, binary_round_trip_across_many_buffer_boundaries)
{
    std::string bytes;
    for (int i = 0; i < 100000; ++i) {
        bytes.push_back(static_cast<char>(i * 7 + (i >> 8)));
    }
    std::string path = folder.file("data.bin");
    rt_file* out = rt_fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    // Writes of every size from 1 up, so that requests end at every offset of the buffer.
    size_t done = 0;
    for (size_t size = 1; done < bytes.size(); ++size) {
        size_t take = std::min(size % 5000 + 1, bytes.size() - done);
        ASSERT_EQ(rt_fwrite(bytes.data() + done, 1, take, out), take);
        done += take;
    }
    ASSERT_EQ(rt_fclose(out), 0);
    EXPECT_EQ(read_whole_file(path), bytes);

    rt_file* in = rt_fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::string back;
    char chunk[6000];
    for (size_t size = 1;; ++size) {
        size_t got = rt_fread(chunk, 1, size % 6000 + 1, in);
        back.append(chunk, got);
        if (got == 0) {
            break;
        }
        int c = rt_fgetc(in);
        if (c == RT_EOF) {
            break;
        }
        back.push_back(static_cast<char>(c));
    }
    EXPECT_TRUE(rt_feof(in));
    EXPECT_FALSE(rt_ferror(in));
    EXPECT_EQ(rt_fclose(in), 0);
    EXPECT_EQ(back, bytes);
}

TEST_F(streams, items_count_whole_items_only)
{
    std::string path = folder.file("items.bin");
    write_whole_file(path, "abcdefghij");
    rt_file* in = rt_fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(rt_fread(buffer, 4, 3, in), 2u);
    EXPECT_TRUE(rt_feof(in));
    rt_fclose(in);
}

TEST_F(streams, text_mode_writes_cr_lf_and_reads_lf)
{
    std::string path = folder.file("text.txt");
    rt_file* out = rt_fopen(path.c_str(), "w");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(rt_fputs("one\ntwo\n\nthree", out), 0);
    rt_fclose(out);
    EXPECT_EQ(read_whole_file(path), "one\r\ntwo\r\n\r\nthree");

    rt_file* in = rt_fopen(path.c_str(), "r");
    ASSERT_NE(in, nullptr);
    char buffer[64] = {};
    EXPECT_EQ(rt_fread(buffer, 1, sizeof buffer, in), 14u);
    EXPECT_STREQ(buffer, "one\ntwo\n\nthree");
    rt_fclose(in);
}

TEST_F(streams, text_mode_keeps_a_lone_cr)
{
    std::string path = folder.file("cr.txt");
    write_whole_file(path, "a\rb\r\r\nc\r");
    rt_file* in = rt_fopen(path.c_str(), "rt");
    ASSERT_NE(in, nullptr);
    std::string back;
    for (int c = rt_fgetc(in); c != RT_EOF; c = rt_fgetc(in)) {
        back.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(back, "a\rb\r\nc\r");
    rt_fclose(in);
}

TEST_F(streams, append_mode_writes_at_the_end)
{
    std::string path = folder.file("log.bin");
    write_whole_file(path, "start");
    rt_file* out = rt_fopen(path.c_str(), "ab");
    ASSERT_NE(out, nullptr);
    rt_fputs("-more", out);
    rt_fclose(out);
    EXPECT_EQ(read_whole_file(path), "start-more");
}

TEST_F(streams, the_list_of_open_streams_counts_the_standard_three)
{
    int before = rt_open_stream_count();
    EXPECT_GE(before, 3);
    std::string path = folder.file("count.bin");
    rt_file* one = rt_fopen(path.c_str(), "wb");
    rt_file* two = rt_fopen(path.c_str(), "rb");
    ASSERT_NE(one, nullptr);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(rt_open_stream_count(), before + 2);
    rt_fclose(one);
    EXPECT_EQ(rt_open_stream_count(), before + 1);
    EXPECT_EQ(rt_closeall(), 1);
    EXPECT_EQ(rt_open_stream_count(), before);
}

TEST_F(streams, bad_input_gets_results_and_error_codes)
{
    rt_set_last_error(0);
    EXPECT_EQ(rt_fopen(folder.file("missing").c_str(), "rb"), nullptr);
    EXPECT_EQ(rt_last_error(), RT_ERROR_FILE_NOT_FOUND);

    for (const char* mode : {"", "x", "rw", "r++", "rbt", "wbb", "z+"}) {
        rt_set_last_error(0);
        EXPECT_EQ(rt_fopen(folder.file("any").c_str(), mode), nullptr) << mode;
        EXPECT_EQ(rt_last_error(), RT_ERROR_INVALID_PARAMETER) << mode;
    }
    EXPECT_EQ(rt_fopen(nullptr, "rb"), nullptr);
    EXPECT_EQ(rt_fopen("x", nullptr), nullptr);

    rt_set_last_error(0);
    EXPECT_EQ(rt_fopen("/tmp", "rb"), nullptr);   // a folder
    EXPECT_EQ(rt_last_error(), RT_ERROR_ACCESS_DENIED);

    // A closed stream.
    std::string path = folder.file("closed.bin");
    rt_file* stream = rt_fopen(path.c_str(), "w+b");
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(rt_fclose(stream), 0);
    char byte = 'x';
    rt_set_last_error(0);
    EXPECT_EQ(rt_fwrite(&byte, 1, 1, stream), 0u);
    EXPECT_EQ(rt_last_error(), RT_ERROR_INVALID_HANDLE);
    EXPECT_EQ(rt_fread(&byte, 1, 1, stream), 0u);
    EXPECT_EQ(rt_fgetc(stream), RT_EOF);
    EXPECT_EQ(rt_fputc('a', stream), RT_EOF);
    EXPECT_EQ(rt_fputs("a", stream), RT_EOF);
    EXPECT_EQ(rt_fflush(stream), RT_EOF);
    EXPECT_EQ(rt_fclose(stream), RT_EOF);
    EXPECT_EQ(rt_fprintf(stream, "%d", 1), -1);
    EXPECT_FALSE(rt_feof(stream));
    EXPECT_FALSE(rt_ferror(stream));

    // Pointers that are no stream at all.
    rt_set_last_error(0);
    EXPECT_EQ(rt_fputc('a', reinterpret_cast<rt_file*>(&byte)), RT_EOF);
    EXPECT_EQ(rt_last_error(), RT_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(rt_fclose(nullptr), RT_EOF);
    EXPECT_EQ(rt_fread(&byte, 1, 1, nullptr), 0u);
    EXPECT_EQ(rt_fwrite(&byte, SIZE_MAX, 2, rt_stdout), 0u);
}

TEST_F(streams, wrong_direction_sets_the_error_state)
{
    std::string path = folder.file("direction.bin");
    write_whole_file(path, "abc");
    rt_file* in = rt_fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    rt_set_last_error(0);
    EXPECT_EQ(rt_fputc('x', in), RT_EOF);
    EXPECT_TRUE(rt_ferror(in));
    EXPECT_EQ(rt_last_error(), RT_ERROR_ACCESS_DENIED);
    rt_clearerr(in);
    EXPECT_FALSE(rt_ferror(in));
    EXPECT_EQ(rt_fgetc(in), 'a');
    rt_fclose(in);

    rt_file* out = rt_fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(rt_fgetc(out), RT_EOF);
    EXPECT_TRUE(rt_ferror(out));
    rt_fclose(out);
}

TEST_F(streams, update_mode_switches_between_reading_and_writing)
{
    std::string path = folder.file("update.bin");
    write_whole_file(path, "0123456789");
    rt_file* stream = rt_fopen(path.c_str(), "r+b");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(rt_fgetc(stream), '0');
    EXPECT_EQ(rt_fgetc(stream), '1');
    EXPECT_EQ(rt_fputs("ab", stream), 0);   // overwrites 2 and 3
    EXPECT_EQ(rt_fgetc(stream), '4');
    rt_fclose(stream);
    EXPECT_EQ(read_whole_file(path), "01ab456789");
}

TEST_F(streams, text_update_mode_writes_where_reading_stopped)
{
    std::string path = folder.file("update.txt");
    write_whole_file(path, "ab\r\ncd\r\nef");
    rt_file* stream = rt_fopen(path.c_str(), "r+");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(rt_fgetc(stream), 'a');
    EXPECT_EQ(rt_fgetc(stream), 'b');
    EXPECT_EQ(rt_fgetc(stream), '\n');
    EXPECT_EQ(rt_fputs("X\n", stream), 0);   // X CR LF over "cd\r"
    rt_fclose(stream);
    EXPECT_EQ(read_whole_file(path), "ab\r\nX\r\n\nef");
}

TEST_F(streams, a_write_failing_halfway_counts_only_what_was_written)
{
    // /dev/full takes nothing: every device write fails with a full disk.
    rt_file* full = rt_fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    std::string big(2 * rt_stream_buffer_size(full) + 1000, 'x');
    rt_set_last_error(0);
    EXPECT_EQ(rt_fwrite(big.data(), 1, 100, full), 100u);   // buffered, not yet sent
    EXPECT_EQ(rt_fwrite(big.data(), 1, big.size(), full), 0u);
    EXPECT_TRUE(rt_ferror(full));
    EXPECT_EQ(rt_last_error(), RT_ERROR_HANDLE_DISK_FULL);
    EXPECT_EQ(rt_fclose(full), RT_EOF);
}

TEST_F(streams, printf_formats_into_the_stream)
{
    std::string path = folder.file("printf.bin");
    rt_file* out = rt_fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::string long_text(5000, 'y');
    EXPECT_EQ(rt_fprintf(out, "%d-%s|", 42, "x"), 5);
    EXPECT_EQ(rt_fprintf(out, "%s", long_text.c_str()), 5000);
    rt_fclose(out);
    EXPECT_EQ(read_whole_file(path), "42-x|" + long_text);
}

TEST_F(streams, flushing_stdin_on_the_plain_binding_gives_back_what_was_not_read)
{
    std::string path = folder.file("stdin.txt");
    write_whole_file(path, "ab\r\ncd");
    int status = run_in_child([&] {
        dup2(open(path.c_str(), O_RDONLY), 0);
        rt_slots_startup();
        rt_clearerr(rt_stdin);
        for (int i = 0; i < 4; ++i) {
            rt_fgetc(rt_stdin);   // "ab\r\n", untranslated
        }
        rt_fflush(rt_stdin);
        _exit(static_cast<int>(lseek(0, 0, SEEK_CUR)));
    });
    EXPECT_EQ(status, 4);
}

}  // namespace

// When buffered output reaches the device: each flush point observed as the
// calls a fake console receives.
namespace {

class flush_points : public ::testing::Test {
protected:
    void SetUp() override { rt_startup(); }
    fake_console console;
    scratch_folder folder;
};

TEST_F(flush_points, a_line_end_sends_the_buffer_up_to_and_including_it)
{
    attached_console attach(console);
    rt_fputs("a\nb", rt_stdout);
    EXPECT_EQ(console.writes, (std::vector<std::string>{"a\r\n"}));
    rt_fputc('c', rt_stdout);
    EXPECT_EQ(console.writes.size(), 1u);
    rt_fputs("d\ne\nf", rt_stdout);   // two line ends in one request
    EXPECT_EQ(console.writes, (std::vector<std::string>{"a\r\n", "bcd\r\n", "e\r\n"}));
    EXPECT_EQ(rt_fflush(rt_stdout), 0);   // the flush point of fflush
    EXPECT_EQ(console.writes.back(), "f");
}

TEST_F(flush_points, a_full_buffer_goes_out_when_the_257th_character_comes)
{
    attached_console attach(console);
    for (int i = 0; i < 256; ++i) {
        rt_fputc('a' + i % 26, rt_stdout);
    }
    EXPECT_TRUE(console.writes.empty());
    rt_fputc('!', rt_stdout);
    ASSERT_EQ(console.writes.size(), 1u);
    EXPECT_EQ(console.writes[0].size(), 256u);
    for (int i = 0; i < 42; ++i) {
        rt_fputc('z', rt_stdout);
    }
    EXPECT_EQ(console.writes.size(), 1u);
    rt_fputc('\n', rt_stdout);
    ASSERT_EQ(console.writes.size(), 2u);
    EXPECT_EQ(console.writes[1], "!" + std::string(42, 'z') + "\r\n");
}

TEST_F(flush_points, long_requests_arrive_in_256_byte_runs_with_nothing_lost)
{
    attached_console attach(console);
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text.push_back(static_cast<char>('0' + i % 10));
        if (i % 97 == 96) {
            text.push_back('\n');
        }
    }
    ASSERT_EQ(rt_fwrite(text.data(), 1, text.size(), rt_stdout), text.size());
    rt_fflush(rt_stdout);
    std::string expected;
    for (char c : text) {
        if (c == '\n') {
            expected.push_back('\r');
        }
        expected.push_back(c);
    }
    EXPECT_EQ(console.written(), expected);
    for (const std::string& piece : console.writes) {
        EXPECT_LE(piece.size(), 512u);
    }
}

TEST_F(flush_points, a_disk_file_refill_first_sends_stdout)
{
    std::string path = folder.file("scan.bin");
    write_whole_file(path, "data");
    rt_file* in = rt_fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    attached_console attach(console);
    rt_fputs("Writing file 3", rt_stdout);
    EXPECT_TRUE(console.writes.empty());
    EXPECT_EQ(rt_fgetc(in), 'd');
    EXPECT_EQ(console.writes, (std::vector<std::string>{"Writing file 3"}));
    // Reading from the buffer needs no refill, and sends nothing.
    rt_fputs("more", rt_stdout);
    EXPECT_EQ(rt_fgetc(in), 'a');
    EXPECT_EQ(console.writes.size(), 1u);
    rt_fclose(in);
    rt_fflush(rt_stdout);
}

TEST_F(flush_points, reading_stdin_sends_stdout_before_the_read_hook)
{
    console.script = {"xy\r\n"};
    attached_console attach(console);
    rt_fputs("prompt: ", rt_stdout);
    char line[4];
    EXPECT_EQ(rt_fread(line, 1, 3, rt_stdin), 3u);
    EXPECT_EQ(std::string(line, 3), "xy\n");
    ASSERT_EQ(console.writes_before_read.size(), 1u);
    EXPECT_EQ(console.writes_before_read[0], 1u);
    EXPECT_EQ(console.writes[0], "prompt: ");
}

TEST_F(flush_points, stderr_sends_every_request_at_once)
{
    attached_console attach(console);
    rt_fputs("held", rt_stdout);
    rt_fputs("err\n", rt_stderr);
    rt_fputc('c', rt_stderr);
    rt_fprintf(rt_stderr, "%d%s", 12, "ab");
    EXPECT_EQ(console.writes, (std::vector<std::string>{"err\r\n", "c", "12ab"}));
    rt_fflush(rt_stdout);
}

TEST_F(flush_points, redirected_stdout_on_the_plain_binding_is_fully_buffered)
{
    std::string path = folder.file("redirected.txt");
    int status = run_in_child([&] {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        rt_slots_startup();
        rt_streams_binding_changed();
        rt_fputs("line one\n", rt_stdout);
        struct stat info;
        fstat(1, &info);
        if (info.st_size != 0 || rt_stream_is_line_buffered(rt_stdout) || rt_stream_buffer_size(rt_stdout) != 4096) {
            _exit(10);
        }
        rt_fputs("line two\n", rt_stdout);
        // Text the C library still holds for the same handle is not lost at exit.
        std::fputs("[c library]", stdout);
        rt_exit(0);
    });
    EXPECT_EQ(status, 0);
    std::string written = read_whole_file(path);
    EXPECT_NE(written.find("line one\nline two\n"), std::string::npos) << written;
    EXPECT_NE(written.find("[c library]"), std::string::npos) << written;
    EXPECT_EQ(written.size(), 18u + 11u) << written;
}

TEST_F(flush_points, stdout_on_a_terminal_is_line_buffered_in_256_bytes)
{
    int status = run_in_child([] {
        int master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            _exit(0);   // no terminals here: nothing to check
        }
        int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
        dup2(terminal, 1);
        rt_slots_startup();
        rt_streams_binding_changed();
        _exit(rt_stream_is_line_buffered(rt_stdout) && rt_stream_buffer_size(rt_stdout) == 256 ? 0 : 1);
    });
    EXPECT_EQ(status, 0);
}

TEST_F(flush_points, exit_closes_every_stream_and_so_flushes_it)
{
    std::string path = folder.file("unclosed.bin");
    std::string child_stderr;
    int status = run_in_child(
        [&] {
            rt_file* out = rt_fopen(path.c_str(), "wb");
            rt_fputs("file text", out);
            rt_attach_console([](const char* bytes, uint32_t count) { (void)!write(2, bytes, count); }, nullptr);
            rt_fputs("tail without a line end", rt_stdout);
            rt_exit(3);
        },
        &child_stderr);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(child_stderr, "tail without a line end");
    EXPECT_EQ(read_whole_file(path), "file text");
}

}  // namespace
