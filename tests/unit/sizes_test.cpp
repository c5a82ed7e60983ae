#include "splitter/form/sizes.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "archive/format.h"

namespace {

struct Worked {
    const char* typed;
    uint32_t value;
    const char* normalised;
};

// Code page 1251 bytes: м is 0xEC.
const Worked kWorkedValues[] = {
    {"1457664", 1457664u, "1457664"}, {"1.38M", 1447034u, "1.38M"},
    {"1.38m", 1447034u, "1.38M"},     {"650M", 681574400u, "650M"},
    {"650 \xEC", 681574400u, "650M"}, {"20K", 20480u, "20K"},
    {"19.99K", 20469u, "19.99K"},     {"1.44M", 1509949u, "1.44M"},
    {"1,5M", 1048576u, "1M"},         {"1.5e3K", 1536000u, "1.5K"},
    {"2G", 2147483648u, "2G"},        {"4G", 0u, "4G"},
    {"5G", 1073741824u, "5G"},        {"-1", 4294967295u, ""},
    {"  650M", 681574400u, "M"},      {"", 0u, ""},
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
    EXPECT_EQ(parseSizeText("1e400"), 0u);  // beyond 64 bits: the indefinite value
    EXPECT_EQ(parseSizeText("-1e400G"), 0u);
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
    // Texts whose normalised form reads differently from what was typed: what stays in the box
    // is what counts. All but "30000e1" are below the minimum (or empty) once normalised.
    const Worked cases[] = {
        {"1e5", 1u, "1"},          {"  650M", 0u, "M"},   {"+700M", 0u, "M"},
        {"1.5e3K", 1536u, "1.5K"}, {"-1", 0u, ""},        {"30000e1", 30000u, "30000"},
        {"2e4K", 2048u, "2K"},     {"\t1457664", 0u, ""}, {"", 0u, ""},
    };
    for (const Worked& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(normalisedSizeValue(c.typed), c.value);
        char text[kSizeTextSize];
        snprintf(text, sizeof text, "%s", c.typed);
        EXPECT_EQ(normaliseSizeText(text), c.value);
        EXPECT_STREQ(text, c.normalised);
        EXPECT_EQ(parseSizeText(text), c.value);  // the text left behind reads the same
    }
    // Wherever the normalised text reads as the typed one, both give the same value; a text
    // in its normalised form stays as it is.
    for (const Worked& w : kWorkedValues) {
        SCOPED_TRACE(w.typed);
        char text[kSizeTextSize];
        snprintf(text, sizeof text, "%s", w.normalised);
        uint32_t value = parseSizeText(w.normalised);
        EXPECT_EQ(normaliseSizeText(text), value);
        EXPECT_STREQ(text, w.normalised);
        EXPECT_EQ(normalisedSizeValue(w.typed), value);
    }
    // A long text (longer than the box takes) is read without a fixed-size copy.
    std::string digits(300, '9');
    EXPECT_EQ(normalisedSizeValue((digits + "e5").c_str()), parseSizeText(digits.c_str()));
}

TEST(GroupThousands, BlankBetweenGroupsOfThree) {
    char out[16];
    const struct {
        uint32_t value;
        const char* text;
    } cases[] = {{0, "0"},
                 {999, "999"},
                 {1000, "1 000"},
                 {1457664, "1 457 664"},
                 {4294967294u, "4 294 967 294"},
                 {4294967295u, "4 294 967 295"}};
    for (const auto& c : cases) {
        groupThousands(c.value, out, sizeof out);
        EXPECT_STREQ(out, c.text);
    }
    char tiny[5];
    groupThousands(1000, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "");  // does not fit: empty, never overrun
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
