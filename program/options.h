// The program's command line, read the GNU way: long options (a unique
// abbreviation is enough, "--name=VALUE" or "--name VALUE"), "--" ending the
// options, and the operands left for the program.  The same on every system;
// each entry decides what the operands mean and which options it knows.
#pragma once

// One option of the command line.
struct commandLineOption {
    const char* name;   // "--plain"
    int takesValue;     // 1: "--headless SCRIPT"
};

enum commandLineResult {
    commandLineRun,       // go on: options and operands read
    commandLineHelp,      // --help was given: print the help, exit 0
    commandLineVersion,   // --version was given
    commandLineWrong,     // a mistake, said in message: exit 2
};

enum commandLineMode {
    // Options may stand among the operands; an unknown option is a mistake.
    commandLineStrict,
    // The first argument that is not a known option ends the options: it
    // and everything after it are the program's own (the test programs).
    commandLineLeading,
};

enum { commandLineMessageSize = 256 };

struct parsedCommandLine {
    int chosen;                 // the index of the one table option given, or -1
    char* value;                // its value, or null
    int operandCount;           // the operands, in the order given, are
                                // left in argv[1] .. argv[operandCount]
    char message[commandLineMessageSize];   // for commandLineWrong, without
                                            // the program's name
};

// Reads argv[1] .. argv[argc - 1] against the table (--help and --version
// are known besides).  Rearranges argv so that argv[0] stays and the
// operands follow it.  Two table options together are a mistake.
commandLineResult parseCommandLine(int argc, char** argv, const commandLineOption* table, int count,
                                   commandLineMode mode, parsedCommandLine* parsed);

// The texts the program prints for --version and after a mistake.
extern const char programVersionText[];
extern const char programTryHelpText[];
