#include "splitter/program/about_text.h"

#include <string.h>

namespace {

// The plain texts, as UTF-8 source text. They are used only by the compiler to build the
// stored forms below: functions, not variables, so that no build emits them into the program.
constexpr const char* captionText() {
    return u8"О программе";
}
constexpr const char* line1Text() {
    return u8"Dravnik v2.3";
}
constexpr const char* line2Text() {
    return u8"Разрезание файлов на тома с самосборкой";
}
constexpr const char* noteText() {
    return u8"Копирование разрешается";
}
constexpr const char* okText() {
    return u8"Хорошо";
}
constexpr const char* urlText() {
    return u8"http://drv.test/dravnik/";
}
constexpr const char* mailText() {
    return u8"info@drv.test";
}

// Reads one UTF-8 character at text[*pos] and gives its code page 1251 byte, advancing *pos.
// Gives -1 for a malformed sequence or a character that code page 1251 lacks.
constexpr int nextCp1251Byte(const char* text, size_t* pos) {
    const unsigned lead = static_cast<unsigned char>(text[*pos]);
    if (lead < 0x80) {
        ++*pos;
        return static_cast<int>(lead);
    }
    unsigned code = 0;
    size_t length = 0;
    if ((lead & 0xE0u) == 0xC0u) {
        code = lead & 0x1Fu;
        length = 2;
    } else if ((lead & 0xF0u) == 0xE0u) {
        code = lead & 0x0Fu;
        length = 3;
    } else {
        return -1;
    }
    for (size_t k = 1; k < length; ++k) {
        // The terminator fails this test, so a cut sequence never reads past the text.
        const unsigned next = static_cast<unsigned char>(text[*pos + k]);
        if ((next & 0xC0u) != 0x80u) {
            return -1;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    *pos += length;
    if (code >= 0x410u && code <= 0x44Fu) {  // А..я
        return static_cast<int>(code - 0x410u + 0xC0u);
    }
    switch (code) {
        case 0x401u:  // Ё
            return 0xA8;
        case 0x451u:  // ё
            return 0xB8;
        case 0xA9u:  // copyright sign
            return 0xA9;
        case 0xABu:  // left guillemet
            return 0xAB;
        case 0xBBu:  // right guillemet
            return 0xBB;
        case 0x2013u:  // en dash
            return 0x96;
        case 0x2014u:  // em dash
            return 0x97;
        case 0x2116u:  // numero sign
            return 0xB9;
        default:
            return -1;
    }
}

// Writes the code page 1251 form of a UTF-8 text into out (size bytes), scrambled when asked,
// followed by its terminator. Gives the length, or -1 when the text cannot be converted, does
// not fit with its terminator, or would scramble into a zero byte (which would end it early).
constexpr int encodeText(const char* utf8, char* out, size_t size, bool scramble) {
    size_t pos = 0;
    size_t length = 0;
    while (utf8[pos] != 0) {
        const int plain = nextCp1251Byte(utf8, &pos);
        if (plain < 0 || length + 1 >= size) {
            return -1;
        }
        unsigned char byte = static_cast<unsigned char>(plain);
        if (scramble) {
            byte = static_cast<unsigned char>(byte ^ scrambleKey(static_cast<unsigned>(length)));
            if (byte == 0) {
                return -1;
            }
        }
        out[length++] = static_cast<char>(byte);
    }
    out[length] = 0;
    return static_cast<int>(length);
}

constexpr bool encodes(const char* utf8, size_t size, bool scramble) {
    char scratch[kAboutSlotSize] = {};
    return size <= sizeof(scratch) && encodeText(utf8, scratch, size, scramble) >= 0;
}

static_assert(encodes(captionText(), kAboutSlotSize, false), "caption does not fit its slot");
static_assert(encodes(line2Text(), kAboutSlotSize, true),
              "second heading line: too long, not code page 1251, or scrambles into a zero");
static_assert(encodes(noteText(), kAboutSlotSize, false), "copying note does not fit its slot");
static_assert(encodes(okText(), kAboutSlotSize, false), "OK text does not fit its slot");
static_assert(encodes(line1Text(), kAboutLine1Size, true),
              "first heading line: too long, not code page 1251, or scrambles into a zero");
static_assert(encodes(mailText(), kAboutMailSize, true),
              "e-mail address: too long, not code page 1251, or scrambles into a zero");
static_assert(encodes(urlText(), kAboutUrlSize, true),
              "web address: too long, not code page 1251, or scrambles into a zero");

constexpr AboutStore buildStore() {
    AboutStore store = {};
    encodeText(captionText(), store.slots[kAboutSlotCaption], kAboutSlotSize, false);
    encodeText(line2Text(), store.slots[kAboutSlotLine2], kAboutSlotSize, true);
    encodeText(noteText(), store.slots[kAboutSlotNote], kAboutSlotSize, false);
    encodeText(okText(), store.slots[kAboutSlotOk], kAboutSlotSize, false);
    encodeText(line1Text(), store.line1, kAboutLine1Size, true);
    encodeText(mailText(), store.mail, kAboutMailSize, true);
    encodeText(urlText(), store.url, kAboutUrlSize, true);
    return store;
}

// Copies at most maxChars characters of text into out and terminates it.
void copyCut(const char* text, char* out, size_t maxChars) {
    size_t length = 0;
    while (length < maxChars && text[length] != 0) {
        out[length] = text[length];
        ++length;
    }
    out[length] = 0;
}

}  // namespace

// Built by the compiler: the program holds only the scrambled forms.
constexpr AboutStore kAboutStore = buildStore();

void unscrambleText(char* text) {
    const unsigned length = static_cast<unsigned char>(strlen(text));
    for (unsigned i = 0; i < length; ++i) {
        text[i] = static_cast<char>(static_cast<unsigned char>(text[i]) ^ scrambleKey(i));
    }
}

void loadAboutTexts(AboutStore* texts) {
    memcpy(texts, &kAboutStore, sizeof(*texts));
    unscrambleText(texts->line1);
    unscrambleText(texts->mail);
    unscrambleText(texts->url);
    unscrambleText(texts->slots[kAboutSlotLine2]);
}

static_assert(kAboutLinkBufferSize > kAboutUrlLinkChars, "web link and its terminator");
static_assert(kAboutLinkBufferSize > sizeof("mailto:") - 1 + kAboutMailLinkChars,
              "mail link and its terminator");

void aboutUrlLink(const char* fieldText, char* out) {
    copyCut(fieldText, out, kAboutUrlLinkChars);
}

void aboutMailLink(const char* fieldText, char* out) {
    static const char kMailto[] = "mailto:";
    memcpy(out, kMailto, sizeof(kMailto) - 1);
    copyCut(fieldText, out + sizeof(kMailto) - 1, kAboutMailLinkChars);
}
