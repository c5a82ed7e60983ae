#include "splitter/program/command_line.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

SplitterState parse(const std::string& text) {
    SplitterState state;
    initSplitterState(&state);
    parseCommandLine(text.c_str(), text.size(), &state);
    return state;
}

TEST(CommandLine, AcceptsEveryFormInAnyOrder) {
    SplitterState s = parse("C:\\data\\film.avi -v650M -aC:\\out\\film");
    EXPECT_STREQ(s.sourcePath, "C:\\data\\film.avi");
    EXPECT_STREQ(s.volumeSizeArg, "650M");
    EXPECT_STREQ(s.archiveName, "C:\\out\\film");

    s = parse("-a\"C:\\my out\\film\" -v1.38M \"C:\\my data\\film one.avi\"");
    EXPECT_STREQ(s.sourcePath, "C:\\my data\\film one.avi");
    EXPECT_STREQ(s.volumeSizeArg, "1.38M");
    EXPECT_STREQ(s.archiveName, "C:\\my out\\film");
}

TEST(CommandLine, QuotesRunToTheNextQuoteOrTheEnd) {
    SplitterState s = parse("\"C:\\a b\\c.txt\"tail");
    EXPECT_STREQ(s.sourcePath, "tail");  // a word after the closing quote is a new source
    s = parse("\"C:\\no end quote\\x y");
    EXPECT_STREQ(s.sourcePath, "C:\\no end quote\\x y");
    s = parse("-a\"unfinished name");
    EXPECT_STREQ(s.archiveName, "unfinished name");
    s = parse("\"\"");
    EXPECT_STREQ(s.sourcePath, "");
}

TEST(CommandLine, LaterWordsReplaceEarlierOnes) {
    SplitterState s = parse("first.bin -aone second.bin -atwo -v20K -v1M");
    EXPECT_STREQ(s.sourcePath, "second.bin");
    EXPECT_STREQ(s.archiveName, "two");
    EXPECT_STREQ(s.volumeSizeArg, "1M");
}

TEST(CommandLine, EmptiesPathsFirstButKeepsAnEarlierSize) {
    SplitterState state;
    initSplitterState(&state);
    strcpy(state.sourcePath, "old");
    strcpy(state.archiveName, "old");
    strcpy(state.volumeSizeArg, "20K");
    parseCommandLine("-x", 2, &state);
    EXPECT_STREQ(state.sourcePath, "x");  // "-x": the '-' is passed over, x is a source word
    EXPECT_STREQ(state.archiveName, "");
    EXPECT_STREQ(state.volumeSizeArg, "20K");
}

TEST(CommandLine, TakesOptionValuesAfterABlank) {
    SplitterState s = parse("-v 650M -a name file.bin");
    EXPECT_STREQ(s.volumeSizeArg, "650M");
    EXPECT_STREQ(s.archiveName, "name");
    EXPECT_STREQ(s.sourcePath, "file.bin");

    s = parse("-a   \"my name\" file.bin");
    EXPECT_STREQ(s.archiveName, "my name");
    EXPECT_STREQ(s.sourcePath, "file.bin");
}

TEST(CommandLine, AnOptionWithoutValueLeavesTheNextOptionAlone) {
    SplitterState s = parse("file.bin -a -v650M");
    EXPECT_STREQ(s.archiveName, "");
    EXPECT_STREQ(s.volumeSizeArg, "650M");
    s = parse("file.bin -v");
    EXPECT_STREQ(s.volumeSizeArg, "");
    EXPECT_STREQ(s.sourcePath, "file.bin");
}

TEST(CommandLine, CutsOverlongValuesToFit) {
    std::string longPath(kMaxPathChars + 145, 'p');
    SplitterState s = parse(longPath + " -v123456789012345678901M -a\"" +
                            std::string(kMaxPathChars + 45, 'a') + "\"");
    EXPECT_EQ(strlen(s.sourcePath), kMaxPathChars);
    EXPECT_EQ(strlen(s.archiveName), kMaxPathChars);
    EXPECT_STREQ(s.volumeSizeArg, "12345678901234");
    EXPECT_EQ(strlen(s.volumeSizeArg), kVolumeSizeArgSize - 1);
}

TEST(CommandLine, StopsAtTheGivenLengthAndAtAZeroByte) {
    SplitterState state;
    initSplitterState(&state);
    const char text[] = "abc def";
    parseCommandLine(text, 3, &state);
    EXPECT_STREQ(state.sourcePath, "abc");

    const char withZero[] = "abc\0def";
    parseCommandLine(withZero, sizeof(withZero) - 1, &state);
    EXPECT_STREQ(state.sourcePath, "abc");

    parseCommandLine("\"abc", 1, &state);  // only the opening quote is within the length
    EXPECT_STREQ(state.sourcePath, "");
}

TEST(CommandLine, TabsSeparateWordsLikeBlanks) {
    SplitterState s = parse("\tfile.bin\t-v20K\t");
    EXPECT_STREQ(s.sourcePath, "file.bin");
    EXPECT_STREQ(s.volumeSizeArg, "20K");
}

TEST(CommandLine, KeepsCodePage1251Bytes) {
    // "Файл.txt" in code page 1251, the form the system hands to the program.
    SplitterState s = parse("\xD4\xE0\xE9\xEB.txt");
    EXPECT_STREQ(s.sourcePath, "\xD4\xE0\xE9\xEB.txt");
}

TEST(ProgramName, IsSkippedPlainOrQuoted) {
    EXPECT_STREQ(skipProgramName("dravnik.exe  file.bin -v1M"), "file.bin -v1M");
    EXPECT_STREQ(skipProgramName("\"C:\\Program Files\\dravnik.exe\" \"a b\""), "\"a b\"");
    EXPECT_STREQ(skipProgramName("\"C:\\x y\\dravnik.exe\"file"), "file");
    EXPECT_STREQ(skipProgramName("dravnik.exe"), "");
    EXPECT_STREQ(skipProgramName("\"unclosed"), "");
    EXPECT_STREQ(skipProgramName(""), "");
}

}  // namespace
