#include "splitter/form/sizes.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "archive/format.h"

namespace {

struct Worked {
    const char* typed;
    uint64_t value;
    const char* normalised;
};

// Code page 1251 bytes: м is 0xEC.
const Worked kWorkedValues[] = {
    {"1457664", 1457664u, "1457664"},
    {"1.38M", 1447034u, "1.38M"},
    {"1.38m", 1447034u, "1.38M"},
    {"650M", 681574400u, "650M"},
    {"650 \xEC", 681574400u, "650M"},
    {"20K", 20480u, "20K"},
    {"19.99K", 20469u, "19.99K"},
    {"1.44M", 1509949u, "1.44M"},
    {"1,5M", 1048576u, "1M"},
    {"1.5e3K", 1536000u, "1.5K"},
    {"2G", 2147483648u, "2G"},
    // 4 GiB and more read whole: no longer 0 and 1 GiB, modulo 2^32.
    {"4G", 4294967296u, "4G"},
    {"5G", 5368709120u, "5G"},
    {"-1", 4294967295u, ""},
    {"  650M", 681574400u, "M"},
    {"", 0u, ""},
};

}  // namespace

TEST(SizeText, EveryWorkedValueParsesAndNormalises) {
    for (const Worked& w : kWorkedValues) {
        SCOPED_TRACE(w.typed);
        EXPECT_EQ(parseSizeText(w.typed), w.value);
        char text[kSizeTextSize];
        snprintf(text, sizeof text, "%s", w.typed);
        EXPECT_EQ(parseSizeText(text, true), w.value);
        EXPECT_STREQ(text, w.normalised);
    }
}

TEST(SizeText, CyrillicAndLatinUnitsInBothCases) {
    EXPECT_EQ(parseSizeText("2\xCA"), 2048u);        // К
    EXPECT_EQ(parseSizeText("2\xEA"), 2048u);        // к
    EXPECT_EQ(parseSizeText("2\xCC"), 2097152u);     // М
    EXPECT_EQ(parseSizeText("1\xC3"), 1073741824u);  // Г
    EXPECT_EQ(parseSizeText("1\xE3"), 1073741824u);  // г
    EXPECT_EQ(parseSizeText("3k"), 3072u);
    EXPECT_EQ(parseSizeText("1g"), 1073741824u);
    char text[kSizeTextSize] = "7\xEA";
    parseSizeText(text, true);
    EXPECT_STREQ(text, "7K");
}

TEST(SizeText, OnlyPlainDecimalNumbersAreRead) {
    // No hexadecimal, infinity or NaN forms, whatever the C library's strtod would take.
    EXPECT_EQ(parseSizeText("0x5000"), 0u);
    EXPECT_EQ(parseSizeText("inf"), 0u);
    EXPECT_EQ(parseSizeText("nanK"), 0u);
    EXPECT_EQ(parseSizeText("1e"), 1u);  // an exponent without digits is not read
    EXPECT_EQ(parseSizeText("2e+1"), 20u);
    EXPECT_EQ(parseSizeText(".5K"), 512u);
    EXPECT_EQ(parseSizeText(" \t+30000"), 30000u);
    EXPECT_EQ(parseSizeText("1e400"), UINT64_MAX);  // beyond 64 bits: as large as it gets
    EXPECT_EQ(parseSizeText("-1e400G"), 0u);        // the indefinite value's low bits
    EXPECT_EQ(parseSizeText("20479.999"), 20479u);  // truncated, never rounded
}

TEST(SizeText, NormalisingALongTextNeverGrowsIt) {
    char text[kSizeTextSize];
    snprintf(text, sizeof text, "%s", "123456789012345678901234");
    parseSizeText(text, true);
    EXPECT_STREQ(text, "123456789012345678901234");
    char two[2] = "M";
    parseSizeText(two, true);
    EXPECT_STREQ(two, "M");
}

TEST(SizeText, TheValueAppliedIsTheValueOfTheNormalisedText) {
    // The window and the command line take a text only when all of it is a size; the size is
    // the value of the canonical form. Anything else gives 0: refused, never another size.
    const Worked cases[] = {
        // Texts that were sizes before keep their canonical forms and values.
        {"1457664", 1457664u, "1457664"},
        {"1.38M", 1447034u, "1.38M"},
        {"1.38m", 1447034u, "1.38M"},
        {"650 \xEC", 681574400u, "650M"},  // м after a blank
        {"19.99K", 20469u, "19.99K"},
        {".5K", 512u, ".5K"},
        {"1.M", 1048576u, "1.M"},
        {"4G", 4294967296u, "4G"},
        // The decimal comma of a Russian keyboard, digits grouped as the window shows them.
        {"1,38M", 1447034u, "1.38M"},
        {"1,5\xCC", 1572864u, "1.5M"},
        {"1 457 664", 1457664u, "1457664"},
        {"20 480", 20480u, "20480"},
        {"999 999,5 K", 1023999488u, "999999.5K"},
        // Not sizes: signs, blanks elsewhere, exponents, two units, stray letters, no digit.
        {"-5G", 0u, "-5G"},
        {"-4095M", 0u, "-4095M"},
        {"+700M", 0u, "+700M"},
        {"1MM", 0u, "1MM"},
        {"1x5M", 0u, "1x5M"},
        {"1e5", 0u, "1e5"},
        {"1.5e3K", 0u, "1.5e3K"},
        {"  650M", 0u, "  650M"},
        {"650M ", 0u, "650M "},
        {"650  M", 0u, "650  M"},
        {"1457 664", 0u, "1457 664"},
        {"1 45 664", 0u, "1 45 664"},
        {"1 457 66", 0u, "1 457 66"},
        {"1,457,664", 0u, "1,457,664"},
        {"1.5.5M", 0u, "1.5.5M"},
        {"0x5000", 0u, "0x5000"},
        {"M", 0u, "M"},
        {".", 0u, "."},
        {"", 0u, ""},
    };
    for (const Worked& c : cases) {
        SCOPED_TRACE(c.typed);
        char canonical[kSizeTextSize];
        EXPECT_EQ(canonicalSizeText(c.typed, canonical, sizeof canonical), c.value != 0);
        EXPECT_EQ(normalisedSizeValue(c.typed), c.value);
        char text[kSizeTextSize];
        snprintf(text, sizeof text, "%s", c.typed);
        EXPECT_EQ(normaliseSizeText(text), c.value);
        EXPECT_STREQ(text, c.normalised);
        if (c.value != 0) {
            EXPECT_EQ(parseSizeText(text), c.value);  // the list keeps the canonical text
            EXPECT_EQ(normaliseSizeText(text), c.value);
            EXPECT_STREQ(text, c.normalised);  // which is its own canonical form
        }
    }
    // Longer than the box takes: no size, however it reads.
    EXPECT_EQ(normalisedSizeValue(std::string(kSizeTextSize, '9').c_str()), 0u);
    EXPECT_EQ(normalisedSizeValue(std::string(kSizeTextSize - 1, '9').c_str()), UINT64_MAX);
}

TEST(SizeText, VolumeSizesStayBelow4GiB) {
    struct Case {
        const char* typed;
        uint64_t value;
        VolumeSizeCheck check;
    };
    const Case cases[] = {
        {"20K", 20480u, kVolumeSizeOk},
        {"19.99K", 20469u, kVolumeSizeTooSmall},
        {"4095M", 4293918720u, kVolumeSizeOk},  // the largest a FAT32 stick takes in MiB
        {"4294967295", 4294967295u, kVolumeSizeOk},
        {"4294967296", 4294967296u, kVolumeSizeTooLarge},
        {"4096M", 4294967296u, kVolumeSizeTooLarge},
        {"4G", 4294967296u, kVolumeSizeTooLarge},
        {"4.00002G", 4294988770u, kVolumeSizeTooLarge},
        {"5G", 5368709120u, kVolumeSizeTooLarge},
        {"1e400", UINT64_MAX, kVolumeSizeTooLarge},
        {"9e18", 9000000000000000000u, kVolumeSizeTooLarge},
        {"-1", 4294967295u, kVolumeSizeOk},  // the worked value: low 32 bits of -1
        {"", 0u, kVolumeSizeTooSmall},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(parseSizeText(c.typed), c.value);
        EXPECT_EQ(checkVolumeSize(parseSizeText(c.typed)), c.check);
    }
    EXPECT_EQ(checkVolumeSize(kMinVolumeSize - 1), kVolumeSizeTooSmall);
    EXPECT_EQ(checkVolumeSize(kMinVolumeSize), kVolumeSizeOk);
    EXPECT_EQ(checkVolumeSize(kMaxVolumeSize), kVolumeSizeOk);
    EXPECT_EQ(checkVolumeSize(kMaxVolumeSize + 1), kVolumeSizeTooLarge);
}

TEST(GroupThousands, BlankBetweenGroupsOfThree) {
    char out[kGroupedTextSize];
    const struct {
        uint64_t value;
        const char* text;
    } cases[] = {{0, "0"},
                 {999, "999"},
                 {1000, "1 000"},
                 {1457664, "1 457 664"},
                 {4294967294u, "4 294 967 294"},
                 {4294967295u, "4 294 967 295"},
                 {4294967296u, "4 294 967 296"},
                 {4831838208u, "4 831 838 208"},
                 {4609540096u, "4 609 540 096"},
                 {UINT64_MAX, "18 446 744 073 709 551 615"}};
    for (const auto& c : cases) {
        groupThousands(c.value, out, sizeof out);
        EXPECT_STREQ(out, c.text);
    }
    char tiny[5];
    groupThousands(1000, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "");  // does not fit: empty, never overrun
    char exact[14];          // "4 294 967 296" and its terminator
    groupThousands(4294967296u, exact, sizeof exact);
    EXPECT_STREQ(exact, "4 294 967 296");
    groupThousands(10000000000u, exact, sizeof exact);
    EXPECT_STREQ(exact, "");
}

TEST(DecimalText, PlainDigitsOfAnySize) {
    char out[21];
    decimalText(0, out, sizeof out);
    EXPECT_STREQ(out, "0");
    decimalText(2147483648u, out, sizeof out);
    EXPECT_STREQ(out, "2147483648");
    decimalText(UINT64_MAX, out, sizeof out);
    EXPECT_STREQ(out, "18446744073709551615");
    char small[3];
    decimalText(100, small, sizeof small);
    EXPECT_STREQ(small, "");
}

TEST(VolumeCount, CountsTheUnpackerAndEveryVolume) {
    // An 8-character name with the default size: S + H up to V still fits the unpacker alone
    // (1447383 bytes with a 10240-byte image).
    uint32_t fits = 1457664 - headerSize(8);
    EXPECT_EQ(volumeCountFor(fits, "C/x/data.txt", 1457664), 1);
    EXPECT_EQ(volumeCountFor(fits + 1, "C/x/data.txt", 1457664), 2);
    EXPECT_EQ(volumeCountFor(fits + 1, "data.txt", 1457664), 2);
    // The worked example of the layout: 100000 bytes in 20480-byte volumes make six files.
    EXPECT_EQ(volumeCountFor(100000, "data.txt", 20480), 6);
    EXPECT_EQ(volumeCountFor(0, "a", 20480), 1);
    EXPECT_EQ(volumeCountFor(100000, "data.txt", 0), 0);  // never divides by zero
}

TEST(VolumeCount, SourcesOf4GiBAndMoreCountIn64Bits) {
    // The source of the large tests: 4 GiB + 300 MiB.
    const uint64_t big = 4294967296ull + 314572800ull;
    EXPECT_EQ(volumeCountFor(big, "C/x/big.img", 1073741824u), 5);
    EXPECT_EQ(volumeCountFor(big, "big.img", 4095u * 1048576u), 2);
    // Around 2^32 - H: S + H = 2^32 fills four 1 GiB members exactly.
    const uint64_t edge = 4294967296ull - headerSize(7);
    EXPECT_EQ(volumeCountFor(edge - 1, "big.img", 1073741824u), 4);
    EXPECT_EQ(volumeCountFor(edge, "big.img", 1073741824u), 4);
    EXPECT_EQ(volumeCountFor(edge + 1, "big.img", 1073741824u), 5);
    // Counts beyond the record's 2^31 - 1 come out whole, for the split to refuse.
    const uint64_t most = 2147483647ull * kMinVolumeSize - headerSize(1);
    EXPECT_EQ(volumeCountFor(most, "a", kMinVolumeSize), 2147483647);
    EXPECT_EQ(volumeCountFor(most + 1, "a", kMinVolumeSize), 2147483648LL);
}

TEST(SizeList, PromotingMovesAnEntryOrDropsTheOldest) {
    SizeList list;
    defaultSizeList(&list);
    EXPECT_STREQ(list.entries[0], "1457664");
    EXPECT_STREQ(list.entries[1], "1.38M");
    EXPECT_STREQ(list.entries[2], "650M");

    promoteSizeText(&list, "650m");  // present, in other letter case: moves up
    EXPECT_STREQ(list.entries[0], "650m");
    EXPECT_STREQ(list.entries[1], "1457664");
    EXPECT_STREQ(list.entries[2], "1.38M");

    promoteSizeText(&list, "20K");  // new: the oldest drops out
    EXPECT_STREQ(list.entries[0], "20K");
    EXPECT_STREQ(list.entries[1], "650m");
    EXPECT_STREQ(list.entries[2], "1457664");

    promoteSizeText(&list, list.entries[2]);  // the text may be one of the entries
    EXPECT_STREQ(list.entries[0], "1457664");
    EXPECT_STREQ(list.entries[1], "20K");
    EXPECT_STREQ(list.entries[2], "650m");

    promoteSizeText(&list, "1457664");  // already on top: nothing moves
    EXPECT_STREQ(list.entries[0], "1457664");
    EXPECT_STREQ(list.entries[1], "20K");
    EXPECT_STREQ(list.entries[2], "650m");
}

// The size box's first default and the command line's default are the archive's default size.
TEST(SizeList, DefaultSizeTextIsTheDefaultVolumeSize) {
    EXPECT_EQ(parseSizeText(kDefaultSizeText), kDefaultVolumeSize);
    SizeList list;
    defaultSizeList(&list);
    EXPECT_STREQ(list.entries[0], kDefaultSizeText);
}
