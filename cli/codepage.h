// Conversion between the terminal's UTF-8 and the archives' code page 1251.
#pragma once

#include <stddef.h>

// UTF-8 text to code page 1251 in out. False when a character has no 1251 form, the input is
// not valid UTF-8, or the result does not fit into outSize bytes (terminator included).
bool utf8ToCp1251(const char* in, char* out, size_t outSize);

// Code page 1251 bytes (length inLength) to UTF-8 in out. False when it does not fit or a byte
// has no character (0x98).
bool cp1251ToUtf8(const char* in, size_t inLength, char* out, size_t outSize);
