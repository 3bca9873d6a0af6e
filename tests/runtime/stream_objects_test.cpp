// The standard stream objects: their binding and ties, program order with
// the file-stream functions, input a character at a time, end of input and
// the wide objects.
#include "tests/runtime/test_support.h"

#include <iomanip>

namespace {

class stream_objects : public ::testing::Test {
protected:
    void SetUp() override { rt_startup(); }
    fake_console console;
};

TEST_F(stream_objects, ties_and_unitbuf)
{
    EXPECT_EQ(rt::cin.tie(), &rt::cout);
    EXPECT_EQ(rt::cerr.tie(), &rt::cout);
    EXPECT_EQ(rt::clog.tie(), &rt::cout);
    EXPECT_EQ(rt::cout.tie(), nullptr);
    EXPECT_TRUE(rt::cerr.flags() & std::ios_base::unitbuf);
    EXPECT_FALSE(rt::clog.flags() & std::ios_base::unitbuf);
    EXPECT_FALSE(rt::cout.flags() & std::ios_base::unitbuf);
    EXPECT_EQ(rt::wcin.tie(), &rt::wcout);
    EXPECT_EQ(rt::wcerr.tie(), &rt::wcout);
    EXPECT_EQ(rt::wclog.tie(), &rt::wcout);
    EXPECT_TRUE(rt::wcerr.flags() & std::ios_base::unitbuf);
}

TEST_F(stream_objects, printf_and_cout_appear_in_program_order)
{
    attached_console attach(console);
    rt_printf("1");
    rt::cout << 2 << "-";
    rt_printf("%d", 3);
    rt::cout << 'x';
    rt_fputs("y", rt_stdout);
    rt::cout << std::setw(4) << 5 << '\n';
    EXPECT_EQ(console.written(), "12-3xy   5\r\n");
}

TEST_F(stream_objects, a_prompt_appears_before_the_read_waits)
{
    console.script = {"1\r\n"};
    attached_console attach(console);
    rt::cout << "abc";
    char c = 0;
    rt::cin >> c;
    EXPECT_EQ(c, '1');
    ASSERT_EQ(console.writes_before_read.size(), 1u);
    EXPECT_EQ(console.writes_before_read[0], 1u);
    EXPECT_EQ(console.writes[0], "abc");
}

TEST_F(stream_objects, typed_characters_beyond_the_read_satisfy_the_next_reads)
{
    console.script = {"19\r\n", "7\r\n"};
    attached_console attach(console);
    char c = 0;
    rt::cin >> c;
    EXPECT_EQ(c, '1');
    rt::cin >> c;
    EXPECT_EQ(c, '9');
    EXPECT_EQ(console.capacities.size(), 1u);   // no second wait
    rt::cin >> c;                               // the line end is skipped as white space
    EXPECT_EQ(c, '7');
    EXPECT_EQ(console.capacities.size(), 2u);
    // A character taken can be given back, once.
    EXPECT_TRUE(rt::cin.unget());
    EXPECT_EQ(rt::cin.get(), '7');
    // What the object examined is still in the file stream.
    EXPECT_EQ(rt::cin.peek(), '\n');
    EXPECT_EQ(rt_fgetc(rt_stdin), '\n');
}

TEST_F(stream_objects, a_long_typed_line_arrives_whole)
{
    std::string typed(300, 'q');
    console.script = {typed + "\r\n"};
    attached_console attach(console);
    std::string word;
    rt::cin >> word;
    EXPECT_EQ(word, typed);
    EXPECT_EQ(console.capacities.size(), 2u);
}

TEST_F(stream_objects, after_end_of_input_every_read_fails_at_once)
{
    attached_console attach(console);
    int number = 0;
    rt::cin >> number;
    EXPECT_TRUE(rt::cin.eof());
    EXPECT_TRUE(rt::cin.fail());
    size_t waits = console.capacities.size();
    rt::cin.clear();
    char c;
    rt::cin >> c;
    EXPECT_TRUE(rt::cin.fail());
    EXPECT_EQ(console.capacities.size(), waits);
}

TEST_F(stream_objects, cerr_sends_character_by_character_after_cout)
{
    attached_console attach(console);
    rt::cout << "out";
    rt::cerr << "ab" << 1;
    EXPECT_EQ(console.writes, (std::vector<std::string>{"out", "a", "b", "1"}));
    rt::clog << "l\n";
    EXPECT_EQ(console.writes.back(), "\r\n");
}

TEST_F(stream_objects, cout_runs_cross_the_buffer_boundary_intact)
{
    attached_console attach(console);
    std::string text(1000, 'z');
    rt::cout << text << '\n' << std::flush;
    ASSERT_EQ(console.writes.size(), 4u);
    EXPECT_EQ(console.writes[0], std::string(256, 'z'));
    EXPECT_EQ(console.writes[3], std::string(1000 - 768, 'z') + "\r\n");
}

TEST_F(stream_objects, the_wide_objects_carry_utf8)
{
    console.script = {"\xc3\xa9x\r\n"};
    attached_console attach(console);
    rt::wcout << L"\u00e9\u20ac" << 7 << L'\n';
    EXPECT_EQ(console.written(), "\xc3\xa9\xe2\x82\xac" "7\r\n");
    wchar_t first = 0, second = 0;
    rt::wcin >> first >> second;
    EXPECT_EQ(first, L'\u00e9');
    EXPECT_EQ(second, L'x');
}

}  // namespace
