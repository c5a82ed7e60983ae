#include "archive/message_text.h"

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
