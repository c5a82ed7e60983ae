#include "splitter/form/sizes.h"

#include <stdlib.h>
#include <string.h>

#include "archive/format.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kKilo = 1024u;
constexpr uint32_t kMega = 1048576u;
constexpr uint32_t kGiga = 1073741824u;

// Code page 1251 forms of the Cyrillic unit letters К к М м Г г.
constexpr unsigned char kCyrKUpper = 0xCA;
constexpr unsigned char kCyrKLower = 0xEA;
constexpr unsigned char kCyrMUpper = 0xCC;
constexpr unsigned char kCyrMLower = 0xEC;
constexpr unsigned char kCyrGUpper = 0xC3;
constexpr unsigned char kCyrGLower = 0xE3;

// Number prefixes shorter than this are read from a local buffer, longer ones from the heap.
constexpr size_t kNumberPrefixSize = 64;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The multiplier and the Latin unit letter ('\0' for none) of the text's last character.
uint32_t unitOf(const char* text, size_t length, char* letter) {
    *letter = '\0';
    if (length == 0) {
        return 1;
    }
    unsigned char last = static_cast<unsigned char>(text[length - 1]);
    if (last == 'K' || last == 'k' || last == kCyrKUpper || last == kCyrKLower) {
        *letter = 'K';
        return kKilo;
    }
    if (last == 'M' || last == 'm' || last == kCyrMUpper || last == kCyrMLower) {
        *letter = 'M';
        return kMega;
    }
    if (last == 'G' || last == 'g' || last == kCyrGUpper || last == kCyrGLower) {
        *letter = 'G';
        return kGiga;
    }
    return 1;
}

// Reads the number at the start of text the way atof does for the plain decimal grammar
// (blanks, sign, digits, '.', digits, exponent) and nothing else: no hexadecimal forms, no
// "inf" or "nan", so every build reads a text the same way. No number reads as 0.
double leadingNumber(const char* text) {
    const char* p = text;
    while (isBlank(*p)) {
        ++p;
    }
    const char* start = p;
    if (*p == '+' || *p == '-') {
        ++p;
    }
    bool anyDigit = false;
    while (isDigit(*p)) {
        ++p;
        anyDigit = true;
    }
    if (*p == '.') {
        ++p;
        while (isDigit(*p)) {
            ++p;
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        return 0.0;
    }
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') {
            ++q;
        }
        if (isDigit(*q)) {
            while (isDigit(*q)) {
                ++q;
            }
            p = q;
        }
    }
    size_t length = static_cast<size_t>(p - start);
    char* owned = nullptr;
    char local[kNumberPrefixSize];
    char* prefix = local;
    if (length >= sizeof local) {
        owned = static_cast<char*>(malloc(length + 1));
        if (owned == nullptr) {
            return 0.0;
        }
        prefix = owned;
    }
    memcpy(prefix, start, length);
    prefix[length] = '\0';
    double value = strtod(prefix, nullptr);
    free(owned);
    return value;
}

// The product truncated toward zero to a 64-bit integer. 4 GiB and more stay whole (all ones
// beyond 2^63), so that no such size can pass for a small one. A negative product keeps the
// low 32 bits of its 64-bit form, and one below -2^63 gives the integer conversion's
// "indefinite" value 2^63, whose low bits are 0.
uint64_t truncateSize(double product) {
    const double kTwo63 = 9223372036854775808.0;
    if (product >= kTwo63) {
        return UINT64_MAX;
    }
    if (!(product > -kTwo63)) {
        return 0;
    }
    int64_t whole = static_cast<int64_t>(product);
    if (whole >= 0) {
        return static_cast<uint64_t>(whole);
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(whole));
}

void copyEntry(char* out, const char* text) {
    size_t n = strlen(text);
    if (n >= kSizeTextSize) {
        n = kSizeTextSize - 1;
    }
    memcpy(out, text, n);
    out[n] = '\0';
}

}  // namespace

const char kSizeTooSmallText[] = "Размер тома не может быть меньше 20480!";
const char kSizeTooLargeText[] = "Размер тома должен быть меньше 4 ГБ!";

uint64_t parseSizeText(char* text, bool normalise) {
    size_t length = strlen(text);
    char letter;
    uint32_t multiplier = unitOf(text, length, &letter);
    uint64_t value = truncateSize(leadingNumber(text) * static_cast<double>(multiplier));
    if (normalise) {
        size_t i = 0;
        while (isDigit(text[i])) {
            ++i;
        }
        if (text[i] == '.') {
            ++i;
            while (isDigit(text[i])) {
                ++i;
            }
        }
        // A unit letter is never a digit or '.', so i stops at or before it and the letter
        // and the terminator fit where the old text was.
        if (letter != '\0') {
            text[i++] = letter;
        }
        text[i] = '\0';
    }
    return value;
}

bool canonicalSizeText(const char* text, char* out, size_t outSize) {
    size_t length = strlen(text);
    if (length >= kSizeTextSize || length >= outSize) {
        return false;
    }
    char letter;
    size_t end = length;
    unitOf(text, length, &letter);
    if (letter != '\0') {
        --end;
        if (end > 0 && text[end - 1] == ' ') {
            --end;
        }
    }
    size_t n = 0;
    size_t i = 0;
    size_t group = 0;  // digits since the start or the last blank
    bool grouped = false;
    while (i < end && (isDigit(text[i]) || text[i] == ' ')) {
        if (text[i] == ' ') {
            // A blank stands only between a first group of 1 to 3 digits and further groups of 3.
            if (group == 0 || group > 3 || (grouped && group != 3)) {
                return false;
            }
            grouped = true;
            group = 0;
        } else {
            out[n++] = text[i];
            ++group;
        }
        ++i;
    }
    if (grouped && group != 3) {
        return false;
    }
    size_t digits = n;
    if (i < end && (text[i] == '.' || text[i] == ',')) {
        out[n++] = '.';
        ++i;
        while (i < end && isDigit(text[i])) {
            out[n++] = text[i++];
            ++digits;
        }
    }
    if (i != end || digits == 0) {
        return false;
    }
    if (letter != '\0') {
        out[n++] = letter;
    }
    out[n] = '\0';
    return true;
}

uint64_t normaliseSizeText(char* text) {
    char canonical[kSizeTextSize];
    if (!canonicalSizeText(text, canonical, sizeof canonical)) {
        return 0;
    }
    memcpy(text, canonical, strlen(canonical) + 1);
    return parseSizeText(text);
}

uint64_t normalisedSizeValue(const char* text) {
    char canonical[kSizeTextSize];
    return canonicalSizeText(text, canonical, sizeof canonical) ? parseSizeText(canonical) : 0;
}

VolumeSizeCheck checkVolumeSize(uint64_t size) {
    if (size < kMinVolumeSize) {
        return kVolumeSizeTooSmall;
    }
    return size > kMaxVolumeSize ? kVolumeSizeTooLarge : kVolumeSizeOk;
}

int64_t volumeCountFor(uint64_t sourceSize, const char* sourceFieldText, uint32_t volumeSize) {
    // The name's length, whether or not a folder stands in front of it.
    uint32_t nameLength = static_cast<uint32_t>(strlen(fileNamePart(sourceFieldText)));
    return static_cast<int64_t>(memberCountFor(sourceSize, headerSize(nameLength), volumeSize));
}

void defaultSizeList(SizeList* list) {
    copyEntry(list->entries[0], kDefaultSizeText);
    copyEntry(list->entries[1], "1.38M");
    copyEntry(list->entries[2], "650M");
}

void promoteSizeText(SizeList* list, const char* text) {
    char top[kSizeTextSize];
    copyEntry(top, text);  // text may be one of the entries
    int found = -1;
    // The older entries first, the newest last.
    for (int k = 1; k <= kSizeListLength; ++k) {
        int i = k % kSizeListLength;
        // Letters in any case of code page 1251 ("1,44m" is "1,44M"), folded as names are.
        if (namesEqualIgnoringCase(list->entries[i], top)) {
            found = i;
            break;
        }
    }
    int removed = found >= 0 ? found : kSizeListLength - 1;
    for (int i = removed; i > 0; --i) {
        memcpy(list->entries[i], list->entries[i - 1], kSizeTextSize);
    }
    memcpy(list->entries[0], top, kSizeTextSize);
}
