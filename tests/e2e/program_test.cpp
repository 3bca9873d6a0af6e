// The program as an operator runs it: build/rastrel started in a folder with
// its menu input on a pipe.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "scan_files.h"

namespace {

using namespace scan_test;

const std::string menu =
    "\n\n\nRastrel 1.0\n1 - Convert scan file to TIFF.\n9 - Exit.\n\nEnter Selection: ";

struct outcome {
    std::string output;
    int status = -1;   // exit status, or -1 when the program did not exit normally
};

const char* const plain_program[] = {RASTREL_BINARY, nullptr};

// Runs a command (the program by default) in folder with input on its
// standard input, which is closed after the input.  A nonzero limit caps the
// size of files it writes.  The program starts with the default action for
// every signal this test could have inherited, so only the program itself
// can keep a file-size limit from ending it.  Whatever it writes on standard
// error must hold no sanitizer report (a leak found at exit included).
outcome run_program(const fs::path& folder, const std::string& input, rlim_t file_size_limit = 0,
                    const char* const* command = plain_program)
{
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return {};
    FILE* errors = std::tmpfile();
    if (!errors) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(to_child[0], 0);
        dup2(from_child[1], 1);
        dup2(fileno(errors), 2);
        close(to_child[0]);
        close(to_child[1]);
        close(from_child[0]);
        close(from_child[1]);
        signal(SIGXFSZ, SIG_DFL);
        signal(SIGPIPE, SIG_DFL);
        if (chdir(folder.c_str()) != 0) _exit(126);
        if (file_size_limit) {
            struct rlimit limit = {file_size_limit, file_size_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execv(command[0], const_cast<char* const*>(command));
        _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    signal(SIGPIPE, SIG_IGN);
    if (!input.empty() && write(to_child[1], input.data(), input.size()) < 0) ADD_FAILURE() << "write to program";
    close(to_child[1]);
    outcome result;
    char buffer[4096];
    ssize_t got;
    while ((got = read(from_child[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(got));
    close(from_child[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::string error_text;
    std::rewind(errors);
    while ((got = static_cast<ssize_t>(std::fread(buffer, 1, sizeof buffer, errors))) > 0) {
        error_text.append(buffer, static_cast<size_t>(got));
    }
    std::fclose(errors);
    EXPECT_EQ(error_text.find("Sanitizer"), std::string::npos) << error_text;
    return result;
}

std::string repeat(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

// A working folder inside a scratch root, so anything written beside it shows.
class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(root_.path() / "work");
        fs::current_path(work());
        write_bytes("scaninfo.dat", control(1));
        write_bytes("0.bin", encode(records_));
    }
    void TearDown() override
    {
        EXPECT_EQ(root_.names(), (std::vector<std::string>{"work"})) << "written outside the working folder";
    }
    fs::path work() const { return root_.path() / "work"; }

    scratch_folder root_;
    std::vector<record> records_ = pattern_records(10);
    const std::string conversion_ = "36\nWriting TIFF file 0\nCould not open 1.bin";
};

TEST_F(Program, ConvertsOnOneAndEndsOnNine)
{
    outcome o = run_program(work(), "1\n9\n");
    EXPECT_EQ(o.output, menu + conversion_ + menu);
    EXPECT_EQ(o.status, 0);
    check_tiff(work() / "0.tif", records_);
}

TEST_F(Program, SelectionsShareATypedLine)
{
    // The 9 after the 1 ends the program; the next line is never read.
    outcome o = run_program(work(), "19\n1\n");
    EXPECT_EQ(o.output, menu + conversion_ + menu);
    EXPECT_EQ(o.status, 0);
}

TEST_F(Program, OtherCharactersRedrawTheMenuBlankLinesDoNot)
{
    outcome o = run_program(work(), "x y z\n\n   \n\t\n9\n");
    EXPECT_EQ(o.output, repeat(menu, 4));
    EXPECT_EQ(o.status, 0);
    EXPECT_FALSE(fs::exists(work() / "0.tif"));
}

TEST_F(Program, EndOfInputEndsTheProgramLikeNine)
{
    outcome o = run_program(work(), "1\n");
    EXPECT_EQ(o.output, menu + conversion_ + menu);
    EXPECT_EQ(o.status, 0);

    o = run_program(work(), "");
    EXPECT_EQ(o.output, menu);
    EXPECT_EQ(o.status, 0);

    o = run_program(work(), "1");   // no line end before the input ends
    EXPECT_EQ(o.output, menu + conversion_ + menu);
    EXPECT_EQ(o.status, 0);
}

TEST_F(Program, RowWriteFailingPartWay)
{
    // An image larger than any stream buffer, in a file allowed to grow to
    // the prologue and 200 rows only.
    std::vector<record> records = pattern_records(390);
    write_bytes("scaninfo.dat", control(39));
    write_bytes("0.bin", encode(records));
    outcome o = run_program(work(), "1\n", 24 + 200 * 250);
    const std::string failure = menu + "36\nWriting TIFF file 0\nError writing to 0.tif\nrow = ";
    ASSERT_EQ(o.output.compare(0, failure.size(), failure), 0) << o.output;
    unsigned row = std::stoul(o.output.substr(failure.size()));
    EXPECT_GE(row, 200u);
    EXPECT_LT(row, 390u);
    EXPECT_EQ(o.output.substr(o.output.size() - menu.size()), menu);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(read_bytes(work() / "0.tif"), expected_front(390, records, 200));
}

TEST_F(Program, AShellsFileSizeLimitGivesTheWriteErrorNotTheEnd)
{
    // ulimit -f 50 allows 51200 bytes; the image needs 97710.  The write
    // past the limit fails and is reported; the program goes on to the menu
    // and the 9 that follows.
    std::vector<record> records = pattern_records(390);
    write_bytes("scaninfo.dat", control(39));
    write_bytes("0.bin", encode(records));
    const char* const shell[] = {"/bin/bash", "-c", "ulimit -f 50 && exec \"$0\"", RASTREL_BINARY, nullptr};
    outcome o = run_program(work(), "1\n9\n", 0, shell);
    const std::string failure = menu + "36\nWriting TIFF file 0\nError writing to 0.tif\nrow = ";
    ASSERT_EQ(o.output.compare(0, failure.size(), failure), 0) << o.output;
    unsigned row = std::stoul(o.output.substr(failure.size()));
    EXPECT_GE(row, (50 * 1024 - 24) / 250);
    EXPECT_LT(row, 390u);
    EXPECT_EQ(o.output, failure + std::to_string(row) + menu);   // the menu once more, then the 9
    EXPECT_EQ(o.status, 0);
    const size_t fitted = 50 * 1024;
    const std::vector<uint8_t> front = expected_front(390, records, (fitted - 24) / 250 + 1);
    EXPECT_EQ(read_bytes(work() / "0.tif"), std::vector<uint8_t>(front.begin(), front.begin() + fitted));
}

TEST_F(Program, DirectoryWriteFailingIsReported)
{
    // Every row fits, the directory does not: the image is incomplete and
    // the run says so instead of carrying on as if it were whole.
    write_bytes("1.bin", encode(records_));
    outcome o = run_program(work(), "1\n", 2600);
    EXPECT_EQ(o.output, menu + "36\nWriting TIFF file 0\nError writing to 0.tif" + menu);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(fs::file_size(work() / "0.tif"), 2600u);
    EXPECT_FALSE(fs::exists(work() / "1.tif"));
}

TEST_F(Program, NamedPipesInPlaceOfFilesNeverHoldTheRunUp)
{
    // A pipe nobody writes reads as empty; a pipe nobody reads cannot be
    // opened for writing.  Either way the run reports and goes on.
    fs::remove("0.bin");
    ASSERT_EQ(mkfifo("0.bin", 0600), 0);
    outcome o = run_program(work(), "1\n");
    EXPECT_EQ(o.output, menu + "36\nWriting TIFF file 0\nError reading 0.bin\nrow = 0" + menu);
    EXPECT_EQ(fs::file_size(work() / "0.tif"), 24u);

    fs::remove("0.bin");
    fs::remove("0.tif");
    write_bytes("0.bin", encode(records_));
    ASSERT_EQ(mkfifo("0.tif", 0600), 0);
    o = run_program(work(), "1\n");
    EXPECT_EQ(o.output, menu + "36\nCould not open 0.tif" + menu);
    EXPECT_EQ(o.status, 0);
}

}  // namespace
