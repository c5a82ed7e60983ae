#include "splitter/program/help_command.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

std::string helpFileFor(const std::string& exePath) {
    char out[300];
    EXPECT_TRUE(helpFilePath(exePath.c_str(), out, sizeof(out)));
    return out;
}

std::string commandFor(const std::string& helpPath) {
    char out[300];
    EXPECT_TRUE(helpCommandLine(helpPath.c_str(), out, sizeof(out)));
    return out;
}

}  // namespace

TEST(HelpCommand, TheHelpFileLiesBesideTheProgram) {
    EXPECT_EQ(helpFileFor("C:\\Tools\\dravnik.exe"), "C:\\Tools\\dravnik-help.txt");
    EXPECT_EQ(helpFileFor("C:\\Program Files\\my dravnik.exe"),
              "C:\\Program Files\\dravnik-help.txt");
    EXPECT_EQ(helpFileFor("dravnik.exe"), "dravnik-help.txt");
}

TEST(HelpCommand, NotepadGetsThePathQuoted) {
    EXPECT_EQ(commandFor("C:\\Tools\\dravnik-help.txt"),
              "notepad.exe \"C:\\Tools\\dravnik-help.txt\"");
    EXPECT_EQ(commandFor("C:\\Program Files\\Dravnik\\dravnik-help.txt"),
              "notepad.exe \"C:\\Program Files\\Dravnik\\dravnik-help.txt\"");
}

TEST(HelpCommand, LongestPathFitsAndTooSmallBufferIsRefused) {
    // A 255-character program path: the longest the splitter holds.
    std::string exe = "C:\\" + std::string(240, ' ') + "\\dravnik.exe";
    exe.resize(255, 'x');
    const std::string folder = exe.substr(0, exe.rfind('\\') + 1);
    EXPECT_EQ(helpFileFor(exe), folder + "dravnik-help.txt");

    char small[24];
    memset(small, '#', sizeof(small));
    EXPECT_FALSE(helpFilePath("C:\\Tools\\dravnik.exe", small, sizeof(small)));
    EXPECT_EQ(small[0], 0);
    char exact[27];  // "C:\Tools\dravnik-help.txt" is 25 characters
    EXPECT_TRUE(helpFilePath("C:\\Tools\\dravnik.exe", exact, 26));
    EXPECT_FALSE(helpFilePath("C:\\Tools\\dravnik.exe", exact, 25));
    EXPECT_FALSE(helpCommandLine("C:\\Tools\\dravnik-help.txt", exact, sizeof(exact)));
    EXPECT_EQ(exact[0], 0);
}
