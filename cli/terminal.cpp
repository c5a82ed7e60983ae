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
