#include "unpacker/startup_text.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

TEST(JoinStartup, ArgumentFollowsTheProgramName) {
    EXPECT_STREQ(commandArgument("\"C:\\Temp dir\\ombra0.exe\" C:\\a\"b\\set.0.exe"),
                 "C:\\a\"b\\set.0.exe");
    EXPECT_STREQ(commandArgument("C:\\Temp\\ombra0.exe \t x"), "x");
    EXPECT_STREQ(commandArgument("set.0.exe"), "");
    EXPECT_STREQ(commandArgument("\"set.0.exe\""), "");
    EXPECT_STREQ(commandArgument("\"unclosed"), "");
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
    ASSERT_TRUE(decodeArchiveArgument(commandArgument(line), back, sizeof back));
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

TEST(JoinStartup, BatchQuotesPathsAndDoublesPercentSigns) {
    char text[512];
    ASSERT_TRUE(selfDeleteBatchText(text, sizeof text, "C:\\Doc and Set\\100%\\ombra0.exe",
                                    "C:\\Doc and Set\\100%\\selfdel0.bat"));
    EXPECT_STREQ(text,
                 "@echo off\n"
                 ":try\n"
                 "del \"C:\\Doc and Set\\100%%\\ombra0.exe\"\n"
                 "if exist \"C:\\Doc and Set\\100%%\\ombra0.exe\" goto try\n"
                 "del \"C:\\Doc and Set\\100%%\\selfdel0.bat\"");
    char small[40];
    EXPECT_FALSE(selfDeleteBatchText(small, sizeof small, "C:\\T\\ombra0.exe", "C:\\T\\x.bat"));
    EXPECT_LT(strlen(small), sizeof small);
}
