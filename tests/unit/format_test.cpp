#include "archive/format.h"
#include "archive/header.h"

#include <gtest/gtest.h>
#include <string.h>

TEST(MemberNames, WidthGrowsAtPowersOfTen) {
    EXPECT_EQ(digitWidth(2), 1);
    EXPECT_EQ(digitWidth(10), 1);
    EXPECT_EQ(digitWidth(11), 2);
    EXPECT_EQ(digitWidth(100), 2);
    EXPECT_EQ(digitWidth(101), 3);
    EXPECT_EQ(digitWidth(1000), 3);
    EXPECT_EQ(digitWidth(1001), 4);
    EXPECT_EQ(digitWidth(209716), 6);
    EXPECT_EQ(digitWidth(1000000000), 9);
    EXPECT_EQ(digitWidth(1000000001), 10);
    EXPECT_EQ(digitWidth(kMaxVolumeCount), kMaxDigitWidth);
}

TEST(MemberNames, TenDigitNumbersOfTheLargestArchive) {
    char out[kPathBufferSize];
    ASSERT_TRUE(volumeFileName(out, sizeof out, "set", kMaxVolumeCount - 1, kMaxDigitWidth));
    EXPECT_STREQ(out, "set.2147483646.bin");
    ASSERT_TRUE(unpackerFileName(out, sizeof out, "set", kMaxDigitWidth));
    EXPECT_STREQ(out, "set.0000000000.exe");
    char number[kMaxDigitWidth + 2] = "0999999999";
    incrementNumber(number, kMaxDigitWidth);
    EXPECT_STREQ(number, "1000000000");
}

TEST(MemberCount, CeilingOfSourceAndHeaderOverVolumeIn64Bits) {
    const uint32_t h = headerSize(8);
    // 100000 bytes in 20480-byte volumes.
    EXPECT_EQ(memberCountFor(100000, h, 20480), 6u);
    // S + H an exact multiple of V: the last volume is full, no empty one follows.
    EXPECT_EQ(memberCountFor(6 * 20480 - h, h, 20480), 6u);
    EXPECT_EQ(memberCountFor(6 * 20480 - h + 1, h, 20480), 7u);
    EXPECT_EQ(memberCountFor(20480 - h, h, 20480), 1u);
    EXPECT_EQ(memberCountFor(100000, h, 0), 0u);  // never divides by zero

    // Around 2^32 - H and 2^32, where S + H used to wrap.
    const uint64_t kTwo32 = 4294967296ull;
    const uint32_t kGiB = 1073741824u;
    EXPECT_EQ(memberCountFor(kTwo32 - h - 1, h, kGiB), 4u);
    EXPECT_EQ(memberCountFor(kTwo32 - h, h, kGiB), 4u);  // exactly four full members
    EXPECT_EQ(memberCountFor(kTwo32 - h + 1, h, kGiB), 5u);
    EXPECT_EQ(memberCountFor(kTwo32, h, kGiB), 5u);
    EXPECT_EQ(memberCountFor(kTwo32 + 314572800, h, kGiB), 5u);
    const uint32_t kFat32Largest = 4095u * 1048576u;  // "4095M"
    EXPECT_EQ(memberCountFor(kTwo32 + 314572800, h, kFat32Largest), 2u);
    EXPECT_EQ(memberCountFor(2ull * kFat32Largest - h, h, kFat32Largest), 2u);
    EXPECT_EQ(memberCountFor(2ull * kFat32Largest - h + 1, h, kFat32Largest), 3u);
    EXPECT_EQ(memberCountFor(kTwo32 - 1 - h, h, 4294967295u), 1u);

    // The record's bound: 2^31 - 1 members of the smallest volume, and one byte more.
    const uint64_t most = static_cast<uint64_t>(kMaxVolumeCount) * kMinVolumeSize;
    EXPECT_EQ(memberCountFor(most - h, h, kMinVolumeSize), 2147483647u);
    EXPECT_EQ(memberCountFor(most - h + 1, h, kMinVolumeSize), 2147483648u);
    // The largest file sizes do not wrap.
    EXPECT_EQ(memberCountFor(9223372036854775807ull, h, 4294967295u), 2147483649u);
}

TEST(MemberNames, OdometerCarries) {
    char n[] = "0099";
    incrementNumber(n, 4);
    EXPECT_STREQ(n, "0100");
    char m[] = "09";
    incrementNumber(m, 2);
    EXPECT_STREQ(m, "10");
    char z[] = "0";
    for (int i = 0; i < 9; ++i) {
        incrementNumber(z, 1);
    }
    EXPECT_STREQ(z, "9");
}

TEST(MemberNames, UnpackerAndVolumeNames) {
    char out[kPathBufferSize];
    ASSERT_TRUE(unpackerFileName(out, sizeof out, "out/set", 2));
    EXPECT_STREQ(out, "out/set.00.exe");
    ASSERT_TRUE(volumeFileName(out, sizeof out, "out/set", 7, 2));
    EXPECT_STREQ(out, "out/set.07.bin");
    ASSERT_TRUE(volumeFileName(out, sizeof out, "b", 10, 2));
    EXPECT_STREQ(out, "b.10.bin");
}

TEST(MemberNames, ReadBackAsBuilt) {
    char name[kPathBufferSize];
    uint64_t k = 99;
    ASSERT_TRUE(volumeFileName(name, sizeof name, "set", kMaxVolumeCount - 1, kMaxDigitWidth));
    EXPECT_EQ(readMemberName(name, "set", 3, kMaxDigitWidth, false, &k), kVolumeMember);
    EXPECT_EQ(k, static_cast<uint64_t>(kMaxVolumeCount - 1));
    ASSERT_TRUE(unpackerFileName(name, sizeof name, "set", 2));
    EXPECT_EQ(readMemberName(name, "set", 3, 2, false, &k), kUnpackerMember);
    EXPECT_EQ(k, 0u);
    // Ten digits beyond 32 bits keep their value.
    EXPECT_EQ(readMemberName("set.9999999999.bin", "set", 3, 10, false, &k), kVolumeMember);
    EXPECT_EQ(k, 9999999999ull);
    // Letter case counts only when asked to.
    EXPECT_EQ(readMemberName("SET.07.BIN", "set", 3, 2, false, &k), kNoMember);
    EXPECT_EQ(readMemberName("SET.07.BIN", "set", 3, 2, true, &k), kVolumeMember);
    EXPECT_EQ(k, 7u);
    for (const char* other : {"set.7.bin", "set.007.bin", "set.0a.bin", "set.07.bin.txt",
                              "set.07.txt", "sat.07.bin", "set-07.bin", "set.07"}) {
        SCOPED_TRACE(other);
        EXPECT_EQ(readMemberName(other, "set", 3, 2, true, &k), kNoMember);
    }
    // The unpacker's own path: any front, its last W + 4 bytes read as it finds its volumes.
    EXPECT_EQ(readMemberEnding("x/a12.exe", 9, 2, false, &k), kUnpackerMember);
    EXPECT_EQ(k, 12u);
    EXPECT_TRUE(memberEndingInName("ab1.exe", 7, 2));
    EXPECT_FALSE(memberEndingInName("x/1.exe", 7, 2));  // would reach into the folder
    EXPECT_FALSE(memberEndingInName("c:1.exe", 7, 2));
    EXPECT_FALSE(memberEndingInName("1.exe", 5, 2));
}

TEST(MemberNames, NameThatWouldNotFitIsRefused) {
    char base[300];
    memset(base, 'a', sizeof base);
    base[255 - 6] = '\0';  // 249 + ".0.exe" = 255 characters: fits
    char out[kPathBufferSize];
    EXPECT_TRUE(unpackerFileName(out, sizeof out, base, 1));
    EXPECT_EQ(strlen(out), 255u);
    EXPECT_FALSE(unpackerFileName(out, sizeof out, base, 2));
    EXPECT_STREQ(out, "");
    char tiny[8];
    EXPECT_FALSE(volumeFileName(tiny, sizeof tiny, "abc", 1, 1));  // "abc.1.bin" needs 10
}

TEST(FileRecordLayout, LittleEndianAndRoundTrip) {
    FileRecord r{0x0102030405060708ull, 0x1112131415161718ull, 0x2122232425262728ull, 0x20, -5};
    unsigned char bytes[kFileRecordSize];
    encodeFileRecord(r, bytes);
    EXPECT_EQ(bytes[0], 0x08);
    EXPECT_EQ(bytes[7], 0x01);
    EXPECT_EQ(bytes[8], 0x18);
    EXPECT_EQ(bytes[16], 0x28);
    EXPECT_EQ(bytes[24], 0x20);
    EXPECT_EQ(bytes[25], 0x00);
    EXPECT_EQ(bytes[28], 0xFB);
    EXPECT_EQ(bytes[31], 0xFF);
    FileRecord back = decodeFileRecord(bytes);
    EXPECT_EQ(back.creationTime, r.creationTime);
    EXPECT_EQ(back.lastAccessTime, r.lastAccessTime);
    EXPECT_EQ(back.lastWriteTime, r.lastWriteTime);
    EXPECT_EQ(back.attributes, r.attributes);
    EXPECT_EQ(back.volumeCount, -5);
}

TEST(FileRecordLayout, HeaderReaderStopsAtTheFirstDataByte) {
    for (const std::string& name :
         {std::string("a"), std::string("data.txt"), std::string(255, 'n')}) {
        SCOPED_TRACE(name.size());
        std::string file(kUnpackerImageSize, 'I');
        file += name;
        file += '"';
        FileRecord record = {1, 2, 3, kAttrArchive, 7};
        unsigned char encoded[kFileRecordSize];
        encodeFileRecord(record, encoded);
        file.append(reinterpret_cast<const char*>(encoded), sizeof encoded);
        file += "DATA";
        FILE* stream = fmemopen(&file[0], file.size(), "rb");
        ASSERT_NE(stream, nullptr);
        char read[kMaxTargetNameChars + 1];
        FileRecord back;
        ASSERT_TRUE(readArchiveHeader(stream, read, &back));
        EXPECT_EQ(ftell(stream), static_cast<long>(headerSize(static_cast<uint32_t>(name.size()))));
        EXPECT_EQ(getc(stream), 'D');
        EXPECT_EQ(back.volumeCount, 7);
        fclose(stream);
    }
}

TEST(NameConflict, MembersOfTheArchiveConflict) {
    int width = 0;
    // M = 11 gives W = 2.
    EXPECT_TRUE(archiveNameConflict("x/a.07.bin", "x/a", 11, &width));
    EXPECT_EQ(width, 2);
    EXPECT_TRUE(archiveNameConflict("x/a.00.exe", "x/a", 11, &width));
    EXPECT_FALSE(archiveNameConflict("x/a.7.bin", "x/a", 11, &width));
    EXPECT_FALSE(archiveNameConflict("x/a.01.exe", "x/a", 11, &width));
    EXPECT_FALSE(archiveNameConflict("x/A.00.exe", "x/a", 11, &width));
    EXPECT_FALSE(archiveNameConflict("x/a", "x/a", 11, &width));
    EXPECT_FALSE(archiveNameConflict("x/a.0", "x/a", 11, &width));
    EXPECT_FALSE(archiveNameConflict("x/a.0a.bin", "x/a", 11, &width));
    EXPECT_FALSE(archiveNameConflict("x/a.07.bin.txt", "x/a", 11, &width));
    EXPECT_FALSE(archiveNameConflict("", "x/a", 2, &width));
    EXPECT_EQ(width, 1);
}

TEST(Paths, LastSeparator) {
    char sep[2] = {kPathSeparator, 0};
    EXPECT_EQ(lastBackslashIndex(""), -1);
    EXPECT_EQ(lastBackslashIndex("name"), -1);
    char p[16] = "a";
    strcat(p, sep);
    strcat(p, "b");
    strcat(p, sep);
    EXPECT_EQ(lastBackslashIndex(p), 3);
}

TEST(Paths, NamePartFollowsTheLastSeparator) {
    char path[16] = "a";
    char sep[2] = {kPathSeparator, 0};
    strcat(path, sep);
    strcat(path, "b.txt");
    EXPECT_STREQ(fileNamePart(path), "b.txt");
    EXPECT_STREQ(fileNamePart("plain"), "plain");
    EXPECT_STREQ(fileNamePart(""), "");
    strcat(path, sep);
    EXPECT_STREQ(fileNamePart(path), "");
}
