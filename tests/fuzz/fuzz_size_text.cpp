// Size texts as the size box hands them over (up to 24 characters and the terminator), read with
// and without normalising. The normalised text never grows, stays terminated inside the text's
// own bytes and is canonical (digits, optional '.' and digits, optional K, M or G); the value is
// the same either way, and it is the one atof gives for texts that hold no hexadecimal, "inf" or
// "nan" form. A text that is a size as a whole reads as its canonical form, one that is not
// reads as 0.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "splitter/form/sizes.h"

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isCanonical(const char* text) {
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
    if (text[i] == 'K' || text[i] == 'M' || text[i] == 'G') {
        ++i;
    }
    return text[i] == '\0';
}

// The value the way the size box's rule puts it: atof of the text times the last character's
// unit, truncated toward zero to 64 bits; 4 GiB and more whole (all ones from 2^63 on), a
// negative value's low 32 bits. Only for texts that atof reads by the plain decimal grammar
// alone.
bool atofValue(const char* text, uint64_t* value) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (strchr("xXiInNpP", *p) != nullptr) {
            return false;
        }
    }
    size_t length = strlen(text);
    double unit = 1.0;
    if (length > 0) {
        switch (static_cast<unsigned char>(text[length - 1])) {
            case 'K':
            case 'k':
            case 0xCA:
            case 0xEA:
                unit = 1024.0;
                break;
            case 'M':
            case 'm':
            case 0xCC:
            case 0xEC:
                unit = 1048576.0;
                break;
            case 'G':
            case 'g':
            case 0xC3:
            case 0xE3:
                unit = 1073741824.0;
                break;
            default:
                break;
        }
    }
    double product = atof(text) * unit;
    const double kTwo63 = 9223372036854775808.0;
    if (product >= kTwo63) {
        *value = UINT64_MAX;
        return true;
    }
    if (!(product > -kTwo63)) {
        *value = 0;
        return true;
    }
    int64_t whole = static_cast<int64_t>(product);
    *value = whole >= 0 ? static_cast<uint64_t>(whole)
                        : static_cast<uint32_t>(static_cast<uint64_t>(whole));
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= kSizeTextSize) {
        return 0;
    }
    // The text up to its first zero byte, in a heap block of exactly its length and the
    // terminator (at least the two bytes normalising needs), so any write past it is caught.
    const void* zero = memchr(data, 0, size);
    size_t length =
        zero != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : size;
    size_t block = length + 1 < 2 ? 2 : length + 1;
    char* plain = static_cast<char*>(calloc(block, 1));
    char* normalised = static_cast<char*>(calloc(block, 1));
    memcpy(plain, data, length);
    memcpy(normalised, data, length);

    uint64_t value = parseSizeText(plain, false);
    if (memcmp(plain, data, length) != 0 || plain[length] != '\0') {
        abort();  // without normalising the text is left alone
    }
    uint64_t normalisedValue = parseSizeText(normalised, true);
    if (normalisedValue != value) {
        abort();
    }
    if (memchr(normalised, '\0', length + 1) == nullptr || strlen(normalised) > length ||
        !isCanonical(normalised)) {
        abort();
    }
    // A canonical text stays as it is.
    char again[kSizeTextSize + 1];
    strcpy(again, normalised);
    if (again[0] == '\0') {
        again[1] = '\0';
    }
    parseSizeText(again, true);
    if (strcmp(again, normalised) != 0) {
        abort();
    }
    uint64_t expected;
    if (atofValue(plain, &expected) && expected != value) {
        abort();
    }
    // The size the window and the command line apply: the value of the canonical form when
    // the whole text is a size, else 0 with the text left as it is.
    char canonical[kSizeTextSize];
    bool isSize = canonicalSizeText(plain, canonical, sizeof canonical);
    uint64_t applied = isSize ? parseSizeText(canonical) : 0;
    strcpy(again, plain);
    if (again[0] == '\0') {
        again[1] = '\0';
    }
    if (normaliseSizeText(again) != applied || strcmp(again, isSize ? canonical : plain) != 0 ||
        normalisedSizeValue(plain) != applied) {
        abort();
    }
    if (isSize && (!isCanonical(canonical) || strlen(canonical) > length ||
                   normaliseSizeText(again) != applied || strcmp(again, canonical) != 0)) {
        abort();
    }
    free(plain);
    free(normalised);
    return 0;
}
