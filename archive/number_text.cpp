#include "archive/number_text.h"

#include <string.h>

namespace {

// The decimal digits of value, most significant first, into digits (at least 21 bytes).
// Returns their count.
int digitsOf(uint64_t value, char* digits) {
    char reversed[20];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < n; ++i) {
        digits[i] = reversed[n - 1 - i];
    }
    digits[n] = '\0';
    return n;
}

}  // namespace

void decimalText(uint64_t value, char* out, size_t outSize) {
    char digits[21];
    int n = digitsOf(value, digits);
    if (outSize == 0) {
        return;
    }
    if (static_cast<size_t>(n) >= outSize) {
        out[0] = '\0';
        return;
    }
    memcpy(out, digits, static_cast<size_t>(n) + 1);
}

void groupThousands(uint64_t value, char* out, size_t outSize) {
    char digits[21];
    int n = digitsOf(value, digits);
    size_t grouped = static_cast<size_t>(n + (n - 1) / 3);
    if (outSize == 0) {
        return;
    }
    if (grouped >= outSize) {
        out[0] = '\0';
        return;
    }
    size_t o = 0;
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) {
            out[o++] = ' ';
        }
        out[o++] = digits[i];
    }
    out[o] = '\0';
}
