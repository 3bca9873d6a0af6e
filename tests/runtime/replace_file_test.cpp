// Saving over a file through rt_replace_file where a plain write would
// succeed: through links that lead nowhere yet, and in folders this user may
// not add names to.
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/runtime.h"
#include "tests/runtime/test_support.h"

namespace {

const uid_t nobody = 65534;

// Runs body as a user who owns nothing here: in a child that gives up root
// where the test runs as root (root's writes ignore permissions), else in
// this process.  body returns 1 for success.
int as_unprivileged(const std::function<int()>& body)
{
    if (geteuid() != 0) return body();
    return run_in_child([&] { _exit(setgid(nobody) == 0 && setuid(nobody) == 0 && body() == 1 ? 0 : 1); }) == 0;
}

int entries(const std::string& folder)
{
    const std::filesystem::directory_iterator all(folder);
    return static_cast<int>(std::distance(begin(all), end(all)));
}

TEST(ReplaceFile, ALinkIsWrittenThroughEvenWhereItsFileIsStillToBeMade)
{
    scratch_folder scratch;
    ASSERT_EQ(mkdir(scratch.file("other").c_str(), 0777), 0);
    ASSERT_EQ(symlink("other/x.txt", scratch.file("x.txt").c_str()), 0);
    ASSERT_EQ(symlink("x.txt", scratch.file("chain.txt").c_str()), 0);

    EXPECT_EQ(rt_replace_file(scratch.file("x.txt").c_str(), "first", 5), 1);
    EXPECT_EQ(read_whole_file(scratch.file("other/x.txt")), "first");
    EXPECT_EQ(rt_replace_file(scratch.file("chain.txt").c_str(), "second", 6), 1);
    EXPECT_EQ(read_whole_file(scratch.file("other/x.txt")), "second");

    struct stat info;
    for (const char* link : {"x.txt", "chain.txt"}) {
        ASSERT_EQ(lstat(scratch.file(link).c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << link;
    }
    EXPECT_EQ(entries(scratch.file("other")), 1);

    // A loop of links names no file at all.
    ASSERT_EQ(symlink("b", scratch.file("a").c_str()), 0);
    ASSERT_EQ(symlink("a", scratch.file("b").c_str()), 0);
    EXPECT_EQ(rt_replace_file(scratch.file("a").c_str(), "lost", 4), 0);
}

TEST(ReplaceFile, AWritableFileInAFolderThatRefusesNewNamesIsWrittenInPlace)
{
    scratch_folder scratch;
    ASSERT_EQ(chmod(scratch.file("").c_str(), 0755), 0);
    const std::string locked = scratch.file("locked");
    ASSERT_EQ(mkdir(locked.c_str(), 0777), 0);
    write_whole_file(locked + "/log.txt", "the earlier, longer text");
    ASSERT_EQ(chmod((locked + "/log.txt").c_str(), 0666), 0);
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);

    EXPECT_EQ(as_unprivileged([&] { return rt_replace_file((locked + "/log.txt").c_str(), "new", 3); }), 1);
    EXPECT_EQ(read_whole_file(locked + "/log.txt"), "new");
    // A file that is not there cannot be made there.
    EXPECT_EQ(as_unprivileged([&] { return rt_replace_file((locked + "/new.txt").c_str(), "new", 3); }), 0);
    EXPECT_EQ(entries(locked), 1);

    if (geteuid() == 0) {
        // A shared folder (sticky, open to all) lets a user make files but
        // not rename over another user's file, which is still writable.
        const std::string shared = scratch.file("shared");
        ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
        ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
        write_whole_file(shared + "/log.txt", "root's earlier text");
        ASSERT_EQ(chmod((shared + "/log.txt").c_str(), 0666), 0);
        EXPECT_EQ(as_unprivileged([&] { return rt_replace_file((shared + "/log.txt").c_str(), "theirs", 6); }), 1);
        EXPECT_EQ(read_whole_file(shared + "/log.txt"), "theirs");
        EXPECT_EQ(entries(shared), 1);
    }
    chmod(locked.c_str(), 0755);
}

}  // namespace
