// Coverage-guided fuzzing of the scripted run's parser.
//
// The input is a script.  Whatever it holds, parsing it never crashes, and:
// - an accepted script holds one action per line that is neither blank nor
//   a comment, each with its line's verb (the first word, after "pump:" on
//   a pump: line); each such line is accepted on its own with the same verb,
//   also with "pump: " before it, with blanks before it and with CR LF
//   after it;
// - a refused script gives "line N: REASON", N one of its lines and REASON
//   not empty; the lines before N are accepted, and line N on its own is
//   refused with the same reason.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "frontends/headless/script.h"

namespace {

using verbList = std::vector<std::string>;

[[noreturn]] void fail(const std::string& what, const std::string& line)
{
    std::string shown;
    for (char c : line) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c >= ' ' && c <= '~' ? "%c" : "\\x%02x", static_cast<unsigned char>(c));
        shown += hex;
    }
    std::fprintf(stderr, "script fuzz: %s: \"%s\"\n", what.c_str(), shown.c_str());
    std::fflush(stderr);
    std::abort();
}

int parse(const std::string& text, std::string* error, verbList* verbs)
{
    error->clear();
    verbs->clear();
    return parseHeadlessScript(text.data(), text.size(), error, verbs);
}

// The verb of an action line as a reader of the script sees it.
std::string verbOf(std::string line)
{
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto word = [&](size_t from) {
        const size_t start = line.find_first_not_of(" \t", from);
        if (start == std::string::npos) return std::string();
        return line.substr(start, line.find_first_of(" \t", start) - start);
    };
    const size_t start = line.find_first_not_of(" \t");
    if (line.compare(start, 5, "pump:") == 0) return "pump: " + word(start + 5);
    return word(start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The lines, each up to its LF; the parser drops one CR before the LF.
    // Action lines are neither blank nor comments.  A line is parsed alone
    // with its LF, so that its CRs are read as in the script.
    std::vector<std::string> lines;
    std::vector<size_t> starts;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
        starts.push_back(at);
        at = end + 1;
    }
    const auto isAction = [](std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        return first != std::string::npos && line[first] != '#';
    };

    std::string error;
    verbList verbs;
    const int count = parse(text, &error, &verbs);
    if (count >= 0) {
        size_t next = 0;
        for (const std::string& line : lines) {
            if (!isAction(line)) continue;
            if (next >= verbs.size()) fail("an accepted script has fewer actions than lines", line);
            const std::string verb = verbOf(line);
            if (verbs[next++] != verb) fail("an action's verb is not its line's", line);
            std::string alone;
            verbList again;
            const std::string plain = line.substr(line.find_first_not_of(" \t"));
            const bool pump = plain.compare(0, 5, "pump:") == 0;
            for (const std::string& variant : {line + "\n", " \t" + line + (line.back() == '\r' ? "\n" : "\r\n"),
                                                (pump ? plain : "pump: " + plain) + "\n"}) {
                if (parse(variant, &alone, &again) != 1) fail("an accepted line is refused: " + alone, variant);
            }
            if (again[0] != (pump ? verb : "pump: " + verb)) fail("pump: changes a line's verb", line);
        }
        if (next != verbs.size() || static_cast<size_t>(count) != verbs.size()) {
            fail("an accepted script has more actions than lines", text);
        }
        return 0;
    }

    // Refused: the reason names one of the lines, which is refused alone.
    unsigned long number = 0;
    int consumed = 0;
    if (std::sscanf(error.c_str(), "line %lu: %n", &number, &consumed) != 1 || consumed == 0 ||
        error.compare(0, 5, "line ") != 0 || number < 1 || number > lines.size() ||
        static_cast<size_t>(consumed) >= error.size()) {
        fail("a refusal without a line and a reason: " + error, text);
    }
    const std::string reason = error.substr(static_cast<size_t>(consumed));
    const std::string& line = lines[number - 1];
    std::string before;
    verbList earlier;
    if (parse(text.substr(0, starts[number - 1]), &before, &earlier) < 0) {
        fail("the lines before a refused line are refused: " + before, text);
    }
    std::string alone;
    verbList none;
    if (parse(line + "\n", &alone, &none) >= 0 || alone != "line 1: " + reason) {
        fail("a refused line alone gives \"" + alone + "\", not \"" + reason + "\"", line);
    }
    return 0;
}
