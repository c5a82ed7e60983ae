#include "splitter/form/archive_name.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "archive/format.h"
#include "tests/unit/test_support.h"

using namespace testsupport;

namespace {

std::string suggest(const char* source, const char* folder) {
    char out[kPathBufferSize];
    suggestArchiveNameFor(source, folder, out, sizeof out);
    return out;
}

std::string place(const char* source, const char* archive,
                  ArchivePlacing placing = kBareNamesBesideSource) {
    char out[kPathBufferSize];
    return placeArchiveName(source, archive, out, sizeof out, placing) ? std::string(out)
                                                                       : "<refused>";
}

}  // namespace

// The suggestion is the source's whole file name in the chosen folder; a source that names no
// file gives none (never the folder alone).
TEST(ArchiveSuggestion, TheSourceNameInTheFolder) {
    EXPECT_EQ(suggest("/data/film one.avi", "/out/"), "/out/film one.avi");
    EXPECT_EQ(suggest("/data/film one.avi", ""), "film one.avi");
    EXPECT_EQ(suggest("film.avi", "/out/"), "/out/film.avi");
    EXPECT_EQ(suggest("", "/out/"), "");
    EXPECT_EQ(suggest("/data/", "/out/"), "");
    std::string folder = "/" + std::string(kMaxPathChars - 5, 'f') + "/";
    EXPECT_EQ(suggest("/d/abcdefgh", folder.c_str()), folder + "abc");
}

// The field follows the source while it is empty or still shows the last suggestion; a name
// the user typed, or edited from the suggestion, stays.
TEST(ArchiveSuggestion, FollowsTheSourceUntilTheUserTakesIt) {
    EXPECT_TRUE(archiveNameFollowsSource("", ""));
    EXPECT_TRUE(archiveNameFollowsSource("", "/out/old.bin"));
    EXPECT_TRUE(archiveNameFollowsSource("/out/old.bin", "/out/old.bin"));
    EXPECT_FALSE(archiveNameFollowsSource("/out/old", "/out/old.bin"));
    EXPECT_FALSE(archiveNameFollowsSource("/out/mine", ""));
}

// A name without a folder goes beside the source; one with a folder stays where it says.
TEST(ArchivePlace, ABareNameGoesBesideTheSource) {
    EXPECT_EQ(place("/data/film.avi", "film.avi"), "/data/film.avi");
    EXPECT_EQ(place("/data/film.avi", "/out/set"), "/out/set");
    EXPECT_EQ(place("/data/film.avi", "sub/set"), "sub/set");
    EXPECT_EQ(place("film.avi", "set"), "set");  // the source itself is in the current folder
    std::string deep = "/" + std::string(kMaxPathChars - 5, 'd') + "/f";
    EXPECT_EQ(place(deep.c_str(), "setname"), "<refused>");
    EXPECT_EQ(place(deep.c_str(), "set"), deep.substr(0, deep.size() - 1) + "set");
    // The window counts every relative name from the source's folder: its current folder is
    // nobody's business. A full path stays.
    EXPECT_EQ(place("/data/film.avi", "sub/set", kRelativeNamesBesideSource), "/data/sub/set");
    EXPECT_EQ(place("/data/film.avi", "../set", kRelativeNamesBesideSource), "/data/../set");
    EXPECT_EQ(place("/data/film.avi", "/out/set", kRelativeNamesBesideSource), "/out/set");
    EXPECT_EQ(place("/data/film.avi", "set", kRelativeNamesBesideSource), "/data/set");
    // In place: the field's own buffer may receive the result.
    char buffer[kPathBufferSize] = "set";
    ASSERT_TRUE(placeArchiveName("/data/f", buffer, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "/data/set");
}

// The command line agrees with the window: `-a name` beside the source, whatever the current
// folder is.
TEST(ArchivePlace, TheCommandLineWritesABareNameBesideTheSource) {
    TempDir dir;
    TempDir elsewhere;
    ASSERT_TRUE(writeFile(dir.file("data.bin"), patternBytes(50000, 4)));
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    // A folder of that name here is no reason to refuse: the name is taken beside the source.
    ASSERT_EQ(mkdir(elsewhere.file("set").c_str(), 0700), 0);
    ASSERT_EQ(chdir(elsewhere.path().c_str()), 0);
    int status = dravnikSplit({dir.file("data.bin"), "-v20K", "-aset"});
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(exists(dir.file("set.0.exe")));
    EXPECT_FALSE(exists(elsewhere.file("set.0.exe")));
}
