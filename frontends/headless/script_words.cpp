// The words of the scripted run's lines: escapes, numbers, key names and
// the print dialog's answers.
#include "frontends/headless/script_words.h"

#include <cstdlib>
#include <cstring>

namespace hlScript {

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

}  // namespace hlScript
