#include "splitter/program/about_text.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <string.h>

#include <string>

namespace {

// The code page 1251 form of a UTF-8 text, through the C library's converter.
std::string cp1251(const char* utf8) {
    iconv_t cd = iconv_open("CP1251", "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string in(utf8);
    std::string out(in.size() + 1, '\0');
    char* inPtr = &in[0];
    size_t inLeft = in.size();
    char* outPtr = &out[0];
    size_t outLeft = out.size();
    EXPECT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

struct StoredText {
    const char* name;
    const char* stored;
    size_t size;
    const char* plainUtf8;
    bool scrambled;
};

const StoredText kStoredTexts[] = {
    {"caption", kAboutStore.slots[kAboutSlotCaption], kAboutSlotSize, u8"О программе", false},
    {"line 2", kAboutStore.slots[kAboutSlotLine2], kAboutSlotSize,
     u8"Разрезание файлов на тома с самосборкой", true},
    {"note", kAboutStore.slots[kAboutSlotNote], kAboutSlotSize, u8"Копирование разрешается", false},
    {"ok", kAboutStore.slots[kAboutSlotOk], kAboutSlotSize, u8"Хорошо", false},
    {"line 1", kAboutStore.line1, kAboutLine1Size, "Dravnik v2.3", true},
    {"mail", kAboutStore.mail, kAboutMailSize, "info@drv.test", true},
    {"url", kAboutStore.url, kAboutUrlSize, "http://drv.test/dravnik/", true},
};

}  // namespace

TEST(UnscrambleText, RoundTripRestoresEveryByte) {
    // Every byte value that does not collide with its position's key.
    char text[200];
    size_t n = 0;
    for (unsigned v = 1; n < sizeof(text) - 1; v = v % 255 + 1) {
        if (v != scrambleKey(static_cast<unsigned>(n))) {
            text[n++] = static_cast<char>(v);
        }
    }
    text[n] = 0;
    char copy[sizeof(text)];
    memcpy(copy, text, sizeof(text));

    unscrambleText(copy);
    EXPECT_EQ(strlen(copy), n) << "a scrambled byte became zero";
    EXPECT_NE(memcmp(copy, text, n), 0);
    unscrambleText(copy);
    EXPECT_EQ(memcmp(copy, text, sizeof(text)), 0);
}

TEST(UnscrambleText, LeavesTheTerminatorAndWhatFollowsAlone) {
    char text[8] = {'a', 'b', 0, 'x', 'y', 0, 0, 0};
    unscrambleText(text);
    EXPECT_EQ(text[2], 0);
    EXPECT_EQ(text[3], 'x');
    EXPECT_EQ(text[4], 'y');
    char empty[1] = {0};
    unscrambleText(empty);
    EXPECT_EQ(empty[0], 0);
}

TEST(UnscrambleText, KeyVariesWithPosition) {
    // A constant key would leave equal letters equal; the quadratic must not.
    char text[] = "aaaaaaaaaaaaaaaa";
    unscrambleText(text);
    int distinct = 0;
    for (size_t i = 1; i < sizeof(text) - 1; ++i) {
        distinct += text[i] != text[0];
    }
    EXPECT_GT(distinct, 8);
}

TEST(AboutStore, EveryStoredTextIsWholeAndUnscramblesToItsPlainText) {
    AboutStore texts;
    loadAboutTexts(&texts);
    const char* plain[] = {texts.slots[kAboutSlotCaption],
                           texts.slots[kAboutSlotLine2],
                           texts.slots[kAboutSlotNote],
                           texts.slots[kAboutSlotOk],
                           texts.line1,
                           texts.mail,
                           texts.url};
    static_assert(
        sizeof(plain) / sizeof(plain[0]) == sizeof(kStoredTexts) / sizeof(kStoredTexts[0]),
        "one expectation per stored text");
    for (size_t i = 0; i < sizeof(kStoredTexts) / sizeof(kStoredTexts[0]); ++i) {
        const StoredText& t = kStoredTexts[i];
        const std::string expected = cp1251(t.plainUtf8);
        SCOPED_TRACE(t.name);
        // No zero byte before the end: the stored length is the plain length.
        EXPECT_EQ(strnlen(t.stored, t.size), expected.size());
        EXPECT_LT(expected.size(), t.size);
        EXPECT_EQ(std::string(plain[i]), expected);
        if (t.scrambled) {
            EXPECT_EQ(std::string(t.stored).find(expected.substr(0, 4)), std::string::npos)
                << "stored in plain";
        } else {
            EXPECT_EQ(std::string(t.stored), expected);
        }
    }
}

TEST(AboutStore, HeadingAndAddressesAreStoredScrambled) {
    AboutStore texts;
    loadAboutTexts(&texts);
    EXPECT_EQ(std::string(texts.line1).rfind("Dravnik v2.3", 0), 0u);
    // Addresses under reserved names only.
    EXPECT_NE(std::string(texts.mail).find(".test"), std::string::npos);
    EXPECT_NE(std::string(texts.url).find(".test/"), std::string::npos);
    // The program's own bytes never hold the plain texts.
    EXPECT_EQ(memmem(&kAboutStore, sizeof kAboutStore, "Dravnik", 7), nullptr);
    EXPECT_EQ(memmem(&kAboutStore, sizeof kAboutStore, ".test", 5), nullptr);
}

TEST(AboutStore, EveryOpeningGetsTheSameFreshTexts) {
    AboutStore first;
    AboutStore again;
    memset(&again, 0x55, sizeof(again));
    loadAboutTexts(&first);
    loadAboutTexts(&again);
    EXPECT_EQ(memcmp(&first, &again, sizeof(first)), 0);
    // Opening the dialog again over the texts of the last opening unscrambles nothing twice.
    loadAboutTexts(&again);
    EXPECT_EQ(memcmp(&first, &again, sizeof(first)), 0);
}

namespace {

// Runs a link builder into a buffer of kAboutLinkBufferSize bytes followed by guard bytes.
template <typename Builder>
std::string link(Builder build, const std::string& field) {
    char buffer[kAboutLinkBufferSize + 16];
    memset(buffer, '#', sizeof(buffer));
    build(field.c_str(), buffer);
    for (size_t i = kAboutLinkBufferSize; i < sizeof(buffer); ++i) {
        EXPECT_EQ(buffer[i], '#') << "written past the link buffer at " << i;
    }
    return std::string(buffer, strnlen(buffer, kAboutLinkBufferSize));
}

}  // namespace

TEST(AboutLinks, WebAddressIsHandedOverUnchangedUpTo38Characters) {
    EXPECT_EQ(link(aboutUrlLink, "http://drv.test/"), "http://drv.test/");
    EXPECT_EQ(link(aboutUrlLink, ""), "");
    const std::string exact(38, 'w');
    EXPECT_EQ(link(aboutUrlLink, exact), exact);
    EXPECT_EQ(link(aboutUrlLink, exact + "xyz"), exact);
    EXPECT_EQ(link(aboutUrlLink, std::string(300, 'u')), std::string(38, 'u'));
}

TEST(AboutLinks, MailAddressGetsMailtoAndIsCutAt31Characters) {
    EXPECT_EQ(link(aboutMailLink, "info@drv.test"), "mailto:info@drv.test");
    EXPECT_EQ(link(aboutMailLink, ""), "mailto:");
    const std::string exact(31, 'm');
    EXPECT_EQ(link(aboutMailLink, exact), "mailto:" + exact);
    EXPECT_EQ(link(aboutMailLink, exact + "@longer.test"), "mailto:" + exact);
    EXPECT_EQ(link(aboutMailLink, std::string(300, 'e')), "mailto:" + std::string(31, 'e'));
}
