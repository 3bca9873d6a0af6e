// A random-input soak of the terminal front end: the program (the sanitizer
// build) in a pseudo-terminal of its own, fed random typing, keys, mouse
// reports, pastes large and small, hostile escape sequences and stray
// bytes, resized from 1 x 1 to 500 x 200, and sent SIGTSTP, SIGCONT,
// SIGWINCH, SIGINT, SIGTERM and SIGHUP; a program that stops itself is sent
// SIGCONT as a shell's fg would.  Each run ends the program (the close box
// and No, SIGTERM and No, or SIGHUP) and fails on a death by a signal, an
// exit status other than 0 or 1, a sanitizer's report, a hang, the
// terminal's line modes (stty -g) not as before, or a mode turned on by an
// escape sequence left on.
//
//   terminal_soak [--seconds N] [--seed S] [--keep DIR]
//
// Runs follow each other for N seconds (default 60); --seed replays one run.
// A failing run's seed is added to DIR/failed-seeds, with its actions, the
// bytes the terminal was sent and the sanitizer's report in DIR/seed-S/;
// the seeds of that file are replayed first next time, until it is removed.
//
// Nothing typed or pasted holds '/' or '.', so that a file name typed into
// the save and print dialogs stays in the run's folder; 0x1c (Ctrl+\) is
// never sent, since a terminal in its line mode would end the program with
// SIGQUIT, as it should.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace {

using clock_type = std::chrono::steady_clock;

// What all runs did, for the closing line.
struct tally {
    long actions, bytes, resizes, signals, stops, endedByInput, endedByClose, endedByHangUp;
} totals;

struct options {
    double seconds = 60;
    uint64_t seed = 0;
    bool replay = false;
    std::string keep = "terminal-soak";
};

uint64_t mix(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

class soakRun {
public:
    soakRun(uint64_t seed, const std::string& folder, const std::string& logs)
        : random_(seed), folder_(folder), logs_(logs)
    {
    }
    ~soakRun()
    {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }

    // The run; empty when it passed, else why it failed.
    std::string go()
    {
        if (!start()) return "the program could not be started";
        waitForRawMode(10000);
        const int actions = pick(10, 120);
        for (int i = 0; i < actions && !ended_; ++i) act();
        if (ended_) ++totals.endedByInput;
        std::string why = end();
        if (why.empty()) why = check();
        return why;
    }

    const std::string& trace() const { return trace_; }
    const std::string& output() const { return output_; }

private:
    std::mt19937_64 random_;
    std::string folder_, logs_;
    int master_ = -1, slave_ = -1;
    pid_t pid_ = -1;
    bool ended_ = false;
    bool neverRaw_ = false;
    int status_ = 0;
    int rows_ = 24, columns_ = 80;
    std::string before_;   // stty -g before the run
    std::string output_;   // what the terminal was sent (its last few megabytes)
    std::string trace_;

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool chance(int percent) { return pick(1, 100) <= percent; }
    void note(const std::string& what) { trace_ += what + "\n"; }

    std::string stty() { return ::output(std::string("stty -g < ") + ptsname(master_) + " 2>&1"); }

    bool start()
    {
        static const char* types[] = {"xterm-256color", "tmux-256color", "screen", "linux", "vt220"};
        const std::string type = types[pick(0, 4)];
        const std::string locale = chance(80) ? "C.UTF-8" : "C";
        resizeTo(pick(1, 200), pick(1, 500));
        winsize size{static_cast<unsigned short>(rows_), static_cast<unsigned short>(columns_), 0, 0};
        if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) return false;
        before_ = stty();
        note("start TERM=" + type + " LANG=" + locale + " " + std::to_string(rows_) + "x" + std::to_string(columns_));
        std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
        asan += ":log_path=" + logs_ + "/asan:handle_abort=1";
        std::vector<std::string> environment = {
            "TERM=" + type, "LANG=" + locale, "LC_ALL=" + locale, "HOME=" + folder_, "PATH=/usr/bin:/bin",
            "CUPS_SERVER=" + folder_ + "/no-cups.sock", "ASAN_OPTIONS=" + asan,
            "UBSAN_OPTIONS=print_stacktrace=1:log_path=" + logs_ + "/ubsan",
        };
        if (const char* leaks = std::getenv("LSAN_OPTIONS")) environment.push_back(std::string("LSAN_OPTIONS=") + leaks);
        pid_ = fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            setsid();
            ioctl(slave_, TIOCSCTTY, 0);
            for (int fd = 0; fd < 3; ++fd) dup2(slave_, fd);
            close(master_);
            close(slave_);
            if (chdir(folder_.c_str()) != 0) _exit(126);
            std::vector<char*> env;
            for (std::string& e : environment) env.push_back(e.data());
            env.push_back(nullptr);
            char* argv[] = {const_cast<char*>(RASTREL_BINARY), const_cast<char*>("--terminal"), folder_.data(), nullptr};
            execve(RASTREL_BINARY, argv, env.data());
            _exit(127);
        }
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        return true;
    }

    // Reads what the program wrote and looks at how it is, for up to ms.
    void pump(int ms)
    {
        const auto until = clock_type::now() + std::chrono::milliseconds(ms);
        do {
            pollfd fd = {master_, POLLIN, 0};
            poll(&fd, 1, std::max(0, std::min(10, ms)));
            char buffer[65536];
            ssize_t n = 0;
            while ((n = read(master_, buffer, sizeof buffer)) > 0) output_.append(buffer, static_cast<size_t>(n));
            if (output_.size() > (8u << 20)) output_.erase(0, output_.size() - (4u << 20));
            look();
        } while (clock_type::now() < until && !ended_);
    }

    void look()
    {
        if (ended_) return;
        int status = 0;
        const pid_t got = waitpid(pid_, &status, WNOHANG | WUNTRACED);
        if (got != pid_) return;
        if (WIFSTOPPED(status)) {
            ++totals.stops;
            note("stopped: fg");
            kill(pid_, SIGCONT);
            return;
        }
        ended_ = true;
        status_ = status;
    }

    bool rawMode()
    {
        termios t{};
        return tcgetattr(slave_, &t) == 0 && !(t.c_lflag & ICANON);
    }
    // Waits for the program to read the terminal raw; once that has taken
    // too long (a program that never takes the terminal), no more.
    void waitForRawMode(int ms)
    {
        const auto until = clock_type::now() + std::chrono::milliseconds(ms);
        while (!ended_ && !neverRaw_ && !rawMode()) {
            if (clock_type::now() >= until) neverRaw_ = true;
            pump(10);
        }
    }

    // Bytes to the terminal as it would send them, while the program reads
    // it raw; what does not fit within a while is dropped.
    void send(const std::string& bytes)
    {
        waitForRawMode(3000);
        size_t done = 0;
        const auto until = clock_type::now() + std::chrono::seconds(2);
        while (done < bytes.size() && !ended_ && clock_type::now() < until) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                totals.bytes += n;
            } else {
                pump(5);
            }
        }
        pump(0);
    }

    void resizeTo(int rows, int columns)
    {
        rows_ = rows;
        columns_ = columns;
        if (master_ < 0) return;
        winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
        ioctl(master_, TIOCSWINSZ, &size);
    }

    // Text without '/', '.' and Ctrl+\.  Every character the program reads
    // is a selection, so '9' (Exit) is rare, or runs would end early.
    std::string text(int length, bool lineEnds)
    {
        static const char plain[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ012345678 ,;:-_=+!?()[]{}<>'\"#$%&*@^`|~\\";
        std::string out;
        for (int i = 0; i < length; ++i) {
            const int kind = pick(0, 99);
            if (kind == 0 && chance(10)) {
                out += '9';
            } else if (kind < 80) {
                out += plain[pick(0, static_cast<int>(sizeof plain) - 2)];
            } else if (kind < 85 && lineEnds) {
                out += std::vector<std::string>{"\r", "\n", "\r\n"}[static_cast<size_t>(pick(0, 2))];
            } else if (kind < 92) {
                out += std::vector<std::string>{"\xc3\xa9", "\xe2\x82\xac", "\xe4\xb8\xad", "\xf0\x9f\x98\x80",
                                                "\xe9", "\x80", "\xc3", "\xed\xa0\x80"}[static_cast<size_t>(pick(0, 7))];
            } else if (kind < 96) {
                out += '\t';
            } else {
                // Controls, but not Esc, Ctrl+\ and the end of input (Ctrl+D,
                // Ctrl+Z), which has an action of its own.
                char c = static_cast<char>(pick(0, 31));
                if (c == 0x1c || c == 0x1b || c == 4 || c == 26) c = 'x';
                out += c;
            }
        }
        return out;
    }

    std::string number()
    {
        switch (pick(0, 4)) {
        case 0: return std::to_string(pick(0, 9));
        case 1: return std::to_string(pick(0, 300));
        case 2: return std::to_string(pick(0, 1 << 30));
        case 3: return std::string(static_cast<size_t>(pick(20, 400)), '9');
        default: return "";
        }
    }

    std::string hostile()
    {
        static const char intermediates[] = " !\"#$%&'()*+,-?<=>";
        std::string s;
        switch (pick(0, 7)) {
        case 0: {   // CSI with parameters, intermediates and any final byte
            s = "\x1b[";
            if (chance(30)) s += intermediates[pick(0, static_cast<int>(sizeof intermediates) - 2)];
            for (int n = pick(0, 6); n > 0; --n) s += number() + (chance(80) ? ";" : ":");
            s += static_cast<char>(pick(0x40, 0x7e));
            break;
        }
        case 1:   // OSC, ended by BEL, by ST, or not at all
            s = "\x1b]" + std::to_string(pick(0, 60)) + ";" + text(pick(0, 200), false);
            s += std::vector<std::string>{"\a", "\x1b\\", ""}[static_cast<size_t>(pick(0, 2))];
            break;
        case 2:   // DCS, APC, PM and SOS strings
            s = std::string("\x1b") + "P_^X"[pick(0, 3)] + text(pick(0, 300), false) + (chance(50) ? "\x1b\\" : "");
            break;
        case 3:   // a mouse report of any numbers
            s = "\x1b[<" + number() + ";" + number() + ";" + number() + (chance(50) ? "M" : "m");
            break;
        case 4:   // cut short by a control character or another Esc
            s = "\x1b[" + number() + std::string(1, "\r\x1b\x03\x08\x7f\x18"[pick(0, 5)]);
            break;
        case 5:   // stray eight-bit bytes and NULs
            for (int n = pick(1, 40); n > 0; --n) s += static_cast<char>(chance(20) ? 0 : pick(0x80, 0xff));
            break;
        case 6:   // SS3 and Esc with any byte (Alt)
            s = std::string("\x1b") + (chance(50) ? "O" : "") + static_cast<char>(pick(0x20, 0x7e));
            break;
        default:   // a long run of Esc, or of parameters
            s = chance(50) ? std::string(static_cast<size_t>(pick(2, 100)), '\x1b') : "\x1b[" + std::string(5000, '1');
            break;
        }
        for (char& c : s) {
            if (c == '/' || c == '.') c = '-';
        }
        return s;
    }

    std::string mouse()
    {
        const int row = chance(90) ? pick(1, rows_ + 2) : pick(1, 100000);
        const int column = chance(90) ? pick(1, columns_ + 2) : pick(1, 100000);
        static const int codes[] = {0, 0, 0, 32, 32, 4, 1, 2, 64, 65, 35, 3, 128, 16, 8};
        const int code = codes[pick(0, static_cast<int>(std::size(codes)) - 1)];
        return "\x1b[<" + std::to_string(code) + ";" + std::to_string(column) + ";" + std::to_string(row) +
               (chance(35) ? "m" : "M");
    }

    std::string key()
    {
        static const char* keys[] = {"\x1b[A", "\x1b[B", "\x1b[C", "\x1b[D", "\x1bOA", "\x1bOB", "\x1b[5~", "\x1b[6~",
                                     "\x1b[H", "\x1b[F", "\x1b[1~", "\x1b[4~", "\x1b[21~", "\x1b" "f", "\x1b" "e",
                                     "\x1b", "\x1bOS", "\x1b[1;3S", "\x1b\x1bOS", "\x1bOM", "\x1b[3~", "\x1b[[A"};
        return keys[pick(0, static_cast<int>(std::size(keys)) - 1)];
    }

    std::string paste()
    {
        const int size = chance(80) ? pick(0, 2000) : (chance(80) ? pick(2000, 70000) : pick(70000, 1 << 20));
        std::string body = text(size, true);
        if (chance(10)) body.insert(static_cast<size_t>(pick(0, static_cast<int>(body.size()))), "\x1b[A\x1b[201");
        return "\x1b[200~" + body + (chance(95) ? "\x1b[201~" : "");
    }

    void signal(int number, const char* name)
    {
        note(std::string("signal ") + name);
        ++totals.signals;
        kill(pid_, number);
    }

    void act()
    {
        ++totals.actions;
        const int kind = pick(0, 99);
        if (kind < 28) {
            std::string typed = text(pick(1, 20), false);
            if (chance(40)) typed += '\r';
            note("type " + std::to_string(typed.size()));
            send(typed);
        } else if (kind < 36) {
            // Ctrl+C, Backspace, Tab, Enter, Ctrl+S, Ctrl+P, Ctrl+X, Ctrl+V,
            // Ctrl+A, Ctrl+J, DEL, Ctrl+U, Ctrl+E; now and then Ctrl+Z or
            // Ctrl+D, which end the program's input.
            static const char controls[] = {3, 8, 9, 13, 19, 16, 24, 22, 1, 10, 0x7f, 21, 5};
            const char c = chance(3) ? (chance(50) ? 26 : 4) : controls[pick(0, static_cast<int>(sizeof controls) - 1)];
            note("control " + std::to_string(c));
            send(std::string(1, c));
        } else if (kind < 52) {
            note("key");
            send(key());
        } else if (kind < 66) {
            note("mouse");
            send(mouse());
        } else if (kind < 71) {
            const std::string bytes = paste();
            note("paste " + std::to_string(bytes.size()));
            send(bytes);
        } else if (kind < 81) {
            note("hostile");
            send(hostile());
        } else if (kind < 87) {
            const int shape = pick(0, 4);
            const int rows = shape == 0 ? 1 : shape == 1 ? 200 : pick(1, 60);
            const int columns = shape == 0 ? 1 : shape == 1 ? 500 : pick(1, 200);
            note("resize " + std::to_string(rows) + "x" + std::to_string(columns));
            ++totals.resizes;
            resizeTo(rows, columns);
        } else if (kind < 91) {
            switch (pick(0, 5)) {
            case 0: signal(SIGTSTP, "TSTP"); break;
            case 1: signal(SIGCONT, "CONT"); break;
            case 2: signal(SIGWINCH, "WINCH"); break;
            case 3: signal(SIGINT, "INT"); break;
            case 4:
                signal(SIGTSTP, "TSTP");
                signal(SIGCONT, "CONT");
                break;
            default: signal(SIGTERM, "TERM"); break;
            }
        }
        pump(pick(0, 30));
    }

    bool waitEnded(int ms)
    {
        const auto until = clock_type::now() + std::chrono::milliseconds(ms);
        while (!ended_ && clock_type::now() < until) pump(20);
        return ended_;
    }

    // Ends the program: the close box (or SIGTERM) with No to the question,
    // or SIGHUP; a program that does not end is a hang.
    std::string end()
    {
        if (ended_) return "";
        kill(pid_, SIGCONT);
        const int way = pick(0, 9);
        if (way < 7) note(way < 5 ? "end: Esc, Alt+F4, n" : "end: SIGTERM, n");
        for (int attempt = 0; way < 7 && attempt < 20 && !ended_; ++attempt) {
            kill(pid_, SIGCONT);
            if (rawMode()) {
                send("\x1b");
                pump(60);
                if (way < 5) {
                    send("\x1b[1;3S");
                } else {
                    kill(pid_, SIGTERM);
                }
                pump(200);
                if (rawMode()) send("n");
            }
            waitEnded(500);
        }
        if (ended_) ++totals.endedByClose;
        if (!ended_) {
            ++totals.endedByHangUp;
            note("end: SIGHUP");
            kill(pid_, SIGHUP);
            kill(pid_, SIGCONT);
            waitEnded(20000);
        }
        if (ended_) return "";
        note("hang: SIGABRT");
        kill(pid_, SIGABRT);
        kill(pid_, SIGCONT);
        if (!waitEnded(10000)) {
            kill(pid_, SIGKILL);
            waitEnded(5000);
        }
        return "the program did not end (a hang)";
    }

    std::string check()
    {
        pump(50);
        std::string why;
        for (const char* prefix : {"asan.", "ubsan."}) {
            const std::string report = readFile(logs_ + "/" + prefix + std::to_string(pid_));
            if (!report.empty()) return "a sanitizer's report:\n" + report.substr(0, 4000);
        }
        if (WIFSIGNALED(status_)) return "the program died by signal " + std::to_string(WTERMSIG(status_));
        if (!WIFEXITED(status_) || (WEXITSTATUS(status_) != 0 && WEXITSTATUS(status_) != 1)) {
            return "the program ended with status " + std::to_string(WEXITSTATUS(status_));
        }
        if (output_.find("Unhandled exception") != std::string::npos) return "a fault box";
        const std::string after = stty();
        if (after != before_) return "the terminal's modes are not as before: " + before_ + " then " + after;
        for (const char* mode : {"1049", "1006", "1002", "2004", "1036"}) {
            const size_t on = output_.rfind(std::string("\x1b[?") + mode + "h");
            const size_t off = output_.rfind(std::string("\x1b[?") + mode + "l");
            if (on != std::string::npos && (off == std::string::npos || off < on)) {
                return std::string("mode ") + mode + " left on";
            }
        }
        return "";
    }
};

options parse(int argc, char** argv)
{
    options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--seconds") o.seconds = std::atof(argv[i + 1]);
        if (name == "--seed") {
            o.seed = std::strtoull(argv[i + 1], nullptr, 0);
            o.replay = true;
        }
        if (name == "--keep") o.keep = argv[i + 1];
    }
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    const options o = parse(argc, argv);
    signal(SIGPIPE, SIG_IGN);
    char pattern[] = "/tmp/rastrel-soak-XXXXXX";
    if (!mkdtemp(pattern)) return 2;
    const std::string root = pattern;
    const std::string folder = root + "/scans";
    const std::string logs = root + "/logs";
    mkdir(logs.c_str(), 0700);
    if (std::system((std::string(MAKE_SAMPLES_BINARY) + " " + folder + " > /dev/null").c_str()) != 0) return 2;
    std::system(("mkdir -p '" + o.keep + "'").c_str());

    std::vector<uint64_t> seeds;
    if (o.replay) {
        seeds.push_back(o.seed);
    } else {
        std::istringstream kept(readFile(o.keep + "/failed-seeds"));
        for (std::string line; std::getline(kept, line);) {
            if (!line.empty()) seeds.push_back(std::strtoull(line.c_str(), nullptr, 0));
        }
    }
    const uint64_t base = mix(static_cast<uint64_t>(clock_type::now().time_since_epoch().count()));
    const auto until = clock_type::now() + std::chrono::duration<double>(o.seconds);
    int runs = 0;
    int failed = 0;
    for (size_t i = 0; failed == 0 && (i < seeds.size() || (!o.replay && clock_type::now() < until)); ++i) {
        const uint64_t seed = i < seeds.size() ? seeds[i] : mix(base + i);
        std::string why;
        std::string trace, output;
        {
            soakRun run(seed, folder, logs);
            why = run.go();
            trace = run.trace();
            output = run.output();
        }
        ++runs;
        if (why.empty()) continue;
        ++failed;
        const std::string kept = o.keep + "/seed-" + std::to_string(seed);
        std::system(("mkdir -p '" + kept + "' && cp -r '" + logs + "/.' '" + kept + "/' 2>/dev/null").c_str());
        std::ofstream(kept + "/actions.txt") << trace;
        std::ofstream(kept + "/terminal.bin", std::ios::binary) << output;
        if (std::find(seeds.begin(), seeds.end(), seed) == seeds.end()) {
            std::ofstream(o.keep + "/failed-seeds", std::ios::app) << seed << "\n";
        }
        std::fprintf(stderr, "terminal soak: run %d (seed %llu) failed: %s\n  replay: terminal_soak --seed %llu\n  kept in %s\n",
                     runs, static_cast<unsigned long long>(seed), why.c_str(), static_cast<unsigned long long>(seed),
                     kept.c_str());
    }
    std::printf("terminal soak: %d runs, %d failed; %ld actions, %ld bytes typed, %ld resizes, %ld signals, %ld stops "
                "resumed; ended by their input %ld, closed %ld, hung up %ld\n",
                runs, failed, totals.actions, totals.bytes, totals.resizes, totals.signals, totals.stops,
                totals.endedByInput, totals.endedByClose, totals.endedByHangUp);
    std::system(("rm -rf '" + root + "'").c_str());
    return failed ? 1 : 0;
}
