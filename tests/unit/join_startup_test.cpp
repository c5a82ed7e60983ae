#include "unpacker/startup_text.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

// The unpacker's paths use backslashes whatever the build: its own last-backslash rule.
int lastBackslashIndexForTest(const char* path) {
    const char* last = strrchr(path, '\\');
    return last == nullptr ? -1 : static_cast<int>(last - path);
}

}  // namespace

TEST(JoinStartup, ArgumentFollowsTheProgramName) {
    EXPECT_STREQ(skipProgramName("\"C:\\Temp dir\\ombra0.exe\" C:\\a\"b\\set.0.exe"),
                 "C:\\a\"b\\set.0.exe");
    EXPECT_STREQ(skipProgramName("C:\\Temp\\ombra0.exe \t x"), "x");
    EXPECT_STREQ(skipProgramName("set.0.exe"), "");
    EXPECT_STREQ(skipProgramName("\"set.0.exe\""), "");
    EXPECT_STREQ(skipProgramName("\"unclosed"), "");
}

TEST(JoinStartup, ArchivePathWithBlanksSurvivesTheRelaunch) {
    const char* archive = "C:\\My Files\\new set\\s.0.exe";
    char line[128];
    ASSERT_TRUE(relaunchCommandLine(line, sizeof line,
                                    "C:\\Documents and Settings\\Temp\\ombra3.exe", archive));
    EXPECT_STREQ(line,
                 "\"C:\\Documents and Settings\\Temp\\ombra3.exe\" "
                 "C:\\My\"Files\\new\"set\\s.0.exe");
    char back[300];
    ASSERT_TRUE(decodeArchiveArgument(skipProgramName(line), back, sizeof back));
    EXPECT_STREQ(back, archive);
    // Too small a buffer is refused, never overrun.
    char small[20];
    EXPECT_FALSE(relaunchCommandLine(small, sizeof small, "C:\\Temp\\ombra0.exe", archive));
    EXPECT_LT(strlen(small), sizeof small);
    char cut[8];
    EXPECT_FALSE(decodeArchiveArgument("abcdefghij", cut, sizeof cut));
    EXPECT_STREQ(cut, "abcdefg");
}

TEST(JoinStartup, NumberedNames) {
    char out[32];
    ASSERT_TRUE(numberedPath(out, sizeof out, "C:\\T\\", "ombra", 0, ".exe"));
    EXPECT_STREQ(out, "C:\\T\\ombra0.exe");
    ASSERT_TRUE(numberedPath(out, sizeof out, "C:\\T\\", "selfdel", 999, ".bat"));
    EXPECT_STREQ(out, "C:\\T\\selfdel999.bat");
    EXPECT_FALSE(numberedPath(out, 10, "C:\\T\\", "selfdel", 999, ".bat"));
}

TEST(JoinStartup, OnlyARelaunchedCopyCountsAsTemporary) {
    const char* temp = "C:\\Users\\u\\Temp\\";
    EXPECT_TRUE(isTempCopyPath("C:\\Users\\u\\Temp\\ombra0.exe", temp));
    EXPECT_TRUE(isTempCopyPath("c:\\users\\U\\TEMP\\OMBRA17.EXE", temp));
    EXPECT_FALSE(isTempCopyPath("C:\\Users\\u\\Temp\\ombra.exe", temp));
    EXPECT_FALSE(isTempCopyPath("C:\\Users\\u\\Temp\\ombra1.exe.bak", temp));
    EXPECT_FALSE(isTempCopyPath("C:\\Users\\u\\Temp\\sub\\ombra1.exe", temp));
    EXPECT_FALSE(isTempCopyPath("C:\\Users\\u\\Temp\\set.0.exe", temp));
    EXPECT_FALSE(isTempCopyPath("D:\\archive\\ombra0.exe", temp));
    EXPECT_FALSE(isTempCopyPath("C:\\Users\\u\\Temp\\", temp));
    EXPECT_FALSE(isTempCopyPath("C:\\ombra0.exe", ""));
}

// Windows compares folder names without regard to case, Cyrillic letters too: a user folder
// "Иван" may come back as "иван" from one call and "ИВАН" from another (code page 1251 bytes).
TEST(JoinStartup, TempFolderMatchesInAnyCaseOfItsCyrillicLetters) {
    const char* temp = "C:\\Users\\\xC8\xE2\xE0\xED\\Temp\\";                            // Иван
    EXPECT_TRUE(isTempCopyPath("C:\\Users\\\xE8\xE2\xE0\xED\\Temp\\ombra3.exe", temp));  // иван
    EXPECT_TRUE(isTempCopyPath("C:\\Users\\\xC8\xC2\xC0\xCD\\Temp\\ombra3.exe", temp));  // ИВАН
    EXPECT_FALSE(isTempCopyPath("C:\\Users\\\xC8\xE2\xE0\xEE\\Temp\\ombra3.exe", temp));  // Ивао
}

TEST(JoinStartup, BatchNamesItsFilesThroughItsOwnPath) {
    // No folder is written into the text: the command interpreter reads it in the OEM code
    // page, in which a code page 1251 folder name would be another name.
    char text[512];
    ASSERT_TRUE(selfDeleteBatchText(text, sizeof text, "ombra12.exe"));
    EXPECT_STREQ(text,
                 "@echo off\r\n"
                 "set f=\"%~dp0ombra12.exe\"\r\n"
                 "set n=0\r\n"
                 ":try\r\n"
                 "del /f %f%\r\n"
                 "if not exist %f% goto done\r\n"
                 "set /a n+=1\r\n"
                 "if %n%==30 goto done\r\n"
                 "ping -n 2 127.0.0.1 >nul\r\n"
                 "goto try\r\n"
                 ":done\r\n"
                 "del \"%~f0\"");
    for (const char* p = text; *p != '\0'; ++p) {
        EXPECT_LT(static_cast<unsigned char>(*p), 0x80u);
    }
    char small[40];
    EXPECT_FALSE(selfDeleteBatchText(small, sizeof small, "ombra0.exe"));
    EXPECT_LT(strlen(small), sizeof small);
}

TEST(JoinStartup, OpenDialogStartsInTheVolumesFolderAndARootKeepsItsBackslash) {
    struct Case {
        const char* path;
        const char* folder;
    };
    const Case cases[] = {
        {"C:\\set.1.bin", "C:\\"},  // "C:" alone would be the drive's current folder
        {"C:\\a b\\set.1.bin", "C:\\a b"},
        {"\\set.1.bin", "\\"},  // the root of the current drive
        {"\\\\server\\share\\set.1.bin", "\\\\server\\share"},
        {"set.1.bin", ""},  // no folder: the current one
    };
    for (const Case& c : cases) {
        char folder[64];
        memset(folder, 'x', sizeof folder);
        volumeDialogFolder(c.path, lastBackslashIndexForTest(c.path) + 1, folder);
        EXPECT_STREQ(folder, c.folder) << c.path;
    }
}
