// The names that the join forms from names it is given: the incomplete file's name.
#include <string.h>

#include "unpacker/join_engine.h"

namespace {

// How much of a name's limit one byte of it takes. Natively the name is UTF-8 and the limit
// counts bytes. On Windows it counts characters, a byte each in code page 1251; but Wine keeps
// the name on Linux in UTF-8, where a byte above 0x7F takes two or three: counted as three,
// the name fits both.
constexpr unsigned nameWeight(unsigned char c) {
#ifdef _WIN32
    return c < 0x80 ? 1 : 3;
#else
    (void)c;
    return 1;
#endif
}

// The ending's share of the limit.
constexpr unsigned endingWeight() {
    unsigned weight = 0;
    for (unsigned i = 0; kIncompleteEnding[i] != '\0'; ++i) {
        weight += nameWeight(static_cast<unsigned char>(kIncompleteEnding[i]));
    }
    return weight;
}

}  // namespace

bool incompleteName(const char* name, unsigned limit, char* out) {
    constexpr unsigned kEnding = sizeof kIncompleteEnding - 1;
    constexpr unsigned kEndingWeight = endingWeight();
    unsigned used = kEndingWeight;
    unsigned length = static_cast<unsigned>(strlen(name));
    unsigned kept = 0;
    while (kept < length && (used += nameWeight(static_cast<unsigned char>(name[kept]))) <= limit) {
        ++kept;
    }
    if (kept < length) {
        // Cut short, a name that ends in the ending could come out as itself: one byte more.
        if (kept + kEnding == length) {
            --kept;
        }
#ifndef _WIN32
        // Natively the name is UTF-8: it is cut between characters.
        while (kept > 0 && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) {
            --kept;
        }
#endif
        if (kept == 0) {
            return false;
        }
    }
    memcpy(out, name, kept);
    memcpy(out + kept, kIncompleteEnding, kEnding + 1);
    return true;
}
