#include "cli/options.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

// DRAVNIK_VERSION_TEXT comes from the project's version in CMake ("2.3").
const char kCliUsageText[] =
    "usage: dravnik split SOURCE [-vSIZE] [-aNAME] [-y]\n"
    "       dravnik join ARCHIVE.exe [FOLDER] [-y]\n"
    "       dravnik info ARCHIVE.exe\n"
    "       dravnik --help | --version\n"
    "\n"
    "  split  cuts SOURCE into NAME.0.exe (a self-joining program) and NAME.1.bin, ...\n"
    "  join   rebuilds the file from an archive in FOLDER (asked for when not given)\n"
    "  info   shows an archive's header and checks every volume\n"
    "\n"
    "  -vSIZE  volume size: digits, an optional fraction and K, M or G (powers of 1024),\n"
    "          at least 20480 bytes and below 4 GiB; 1457664 when not given\n"
    "  -aNAME  the archive's path without its ending; SOURCE when not given\n"
    "  -y      answers yes to the questions whether to replace files\n"
    "  --      ends the options\n"
    "  -h, --help  this text; --version  the version\n"
    "\n"
    "exit codes: 0 done, 1 failed, declined or damaged, 2 usage error\n";

const char kCliVersionText[] = "dravnik " DRAVNIK_VERSION_TEXT;

namespace {

struct CommandRule {
    const char* name;
    int minOperands;
    int maxOperands;
    bool takesSize;  // -v
    bool takesName;  // -a
    bool takesYes;   // -y
};

const CommandRule kRules[] = {
    {"split", 1, 1, true, true, true},
    {"join", 1, 2, false, false, true},
    {"info", 1, 1, false, false, false},
};

bool isHelp(const char* arg) {
    return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0;
}

// The options before "--" ask for help or the version: they are answered whatever else the
// arguments hold.
CliParse answerOnlyRequest(int argc, char** argv) {
    bool version = false;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0) {
            break;
        }
        if (isHelp(argv[i])) {
            return kCliHelp;
        }
        version = version || strcmp(argv[i], "--version") == 0;
    }
    return version ? kCliVersion : kCliRun;
}

CliParse refuse(char* error, size_t errorSize, const char* format, const char* detail) {
    snprintf(error, errorSize, format, detail);
    return kCliUsageError;
}

// Takes the value of -v or -a at argv[*i] into *slot. False (with error) when it is missing
// or the option came before.
bool takeValue(int argc, char** argv, int* i, const char** slot, char* error, size_t errorSize) {
    const char* arg = argv[*i];
    if (*slot != nullptr) {
        refuse(error, errorSize, "%.2s is given more than once", arg);
        return false;
    }
    const char* value = arg + 2;
    if (*value == '\0') {
        if (*i + 1 >= argc) {
            refuse(error, errorSize, "%.2s needs a value", arg);
            return false;
        }
        value = argv[++*i];
    }
    *slot = value;
    return true;
}

}  // namespace

CliParse parseCliArguments(CliCommand command, int argc, char** argv, CliOptions* options,
                           char* error, size_t errorSize) {
    const CommandRule& rule = kRules[command];
    options->operands[0] = nullptr;
    options->operands[1] = nullptr;
    options->operandCount = 0;
    options->sizeText = nullptr;
    options->archiveName = nullptr;
    options->assumeYes = false;
    error[0] = '\0';
    CliParse request = answerOnlyRequest(argc, argv);
    if (request != kCliRun) {
        return request;
    }
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            if (strcmp(arg, "--") == 0) {
                optionsEnded = true;
            } else if (rule.takesYes && strcmp(arg, "-y") == 0) {
                if (options->assumeYes) {
                    return refuse(error, errorSize, "%s is given more than once", arg);
                }
                options->assumeYes = true;
            } else if (rule.takesSize && arg[1] == 'v') {
                if (!takeValue(argc, argv, &i, &options->sizeText, error, errorSize)) {
                    return kCliUsageError;
                }
            } else if (rule.takesName && arg[1] == 'a') {
                if (!takeValue(argc, argv, &i, &options->archiveName, error, errorSize)) {
                    return kCliUsageError;
                }
                if (options->archiveName[0] == '\0') {
                    return refuse(error, errorSize, "%s needs a name, not an empty text", "-a");
                }
            } else {
                return refuse(error, errorSize, "unknown option %s", arg);
            }
            continue;
        }
        if (arg[0] == '\0') {
            return refuse(error, errorSize, "%s", "an empty text names no file or folder");
        }
        if (options->operandCount == rule.maxOperands) {
            return refuse(error, errorSize, "one operand too many: %s", arg);
        }
        options->operands[options->operandCount++] = arg;
    }
    if (options->operandCount < rule.minOperands) {
        return refuse(error, errorSize, "%s",
                      command == kCliSplit ? "no SOURCE given" : "no ARCHIVE.exe given");
    }
    return kCliRun;
}

int cliUsageError(const char* commandName, const char* text) {
    fprintf(stderr, "dravnik%s%s: %s\n%s", commandName[0] != '\0' ? " " : "", commandName, text,
            kCliUsageText);
    return 2;
}

int cliAnswerRequest(int argc, char** argv) {
    CliParse request = answerOnlyRequest(argc, argv);
    if (request == kCliHelp) {
        fputs(kCliUsageText, stdout);
        return 0;
    }
    if (request == kCliVersion) {
        printf("%s\n", kCliVersionText);
        return 0;
    }
    return -1;
}

int cliParseOrAnswer(CliCommand command, int argc, char** argv, CliOptions* options) {
    char error[256];
    switch (parseCliArguments(command, argc, argv, options, error, sizeof error)) {
        case kCliHelp:
        case kCliVersion:
            return cliAnswerRequest(argc, argv);
        case kCliUsageError:
            return cliUsageError(kRules[command].name, error);
        case kCliRun:
            break;
    }
    return -1;
}

int cliFinishOutput(int exitCode) {
    // fflush reports what the last buffered writes met; ferror what any earlier one did.
    errno = 0;
    bool flushed = fflush(stdout) == 0;
    int reason = errno;
    if (flushed && !ferror(stdout)) {
        return exitCode;
    }
    fprintf(stderr, "dravnik: Не могу записать стандартный вывод: %s\n",
            strerror(reason != 0 ? reason : EIO));
    return exitCode == 0 ? 1 : exitCode;
}
