// Coverage-guided fuzzing of the command-line splitter and its round trip.
//
// Every input is used twice:
// - as a command line (up to its first NUL): splitting it gives a count and
//   a vector ending in a null pointer, and the command line built from those
//   arguments splits back into the same arguments;
// - as a list of arguments separated by NUL bytes (none when the input is
//   empty): the command line built from them splits back into exactly them,
//   and building into any shorter buffer gives the start of that command
//   line, cut and terminated.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/internal.h"

namespace {

using arguments = std::vector<std::string>;

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "command line fuzz: %s\n", what);
        std::fflush(stderr);
        std::abort();
    }
}

arguments split(const std::string& line)
{
    int count = -1;
    char** vector = nullptr;
    rt_split_command_line(line.c_str(), &count, &vector);
    check(count >= 0 && vector != nullptr, "no count or no vector");
    check(vector[count] == nullptr, "the vector does not end in a null pointer");
    arguments out;
    size_t total = 0;
    for (int i = 0; i < count; ++i) {
        check(vector[i] != nullptr, "a null argument");
        out.emplace_back(vector[i]);
        total += out.back().size();
    }
    check(total <= line.size(), "the arguments hold more than the line");
    return out;
}

std::string build(const arguments& list, size_t* cut_size)
{
    std::vector<const char*> pointers;
    for (const std::string& argument : list) {
        pointers.push_back(argument.c_str());
    }
    const int count = static_cast<int>(list.size());
    const size_t length = rt_build_command_line(count, pointers.data(), nullptr, 0);
    std::string line(length + 1, '\x7f');
    check(rt_build_command_line(count, pointers.data(), line.data(), line.size()) == length, "two lengths");
    check(line[length] == '\0' && std::strlen(line.c_str()) == length, "the line is not terminated at its length");
    line.resize(length);

    // A shorter buffer: the line's start, terminated.
    const size_t size = *cut_size % (length + 1);
    std::string cut(size + 1, '\x7f');
    check(rt_build_command_line(count, pointers.data(), cut.data(), size) == length, "the length needed");
    if (size > 0) {
        check(cut.compare(0, size - 1, line, 0, size - 1) == 0 && cut[size - 1] == '\0', "a cut line");
    }
    check(cut[size] == '\x7f', "written past the buffer");
    *cut_size = size;
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t cut_size = size > 0 ? data[0] : 0;

    // As a command line.
    const std::string line = input.substr(0, input.find('\0'));
    const arguments once = split(line);
    check(split(build(once, &cut_size)) == once, "a split command line does not rebuild");

    // As arguments.
    arguments list;
    if (!input.empty()) {
        size_t start = 0;
        for (size_t at = input.find('\0'); ; at = input.find('\0', start)) {
            list.push_back(input.substr(start, at == std::string::npos ? std::string::npos : at - start));
            if (at == std::string::npos) {
                break;
            }
            start = at + 1;
        }
    }
    check(split(build(list, &cut_size)) == list, "arguments do not split back from their command line");

    rt_release_command_lines();
    return 0;
}
