// Ending a scripted run from outside, by the pid its caller started: the
// program running the script ends with it, whichever signal ends the run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>

#include "script_run.h"

namespace {

using namespace script_test;

// Waits up to ten seconds for condition, checking it every 10 ms.
template <typename Condition>
bool waitFor(Condition condition)
{
    for (int i = 0; i < 1000; i++) {
        if (condition()) return true;
        const timespec pause{0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return condition();
}

TEST(Runner, EndingTheRunnerEndsTheProgram)
{
    // Orphans of this test come back to it, so it can tell when they end.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
        const std::string folder = makeFolder();
        std::ofstream(folder + "/script.txt") << "dump\n";
        const pid_t runner = fork();
        if (runner == 0) {
            if (chdir(folder.c_str()) != 0 || !std::freopen("/dev/null", "w", stdout)) _exit(126);
            execl(APP_LINGERS, APP_LINGERS, "--headless", "script.txt", static_cast<char*>(nullptr));
            _exit(127);
        }
        pid_t program = 0;
        ASSERT_TRUE(waitFor([&] {
            std::ifstream file(folder + "/program.pid");
            return static_cast<bool>(file >> program);
        })) << "the program did not start";

        kill(runner, signal);
        int status = 0;
        ASSERT_EQ(waitpid(runner, &status, 0), runner);
        if (signal == SIGKILL) {
            EXPECT_TRUE(WIFSIGNALED(status));
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << "signal " << signal;
        }
        // The program is gone: reaped by the runner, or an orphan that came
        // back here and ended.
        const bool ended = waitFor([&] { return waitpid(program, nullptr, WNOHANG) == program || kill(program, 0) != 0; });
        EXPECT_TRUE(ended) << "the program outlived its runner (signal " << signal << ")";
        if (!ended) {
            kill(program, SIGKILL);
            waitpid(program, nullptr, 0);
        }
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace
