// dravnik info: a complete set passes, a damaged one is named.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "archive/format.h"

#include "tests/unit/test_support.h"

using namespace testsupport;

namespace {

// Splits a 100 000-byte data.txt into base "set" with 20480-byte volumes (six members).
void makeArchive(const TempDir& dir) {
    ASSERT_TRUE(writeFile(dir.file("data.txt"), patternBytes(100000)));
    ASSERT_EQ(dravnikSplit({dir.file("data.txt"), "-v20480", "-a" + dir.file("set")}), 0);
}

std::string infoOutput(const std::string& path, int* code) {
    testing::internal::CaptureStdout();
    *code = dravnikInfo({path});
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(CliInfo, CompleteSetShowsItsHeaderAndPasses) {
    TempDir dir;
    makeArchive(dir);
    int code = -1;
    std::string out = infoOutput(dir.file("set.0.exe"), &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("target name:  data.txt\n"), std::string::npos);
    EXPECT_NE(out.find("members:      6\n"), std::string::npos);
    EXPECT_NE(out.find("attributes:   0x00000020 ARCHIVE\n"), std::string::npos);
    EXPECT_NE(out.find("target size:  100 000 bytes\n"), std::string::npos);
    std::string last = std::to_string(100000 + headerSize(8) - 5 * 20480);
    EXPECT_NE(out.find("set.5.bin: " + last + " bytes, ok\n"), std::string::npos);
    EXPECT_NE(out.find("complete\n"), std::string::npos);
}

TEST(CliInfo, MissingOrMisSizedVolumesFail) {
    struct Case {
        const char* what;
        void (*spoil)(const TempDir&);
        const char* expected;
    };
    const Case cases[] = {
        {"missing", [](const TempDir& d) { unlink(d.file("set.3.bin").c_str()); },
         "set.3.bin: missing"},
        {"fifo",
         [](const TempDir& d) {
             unlink(d.file("set.3.bin").c_str());
             ASSERT_EQ(mkfifo(d.file("set.3.bin").c_str(), 0644), 0);
         },
         "set.3.bin: not a regular file that can be read"},
        {"short middle volume",
         [](const TempDir& d) { ASSERT_EQ(truncate(d.file("set.2.bin").c_str(), 20479), 0); },
         "set.2.bin: 20479 bytes, wrong size"},
        {"empty last volume",
         [](const TempDir& d) { ASSERT_EQ(truncate(d.file("set.5.bin").c_str(), 0), 0); },
         "set.5.bin: 0 bytes, wrong size"},
        {"oversized last volume",
         [](const TempDir& d) { ASSERT_EQ(truncate(d.file("set.5.bin").c_str(), 20481), 0); },
         "set.5.bin: 20481 bytes, wrong size"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        makeArchive(dir);
        c.spoil(dir);
        int code = -1;
        std::string out = infoOutput(dir.file("set.0.exe"), &code);
        EXPECT_EQ(code, 1);
        EXPECT_NE(out.find(c.expected), std::string::npos) << out;
        EXPECT_EQ(out.find("\ncomplete"), std::string::npos);
    }
}

TEST(CliInfo, FilesThatAreNoArchiveFail) {
    TempDir dir;
    makeArchive(dir);
    int code = -1;
    // Renamed so that it no longer ends in W digits and .exe: its volumes cannot be found.
    ASSERT_EQ(rename(dir.file("set.0.exe").c_str(), dir.file("set.exe").c_str()), 0);
    infoOutput(dir.file("set.exe"), &code);
    EXPECT_EQ(code, 1);
    ASSERT_TRUE(writeFile(dir.file("plain.0.exe"), patternBytes(30000)));
    infoOutput(dir.file("plain.0.exe"), &code);
    EXPECT_EQ(code, 1);
    infoOutput(dir.file("absent.0.exe"), &code);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(dravnikInfo({}), 2);
}

namespace {

std::string infoStderr(const std::string& path, int* code, std::string* out) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    *code = dravnikInfo({path});
    *out = testing::internal::GetCapturedStdout();
    return testing::internal::GetCapturedStderr();
}

bool holdsControlCharacters(const std::string& text) {
    for (char c : text) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace

TEST(CliInfo, ANameWithEscapeSequencesIsRefusedAndShownEscaped) {
    TempDir dir;
    makeArchive(dir);
    Bytes archive;
    ASSERT_TRUE(readFile(dir.file("set.0.exe"), &archive));
    // "data.txt" (8 bytes) becomes a name that would retitle and clear a terminal.
    const std::string hostile = "\x1b]0;owned\x07\x1b[2J";
    Bytes patched(archive.begin(), archive.begin() + kUnpackerImageSize);
    patched.insert(patched.end(), hostile.begin(), hostile.end());
    patched.insert(patched.end(), archive.begin() + kUnpackerImageSize + 8, archive.end());
    ASSERT_TRUE(writeFile(dir.file("set.0.exe"), patched));
    int code = -1;
    std::string out;
    std::string err = infoStderr(dir.file("set.0.exe"), &code, &out);
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(holdsControlCharacters(out + err)) << out << err;
    EXPECT_NE(err.find("the target name could leave the folder or is no file name"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("refused name: \\x1b]0;owned\\x07\\x1b[2J"), std::string::npos) << err;
}

TEST(CliInfo, PathsAreShownWithTheirControlCharactersEscaped) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("data.txt"), patternBytes(100000)));
    // A folder of that name: an archive's own name may not hold control characters.
    ASSERT_EQ(mkdir(dir.file("a\x1b[2Jb").c_str(), 0700), 0);
    std::string base = dir.file("a\x1b[2Jb/set");
    ASSERT_EQ(dravnikSplit({dir.file("data.txt"), "-v20480", "-a" + base}), 0);
    int code = -1;
    std::string out;
    std::string err = infoStderr(base + ".0.exe", &code, &out);
    EXPECT_EQ(code, 0) << out << err;
    EXPECT_FALSE(holdsControlCharacters(out + err)) << out << err;
    EXPECT_NE(out.find("archive:      " + dir.file("a\\x1b[2Jb/set.0.exe") + "\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(dir.file("a\\x1b[2Jb/set.3.bin") + ": 20480 bytes, ok"), std::string::npos)
        << out;
}

TEST(CliInfo, AFifoIsNoArchiveAndNeverBlocks) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("set.0.exe").c_str(), 0644), 0);
    alarm(30);
    int code = -1;
    std::string out;
    std::string err = infoStderr(dir.file("set.0.exe"), &code, &out);
    alarm(0);
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("cannot open"), std::string::npos) << err;
}
