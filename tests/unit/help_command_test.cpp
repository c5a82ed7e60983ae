#include "splitter/program/help_command.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

std::string helpFor(const std::string& exePath) {
    char out[300];
    EXPECT_TRUE(helpCommandLine(exePath.c_str(), out, sizeof(out)));
    return out;
}

}  // namespace

TEST(HelpCommand, PlainFolderIsPassedUnquoted) {
    EXPECT_EQ(helpFor("C:\\Tools\\dravnik.exe"), "winhlp32.exe C:\\Tools\\DRAVNIK.HLP");
    EXPECT_EQ(helpFor("C:\\dravnik.exe"), "winhlp32.exe C:\\DRAVNIK.HLP");
}

TEST(HelpCommand, FolderWithBlanksIsQuoted) {
    EXPECT_EQ(helpFor("C:\\Program Files\\Dravnik\\dravnik.exe"),
              "winhlp32.exe \"C:\\Program Files\\Dravnik\\DRAVNIK.HLP\"");
    EXPECT_EQ(helpFor("C:\\a\tb\\dravnik.exe"), "winhlp32.exe \"C:\\a\tb\\DRAVNIK.HLP\"");
}

TEST(HelpCommand, BlankOnlyInTheProgramNameNeedsNoQuotes) {
    // The program's own name is replaced, so its blank never reaches the viewer.
    EXPECT_EQ(helpFor("C:\\Tools\\my dravnik.exe"), "winhlp32.exe C:\\Tools\\DRAVNIK.HLP");
}

TEST(HelpCommand, PathWithoutFolderKeepsTheViewer) {
    EXPECT_EQ(helpFor("dravnik.exe"), "winhlp32.exe DRAVNIK.HLP");
    EXPECT_EQ(helpFor(""), "winhlp32.exe DRAVNIK.HLP");
}

TEST(HelpCommand, LongestPathFitsAndTooSmallBufferIsRefused) {
    // A 255-character path with blanks: the longest the splitter holds.
    std::string exe = "C:\\" + std::string(240, ' ') + "\\dravnik.exe";
    exe.resize(255, 'x');
    const std::string folder = exe.substr(0, exe.rfind('\\') + 1);
    EXPECT_EQ(helpFor(exe), "winhlp32.exe \"" + folder + "DRAVNIK.HLP\"");

    char small[24];
    memset(small, '#', sizeof(small));
    EXPECT_FALSE(helpCommandLine("C:\\Tools\\dravnik.exe", small, sizeof(small)));
    EXPECT_EQ(small[0], 0);
    char exact[34];  // "winhlp32.exe C:\Tools\DRAVNIK.HLP" is 33 characters
    EXPECT_TRUE(helpCommandLine("C:\\Tools\\dravnik.exe", exact, sizeof(exact)));
    EXPECT_FALSE(helpCommandLine("C:\\Tools\\dravnik.exe", exact, sizeof(exact) - 1));
}
