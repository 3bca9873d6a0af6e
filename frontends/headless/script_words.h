// The scripted run's lines: an action as a line gives it, and the words,
// numbers, key names and escapes its lines are made of (script.cpp reads
// the verbs with these).
#pragma once

#include <string>
#include <vector>

#include "frontends/headless/headless.h"

namespace hlScript {

struct scriptVerb;

struct scriptAction {
    int line;                   // line number in the script, from 1
    const scriptVerb* verb;
    bool pump;                  // deliver at the next non-blocking pump
    std::string text;           // type and clipboard bytes, the save dialog's path
    int number[4];              // coordinates, ids, codes, sizes, answers
    bool flag;                  // shift, button down, focus in, save dialog cancelled
    hlPrintAnswer print;
};

// w: the line's words (the verb first); rest: everything after the verb and
// one blank.  Returns false with the reason in error.
typedef bool (*verbParser)(const std::vector<std::string>& w, const std::string& rest, scriptAction* action,
                           std::string* error);
// window: the console window while it is alive, else null.
typedef void (*verbPerformer)(const scriptAction& action, plHwnd window);

struct scriptVerb {
    const char* name;
    verbParser parse;
    verbPerformer perform;
    int answers;                // the hlAnswerKind it answers, 0 for actions
};

// ---------------------------------------------------------------------------
// Reading a line.  Each returns false with the reason in error where it
// takes one.

bool fail(std::string* error, const std::string& reason);
int hexDigit(char c);
bool unescape(const std::string& in, std::string* out, std::string* error);
std::vector<std::string> words(const std::string& text);
bool toNumber(const std::string& word, int* value);
bool numbers(const std::vector<std::string>& w, size_t first, size_t count, scriptAction* action);
bool parseKeyName(const std::string& name, int* key);
bool parsePrintAnswer(const std::vector<std::string>& w, scriptAction* action, std::string* error);

}  // namespace hlScript
