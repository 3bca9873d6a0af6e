// Sanitizer builds look for leaks as the program ends, although it ends
// through _exit with its standard handles closed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TEST(LeakCheck, ALeakIsReportedAsTheProgramEnds)
{
#if defined(__SANITIZE_ADDRESS__)
    const bool checked = true;
#elif defined(__has_feature)
    const bool checked = __has_feature(address_sanitizer);
#else
    const bool checked = false;
#endif
    const char* options = std::getenv("ASAN_OPTIONS");
    if (!checked || (options && std::string(options).find("detect_leaks=0") != std::string::npos)) {
        GTEST_SKIP() << "no leak checker in this build";
    }
    FILE* pipe = popen(LEAKS_BINARY " 2>&1", "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    const int status = pclose(pipe);
    EXPECT_EQ(output.rfind("leaked\n", 0), 0u) << output;   // the program's own output went out first
    EXPECT_NE(output.find("ERROR: LeakSanitizer"), std::string::npos) << output;
    EXPECT_NE(output.find("leak_on_purpose"), std::string::npos) << output;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << output;
}

}  // namespace
