#include "tests/runtime/test_support.h"

#include <fcntl.h>
#include <fstream>
#include <sstream>

namespace {

fake_console* current_console = nullptr;

void record_write(const char* bytes, uint32_t count)
{
    current_console->writes.emplace_back(bytes, count);
}

int scripted_read(char* buffer, uint32_t capacity, uint32_t* count)
{
    fake_console& console = *current_console;
    console.capacities.push_back(capacity);
    console.writes_before_read.push_back(console.writes.size());
    if (console.fail_reads) {
        *count = 0;
        return 0;
    }
    if (console.next >= console.script.size()) {
        *count = 0;   // end of input
        return 1;
    }
    std::string& line = console.script[console.next];
    uint32_t take = line.size() < capacity ? static_cast<uint32_t>(line.size()) : capacity;
    line.copy(buffer, take);
    line.erase(0, take);
    if (line.empty()) {
        ++console.next;
    }
    *count = take;
    return 1;
}

}  // namespace

std::string read_whole_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void write_whole_file(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

attached_console::attached_console(fake_console& console)
{
    rt_startup();
    current_console = &console;
    rt_attach_console(record_write, scripted_read);
}

attached_console::~attached_console()
{
    rt_fflush(rt_stdin);   // drop unread input
    rt_clearerr(rt_stdin);
    rt_clearerr(rt_stdout);
    rt_clearerr(rt_stderr);
    rt::cin.clear();
    rt::cout.clear();
    rt::cerr.clear();
    rt_detach_console();
    current_console = nullptr;
}

int run_in_child(const std::function<void()>& body, std::string* child_stderr)
{
    char pattern[] = "/tmp/rastrel_rt_err_XXXXXX";
    int error_file = mkstemp(pattern);
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        if (error_file >= 0) {
            dup2(error_file, 2);
        }
        body();
        _exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) {
        status = -1;
    }
    if (error_file >= 0) {
        if (child_stderr != nullptr) {
            *child_stderr = read_whole_file(pattern);
        }
        close(error_file);
        unlink(pattern);
    }
    if (status == -1 || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}
