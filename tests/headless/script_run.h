// Runs a program with --headless and a script, as a process, and reads its
// reports back.  Shared by every script test in this folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace script_test {

// One report of the run, with its text fields decoded.
struct Report {
    std::string title;
    int visible = -1;
    int modified = -1;
    std::string transcript;
    std::string pending;
    std::string view;                // "top=0 last=9 rows=24 columns=80"
    std::string caret;               // "row=9 column=17 shown=1"
    std::string selection;           // "none" or "START END"
    std::vector<std::string> screen; // each row without its bars
    std::string clipboard;           // "none" or the decoded text
    std::vector<std::string> boxes;  // each box line after "box: "
    int beeps = -1;
    std::vector<std::string> documents;   // the document/page/text/line lines
};

struct ScriptRun {
    std::string output;
    std::string errors;
    int status = -1;                 // the exit status, 128 + N for a signal
    std::string exitLine;            // the last line: "exit: ..."
    std::vector<Report> reports;
    const Report& last() const
    {
        static const Report none;
        return reports.empty() ? none : reports.back();
    }
};

// C-escaped text in double quotes, decoded.
inline std::string decode(const std::string& quoted)
{
    std::string out;
    size_t i = quoted.size() >= 2 && quoted.front() == '"' ? 1 : 0;
    size_t end = quoted.size() >= 2 && quoted.back() == '"' ? quoted.size() - 1 : quoted.size();
    for (; i < end; i++) {
        if (quoted[i] != '\\' || i + 1 >= end) {
            out.push_back(quoted[i]);
            continue;
        }
        char c = quoted[++i];
        switch (c) {
        case 'r': out.push_back('\r'); break;
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'x':
            out.push_back(static_cast<char>(std::stoi(quoted.substr(i + 1, 2), nullptr, 16)));
            i += 2;
            break;
        default: out.push_back(c); break;
        }
    }
    return out;
}

inline std::vector<Report> parseReports(const std::string& output)
{
    std::vector<Report> reports;
    std::istringstream lines(output);
    std::string line;
    Report* current = nullptr;
    bool inScreen = false;
    auto value = [&line](size_t skip) { return line.substr(skip); };
    while (std::getline(lines, line)) {
        if (line.rfind("title: ", 0) == 0) {
            reports.emplace_back();
            current = &reports.back();
            current->title = decode(value(7));
            inScreen = false;
            continue;
        }
        if (!current) {
            continue;
        }
        if (inScreen && line.size() >= 2 && line.front() == '|' && line.back() == '|') {
            current->screen.push_back(line.substr(1, line.size() - 2));
            continue;
        }
        inScreen = false;
        if (line.rfind("visible: ", 0) == 0) current->visible = std::atoi(value(9).c_str());
        else if (line.rfind("modified: ", 0) == 0) current->modified = std::atoi(value(10).c_str());
        else if (line.rfind("transcript: ", 0) == 0) current->transcript = decode(value(12));
        else if (line.rfind("pending: ", 0) == 0) current->pending = decode(value(9));
        else if (line.rfind("view: ", 0) == 0) current->view = value(6);
        else if (line.rfind("caret: ", 0) == 0) current->caret = value(7);
        else if (line.rfind("selection: ", 0) == 0) current->selection = value(11);
        else if (line == "screen:") inScreen = true;
        else if (line.rfind("clipboard: ", 0) == 0) current->clipboard = value(11) == "none" ? "none" : decode(value(11));
        else if (line.rfind("box: ", 0) == 0) current->boxes.push_back(value(5));
        else if (line.rfind("beeps: ", 0) == 0) current->beeps = std::atoi(value(7).c_str());
        else if (line == "end") current = nullptr;
        else current->documents.push_back(line);
    }
    return reports;
}

// A fresh folder for one run.  Every folder made here is removed when the
// test program ends, whoever used it.
inline std::string makeFolder()
{
    struct Made {
        std::vector<std::string> folders;
        ~Made()
        {
            for (const std::string& folder : folders) {
                std::error_code ignored;
                std::filesystem::remove_all(folder, ignored);
            }
        }
    };
    static Made made;
    char pattern[] = "/tmp/rastrel-script.XXXXXX";
    if (!mkdtemp(pattern)) {
        return "/tmp";
    }
    made.folders.push_back(pattern);
    return pattern;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// Runs PROGRAM --headless SCRIPT ARGUMENTS... in folder, with the script
// written to a file there.  Without a folder it runs in a fresh one, removed
// afterwards.
inline ScriptRun runScript(const char* program, const std::string& script, const std::vector<std::string>& arguments = {},
                     std::string folder = "")
{
    const bool ownFolder = folder.empty();
    if (ownFolder) {
        folder = makeFolder();
    }
    const std::string scriptPath = folder + "/script.txt";
    const std::string outputPath = folder + "/report.txt";
    const std::string errorPath = folder + "/errors.txt";
    {
        std::ofstream file(scriptPath, std::ios::binary | std::ios::trunc);
        file << script;
    }
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0 || !std::freopen(outputPath.c_str(), "wb", stdout) ||
            !std::freopen(errorPath.c_str(), "wb", stderr)) {
            _exit(126);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program));
        argv.push_back(const_cast<char*>("--headless"));
        argv.push_back(const_cast<char*>(scriptPath.c_str()));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    ScriptRun run;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    run.output = readFile(outputPath);
    run.errors = readFile(errorPath);
    // No sanitizer report, a leak found as the program ended included.
    EXPECT_EQ(run.errors.find("Sanitizer"), std::string::npos) << run.errors;
    run.reports = parseReports(run.output);
    if (ownFolder) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    size_t lastLine = run.output.rfind("exit: ");
    if (lastLine != std::string::npos) {
        run.exitLine = run.output.substr(lastLine);
        while (!run.exitLine.empty() && run.exitLine.back() == '\n') {
            run.exitLine.pop_back();
        }
    }
    return run;
}

// The last line of the transcript that holds text.
inline std::string lastTextLine(const std::string& transcript)
{
    std::string text = transcript;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    size_t start = text.rfind('\n');
    return start == std::string::npos ? text : text.substr(start + 1);
}

// The message box line of the close prompt, answered.
inline std::string savePrompt(const std::string& answer, const std::string& name = "Vellomex.txt")
{
    return "\"Vellomex\" \"Do you wish to save " + name + " before quitting?\" " + answer;
}

}  // namespace script_test
