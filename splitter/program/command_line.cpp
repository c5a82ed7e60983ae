#include "splitter/program/command_line.h"

#include <string.h>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// A cursor over the first `length` bytes of the text; a zero byte ends the text early.
struct Scanner {
    const char* text;
    size_t length;
    size_t pos;

    bool atEnd() const { return pos >= length || text[pos] == '\0'; }
    char peek(size_t ahead = 0) const {
        size_t at = pos + ahead;
        for (size_t i = pos; i < at; ++i) {
            if (i >= length || text[i] == '\0') {
                return '\0';
            }
        }
        return at < length ? text[at] : '\0';
    }
    void skipBlanks() {
        while (!atEnd() && isBlank(text[pos])) {
            ++pos;
        }
    }
};

// Copies text[from, to) into out (outSize bytes), cutting what does not fit.
void copyCut(char* out, size_t outSize, const char* text, size_t from, size_t to) {
    size_t n = to - from;
    if (n > outSize - 1) {
        n = outSize - 1;
    }
    memcpy(out, text + from, n);
    out[n] = '\0';
}

// Reads a word up to the next blank or the end into out; the scanner stops after it.
void readWord(Scanner* s, char* out, size_t outSize) {
    size_t start = s->pos;
    while (!s->atEnd() && !isBlank(s->text[s->pos])) {
        ++s->pos;
    }
    copyCut(out, outSize, s->text, start, s->pos);
}

// The scanner stands on an opening double quote. Reads up to the closing one (or the end) into
// out, without the quotes; the scanner stops after the closing quote.
void readQuoted(Scanner* s, char* out, size_t outSize) {
    ++s->pos;
    size_t start = s->pos;
    while (!s->atEnd() && s->text[s->pos] != '"') {
        ++s->pos;
    }
    copyCut(out, outSize, s->text, start, s->pos);
    if (!s->atEnd()) {
        ++s->pos;
    }
}

// The value of an option whose letter the scanner has just passed: directly attached, or after
// blanks when the next word is not itself an option. Quotes are honoured when allowQuotes.
void readOptionValue(Scanner* s, char* out, size_t outSize, bool allowQuotes) {
    if (s->atEnd() || isBlank(s->peek())) {
        size_t afterLetter = s->pos;
        s->skipBlanks();
        if (s->atEnd() || s->peek() == '-') {
            // "-a" or "-v" with nothing of its own: an empty value.
            s->pos = afterLetter;
            out[0] = '\0';
            return;
        }
    }
    if (allowQuotes && s->peek() == '"') {
        readQuoted(s, out, outSize);
    } else {
        readWord(s, out, outSize);
    }
}

}  // namespace

void parseCommandLine(const char* text, size_t length, SplitterState* state) {
    state->sourcePath[0] = '\0';
    state->archiveName[0] = '\0';
    Scanner s = {text, length, 0};
    for (;;) {
        s.skipBlanks();
        if (s.atEnd()) {
            break;
        }
        char c = s.peek();
        if (c == '-' && s.peek(1) == 'v') {
            s.pos += 2;
            readOptionValue(&s, state->volumeSizeArg, sizeof(state->volumeSizeArg), false);
        } else if (c == '-' && s.peek(1) == 'a') {
            s.pos += 2;
            readOptionValue(&s, state->archiveName, sizeof(state->archiveName), true);
        } else if (c == '-') {
            ++s.pos;  // the next pass reads what follows as a source word
        } else if (c == '"') {
            readQuoted(&s, state->sourcePath, sizeof(state->sourcePath));
        } else {
            readWord(&s, state->sourcePath, sizeof(state->sourcePath));
        }
    }
}
