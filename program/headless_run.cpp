// The scripted run: the whole program on the headless front end, with the
// user's actions read from a script and reports of what the window shows
// written on standard output.
//
// The program runs in a child process, so that however it ends (exit, abort,
// a processor fault) the run can tell its status: the child writes its last
// report as it ends, and the parent adds "exit: STATUS".
#include "program/entry.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "runtime/runtime.h"

namespace {

enum actionKind {
    actionType, actionKey, actionPress, actionRelease, actionMove, actionMenu, actionScroll, actionResize,
    actionFocus, actionClose, actionShutdown, actionClipboard, actionAnswer, actionSaveDialog, actionPrintDialog,
    actionPrinter, actionCancelPrintAfter, actionDump,
};

enum printerChange { printerGeometry, printerNone, printerFailStartDoc, printerFailStartPage, printerFailEndPage };

struct scriptAction {
    int line;                   // line number in the script, from 1
    actionKind kind;
    bool pump;                  // deliver at the next non-blocking pump
    std::string text;           // type and clipboard bytes, the save dialog's path
    int number[4];              // coordinates, ids, codes, sizes, answers
    bool flag;                  // shift, button down, focus in, save dialog cancelled
    printerChange change;       // what a printer line changes
    hlPrintAnswer print;
};

std::vector<scriptAction> script;
size_t nextAction;
int reportedBoxes;
int reportedDocuments;
hlPrinterConfig printer;
bool lastReportWritten;

// ---------------------------------------------------------------------------
// Reading the script.

bool fail(std::string* error, const std::string& reason)
{
    *error = reason;
    return false;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool unescape(const std::string& in, std::string* out, std::string* error)
{
    out->clear();
    for (size_t i = 0; i < in.size(); i++) {
        char c = in[i];
        if (c != '\\') {
            out->push_back(c);
            continue;
        }
        if (++i >= in.size()) {
            return fail(error, "a backslash ends the text");
        }
        switch (in[i]) {
        case 'r':
            out->push_back('\r');
            break;
        case 'n':
            out->push_back('\n');
            break;
        case 't':
            out->push_back('\t');
            break;
        case '\\':
            out->push_back('\\');
            break;
        case '"':
            out->push_back('"');
            break;
        case 'x': {
            int high = i + 1 < in.size() ? hexDigit(in[i + 1]) : -1;
            int low = i + 2 < in.size() ? hexDigit(in[i + 2]) : -1;
            if (high < 0 || low < 0) {
                return fail(error, "\\x needs two hexadecimal digits");
            }
            out->push_back(static_cast<char>(high * 16 + low));
            i += 2;
            break;
        }
        default:
            return fail(error, std::string("unknown escape \\") + in[i]);
        }
    }
    return true;
}

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> result;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
            i++;
        }
        size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') {
            i++;
        }
        if (i > start) {
            result.push_back(text.substr(start, i - start));
        }
    }
    return result;
}

bool toNumber(const std::string& word, int* value)
{
    if (word.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || number < -2147483647L || number > 2147483647L) {
        return false;
    }
    *value = static_cast<int>(number);
    return true;
}

bool numbers(const std::vector<std::string>& w, size_t first, size_t count, scriptAction* action)
{
    for (size_t i = 0; i < count; i++) {
        if (first + i >= w.size() || !toNumber(w[first + i], &action->number[i])) {
            return false;
        }
    }
    return true;
}

bool parseKeyName(const std::string& name, int* key)
{
    static const struct {
        const char* name;
        uint32_t key;
    } keys[] = {{"Up", VK_UP},         {"Down", VK_DOWN},     {"Left", VK_LEFT}, {"Right", VK_RIGHT},
                {"PageUp", VK_PRIOR},  {"PageDown", VK_NEXT}, {"Home", VK_HOME}, {"End", VK_END}};
    for (const auto& entry : keys) {
        if (name == entry.name) {
            *key = static_cast<int>(entry.key);
            return true;
        }
    }
    return false;
}

bool parsePrintAnswer(const std::vector<std::string>& w, scriptAction* action, std::string* error)
{
    if (w.size() == 2 && w[1] == "cancel") {
        action->print = hlPrintOk();
        action->print.ok = 0;
        return true;
    }
    if (w.size() < 2 || w[1] != "ok") {
        return fail(error, "print-dialog needs ok or cancel");
    }
    action->print = hlPrintOk();
    // Copies and pages go into the dialog's 16-bit fields: larger values are
    // refused, not cut down.
    for (size_t i = 2; i < w.size(); i++) {
        const std::string& option = w[i];
        int value = 0;
        if (option == "nodc") {
            action->print.noDc = 1;
        } else if (option.rfind("copies=", 0) == 0 && toNumber(option.substr(7), &value) && value >= 0 &&
                   value <= 65535) {
            action->print.copies = value;
        } else if (option == "collate=0" || option == "collate=1") {
            action->print.collate = option[8] - '0';
        } else if (option.rfind("pages=", 0) == 0) {
            std::string range = option.substr(6);
            size_t dash = range.find('-');
            int from = 0;
            int to = 0;
            if (dash == std::string::npos || !toNumber(range.substr(0, dash), &from) ||
                !toNumber(range.substr(dash + 1), &to) || from < 1 || to < 1 || from > 65535 || to > 65535) {
                return fail(error, "pages= needs A-B");
            }
            action->print.fromPage = from;
            action->print.toPage = to;
        } else {
            return fail(error, "unknown print-dialog option " + option);
        }
    }
    return true;
}

bool parseAction(const std::string& text, scriptAction* action, std::string* error)
{
    std::vector<std::string> w = words(text);
    const std::string& verb = w[0];
    const size_t n = w.size();
    // Everything after the verb and one blank: the text of type and clipboard.
    std::string rest = text.size() > verb.size() + 1 ? text.substr(verb.size() + 1) : std::string();

    if (verb == "type" || verb == "clipboard") {
        action->kind = verb == "type" ? actionType : actionClipboard;
        return unescape(rest, &action->text, error);
    }
    if (verb == "key") {
        action->kind = actionKey;
        if (n != 2 || !parseKeyName(w[1], &action->number[0])) {
            return fail(error, "key needs Up, Down, Left, Right, PageUp, PageDown, Home or End");
        }
        return true;
    }
    if (verb == "press") {
        action->kind = actionPress;
        action->flag = n == 4 && w[3] == "shift";
        if ((n != 3 && !action->flag) || !numbers(w, 1, 2, action)) {
            return fail(error, "press needs X Y [shift]");
        }
        return true;
    }
    if (verb == "release") {
        action->kind = actionRelease;
        if (n != 3 || !numbers(w, 1, 2, action)) {
            return fail(error, "release needs X Y");
        }
        return true;
    }
    if (verb == "move") {
        action->kind = actionMove;
        action->flag = n == 4 && w[3] == "down";
        if ((n != 3 && !action->flag) || !numbers(w, 1, 2, action)) {
            return fail(error, "move needs X Y [down]");
        }
        return true;
    }
    if (verb == "menu") {
        action->kind = actionMenu;
        if (n != 2 || !numbers(w, 1, 1, action) || action->number[0] < 0 || action->number[0] > 65535) {
            return fail(error, "menu needs an item id");
        }
        return true;
    }
    if (verb == "scroll") {
        action->kind = actionScroll;
        action->number[1] = 0;
        if ((n != 2 && n != 3) || !numbers(w, 1, n - 1, action)) {
            return fail(error, "scroll needs CODE [POS]");
        }
        return true;
    }
    if (verb == "resize") {
        action->kind = actionResize;
        if (n != 3 || !numbers(w, 1, 2, action) || action->number[0] < 0 || action->number[1] < 0 ||
            action->number[0] > 65535 || action->number[1] > 65535) {
            return fail(error, "resize needs W H");
        }
        return true;
    }
    if (verb == "focus") {
        action->kind = actionFocus;
        if (n != 2 || (w[1] != "in" && w[1] != "out")) {
            return fail(error, "focus needs in or out");
        }
        action->flag = w[1] == "in";
        return true;
    }
    if ((verb == "close" || verb == "shutdown" || verb == "dump") && n == 1) {
        action->kind = verb == "close" ? actionClose : verb == "shutdown" ? actionShutdown : actionDump;
        return true;
    }
    if (verb == "answer") {
        action->kind = actionAnswer;
        static const struct {
            const char* name;
            int answer;
        } answers[] = {{"yes", IDYES}, {"no", IDNO}, {"cancel", IDCANCEL}, {"ok", IDOK}};
        for (const auto& entry : answers) {
            if (n == 2 && w[1] == entry.name) {
                action->number[0] = entry.answer;
                return true;
            }
        }
        return fail(error, "answer needs yes, no, cancel or ok");
    }
    if (verb == "save-dialog") {
        action->kind = actionSaveDialog;
        if (rest.empty()) {
            return fail(error, "save-dialog needs a path or cancel");
        }
        action->flag = rest == "cancel";
        action->text = rest;
        return true;
    }
    if (verb == "print-dialog") {
        action->kind = actionPrintDialog;
        return parsePrintAnswer(w, action, error);
    }
    if (verb == "printer") {
        action->kind = actionPrinter;
        if (n == 2 && w[1] == "none") {
            action->change = printerNone;
        } else if (n == 2 && w[1] == "fail=startdoc") {
            action->change = printerFailStartDoc;
        } else if (n == 2 && w[1] == "fail=startpage") {
            action->change = printerFailStartPage;
        } else if (n == 2 && w[1] == "fail=endpage") {
            action->change = printerFailEndPage;
        } else if (n == 5 && numbers(w, 1, 4, action)) {
            action->change = printerGeometry;
        } else {
            return fail(error, "printer needs W H CHARWIDTH ROWHEIGHT, none or fail=startdoc|startpage|endpage");
        }
        return true;
    }
    if (verb == "cancel-print-after") {
        action->kind = actionCancelPrintAfter;
        if (n != 2 || !numbers(w, 1, 1, action) || action->number[0] < 0) {
            return fail(error, "cancel-print-after needs a page count");
        }
        return true;
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

// ---------------------------------------------------------------------------
// Reports.

void putEscaped(std::string* out, const char* bytes, size_t count, bool quotes)
{
    for (size_t i = 0; i < count; i++) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        switch (c) {
        case '\r':
            *out += "\\r";
            break;
        case '\n':
            *out += "\\n";
            break;
        case '\t':
            *out += "\\t";
            break;
        case '\\':
            *out += "\\\\";
            break;
        case '"':
            *out += quotes ? "\\\"" : "\"";
            break;
        default:
            if (c < 32 || c > 126) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                *out += hex;
            } else {
                out->push_back(static_cast<char>(c));
            }
        }
    }
}

std::string quoted(const char* bytes, size_t count)
{
    std::string out = "\"";
    putEscaped(&out, bytes, count, true);
    out += "\"";
    return out;
}

std::string quoted(const std::string& text) { return quoted(text.data(), text.size()); }

std::string answerName(int answer)
{
    switch (answer) {
    case IDOK:
        return "ok";
    case IDCANCEL:
        return "cancel";
    case IDYES:
        return "yes";
    case IDNO:
        return "no";
    default:
        return std::to_string(answer);
    }
}

plHwnd liveWindow()
{
    return consoleWindow && plIsWindow(consoleWindow) ? consoleWindow : nullptr;
}

// A dump while a print job runs (a pump: line taken by the job's abort
// procedure) leaves the job's document for a later report, which shows it
// whole; the last report shows every document as far as it got.
void writeReport(bool last = false)
{
    std::string out;
    plHwnd window = liveWindow();
    char title[1024] = "";
    if (window) {
        plGetWindowText(window, title, sizeof title);
    }
    out += "title: " + quoted(title, std::strlen(title)) + "\n";
    out += "visible: " + std::to_string(window ? (hlIsVisible(window) ? 1 : 0) : 0) + "\n";
    out += "modified: " + std::to_string(ConsoleState.modified) + "\n";

    const char* textStart = ConsoleState.textStart;
    size_t textLength = textStart ? static_cast<size_t>(ConsoleState.textEnd - textStart) : 0;
    out += "transcript: " + quoted(textStart ? textStart : "", textLength) + "\n";
    const char* pending = ConsoleState.inputRead;
    size_t pendingLength = pending ? static_cast<size_t>(ConsoleState.inputEnd - pending) : 0;
    out += "pending: " + quoted(pending ? pending : "", pendingLength) + "\n";

    out += "view: top=" + std::to_string(ConsoleState.topRow) + " last=" + std::to_string(ConsoleState.lastRow) +
           " rows=" + std::to_string(ConsoleState.screenRows) +
           " columns=" + std::to_string(ConsoleState.screenColumns) + "\n";

    hlCaretInfo caret = hlCaret();
    int shown = window && caret.exists && caret.owner == window && caret.shown ? 1 : 0;
    out += "caret: row=" + std::to_string(caretRow) + " column=" + std::to_string(caretColumn) +
           " shown=" + std::to_string(shown) + "\n";

    if (ConsoleState.selStart && ConsoleState.selEnd) {
        out += "selection: " + std::to_string(ConsoleState.selStart - textStart) + " " +
               std::to_string(ConsoleState.selEnd - textStart) + "\n";
    } else {
        out += "selection: none\n";
    }

    out += "screen:\n";
    int rows = window ? hlSurfaceRows(window) : 0;
    for (int row = 0; row < rows; row++) {
        std::string cells = hlRowText(window, row);
        out += "|";
        putEscaped(&out, cells.data(), cells.size(), false);
        out += "|\n";
    }

    const char* clipboard = hlClipboardText();
    out += clipboard ? "clipboard: " + quoted(clipboard, std::strlen(clipboard)) + "\n" : "clipboard: none\n";

    int boxes = hlBoxCount();
    for (; reportedBoxes < boxes; reportedBoxes++) {
        const hlBoxRecord* box = hlBox(reportedBoxes);
        out += "box: " + quoted(box->caption) + " " + quoted(box->text) + " " + answerName(box->answer) + "\n";
    }
    out += "beeps: " + std::to_string(hlBeepCount()) + "\n";

    int documents = hlDocumentCount();
    for (; reportedDocuments < documents; reportedDocuments++) {
        const hlDocument* document = hlDocumentAt(reportedDocuments);
        if (!last && !document->ended && !document->aborted) {
            break;
        }
        out += "document: " + quoted(document->name) + " pages=" + std::to_string(document->pages.size()) + "\n";
        int number = 0;
        for (const hlPage& page : document->pages) {
            out += "page: " + std::to_string(++number) + "\n";
            for (const hlTextItem& item : page.texts) {
                out += "text: " + std::to_string(item.x) + " " + std::to_string(item.y) + " " + quoted(item.text) +
                       "\n";
            }
            for (const hlLine& line : page.lines) {
                out += "line: " + std::to_string(line.x1) + " " + std::to_string(line.y1) + " " +
                       std::to_string(line.x2) + " " + std::to_string(line.y2) + "\n";
            }
        }
    }
    out += "end\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

void writeLastReport()
{
    if (!lastReportWritten) {
        lastReportWritten = true;
        writeReport(true);
    }
}

// The run cannot go on: last report, the reason, status 3.
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

bool isAnswer(const scriptAction& action)
{
    return action.kind == actionAnswer || action.kind == actionSaveDialog || action.kind == actionPrintDialog;
}

void perform(const scriptAction& action)
{
    plHwnd window = liveWindow();
    const int* n = action.number;
    switch (action.kind) {
    case actionType:
        if (window) {
            hlType(window, action.text.data(), action.text.size());
        }
        break;
    case actionKey:
        if (window) {
            hlPostKey(window, static_cast<uint32_t>(n[0]));
        }
        break;
    case actionPress:
        if (window) {
            hlMouseDown(window, n[0], n[1], action.flag ? 1 : 0);
        }
        break;
    case actionRelease:
        if (window) {
            hlMouseUp(window, n[0], n[1]);
        }
        break;
    case actionMove:
        if (window) {
            hlMouseMove(window, n[0], n[1], action.flag ? 1 : 0);
        }
        break;
    case actionMenu:
        if (window) {
            hlChooseMenuItem(window, static_cast<uint16_t>(n[0]));
        }
        break;
    case actionScroll:
        if (window) {
            hlScroll(window, n[0], n[1]);
        }
        break;
    case actionResize:
        if (window) {
            hlResize(window, n[0], n[1]);
        }
        break;
    case actionFocus:
        hlFocus(action.flag ? window : nullptr);
        break;
    case actionClose:
        if (window) {
            hlClose(window);
        }
        break;
    case actionShutdown:
        if (window) {
            hlQueryEndSession(window);
        }
        break;
    case actionClipboard:
        hlSetClipboardText(action.text.c_str());
        break;
    case actionPrinter:
        switch (action.change) {
        case printerNone:
            printer.present = 0;
            break;
        case printerFailStartDoc:
            printer.startDocResult = 0;
            break;
        case printerFailStartPage:
            printer.failStartPage = 1;
            break;
        case printerFailEndPage:
            printer.failEndPage = 1;
            break;
        case printerGeometry:
            printer.present = 1;
            printer.width = n[0];
            printer.height = n[1];
            printer.charWidth = n[2];
            printer.rowHeight = n[3];
            break;
        }
        hlSetPrinter(printer);
        break;
    case actionCancelPrintAfter:
        printer.cancelAfterPages = n[0];
        hlSetPrinter(printer);
        break;
    case actionDump:
        writeReport();
        break;
    case actionAnswer:
    case actionSaveDialog:
    case actionPrintDialog:
        break;
    }
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
    if (isAnswer(action)) {
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
    if (isAnswer(action)) {
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
    actionKind wanted = kind == hlAnswerBox ? actionAnswer : kind == hlAnswerSaveDialog ? actionSaveDialog
                                                                                        : actionPrintDialog;
    if (action.kind != wanted) {
        stopRun(lineTag(action) + std::string(what) + " is open, but the line does not answer it");
    }
    nextAction++;
    switch (kind) {
    case hlAnswerBox:
        hlQueueBoxAnswer(action.number[0]);
        break;
    case hlAnswerSaveDialog:
        hlQueueSaveAnswer(action.flag ? nullptr : action.text.c_str());
        break;
    case hlAnswerPrintDialog:
        hlQueuePrintAnswer(action.print);
        break;
    }
}

void onFailure(const char* reason)
{
    stopRun(reason);
}

void onFault(int)
{
    writeLastReport();
}

// The child: the program itself, driven by the script.
[[noreturn]] void runChild(int argc, char** argv, consoleApplication application)
{
    printer = hlDefaultPrinter();
    hlSetIdleHandler(onIdle);
    hlSetPeekHandler(onPeek);
    hlSetAnswerHandler(onAnswer);
    hlSetFailureHandler(onFailure);
    consoleEndingHook = writeLastReport;
    rt_set_fault_hook(onFault);

    // The application sees the program name and the arguments after the script.
    std::vector<char*> arguments;
    arguments.push_back(argv[0]);
    for (int i = 3; i < argc; i++) {
        arguments.push_back(argv[i]);
    }
    arguments.push_back(nullptr);
    startConsole(static_cast<int>(arguments.size() - 1), arguments.data(), application);
}

}  // namespace

void runHeadless(const char* scriptPath, int argc, char** argv, consoleApplication application)
{
    std::string source;
    if (!readScript(scriptPath, &source)) {
        std::fprintf(stderr, "rastrel: cannot read the script %s\n", scriptPath);
        std::printf("exit: 3\n");
        std::exit(3);
    }
    std::string error;
    if (!parseScript(source, &error)) {
        std::fprintf(stderr, "rastrel: %s: %s\n", scriptPath, error.c_str());
        std::printf("exit: 3\n");
        std::exit(3);
    }
    std::fflush(stdout);
    std::fflush(stderr);

    pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "rastrel: cannot start the program: %s\n", std::strerror(errno));
        std::printf("exit: 3\n");
        std::exit(3);
    }
    if (child == 0) {
        runChild(argc, argv, application);
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
