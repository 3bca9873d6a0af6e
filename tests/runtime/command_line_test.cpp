// Splitting a command line, and rebuilding one from arguments so that
// splitting gives them back.
#include "tests/runtime/test_support.h"

#include <random>

namespace {

std::vector<std::string> split(const std::string& line)
{
    int count = -1;
    char** vector = nullptr;
    rt_split_command_line(line.c_str(), &count, &vector);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.emplace_back(vector[i]);
    }
    EXPECT_EQ(vector[count], nullptr);
    return arguments;
}

std::string build(const std::vector<std::string>& arguments)
{
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    int count = static_cast<int>(arguments.size());
    size_t length = rt_build_command_line(count, pointers.data(), nullptr, 0);
    std::string line(length + 1, '\0');
    EXPECT_EQ(rt_build_command_line(count, pointers.data(), line.data(), line.size()), length);
    EXPECT_EQ(line[length], '\0');
    line.resize(length);
    return line;
}

using args = std::vector<std::string>;

TEST(splitting, separators_end_arguments_and_produce_no_empty_ones)
{
    EXPECT_EQ(split("prog a b"), (args{"prog", "a", "b"}));
    EXPECT_EQ(split(" \t\r\n\vprog \t\r\n\v a\t\tb \v"), (args{"prog", "a", "b"}));
    EXPECT_EQ(split(""), args{});
    EXPECT_EQ(split(" \t "), args{});
    EXPECT_EQ(split("a\fb"), args{"a\fb"});   // form feed is no separator
}

TEST(splitting, quotes_toggle_keep_separators_and_are_not_copied)
{
    EXPECT_EQ(split("prog \"two words\""), (args{"prog", "two words"}));
    EXPECT_EQ(split("a\"b c\"d e"), (args{"ab cd", "e"}));
    EXPECT_EQ(split("\"\t\r\n\v\""), args{"\t\r\n\v"});
    EXPECT_EQ(split("\"unterminated  quote"), args{"unterminated  quote"});
    EXPECT_EQ(split("a\"\"b"), args{"ab"});
}

TEST(splitting, a_pair_of_quotes_alone_is_an_empty_argument)
{
    EXPECT_EQ(split("prog \"\" x"), (args{"prog", "", "x"}));
    EXPECT_EQ(split("\"\""), args{""});
    EXPECT_EQ(split("x \"\""), (args{"x", ""}));
}

TEST(splitting, backslash_quote_gives_a_quote_other_backslashes_are_copied)
{
    EXPECT_EQ(split("a\\\"b"), args{"a\"b"});
    EXPECT_EQ(split("\"in \\\" quotes\""), args{"in \" quotes"});
    EXPECT_EQ(split("c:\\dir\\file x\\"), (args{"c:\\dir\\file", "x\\"}));
    // Two backslashes before a quote: the first is copied, the second makes the quote literal.
    EXPECT_EQ(split("a\\\\\"b c\""), (args{"a\\\"b", "c"}));
}

TEST(splitting, the_vector_grows_past_many_arguments)
{
    std::string line;
    args expected;
    for (int i = 0; i < 100; ++i) {
        line += std::to_string(i) + " ";
        expected.push_back(std::to_string(i));
    }
    EXPECT_EQ(split(line), expected);
}

TEST(building, awkward_arguments_split_back_exactly)
{
    std::vector<args> cases = {
        {},
        {"prog"},
        {""},
        {"prog", "", ""},
        {"two words", "tab\there", "line\nend", "v\vt", "cr\r"},
        {"ends in backslash\\", "\\", "\\\\", "a b\\", "a b\\\\"},
        {"\"", "\"\"", "a\"b c\"", "\\\"", "say \"hi\" \\"},
        {" ", "  lead", "trail  ", "\\ \\", "\" \""},
        {"\xff\x80 bytes\x01"},
    };
    for (const args& arguments : cases) {
        EXPECT_EQ(split(build(arguments)), arguments) << build(arguments);
    }
}

TEST(building, random_arguments_split_back_exactly)
{
    std::mt19937 random(12345);
    const char awkward[] = {' ', '\t', '\r', '\n', '\v', '"', '\\', 'a', 'b', '\xe9'};
    for (int round = 0; round < 3000; ++round) {
        args arguments(random() % 6);
        for (std::string& argument : arguments) {
            size_t length = random() % 9;
            for (size_t i = 0; i < length; ++i) {
                argument.push_back(random() % 4 == 0 ? static_cast<char>(1 + random() % 255) : awkward[random() % sizeof awkward]);
            }
        }
        ASSERT_EQ(split(build(arguments)), arguments) << build(arguments);
    }
}

TEST(building, a_short_output_is_cut_and_terminated)
{
    const char* arguments[] = {"prog", "two words"};
    char out[8];
    size_t length = rt_build_command_line(2, arguments, out, sizeof out);
    EXPECT_EQ(length, std::string("prog \"two \"words").size());
    EXPECT_STREQ(out, "prog \"t");
    EXPECT_EQ(rt_build_command_line(2, arguments, nullptr, 0), length);
}

}  // namespace
