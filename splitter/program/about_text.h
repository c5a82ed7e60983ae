// The texts of the About dialog and its two link buttons. Portable: the dialog procedure only
// moves these texts into and out of its controls.
//
// The heading lines and the two addresses are kept scrambled in the program: each byte is XORed
// with a key byte computed from its position alone, so the same routine scrambles and
// unscrambles. The scrambled forms are produced by the compiler from the plain texts, which are
// checked there to fit their arrays and never to turn into a zero byte before their end.
#pragma once

#include <stddef.h>

// Sizes of the stored texts, terminator included. All texts are in code page 1251.
constexpr size_t kAboutLine1Size = 47;  // first heading line, at most 46 characters
constexpr size_t kAboutMailSize = 15;   // e-mail address, at most 14 characters
constexpr size_t kAboutUrlSize = 39;    // web address, at most 38 characters
constexpr size_t kAboutSlotSize = 50;   // each slot of the table, at most 49 characters
constexpr size_t kAboutSlotCount = 4;

// Slots of the table: the caption, the second heading line (scrambled), the copying note and
// the text of the OK button.
constexpr size_t kAboutSlotCaption = 0;
constexpr size_t kAboutSlotLine2 = 1;
constexpr size_t kAboutSlotNote = 2;
constexpr size_t kAboutSlotOk = 3;

// Both link buttons build their text in one buffer of this size: the web address is cut at 38
// characters, the e-mail address at 31 behind "mailto:".
constexpr size_t kAboutLinkBufferSize = 39;
constexpr size_t kAboutUrlLinkChars = 38;
constexpr size_t kAboutMailLinkChars = 31;

// The key byte for position i: a fixed quadratic in i, modulo 256.
constexpr unsigned char scrambleKey(unsigned i) {
    return static_cast<unsigned char>((5u * i * i + 3u * i + 0x6Du) & 0xFFu);
}

// The texts as the program stores them. Never changed at run time.
struct AboutStore {
    char slots[kAboutSlotCount][kAboutSlotSize];
    char line1[kAboutLine1Size];
    char mail[kAboutMailSize];
    char url[kAboutUrlSize];
};

extern const AboutStore kAboutStore;

// Turns a scrambled text into plain text in place (and a plain text into its scrambled form).
// The length is found by the first zero byte and taken as an 8-bit count.
void unscrambleText(char* text);

// Fills texts with a fresh copy of kAboutStore and unscrambles, in this order, the first
// heading line, the e-mail address, the web address and the second heading line.
void loadAboutTexts(AboutStore* texts);

// The text the web button hands to the desktop: the field's text cut at 38 characters.
// out holds kAboutLinkBufferSize bytes.
void aboutUrlLink(const char* fieldText, char* out);

// The text the e-mail button hands to the desktop: "mailto:" and at most 31 characters of the
// field's text. out holds kAboutLinkBufferSize bytes.
void aboutMailLink(const char* fieldText, char* out);
