// The texts and names that the join forms from names it is given: its messages and the
// incomplete file's name.
#include <string.h>

#include "unpacker/join_engine.h"

void formatText(char* out, unsigned size, const char* pattern, const char* arg) {
    unsigned n = 0;
    for (const char* p = pattern; *p != '\0' && n + 1 < size; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            for (const unsigned char* a = reinterpret_cast<const unsigned char*>(arg);
                 *a != '\0' && n + 1 < size; ++a) {
#ifndef _WIN32
                // Windows names hold no control characters; Linux names may, and they are
                // shown on a terminal.
                if (*a < 0x20 || *a == 0x7F) {
                    if (n + 4 >= size) {
                        break;
                    }
                    static const char kHex[] = "0123456789abcdef";
                    out[n++] = '\\';
                    out[n++] = 'x';
                    out[n++] = kHex[*a >> 4];
                    out[n++] = kHex[*a & 0xF];
                    continue;
                }
#endif
                out[n++] = static_cast<char>(*a);
            }
            ++p;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = '\0';
}

bool incompleteName(const char* name, unsigned limit, char* out) {
    constexpr unsigned kEnding = sizeof kIncompleteEnding - 1;
    unsigned length = static_cast<unsigned>(strlen(name));
    unsigned kept = length;
    if (kept + kEnding > limit) {
        if (limit < kEnding + 2) {
            return false;
        }
        // Cut to limit bytes, a name of exactly limit bytes that ends in the ending would
        // come out as itself: it loses one byte more.
        kept = limit - kEnding - (length == limit ? 1 : 0);
#ifndef _WIN32
        // Natively the name is UTF-8: it is cut between characters.
        while (kept > 0 && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) {
            --kept;
        }
#endif
    }
    memcpy(out, name, kept);
    memcpy(out + kept, kIncompleteEnding, kEnding + 1);
    return true;
}
