// The terminal's escaping of names and paths: nothing a file name holds reaches the terminal as
// a control character.
#include "cli/terminal.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

std::string escaped(const std::string& text, bool keepLineEnds = false) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&buffer, &size);
    printEscaped(stream, text.c_str(), keepLineEnds);
    fclose(stream);
    std::string result(buffer, size);
    free(buffer);
    return result;
}

}  // namespace

TEST(TerminalText, ControlCharactersAreEscapedByteByByte) {
    EXPECT_EQ(escaped("a\x1b[2Jb"), "a\\x1b[2Jb");
    EXPECT_EQ(escaped("\x07\x7f\t"), "\\x07\\x7f\\x09");
    EXPECT_EQ(escaped("one\ntwo"), "one\\x0atwo");
    EXPECT_EQ(escaped("one\ntwo\x1b", true), "one\ntwo\\x1b");
    // C1 controls in their UTF-8 form (U+009B is a CSI on some terminals).
    EXPECT_EQ(escaped("x\xc2\x9b"
                      "31m"),
              "x\\xc2\\x9b31m");
    EXPECT_EQ(escaped("\xc2\x80\xc2\x9f"), "\\xc2\\x80\\xc2\\x9f");
}

TEST(TerminalText, TextAndInvalidBytesAreToldApart) {
    // Valid UTF-8 passes: Cyrillic, a no-break space (U+00A0), a three- and a four-byte form.
    EXPECT_EQ(escaped("Данные ёЁ \xc2\xa0 \xe2\x80\x94 \xf0\x9f\x98\x80"),
              "Данные ёЁ \xc2\xa0 \xe2\x80\x94 \xf0\x9f\x98\x80");
    // A raw C1 byte, a lone continuation, an overlong form, a surrogate, a cut sequence.
    EXPECT_EQ(escaped("\x9b"), "\\x9b");
    EXPECT_EQ(escaped("\x80z"), "\\x80z");
    EXPECT_EQ(escaped("\xc0\xaf"), "\\xc0\\xaf");
    EXPECT_EQ(escaped("\xed\xa0\x80"), "\\xed\\xa0\\x80");
    EXPECT_EQ(escaped("\xe2\x80"), "\\xe2\\x80");
    EXPECT_EQ(escaped("\xf4\x90\x80\x80"), "\\xf4\\x90\\x80\\x80");
}
