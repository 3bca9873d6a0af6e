// build/rastrel run as a process with options and a folder: what it prints,
// where it works and how it ends.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct run {
    int status = -1;
    std::string out, err;
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ProgramCommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/rastrel-command-line-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        home = dir;
        ASSERT_EQ(std::system((std::string(MAKE_SAMPLES_BINARY) + " " + (home / "scans").string() + " >/dev/null").c_str()), 0);
        fs::create_directory(home / "elsewhere");
    }
    void TearDown() override { fs::remove_all(home); }

    // Runs the program in home/elsewhere with input from a file (so the
    // plain binding is chosen without an option) and no display.
    run start(const std::vector<std::string>& arguments, const std::string& input = "")
    {
        std::ofstream(home / "input", std::ios::binary) << input;
        const pid_t child = fork();
        if (child == 0) {
            if (chdir((home / "elsewhere").c_str()) != 0) _exit(126);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            const int in = open((home / "input").c_str(), O_RDONLY);
            const int out = open((home / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open((home / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(RASTREL_BINARY)};
            for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        run r;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = readFile(home / "out");
        r.err = readFile(home / "err");
        return r;
    }
    fs::path home;
};

TEST_F(ProgramCommandLine, HelpAndVersionPrintOnStandardOutputAndExitZero)
{
    run help = start({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: rastrel [OPTION]... [FOLDER]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--headless SCRIPT"), std::string::npos);
    EXPECT_EQ(help.err, "");

    run version = start({"scans", "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("rastrel 1.0\n", 0), 0u) << version.out;
    EXPECT_EQ(std::count(version.out.begin(), version.out.end(), '\n'), 2);
}

TEST_F(ProgramCommandLine, AMistakeIsOneLineAndAPointerToHelpOnStandardErrorWithStatusTwo)
{
    std::ofstream(home / "elsewhere" / "a_file") << "x";
    const struct {
        std::vector<std::string> arguments;
        std::string line;
    } mistakes[] = {
        {{"missing"}, "rastrel: cannot change to folder 'missing': No such file or directory"},
        {{"a_file"}, "rastrel: cannot change to folder 'a_file': Not a directory"},
        {{"../scans", "two"}, "rastrel: extra operand 'two'"},
        {{"--bogus", "../scans"}, "rastrel: unrecognized option '--bogus'"},
    };
    for (const auto& mistake : mistakes) {
        run r = start(mistake.arguments, "1\n");
        EXPECT_EQ(r.status, 2) << mistake.line;
        EXPECT_EQ(r.err, mistake.line + "\nTry 'rastrel --help' for more information.\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(fs::exists(home / "scans" / "0.tif"));
}

TEST_F(ProgramCommandLine, TheProgramWorksInTheFolderGivenAndAScriptIsReadFromWhereItWasNamed)
{
    run plain = start({"--", "../scans"}, "1\n9\n");
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.out.find("Writing TIFF file 5"), std::string::npos) << plain.out;
    EXPECT_TRUE(fs::exists(home / "scans" / "5.tif"));
    EXPECT_FALSE(fs::exists(home / "elsewhere" / "0.tif"));

    fs::remove(home / "scans" / "5.tif");
    std::ofstream(home / "elsewhere" / "script.txt") << "type 1\\r\ntype 9\\r\nanswer no\n";
    run scripted = start({"--headless", "script.txt", home.string() + "/scans"});
    EXPECT_EQ(scripted.status, 0) << scripted.err;
    EXPECT_NE(scripted.out.find("exit: 0"), std::string::npos) << scripted.out;
    EXPECT_TRUE(fs::exists(home / "scans" / "5.tif"));
}

}  // namespace
