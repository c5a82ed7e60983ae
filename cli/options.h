// The command line of dravnik split, join and info: one parser and one usage text for all
// three, so every command takes --help, --version and "--" the same way.
#pragma once

#include <stddef.h>

enum CliCommand {
    kCliSplit,  // SOURCE [-vSIZE] [-aNAME] [-y]
    kCliJoin,   // ARCHIVE.exe [FOLDER] [-y]
    kCliInfo,   // ARCHIVE.exe
};

// What the arguments after the command's name say. Texts point into argv.
struct CliOptions {
    const char* operands[2];  // SOURCE or ARCHIVE.exe, then FOLDER (join only)
    int operandCount;
    const char* sizeText;     // -v, or null
    const char* archiveName;  // -a, or null
    bool assumeYes;           // -y
};

enum CliParse {
    kCliRun,         // *options holds what to do
    kCliHelp,        // --help or -h stood before "--"
    kCliVersion,     // --version stood before "--" (and no --help)
    kCliUsageError,  // *error says why
};

// Reads argv (the arguments after the command's name). Options may stand before, between and
// after the operands; "--" ends them, and whatever follows is an operand even when it starts
// with '-'; a lone "-" is an operand. -v and -a take their value attached ("-v650M") or as the
// next argument. An unknown option, an option given twice, one without its value, an empty
// -a or operand, and too few or too many operands are usage errors, described in error
// (errorSize bytes). --help and --version win over usage errors.
CliParse parseCliArguments(CliCommand command, int argc, char** argv, CliOptions* options,
                           char* error, size_t errorSize);

// The one usage text, with --help, --version and the exit codes.
extern const char kCliUsageText[];
// "dravnik 2.3"
extern const char kCliVersionText[];

// Parses as above and answers what needs no work: prints the usage on standard output for
// --help (0), the version for --version (0), or the error and the usage on standard error (2).
// Returns -1 when the command is to run with *options.
int cliParseOrAnswer(CliCommand command, int argc, char** argv, CliOptions* options);

// Answers --help or --version standing among argv before "--" (as above) and returns 0, or
// returns -1 when neither is there.
int cliAnswerRequest(int argc, char** argv);

// Prints "dravnik <command>: <text>" and the usage on standard error; returns 2.
int cliUsageError(const char* commandName, const char* text);

// Checks that standard output took everything written to it; when it did not, says so with
// the system's reason on standard error. Returns exitCode, or 1 when output was lost and
// exitCode was 0.
int cliFinishOutput(int exitCode);
