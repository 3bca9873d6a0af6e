// Helpers shared by the runtime tests: a scratch folder, a recording console
// (the fake device on slots 0 to 2) and running a piece of code in a child
// process.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "runtime/internal.h"

// A fresh folder under the temporary folder, removed again with its files.
class scratch_folder {
public:
    scratch_folder()
    {
        char pattern[] = "/tmp/rastrel_rt_XXXXXX";
        char* made = mkdtemp(pattern);
        made_ = made != nullptr;
        path_ = made_ ? made : "/tmp";
    }
    ~scratch_folder()
    {
        // Only a folder made here is removed, never the temporary folder itself.
        if (made_) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    bool made_ = false;
};

std::string read_whole_file(const std::string& path);
void write_whole_file(const std::string& path, const std::string& bytes);

// The fake console: every write-hook call is recorded, together with what the
// recording held at the moment of each read-hook call; reads are scripted.
struct fake_console {
    std::vector<std::string> writes;          // one entry per write-hook call
    std::vector<std::string> script;          // what successive read-hook calls hand over
    std::vector<uint32_t> capacities;         // capacity of every read-hook call
    std::vector<size_t> writes_before_read;   // writes.size() at each read-hook call
    size_t next = 0;
    bool fail_reads = false;

    std::string written() const
    {
        std::string all;
        for (const std::string& piece : writes) {
            all += piece;
        }
        return all;
    }
};

// Attaches the fake console for the life of the object and restores the plain
// binding after, leaving the standard streams clean for the next test.
class attached_console {
public:
    explicit attached_console(fake_console& console);
    ~attached_console();
};

// Runs body in a forked child; the child's exit status is returned (or -1).
// The body ends the child itself (rt_exit and friends) or returns, which
// ends it with status 0.
int run_in_child(const std::function<void()>& body, std::string* child_stderr = nullptr);
