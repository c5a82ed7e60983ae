// dravnik split: archives joined back by their layout, byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "archive/format.h"
#include "tests/unit/test_support.h"

using namespace testsupport;

namespace {

const Bytes& embeddedImage() {
    static const Bytes image(kEmbeddedUnpackerImage,
                             kEmbeddedUnpackerImage + kEmbeddedUnpackerImage_size);
    return image;
}

}  // namespace

TEST(CliSplit, MemberCountsAroundTheDigitWidthChanges) {
    struct Case {
        int members;
        size_t last;
        const char* unpacker;
    };
    const Case cases[] = {
        {2, 1, "set.0.exe"},    {10, 777, "set.0.exe"},      {11, 20480, "set.00.exe"},
        {100, 5, "set.00.exe"}, {101, 20000, "set.000.exe"}, {6, 20480, "set.0.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.members);
        TempDir dir;
        Bytes source = patternBytes(sizeFor(c.members, 20480, 8, c.last), c.members);
        ASSERT_TRUE(writeFile(dir.file("data.txt"), source));
        ASSERT_EQ(dravnikSplit({dir.file("data.txt"), "-v20K", "-a" + dir.file("set")}), 0);
        ASSERT_TRUE(exists(dir.file(c.unpacker)));
        JoinedArchive a = joinArchive(dir.file("set"));
        ASSERT_EQ(a.error, "");
        EXPECT_EQ(a.record.volumeCount, c.members);
        EXPECT_EQ(a.members.back(), static_cast<long long>(c.last));
        EXPECT_EQ(a.image, embeddedImage());
        EXPECT_EQ(a.name, "data.txt");
        EXPECT_TRUE(a.data == source);
    }
}

TEST(CliSplit, DefaultsPutTheArchiveBesideTheSourceInFloppySizedVolumes) {
    TempDir dir;
    Bytes source = patternBytes(3000000);
    ASSERT_TRUE(writeFile(dir.file("disk image.img"), source));
    ASSERT_EQ(dravnikSplit({dir.file("disk image.img")}), 0);
    JoinedArchive a = joinArchive(dir.file("disk image.img"));
    ASSERT_EQ(a.error, "");
    long long last = 3000000 - (1457664 - headerSize(14)) - 1457664;
    EXPECT_EQ(a.members, (std::vector<long long>{1457664, 1457664, last}));
    EXPECT_TRUE(a.data == source);
}

TEST(CliSplit, SourceNameGoesIntoTheHeaderInCodePage1251) {
    TempDir dir;
    Bytes source = patternBytes(50000);
    std::string path = dir.file("данные.txt");
    ASSERT_TRUE(writeFile(path, source));
    ASSERT_EQ(dravnikSplit({path, "-v20480", "-a" + dir.file("set")}), 0);
    JoinedArchive a = joinArchive(dir.file("set"));
    ASSERT_EQ(a.error, "");  // the count used the 10-byte name, not its 16 UTF-8 bytes
    EXPECT_EQ(a.name, "\xE4\xE0\xED\xED\xFB\xE5.txt");
    EXPECT_TRUE(a.data == source);
}

TEST(CliSplit, NamesWindowsCannotHoldAreRefusedBeforeWriting) {
    for (const char* name : {"日本.txt", "a:b", "quote\"d", "dot.", "tab\there"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        ASSERT_TRUE(writeFile(dir.file(name), patternBytes(50000)));
        testing::internal::CaptureStderr();
        EXPECT_EQ(dravnikSplit({dir.file(name), "-v20480", "-y", "-a" + dir.file("set")}), 1);
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(exists(dir.file("set.0.exe")));
        // The name is shown, its control characters escaped.
        EXPECT_EQ(said.find('\t'), std::string::npos) << said;
    }
}

TEST(CliSplit, UsageErrorsExitWithTwo) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("f"), patternBytes(50000)));
    std::string f = dir.file("f");
    EXPECT_EQ(dravnikSplit({}), 2);
    EXPECT_EQ(dravnikSplit({f, "-x"}), 2);
    EXPECT_EQ(dravnikSplit({f, f}), 2);
    EXPECT_EQ(dravnikSplit({f, "-v19.99K"}), 2);
    EXPECT_EQ(dravnikSplit({f, "-v4G"}), 2);  // 4 GiB and more: a volume stays below 4 GiB
    EXPECT_EQ(dravnikSplit({f, "-v4096M"}), 2);
    EXPECT_EQ(dravnikSplit({f, "-v4.00002G"}), 2);
    EXPECT_EQ(dravnikSplit({f, "-v5G"}), 2);  // not 1 GiB volumes
    EXPECT_EQ(dravnikSplit({f, "-v1e400"}), 2);
    EXPECT_EQ(dravnikSplit({f, "-v1234567890123456789012345"}), 2);
    // Only a whole size is a size: none of these is read as another one.
    for (const char* size : {"-v-5G", "-v-4095M", "-v1MM", "-v1x5M", "-v 650M", "-v1e5"}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(dravnikSplit({f, size, "-y"}), 2);
    }
    EXPECT_EQ(dravnikSplit({f, "-a", "", "-y"}), 2);
    EXPECT_EQ(dravnikSplit({f, "-a", dir.file(""), "-y"}), 2);  // a folder names no archive
    EXPECT_EQ(dravnikSplit({f, "-a" + dir.path(), "-y"}), 2);
    EXPECT_EQ(dravnikSplit({f, "-v20K", "-v20K"}), 2);
    EXPECT_FALSE(exists(f + ".0.exe"));
    // The decimal comma and grouped digits are sizes, as the window reads them.
    EXPECT_EQ(dravnikSplit({f, "-v20,5K", "-a" + dir.file("comma")}), 0);
    EXPECT_EQ(fileSize(dir.file("comma.0.exe")), 20992);
    EXPECT_EQ(dravnikSplit({f, "-v", "20 480", "-a" + dir.file("grouped")}), 0);
    EXPECT_EQ(fileSize(dir.file("grouped.0.exe")), 20480);
}

TEST(CliSplit, LargestFat32VolumeSizeIsAccepted) {
    // "4095M" is a valid size: the 50000-byte source then fits into the unpacker file alone,
    // which is refused as pointless (1), not as a bad size (2).
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("f"), patternBytes(50000)));
    EXPECT_EQ(dravnikSplit({dir.file("f"), "-v4095M"}), 1);
    EXPECT_EQ(dravnikSplit({dir.file("f"), "-v4294967295"}), 1);
    EXPECT_FALSE(exists(dir.file("f.0.exe")));
}

TEST(CliSplit, OverwriteNeedsYesOrATerminal) {
    TempDir dir;
    Bytes source = patternBytes(50000);
    ASSERT_TRUE(writeFile(dir.file("f"), source));
    std::string f = dir.file("f");
    ASSERT_EQ(dravnikSplit({f, "-v20K"}), 0);
    Bytes old = patternBytes(30, 5);
    ASSERT_TRUE(writeFile(f + ".0.exe", old));
    {
        NoTerminal noTerminal;
        EXPECT_EQ(dravnikSplit({f, "-v20K"}), 1);
    }
    Bytes now;
    ASSERT_TRUE(readFile(f + ".0.exe", &now));
    EXPECT_EQ(now, old);
    {
        NoTerminal noTerminal;
        EXPECT_EQ(dravnikSplit({"-y", f, "-v", "20K"}), 0);
    }
    EXPECT_TRUE(joinArchive(f).data == source);
}

TEST(CliSplit, FailuresExitWithOne) {
    TempDir dir;
    EXPECT_EQ(dravnikSplit({dir.file("missing"), "-y"}), 1);
    ASSERT_TRUE(writeFile(dir.file("small"), patternBytes(100)));
    EXPECT_EQ(dravnikSplit({dir.file("small"), "-y"}), 1);  // would be one file only
    ASSERT_TRUE(writeFile(dir.file("f"), patternBytes(50000)));
    EXPECT_EQ(dravnikSplit({dir.file("f"), "-v20K", "-a" + dir.file("no/such/dir/set")}), 1);
}
