// The command line's parser: GNU long options against a table like the
// program's, in both modes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program/options.h"

namespace {

const commandLineOption table[] = {{"--headless", 1}, {"--plain", 0}, {"--window", 0}, {"--terminal", 0}};

struct parsing {
    commandLineResult result;
    parsedCommandLine parsed;
    std::vector<std::string> operands;
    std::string value;
};

parsing parse(std::vector<std::string> arguments, commandLineMode mode = commandLineStrict)
{
    arguments.insert(arguments.begin(), "rastrel");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    parsing out;
    out.result = parseCommandLine(static_cast<int>(arguments.size()), argv.data(), table, 4, mode, &out.parsed);
    EXPECT_STREQ(argv[0], "rastrel");
    for (int i = 1; i <= out.parsed.operandCount; ++i) out.operands.push_back(argv[static_cast<size_t>(i)]);
    if (out.result == commandLineRun) {
        EXPECT_EQ(argv[static_cast<size_t>(out.parsed.operandCount) + 1], nullptr);
    }
    if (out.parsed.value) out.value = out.parsed.value;
    return out;
}

TEST(CommandLine, OptionsStandAnywhereAbbreviatedOrWithTheirValueAndDoubleDashEndsThem)
{
    parsing p = parse({"scans", "--pl"});
    EXPECT_EQ(p.result, commandLineRun);
    EXPECT_EQ(p.parsed.chosen, 1);
    EXPECT_EQ(p.operands, std::vector<std::string>{"scans"});

    p = parse({"--headless", "script.txt", "scans"});
    EXPECT_EQ(p.parsed.chosen, 0);
    EXPECT_EQ(p.value, "script.txt");
    EXPECT_EQ(p.operands, std::vector<std::string>{"scans"});

    p = parse({"--headl=-", "--", "--plain", "-x"});
    EXPECT_EQ(p.result, commandLineRun);
    EXPECT_EQ(p.parsed.chosen, 0);
    EXPECT_EQ(p.value, "-");
    EXPECT_EQ(p.operands, (std::vector<std::string>{"--plain", "-x"}));

    p = parse({"-", "--window", "--window"});   // "-" is an operand; the same option twice is no conflict
    EXPECT_EQ(p.result, commandLineRun);
    EXPECT_EQ(p.parsed.chosen, 2);
    EXPECT_EQ(p.operands, std::vector<std::string>{"-"});

    p = parse({});
    EXPECT_EQ(p.result, commandLineRun);
    EXPECT_EQ(p.parsed.chosen, -1);
    EXPECT_TRUE(p.operands.empty());
}

TEST(CommandLine, MistakesAreNamedAndHelpOrVersionWinsWhenMetFirst)
{
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } mistakes[] = {
        {{"--bogus"}, "unrecognized option '--bogus'"},
        {{"--h"}, "option '--h' is ambiguous"},
        {{"--headless"}, "option '--headless' requires an argument"},
        {{"--plain=1"}, "option '--plain' doesn't allow an argument"},
        {{"--plain", "--terminal"}, "options '--plain' and '--terminal' cannot be used together"},
        {{"-h"}, "invalid option -- 'h'"},
        {{"--bogus", "--help"}, "unrecognized option '--bogus'"},
    };
    for (const auto& mistake : mistakes) {
        parsing p = parse(mistake.arguments);
        EXPECT_EQ(p.result, commandLineWrong) << mistake.message;
        EXPECT_STREQ(p.parsed.message, mistake.message);
    }
    EXPECT_EQ(parse({"scans", "--hel"}).result, commandLineHelp);
    EXPECT_EQ(parse({"--help", "--bogus"}).result, commandLineHelp);
    EXPECT_EQ(parse({"--plain", "--vers", "a", "b"}).result, commandLineVersion);
}

TEST(CommandLine, LeadingModeLeavesEverythingFromTheFirstStrangerToTheProgram)
{
    parsing p = parse({"--window", "--write-lines", "/tmp/x", "--plain"}, commandLineLeading);
    EXPECT_EQ(p.result, commandLineRun);
    EXPECT_EQ(p.parsed.chosen, 2);
    EXPECT_EQ(p.operands, (std::vector<std::string>{"--write-lines", "/tmp/x", "--plain"}));

    p = parse({"divide", "--plain"}, commandLineLeading);
    EXPECT_EQ(p.parsed.chosen, -1);
    EXPECT_EQ(p.operands, (std::vector<std::string>{"divide", "--plain"}));
}

}  // namespace
