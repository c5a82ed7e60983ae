#include "splitter/form/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/unit/test_support.h"

using namespace testsupport;

namespace {

struct Loaded {
    SplitterState state;
    SizeList list;
};

Loaded loadFrom(const TempDir& dir, const std::string& content) {
    std::string path = dir.file("dravnik.ini");
    EXPECT_TRUE(writeFile(path, Bytes(content.begin(), content.end())));
    Loaded out;
    initSplitterState(&out.state);
    out.state.archiveDirMode = 1;  // the reader must reset the run-time flags
    out.state.sourceBrowsed = 1;
    loadSettings(path.c_str(), &out.state, &out.list);
    return out;
}

void expectDefaultSizes(const Loaded& l) {
    EXPECT_STREQ(l.list.entries[0], "1457664");
    EXPECT_STREQ(l.list.entries[1], "1.38M");
    EXPECT_STREQ(l.list.entries[2], "650M");
    EXPECT_EQ(l.state.volumeSize, 1457664u);
}

}  // namespace

TEST(SettingsPath, BesideTheProgram) {
    char out[kPathBufferSize];
    ASSERT_TRUE(settingsFilePath("/opt/dravnik/dravnik", out, sizeof out));
    EXPECT_STREQ(out, "/opt/dravnik/dravnik.ini");
    ASSERT_TRUE(settingsFilePath("dravnik", out, sizeof out));
    EXPECT_STREQ(out, "dravnik.ini");
    std::string deep = "/" + std::string(kMaxPathChars - 10, 'd') + "/x";
    EXPECT_FALSE(settingsFilePath(deep.c_str(), out, sizeof out));
    EXPECT_STREQ(out, "");
}

TEST(SettingsFile, WrittenBytesAreExactWithCrLfAndNoFinalLineEnd) {
    TempDir dir;
    std::string path = dir.file("dravnik.ini");
    SplitterState state;
    initSplitterState(&state);
    state.closeAfterFinish = 1;
    snprintf(state.lastSourceDir, sizeof state.lastSourceDir, "/src dir/");
    snprintf(state.archiveDir, sizeof state.archiveDir, "/arc/");
    SizeList list;
    defaultSizeList(&list);
    ASSERT_TRUE(saveSettings(path.c_str(), &state, list));
    Bytes bytes;
    ASSERT_TRUE(readFile(path, &bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "V2.3\r\nCLOSE\r\n1457664\r\n1.38M\r\n650M\r\n/src dir/\r\n/arc/");

    state.closeAfterFinish = 0;
    state.archiveDirMode = kArchiveBesideSource | kArchiveNameBrowsed;
    ASSERT_TRUE(saveSettings(path.c_str(), &state, list));
    ASSERT_TRUE(readFile(path, &bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "V2.3\r\nDONOTCLOSE\r\n1457664\r\n1.38M\r\n650M\r\n/src dir/\r\n-");
    EXPECT_STREQ(state.archiveDir, "-");
}

TEST(SettingsFile, ReadsBackWhatWasWritten) {
    TempDir dir;
    std::string path = dir.file("dravnik.ini");
    for (int mode : {0, kArchiveNameBrowsed, kArchiveBesideSource}) {
        SCOPED_TRACE(mode);
        SplitterState state;
        initSplitterState(&state);
        state.closeAfterFinish = mode == 0;
        state.archiveDirMode = mode;
        snprintf(state.lastSourceDir, sizeof state.lastSourceDir, "/a b/");
        snprintf(state.archiveDir, sizeof state.archiveDir, "/c/");
        SizeList list = {{"650M", "20K", "1.38M"}};
        ASSERT_TRUE(saveSettings(path.c_str(), &state, list));

        SplitterState back;
        initSplitterState(&back);
        SizeList backList;
        loadSettings(path.c_str(), &back, &backList);
        EXPECT_EQ(back.closeAfterFinish, state.closeAfterFinish);
        EXPECT_EQ(back.archiveDirMode, mode == kArchiveBesideSource ? kArchiveBesideSource : 0);
        EXPECT_STREQ(back.lastSourceDir, "/a b/");
        EXPECT_STREQ(back.archiveDir, mode == kArchiveBesideSource ? "" : "/c/");
        EXPECT_STREQ(backList.entries[0], "650M");
        EXPECT_STREQ(backList.entries[1], "20K");
        EXPECT_STREQ(backList.entries[2], "1.38M");
        EXPECT_EQ(back.volumeSize, 681574400u);
    }
}

TEST(SettingsFile, MissingOrForeignFileGivesTheDefaults) {
    TempDir dir;
    Loaded missing;
    initSplitterState(&missing.state);
    missing.state.archiveDirMode = 1;
    loadSettings(dir.file("none.ini").c_str(), &missing.state, &missing.list);
    expectDefaultSizes(missing);
    EXPECT_EQ(missing.state.closeAfterFinish, 0);
    EXPECT_EQ(missing.state.archiveDirMode, 0);
    EXPECT_STREQ(missing.state.lastSourceDir, "");

    for (const char* version : {"v2.3", "V2.30", "V2.2", ""}) {
        SCOPED_TRACE(version);
        Loaded l =
            loadFrom(dir, std::string(version) + "\r\nCLOSE\r\n20K\r\n30K\r\n40K\r\n/s/\r\n/a/");
        expectDefaultSizes(l);
        EXPECT_EQ(l.state.closeAfterFinish, 0);
        EXPECT_STREQ(l.state.archiveDir, "");
    }
}

TEST(SettingsFile, OnlyExactCloseSetsTheFlagAndDashMeansBesideSource) {
    TempDir dir;
    EXPECT_EQ(loadFrom(dir, "V2.3\r\nclose\r\n20K\r\n30K\r\n40K\r\n\r\n").state.closeAfterFinish,
              0);
    Loaded l = loadFrom(dir, "V2.3\r\nCLOSE\r\n20K\r\n30K\r\n40K\r\n\r\n-old/folder");
    EXPECT_EQ(l.state.closeAfterFinish, 1);
    EXPECT_EQ(l.state.archiveDirMode, kArchiveBesideSource);
    EXPECT_STREQ(l.state.archiveDir, "");
    EXPECT_STREQ(l.state.lastSourceDir, "");
    EXPECT_EQ(l.state.sourceBrowsed, 0);
}

// As Notepad and other editors save it: any line end, a final one or none, blanks around the
// values. What is read is the value the line shows, never a line end or a blank in a folder.
TEST(SettingsFile, ReadAsPeopleEditIt) {
    TempDir dir;
    const char* cases[] = {
        "V2.3\r\nCLOSE\r\n20K\r\n30K\r\n40K\r\n/s d/\r\n/a b/\r\n",  // final CR LF
        "V2.3\nCLOSE\n20K\n30K\n40K\n/s d/\n/a b/\n",                // LF
        "V2.3\nCLOSE\n20K\n30K\n40K\n/s d/\n/a b/",                  // LF, no final
        "V2.3\rCLOSE\r20K\r30K\r40K\r/s d/\r/a b/\r",                // CR
        " V2.3 \r\n\tCLOSE\r\n 20K \r\n30K\r\n40K \t\r\n  /s d/ \r\n\t/a b/  \r\n\r\n",
    };
    for (const char* content : cases) {
        SCOPED_TRACE(content);
        Loaded l = loadFrom(dir, content);
        EXPECT_EQ(l.state.closeAfterFinish, 1);
        EXPECT_STREQ(l.list.entries[0], "20K");
        EXPECT_STREQ(l.list.entries[2], "40K");
        EXPECT_EQ(l.state.volumeSize, 20480u);
        EXPECT_STREQ(l.state.lastSourceDir, "/s d/");
        EXPECT_STREQ(l.state.archiveDir, "/a b/");
        EXPECT_EQ(l.state.archiveDirMode, 0);
    }
    // The beside-source mark and empty folder lines, with CR LF behind them.
    Loaded l = loadFrom(dir, "V2.3\r\nDONOTCLOSE\r\n20K\r\n30K\r\n40K\r\n\r\n - \r\n");
    EXPECT_EQ(l.state.archiveDirMode, kArchiveBesideSource);
    EXPECT_STREQ(l.state.archiveDir, "");
    EXPECT_STREQ(l.state.lastSourceDir, "");
    l = loadFrom(dir, "V2.3\r\nDONOTCLOSE\r\n20K\r\n30K\r\n40K\r\n\r\n\r\n");
    EXPECT_EQ(l.state.archiveDirMode, 0);
    EXPECT_STREQ(l.state.archiveDir, "");
    // Sizes as the window shows them or a Russian keyboard types them: whole lines, blanks and
    // the decimal comma included, taken in the form the list shows.
    l = loadFrom(dir, "V2.3\nDONOTCLOSE\n1 457 664\n1,38M\n650 \xEC\n/s/\n/a/\n");
    EXPECT_STREQ(l.list.entries[0], "1457664");
    EXPECT_STREQ(l.list.entries[1], "1.38M");
    EXPECT_STREQ(l.list.entries[2], "650M");
    EXPECT_EQ(l.state.volumeSize, 1457664u);
}

TEST(SettingsFile, UnusableSizesReplaceTheWholeList) {
    TempDir dir;
    const char* cases[] = {
        "V2.3\r\nCLOSE\r\n19.99K\r\n30K\r\n40K\r\n/s/\r\n/a/",  // below the minimum
        "V2.3\r\nCLOSE\r\n30K\r\nabc\r\n40K\r\n/s/\r\n/a/",     // reads as 0
        "V2.3\r\nCLOSE\r\n30K\r\n40K\r\n4G\r\n/s/\r\n/a/",      // 4 GiB: too large
        "V2.3\r\nCLOSE\r\n5G\r\n30K\r\n40K\r\n/s/\r\n/a/",      // once read as 1 GiB
        "V2.3\r\nCLOSE\r\n30K\r\n40K\r\n1234567890123456789012345\r\n/s/\r\n/a/",  // 25 chars
        "V2.3\r\nCLOSE\r\n30K",                                                    // ends early
        "V2.3",
    };
    for (const char* content : cases) {
        SCOPED_TRACE(content);
        Loaded l = loadFrom(dir, content);
        expectDefaultSizes(l);
    }
    EXPECT_EQ(loadFrom(dir, "V2.3\r\nCLOSE\r\n30K").state.closeAfterFinish, 1);
}

TEST(SettingsFile, SizesAreTakenAsTheFormAppliesThem) {
    TempDir dir;
    // Normalised, a hand-written size goes into the list in the form the box would show.
    Loaded l = loadFrom(dir, "V2.3\r\nCLOSE\r\n650m\r\n1,5M\r\n20\xEA\r\n/s/\r\n/a/");
    EXPECT_STREQ(l.list.entries[0], "650M");
    EXPECT_STREQ(l.list.entries[1], "1.5M");  // the decimal comma
    EXPECT_STREQ(l.list.entries[2], "20K");
    EXPECT_EQ(l.state.volumeSize, 681574400u);
    EXPECT_STREQ(l.state.lastSourceDir, "/s/");
    // Sizes that read large only before normalising ("1e5" is "1", "+700M" is "M").
    for (const char* size : {"1e5", "+700M", "1.5e3K", "30e3"}) {
        SCOPED_TRACE(size);
        l = loadFrom(dir, std::string("V2.3\r\nCLOSE\r\n30K\r\n") + size + "\r\n40K\r\n/s/\r\n/a/");
        expectDefaultSizes(l);
        EXPECT_STREQ(l.state.archiveDir, "/a/");
    }
}

TEST(SettingsFile, AnUnusableSizeIsNeverWritten) {
    // An empty entry would shift the folder lines; one below the minimum would cost all three
    // sizes at the next start. The file gets the defaults instead and keeps its seven lines.
    TempDir dir;
    std::string path = dir.file("dravnik.ini");
    SplitterState state;
    initSplitterState(&state);
    snprintf(state.lastSourceDir, sizeof state.lastSourceDir, "/s/");
    snprintf(state.archiveDir, sizeof state.archiveDir, "/a/");
    for (const char* bad : {"", "1", "M", "1.5K", "1e5"}) {
        SCOPED_TRACE(bad);
        SizeList list = {{"40K", "", "650M"}};
        snprintf(list.entries[1], sizeof list.entries[1], "%s", bad);
        ASSERT_TRUE(saveSettings(path.c_str(), &state, list));
        Bytes bytes;
        ASSERT_TRUE(readFile(path, &bytes));
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
                  "V2.3\r\nDONOTCLOSE\r\n1457664\r\n1.38M\r\n650M\r\n/s/\r\n/a/");
    }
    SizeList good = {{"40K", "20K", "650M"}};
    ASSERT_TRUE(saveSettings(path.c_str(), &state, good));
    Bytes bytes;
    ASSERT_TRUE(readFile(path, &bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "V2.3\r\nDONOTCLOSE\r\n40K\r\n20K\r\n650M\r\n/s/\r\n/a/");
}

TEST(SettingsFile, OverlongLinesAreCutNeverOverrun) {
    TempDir dir;
    std::string longLine(kMaxPathChars + 745, 's');
    Loaded l = loadFrom(dir, "V2.3\r\nDONOTCLOSE\r\n20K\r\n30K\r\n40K\r\n" + longLine + "\r\n" +
                                 std::string(kMaxPathChars + 445, 'a'));
    EXPECT_EQ(std::string(l.state.lastSourceDir), std::string(kMaxPathChars, 's'));
    EXPECT_EQ(std::string(l.state.archiveDir), std::string(kMaxPathChars, 'a'));
    EXPECT_STREQ(l.list.entries[2], "40K");
    // A file that ends inside line 6 keeps what is there and leaves line 7 empty.
    l = loadFrom(dir, "V2.3\r\nDONOTCLOSE\r\n20K\r\n30K\r\n40K\r\n/half");
    EXPECT_STREQ(l.state.lastSourceDir, "/half");
    EXPECT_STREQ(l.state.archiveDir, "");
    // A 10 000-character token.
    l = loadFrom(dir, "V2.3\r\n" + std::string(10000, 'C') + "\r\n20K\r\n30K\r\n40K\r\n/s/\r\n/a/");
    EXPECT_EQ(l.state.closeAfterFinish, 0);
    EXPECT_STREQ(l.list.entries[0], "20K");
}

TEST(SettingsFile, UnwritableLocationIsReportedAsFalse) {
    TempDir dir;
    SplitterState state;
    initSplitterState(&state);
    SizeList list;
    defaultSizeList(&list);
    EXPECT_FALSE(saveSettings(dir.file("no/such/folder/dravnik.ini").c_str(), &state, list));
}

// A settings file that is a link (symbolic or hard) is replaced as an entry: the file it
// reaches keeps its bytes, and no file of the saver's own stays behind.
TEST(SettingsFile, ALinkIsReplacedNeverWrittenThrough) {
    TempDir dir;
    SplitterState state;
    initSplitterState(&state);
    SizeList list;
    defaultSizeList(&list);
    Bytes precious = patternBytes(100);
    ASSERT_TRUE(writeFile(dir.file("victim"), precious));
    std::string path = dir.file("dravnik.ini");
    for (bool hard : {false, true}) {
        SCOPED_TRACE(hard ? "hard link" : "symbolic link");
        unlink(path.c_str());
        ASSERT_EQ(hard ? link(dir.file("victim").c_str(), path.c_str())
                       : symlink(dir.file("victim").c_str(), path.c_str()),
                  0);
        ASSERT_TRUE(saveSettings(path.c_str(), &state, list));
        Bytes bytes;
        ASSERT_TRUE(readFile(dir.file("victim"), &bytes));
        EXPECT_EQ(bytes, precious);
        struct stat st;
        ASSERT_EQ(lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(entryCount(dir.path()), 2);
    }
}

// The settings dialog's two choices change the saved flag only: an archive name taken from its
// dialog stays marked as such, whichever folder the next archives go to.
TEST(ArchiveFolderMode, ChoosingTheFolderKeepsTheBrowsedFlag) {
    EXPECT_EQ(withArchiveBesideSource(kArchiveNameBrowsed, true),
              kArchiveNameBrowsed | kArchiveBesideSource);
    EXPECT_EQ(withArchiveBesideSource(kArchiveNameBrowsed | kArchiveBesideSource, false),
              kArchiveNameBrowsed);
    EXPECT_EQ(withArchiveBesideSource(kArchiveBesideSource, false), 0);
    EXPECT_EQ(withArchiveBesideSource(0, true), kArchiveBesideSource);
    EXPECT_TRUE(archiveBesideSource(kArchiveNameBrowsed | kArchiveBesideSource));
    EXPECT_FALSE(archiveBesideSource(kArchiveNameBrowsed));
    EXPECT_TRUE(archiveNameBrowsed(kArchiveNameBrowsed | kArchiveBesideSource));
    EXPECT_FALSE(archiveNameBrowsed(kArchiveBesideSource));
}
