#include "cli/terminal.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

bool askYesNo(const char* question, bool assumeYes) {
    fprintf(stderr, "%s [y/N] ", question);
    if (assumeYes) {
        fprintf(stderr, "y\n");
        return true;
    }
    if (!isatty(STDIN_FILENO)) {
        fprintf(stderr, "n (standard input is not a terminal; -y answers yes)\n");
        return false;
    }
    char answer[16];
    if (!fgets(answer, sizeof answer, stdin)) {
        return false;
    }
    return answer[0] == 'y' || answer[0] == 'Y' || strncmp(answer, "д", strlen("д")) == 0 ||
           strncmp(answer, "Д", strlen("Д")) == 0;
}

bool readLine(const char* prompt, char* out, size_t outSize) {
    fprintf(stderr, "%s", prompt);
    if (!isatty(STDIN_FILENO) || outSize == 0) {
        fprintf(stderr, "\n");
        return false;
    }
    if (!fgets(out, static_cast<int>(outSize), stdin)) {
        return false;
    }
    size_t n = strlen(out);
    if (n > 0 && out[n - 1] == '\n') {
        out[n - 1] = '\0';
        return true;
    }
    // No line end: either end of input or a line longer than the buffer.
    int c = getchar();
    if (c == EOF) {
        return true;
    }
    while (c != '\n' && c != EOF) {
        c = getchar();
    }
    out[0] = '\0';
    return false;
}

namespace {

// Length of the valid UTF-8 sequence at p (1 to 4), or 0 when p does not start one. Overlong
// forms, surrogates and code points above U+10FFFF are not valid.
int utf8SequenceLength(const unsigned char* p) {
    unsigned char c = p[0];
    if (c < 0x80) {
        return 1;
    }
    int length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (p[1] < low || p[1] > high) {
        return 0;
    }
    for (int i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace

void printEscaped(FILE* stream, const char* text, bool keepLineEnds) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        int length = utf8SequenceLength(p);
        bool control = length == 0 || (length == 1 && (*p < 0x20 || *p == 0x7F)) ||
                       (length == 2 && p[0] == 0xC2 && p[1] < 0xA0);
        if (keepLineEnds && *p == '\n') {
            control = false;
        }
        int count = length == 0 ? 1 : length;
        for (int i = 0; i < count; ++i) {
            if (control) {
                fprintf(stream, "\\x%02x", p[i]);
            } else {
                fputc(p[i], stream);
            }
        }
        p += count;
    }
}

void endFailureLine(FILE* stream, int reason) {
    if (reason != 0) {
        fprintf(stream, ": %s", strerror(reason));
    }
    fputc('\n', stream);
}
