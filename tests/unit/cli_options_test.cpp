// The one parser of dravnik split, join and info.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/options.h"
#include "tests/unit/test_support.h"

namespace {

struct Case {
    CliCommand command;
    std::vector<std::string> args;
    CliParse result;
    // For kCliRun: the operands, then -v and -a ("" when not given), then -y.
    std::vector<std::string> operands;
    std::string size;
    std::string name;
    bool yes;
};

// The options point into args, which the caller keeps for as long as it reads them.
CliParse parse(const Case& c, std::vector<std::string>* args, CliOptions* options,
               std::string* error) {
    *args = c.args;
    std::vector<char*> argv;
    for (std::string& a : *args) {
        argv.push_back(&a[0]);
    }
    argv.push_back(nullptr);
    char text[256];
    CliParse result = parseCliArguments(c.command, static_cast<int>(args->size()), argv.data(),
                                        options, text, sizeof text);
    *error = text;
    return result;
}

}  // namespace

TEST(CliOptions, OneRuleForEveryCommand) {
    const CliParse run = kCliRun;
    const CliParse bad = kCliUsageError;
    const Case cases[] = {
        // Options before, between and after the operands, attached or separate.
        {kCliSplit, {"f", "-v650M", "-a", "set", "-y"}, run, {"f"}, "650M", "set", true},
        {kCliSplit, {"-y", "-v", "1,38M", "f"}, run, {"f"}, "1,38M", "", true},
        {kCliSplit, {"-v", "-5G", "f"}, run, {"f"}, "-5G", "", false},  // the size rule refuses
        {kCliJoin, {"-y", "x.0.exe", "out"}, run, {"x.0.exe", "out"}, "", "", true},
        {kCliInfo, {"x.0.exe"}, run, {"x.0.exe"}, "", "", false},
        // "--" ends the options in every command; "-" is an operand.
        {kCliSplit, {"-y", "--", "-v5M"}, run, {"-v5M"}, "", "", true},
        {kCliJoin, {"--", "-x.0.exe", "-h"}, run, {"-x.0.exe", "-h"}, "", "", false},
        {kCliInfo, {"--", "--version"}, run, {"--version"}, "", "", false},
        {kCliInfo, {"-"}, run, {"-"}, "", "", false},
        // --help and -h anywhere before "--", over any error; then --version.
        {kCliSplit, {"f", "-x", "--help"}, kCliHelp, {}, "", "", false},
        {kCliJoin, {"-h"}, kCliHelp, {}, "", "", false},
        {kCliInfo, {"--version", "-h"}, kCliHelp, {}, "", "", false},
        {kCliInfo, {"a", "b", "--version"}, kCliVersion, {}, "", "", false},
        // Unknown, repeated, valueless and misplaced options; empty texts; operand counts.
        {kCliSplit, {"f", "-x"}, bad, {}, "", "", false},
        {kCliSplit, {"f", "--size=5M"}, bad, {}, "", "", false},
        {kCliSplit, {"f", "-v5M", "-v6M"}, bad, {}, "", "", false},
        {kCliSplit, {"f", "-aone", "-a", "two"}, bad, {}, "", "", false},
        {kCliSplit, {"f", "-y", "-y"}, bad, {}, "", "", false},
        {kCliSplit, {"f", "-v"}, bad, {}, "", "", false},
        {kCliSplit, {"f", "-a", ""}, bad, {}, "", "", false},
        {kCliSplit, {"f", "-a"}, bad, {}, "", "", false},
        {kCliSplit, {"f", "g"}, bad, {}, "", "", false},
        {kCliSplit, {}, bad, {}, "", "", false},
        {kCliJoin, {"x.0.exe", "-v5M"}, bad, {}, "", "", false},
        {kCliJoin, {"x.0.exe", "out", "more"}, bad, {}, "", "", false},
        {kCliJoin, {"x.0.exe", ""}, bad, {}, "", "", false},
        {kCliInfo, {"x.0.exe", "-y"}, bad, {}, "", "", false},
        {kCliInfo, {}, bad, {}, "", "", false},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& a : c.args) {
            joined += "[" + a + "]";
        }
        SCOPED_TRACE(std::to_string(c.command) + " " + joined);
        CliOptions options;
        std::string error;
        std::vector<std::string> args;
        ASSERT_EQ(parse(c, &args, &options, &error), c.result);
        EXPECT_EQ(error.empty(), c.result != bad);
        if (c.result != run) {
            continue;
        }
        ASSERT_EQ(options.operandCount, static_cast<int>(c.operands.size()));
        for (size_t i = 0; i < c.operands.size(); ++i) {
            EXPECT_EQ(options.operands[i], c.operands[i]);
        }
        EXPECT_EQ(options.sizeText != nullptr ? options.sizeText : "", c.size);
        EXPECT_EQ(options.archiveName != nullptr ? options.archiveName : "", c.name);
        EXPECT_EQ(options.assumeYes, c.yes);
    }
}

TEST(CliOptions, HelpAndVersionOnStandardOutputUsageErrorsOnStandardError) {
    struct Case {
        int (*command)(int, char**);
        std::vector<std::string> args;
        int code;
        std::string out;  // standard output, whole
        std::string err;  // what standard error starts with
    };
    const Case cases[] = {
        {runSplit, {"-h"}, 0, kCliUsageText, ""},
        {runJoin, {"x.0.exe", "--help"}, 0, kCliUsageText, ""},
        {runInfo, {"--version"}, 0, "dravnik 2.3\n", ""},
        {runInfo, {"--", "-h"}, 1, "", "dravnik info: cannot open -h"},
        {runSplit,
         {"f", "-q"},
         2,
         "",
         std::string("dravnik split: unknown option -q\n") + kCliUsageText},
        {runJoin, {}, 2, "", "dravnik join: no ARCHIVE.exe given\nusage: dravnik split"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "" : c.args.back());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(testsupport::runCommand(c.command, c.args), c.code);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
        EXPECT_EQ(err.rfind(c.err, 0), 0u) << err;
    }
}
