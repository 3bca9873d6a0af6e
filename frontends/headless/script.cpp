// The scripted run: the whole program on the headless front end, with the
// user's actions read from a script and reports of what the window shows
// written on standard output.
//
// The program runs in a child process, so that however it ends (exit, abort,
// a processor fault) the run can tell its status: the child writes its last
// report as it ends, and the parent adds "exit: STATUS".
//
// Every verb of the script language is one entry of the verb table: its
// name, how its line is read, and what it does.
#include "frontends/headless/script.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/inspect.h"
#include "frontends/headless/readback.h"
#include "frontends/headless/report.h"
#include "frontends/headless/script_words.h"

namespace {

using namespace hlScript;

std::vector<scriptAction> script;
size_t nextAction;
hlPrinterConfig printer;

// ---------------------------------------------------------------------------
// The verbs.

bool parseText(const std::vector<std::string>&, const std::string& rest, scriptAction* action, std::string* error)
{
    return unescape(rest, &action->text, error);
}

bool parseKey(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    if (w.size() != 2 || !parseKeyName(w[1], &action->number[0])) {
        return fail(error, "key needs Up, Down, Left, Right, PageUp, PageDown, Home or End");
    }
    return true;
}

bool parsePress(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    action->flag = w.size() == 4 && w[3] == "shift";
    if ((w.size() != 3 && !action->flag) || !numbers(w, 1, 2, action)) {
        return fail(error, "press needs X Y [shift]");
    }
    return true;
}

bool parseRelease(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    if (w.size() != 3 || !numbers(w, 1, 2, action)) {
        return fail(error, "release needs X Y");
    }
    return true;
}

bool parseMove(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    action->flag = w.size() == 4 && w[3] == "down";
    if ((w.size() != 3 && !action->flag) || !numbers(w, 1, 2, action)) {
        return fail(error, "move needs X Y [down]");
    }
    return true;
}

bool parseMenu(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    if (w.size() != 2 || !numbers(w, 1, 1, action) || action->number[0] < 0 || action->number[0] > 65535) {
        return fail(error, "menu needs an item id");
    }
    return true;
}

bool parseScroll(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    action->number[1] = 0;
    if ((w.size() != 2 && w.size() != 3) || !numbers(w, 1, w.size() - 1, action)) {
        return fail(error, "scroll needs CODE [POS]");
    }
    return true;
}

bool parseResize(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    if (w.size() != 3 || !numbers(w, 1, 2, action) || action->number[0] < 0 || action->number[1] < 0 ||
        action->number[0] > 65535 || action->number[1] > 65535) {
        return fail(error, "resize needs W H");
    }
    return true;
}

bool parseFocus(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    if (w.size() != 2 || (w[1] != "in" && w[1] != "out")) {
        return fail(error, "focus needs in or out");
    }
    action->flag = w[1] == "in";
    return true;
}

bool parseBare(const std::vector<std::string>& w, const std::string&, scriptAction*, std::string* error)
{
    return w.size() == 1 || fail(error, "unknown action " + w[0]);
}

bool parseAnswer(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    static const struct {
        const char* name;
        int answer;
    } answers[] = {{"yes", IDYES}, {"no", IDNO}, {"cancel", IDCANCEL}, {"ok", IDOK}};
    for (const auto& entry : answers) {
        if (w.size() == 2 && w[1] == entry.name) {
            action->number[0] = entry.answer;
            return true;
        }
    }
    return fail(error, "answer needs yes, no, cancel or ok");
}

bool parseSaveDialog(const std::vector<std::string>&, const std::string& rest, scriptAction* action,
                     std::string* error)
{
    if (rest.empty()) {
        return fail(error, "save-dialog needs a path or cancel");
    }
    action->flag = rest == "cancel";
    action->text = rest;
    return true;
}

// printer lines: number[0] says what changes (0 geometry, 1 none, 2-4 a
// failing spooler call); a geometry's four numbers follow in text.
enum printerChange { printerGeometry, printerNone, printerFailStartDoc, printerFailStartPage, printerFailEndPage };

bool parsePrinter(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    static const char* const failures[] = {"none", "fail=startdoc", "fail=startpage", "fail=endpage"};
    if (w.size() == 2) {
        for (int i = 0; i < 4; i++) {
            if (w[1] == failures[i]) {
                action->flag = true;
                action->number[0] = printerNone + i;
                return true;
            }
        }
    } else if (w.size() == 5 && numbers(w, 1, 4, action)) {
        action->flag = false;
        return true;
    }
    return fail(error, "printer needs W H CHARWIDTH ROWHEIGHT, none or fail=startdoc|startpage|endpage");
}

bool parseCancelPrintAfter(const std::vector<std::string>& w, const std::string&, scriptAction* action,
                           std::string* error)
{
    if (w.size() != 2 || !numbers(w, 1, 1, action) || action->number[0] < 0) {
        return fail(error, "cancel-print-after needs a page count");
    }
    return true;
}

void performType(const scriptAction& a, plHwnd window)
{
    if (window) pwType(window, a.text.data(), a.text.size());
}
void performKey(const scriptAction& a, plHwnd window)
{
    if (window) pwPostKey(window, static_cast<uint32_t>(a.number[0]));
}
void performPress(const scriptAction& a, plHwnd window)
{
    if (window) pwMouseDown(window, a.number[0], a.number[1], a.flag ? 1 : 0);
}
void performRelease(const scriptAction& a, plHwnd window)
{
    if (window) pwMouseUp(window, a.number[0], a.number[1]);
}
void performMove(const scriptAction& a, plHwnd window)
{
    if (window) pwMouseMove(window, a.number[0], a.number[1], a.flag ? 1 : 0);
}
void performMenu(const scriptAction& a, plHwnd window)
{
    if (window) pwChooseMenuItem(window, static_cast<uint16_t>(a.number[0]));
}
void performScroll(const scriptAction& a, plHwnd window)
{
    if (window) pwScroll(window, a.number[0], a.number[1]);
}
void performResize(const scriptAction& a, plHwnd window)
{
    if (window) pwResize(window, a.number[0], a.number[1]);
}
void performFocus(const scriptAction& a, plHwnd window)
{
    pwFocus(a.flag ? window : nullptr);
}
void performClose(const scriptAction&, plHwnd window)
{
    if (window) pwClose(window);
}
void performShutdown(const scriptAction&, plHwnd window)
{
    if (window) pwQueryEndSession(window);
}
void performClipboard(const scriptAction& a, plHwnd)
{
    hlSetClipboardText(a.text.c_str());
}
void performDump(const scriptAction&, plHwnd)
{
    writeReport();
}
void performPrinter(const scriptAction& a, plHwnd)
{
    if (!a.flag) {
        printer.present = 1;
        printer.width = a.number[0];
        printer.height = a.number[1];
        printer.charWidth = a.number[2];
        printer.rowHeight = a.number[3];
    } else if (a.number[0] == printerNone) {
        printer.present = 0;
    } else if (a.number[0] == printerFailStartDoc) {
        printer.startDocResult = 0;
    } else if (a.number[0] == printerFailStartPage) {
        printer.failStartPage = 1;
    } else {
        printer.failEndPage = 1;
    }
    hlSetPrinter(printer);
}
void performCancelPrintAfter(const scriptAction& a, plHwnd)
{
    printer.cancelAfterPages = a.number[0];
    hlSetPrinter(printer);
}
void answerBox(const scriptAction& a, plHwnd)
{
    hlQueueBoxAnswer(a.number[0]);
}
void answerSaveDialog(const scriptAction& a, plHwnd)
{
    hlQueueSaveAnswer(a.flag ? nullptr : a.text.c_str());
}
void answerPrintDialog(const scriptAction& a, plHwnd)
{
    hlQueuePrintAnswer(a.print);
}

bool parsePrintDialog(const std::vector<std::string>& w, const std::string&, scriptAction* action, std::string* error)
{
    return parsePrintAnswer(w, action, error);
}

const scriptVerb verbs[] = {
    {"type", parseText, performType, 0},
    {"key", parseKey, performKey, 0},
    {"press", parsePress, performPress, 0},
    {"release", parseRelease, performRelease, 0},
    {"move", parseMove, performMove, 0},
    {"menu", parseMenu, performMenu, 0},
    {"scroll", parseScroll, performScroll, 0},
    {"resize", parseResize, performResize, 0},
    {"focus", parseFocus, performFocus, 0},
    {"close", parseBare, performClose, 0},
    {"shutdown", parseBare, performShutdown, 0},
    {"dump", parseBare, performDump, 0},
    {"clipboard", parseText, performClipboard, 0},
    {"printer", parsePrinter, performPrinter, 0},
    {"cancel-print-after", parseCancelPrintAfter, performCancelPrintAfter, 0},
    {"answer", parseAnswer, answerBox, hlAnswerBox},
    {"save-dialog", parseSaveDialog, answerSaveDialog, hlAnswerSaveDialog},
    {"print-dialog", parsePrintDialog, answerPrintDialog, hlAnswerPrintDialog},
};

bool parseAction(const std::string& text, scriptAction* action, std::string* error)
{
    std::vector<std::string> w = words(text);
    const std::string& verb = w[0];
    // Everything after the verb and one blank: the text of type and clipboard.
    std::string rest = text.size() > verb.size() + 1 ? text.substr(verb.size() + 1) : std::string();
    for (const scriptVerb& entry : verbs) {
        if (verb == entry.name) {
            action->verb = &entry;
            return entry.parse(w, rest, action, error);
        }
    }
    return fail(error, "unknown action " + verb);
}

bool parseScript(const std::string& source, std::string* error)
{
    int lineNumber = 0;
    size_t position = 0;
    while (position < source.size()) {
        size_t end = source.find('\n', position);
        if (end == std::string::npos) {
            end = source.size();
        }
        std::string line = source.substr(position, end - position);
        position = end + 1;
        lineNumber++;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        line = line.substr(first);

        scriptAction action = {};
        action.line = lineNumber;
        if (line.rfind("pump:", 0) == 0) {
            action.pump = true;
            size_t start = line.find_first_not_of(" \t", 5);
            line = start == std::string::npos ? std::string() : line.substr(start);
            if (line.empty()) {
                *error = "line " + std::to_string(lineNumber) + ": pump: needs an action";
                return false;
            }
        }
        std::string reason;
        if (!parseAction(line, &action, &reason)) {
            *error = "line " + std::to_string(lineNumber) + ": " + reason;
            return false;
        }
        script.push_back(action);
    }
    return true;
}

bool readScript(const char* path, std::string* source)
{
    FILE* file = std::strcmp(path, "-") == 0 ? stdin : std::fopen(path, "rb");
    if (!file) {
        return false;
    }
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        source->append(chunk, got);
    }
    bool ok = !std::ferror(file);
    if (file != stdin) {
        std::fclose(file);
    }
    return ok;
}

[[noreturn]] void stopRun(const std::string& reason)
{
    writeLastReport();
    std::fprintf(stderr, "rastrel: %s\n", reason.c_str());
    std::fflush(stderr);
    ::_exit(3);
}

std::string lineTag(const scriptAction& action) { return "line " + std::to_string(action.line) + ": "; }

// ---------------------------------------------------------------------------
// Delivering the actions.

void perform(const scriptAction& action)
{
    action.verb->perform(action, consoleInspect().window);
}

// The console waits for a message: the next script line.  The window system
// asks again while that line gave it nothing to deliver.
int onIdle()
{
    if (nextAction >= script.size()) {
        stopRun("the script is used up while the program waits for input");
    }
    const scriptAction& action = script[nextAction];
    if (action.pump) {
        stopRun(lineTag(action) + "a pump: action, but the program waits for input");
    }
    if (action.verb->answers) {
        stopRun(lineTag(action) + "an answer, but no message box or dialog is open");
    }
    nextAction++;
    perform(action);
    return 1;
}

// A non-blocking pump has run dry: a pump: line, if one comes next.
int onPeek()
{
    if (nextAction >= script.size() || !script[nextAction].pump) {
        return 0;
    }
    const scriptAction& action = script[nextAction];
    if (action.verb->answers) {
        stopRun(lineTag(action) + "an answer, but no message box or dialog is open");
    }
    nextAction++;
    perform(action);
    return 1;
}

// A message box or dialog opened: the next line answers it.
void onAnswer(hlAnswerKind kind)
{
    const char* what = kind == hlAnswerBox ? "a message box" : kind == hlAnswerSaveDialog ? "the save dialog"
                                                                                           : "the print dialog";
    if (nextAction >= script.size()) {
        stopRun(std::string(what) + " is open, but the script is used up");
    }
    const scriptAction& action = script[nextAction];
    if (action.verb->answers != kind) {
        stopRun(lineTag(action) + std::string(what) + " is open, but the line does not answer it");
    }
    nextAction++;
    perform(action);
}

void onFailure(const char* reason)
{
    stopRun(reason);
}

// The program ends, or a fault ends it once its box has been answered.
void onEnding(int)
{
    writeLastReport();
}

}  // namespace

int readHeadlessScript(const char* scriptPath)
{
    std::string source;
    if (!readScript(scriptPath, &source)) {
        std::fprintf(stderr, "rastrel: cannot read the script %s\n", scriptPath);
        return 0;
    }
    std::string error;
    if (!parseScript(source, &error)) {
        std::fprintf(stderr, "rastrel: %s: %s\n", scriptPath, error.c_str());
        return 0;
    }
    return 1;
}

int parseHeadlessScript(const char* text, size_t length, std::string* error, std::vector<std::string>* verbs)
{
    script.clear();
    nextAction = 0;
    if (!parseScript(std::string(text, length), error)) {
        script.clear();
        return -1;
    }
    for (size_t i = 0; verbs && i < script.size(); i++) {
        verbs->push_back(std::string(script[i].pump ? "pump: " : "") + script[i].verb->name);
    }
    return static_cast<int>(script.size());
}

namespace {

volatile sig_atomic_t programPid;

// The runner passes the signals that end a run on to the program, so that
// ending the run by the runner's pid ends the whole run.
void forwardSignal(int signal)
{
    const int savedErrno = errno;
    if (programPid > 0) {
        kill(programPid, signal);
    }
    errno = savedErrno;
}

}  // namespace

void runHeadless(const char* scriptPath, void (*startProgram)())
{
    if (!readHeadlessScript(scriptPath)) {
        std::printf("exit: 3\n");
        std::exit(3);
    }
    std::fflush(stdout);
    std::fflush(stderr);

    const pid_t runner = getpid();
    pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "rastrel: cannot start the program: %s\n", std::strerror(errno));
        std::printf("exit: 3\n");
        std::exit(3);
    }
    if (child == 0) {
        // The program itself, driven by the script.  It ends with the runner,
        // however the runner ends (a runner already gone before this took
        // effect is noticed by the new parent).
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != runner) {
            std::_Exit(3);
        }
        hlInstall();
        printer = hlDefaultPrinter();
        hlSetIdleHandler(onIdle);
        hlSetPeekHandler(onPeek);
        hlSetAnswerHandler(onAnswer);
        hlSetFailureHandler(onFailure);
        hlSetEndingHandler(onEnding);
        startProgram();
        std::_Exit(3);
    }

    programPid = child;
    struct sigaction forward;
    std::memset(&forward, 0, sizeof forward);
    sigemptyset(&forward.sa_mask);
    forward.sa_handler = forwardSignal;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &forward, nullptr);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            std::fprintf(stderr, "rastrel: lost the program: %s\n", std::strerror(errno));
            std::printf("exit: 3\n");
            std::exit(3);
        }
    }
    if (WIFSIGNALED(status)) {
        std::printf("exit: signal %d\n", WTERMSIG(status));
        std::fflush(stdout);
        std::exit(128 + WTERMSIG(status));
    }
    int code = WEXITSTATUS(status);
    std::printf("exit: %d\n", code);
    std::fflush(stdout);
    std::exit(code);
}
