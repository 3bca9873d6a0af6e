// Helpers of the Windows unit tests: a scratch folder and whole files.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace wintest {

namespace fs = std::filesystem;

// A fresh folder under the temporary folder, removed again with its files.
class ScratchFolder {
public:
    ScratchFolder()
    {
        static int made = 0;
        char name[64];
        std::snprintf(name, sizeof name, "rastrel_wt_%lu_%d", GetCurrentProcessId(), ++made);
        path_ = (fs::temp_directory_path() / name).string();
        fs::create_directories(path_);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
            SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace wintest
