// The command line, read the GNU way (program/options.h).
#include "program/options.h"

#include <cstdio>
#include <cstring>

#ifndef RASTREL_VERSION
#error "RASTREL_VERSION must be defined by the build"
#endif

const char programVersionText[] =
    "rastrel " RASTREL_VERSION "\n"
    "Converts a scanning instrument's scan files into TIFF images, in a console window of its own.\n";

const char programTryHelpText[] = "Try 'rastrel --help' for more information.";

namespace {

const commandLineOption helpOption = {"--help", 0};
const commandLineOption versionOption = {"--version", 0};

enum { helpIndex = -2, versionIndex = -3, noMatch = -1, ambiguous = -4 };

const commandLineOption* optionAt(const commandLineOption* table, int index)
{
    if (index == helpIndex) return &helpOption;
    if (index == versionIndex) return &versionOption;
    return &table[index];
}

// The option NAME (up to its length) names: exactly, or as the one option
// it abbreviates.
int findOption(const char* name, size_t length, const commandLineOption* table, int count)
{
    int found = noMatch;
    for (int index = versionIndex; index < count; ++index) {
        if (index == noMatch) continue;
        const char* candidate = optionAt(table, index)->name;
        if (std::strncmp(candidate, name, length) != 0) continue;
        if (candidate[length] == '\0') return index;   // exact
        found = found == noMatch ? index : ambiguous;
    }
    return found;
}

commandLineResult wrong(parsedCommandLine* parsed, const char* format, const char* a, const char* b = "")
{
    std::snprintf(parsed->message, sizeof parsed->message, format, a, b);
    return commandLineWrong;
}

}  // namespace

commandLineResult parseCommandLine(int argc, char** argv, const commandLineOption* table, int count,
                                   commandLineMode mode, parsedCommandLine* parsed)
{
    parsed->chosen = -1;
    parsed->value = nullptr;
    parsed->operandCount = 0;
    parsed->message[0] = '\0';
    int kept = 1;   // the operands found so far are argv[1] .. argv[kept - 1]
    int index = 1;
    for (; index < argc; ++index) {
        char* argument = argv[index];
        if (std::strcmp(argument, "--") == 0) {
            ++index;
            break;
        }
        const bool looksLikeOption = argument[0] == '-' && argument[1] != '\0';
        if (!looksLikeOption) {
            if (mode == commandLineLeading) break;
            argv[kept++] = argument;
            continue;
        }
        if (argument[1] != '-') {
            if (mode == commandLineLeading) break;
            char letter[2] = {argument[1], '\0'};
            return wrong(parsed, "invalid option -- '%s'", letter);
        }
        const char* equals = std::strchr(argument, '=');
        const size_t length = equals ? static_cast<size_t>(equals - argument) : std::strlen(argument);
        const int found = findOption(argument, length, table, count);
        if (found == noMatch || found == ambiguous) {
            if (mode == commandLineLeading) break;
            if (found == ambiguous) {
                char name[commandLineMessageSize / 2];
                std::snprintf(name, sizeof name, "%.*s", static_cast<int>(length), argument);
                return wrong(parsed, "option '%s' is ambiguous", name);
            }
            return wrong(parsed, "unrecognized option '%s'", argument);
        }
        const commandLineOption* option = optionAt(table, found);
        char* value = nullptr;
        if (option->takesValue) {
            if (equals) {
                value = const_cast<char*>(equals + 1);
            } else if (index + 1 < argc) {
                value = argv[++index];
            } else {
                return wrong(parsed, "option '%s' requires an argument", option->name);
            }
        } else if (equals) {
            return wrong(parsed, "option '%s' doesn't allow an argument", option->name);
        }
        if (found == helpIndex) return commandLineHelp;
        if (found == versionIndex) return commandLineVersion;
        if (parsed->chosen >= 0 && parsed->chosen != found) {
            return wrong(parsed, "options '%s' and '%s' cannot be used together", table[parsed->chosen].name,
                         option->name);
        }
        parsed->chosen = found;
        parsed->value = value;
    }
    for (; index < argc; ++index) {
        argv[kept++] = argv[index];
    }
    parsed->operandCount = kept - 1;
    if (kept < argc) argv[kept] = nullptr;
    return commandLineRun;
}
