// Splitting a command line into the argument count and vector, and building
// a command line from a process's arguments that splits back into them.
#include <cstdlib>
#include <cstring>

#include "runtime/internal.h"

namespace {

char* empty_vector[1] = {nullptr};

// What one split allocated, for the release registered with atexit: the
// argument strings follow this record in one block, and the blocks of every
// split so far are chained, newest first, however many splits there were.
struct split_block {
    split_block* previous;
    char** vector;
};
split_block* newest_split = nullptr;
bool release_registered = false;

void release_at_exit()
{
    {
        std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_EXIT));
        release_registered = false;
    }
    rt_release_command_lines();
}

bool is_separator(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v';
}

bool contains_separator(const char* text, size_t* last)
{
    bool found = false;
    for (size_t i = 0; text[i] != '\0'; ++i) {
        if (is_separator(text[i])) {
            *last = i;
            found = true;
        }
    }
    return found;
}

// Appends one byte, counting every byte whether or not it fits.
void put(char* out, size_t size, size_t* length, char c)
{
    if (*length + 1 < size) {
        out[*length] = c;
    }
    ++*length;
}

// Copies argument bytes [from, to) with every double quote given a backslash.
void put_escaped(char* out, size_t size, size_t* length, const char* text, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i) {
        if (text[i] == '"') {
            put(out, size, length, '\\');
        }
        put(out, size, length, text[i]);
    }
}

}  // namespace

void rt_split_command_line(const char* line, int* argc, char*** argv)
{
    if (line == nullptr) {
        line = "";
    }
    size_t line_length = std::strlen(line);
    size_t capacity = 1;
    char** vector = static_cast<char**>(std::malloc(capacity * sizeof(char*)));
    split_block* block = static_cast<split_block*>(std::malloc(sizeof(split_block) + line_length + 1));
    if (vector == nullptr || block == nullptr) {
        std::free(vector);
        std::free(block);
        *argc = 0;
        *argv = empty_vector;
        return;
    }

    char* strings = reinterpret_cast<char*>(block + 1);
    int count = 0;
    const char* in = line;
    char* out = strings;
    while (is_separator(*in)) {
        ++in;
    }
    while (*in != '\0') {
        if (static_cast<size_t>(count) + 1 >= capacity) {
            char** grown = static_cast<char**>(std::realloc(vector, (capacity + 16) * sizeof(char*)));
            if (grown == nullptr) {
                break;   // keep what was built
            }
            vector = grown;
            capacity += 16;
        }
        vector[count++] = out;
        bool quoted = false;
        while (*in != '\0') {
            if (!quoted && is_separator(*in)) {
                while (is_separator(*in)) {
                    ++in;
                }
                break;
            }
            if (*in == '"') {
                quoted = !quoted;
                ++in;
            } else if (*in == '\\' && in[1] == '"') {
                *out++ = '"';
                in += 2;
            } else {
                *out++ = *in++;
            }
        }
        *out++ = '\0';
    }
    if (count == 0) {
        *out = '\0';
    }
    vector[count] = nullptr;

    {
        std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_EXIT));
        *block = split_block{newest_split, vector};
        newest_split = block;
        if (!release_registered && rt_atexit(release_at_exit) == 0) {
            release_registered = true;
        }
    }
    *argc = count;
    *argv = vector;
}

void rt_release_command_lines()
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_EXIT));
    while (newest_split != nullptr) {
        split_block* block = newest_split;
        newest_split = block->previous;
        std::free(block->vector);
        std::free(block);
    }
}

size_t rt_build_command_line(int argc, const char* const* argv, char* out, size_t size)
{
    size_t length = 0;
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv != nullptr && argv[i] != nullptr ? argv[i] : "";
        if (i > 0) {
            put(out, size, &length, ' ');
        }
        size_t argument_length = std::strlen(argument);
        size_t last = 0;
        if (argument_length == 0) {
            put(out, size, &length, '"');
            put(out, size, &length, '"');
        } else if (contains_separator(argument, &last)) {
            // Quote from the start up to and including the last separator, so
            // the closing quote always follows a separator, never a backslash.
            put(out, size, &length, '"');
            put_escaped(out, size, &length, argument, 0, last + 1);
            put(out, size, &length, '"');
            put_escaped(out, size, &length, argument, last + 1, argument_length);
        } else {
            put_escaped(out, size, &length, argument, 0, argument_length);
        }
    }
    if (size > 0) {
        out[length < size ? length : size - 1] = '\0';
    }
    return length;
}
