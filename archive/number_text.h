// Counts and sizes as both programs and the command line write them for people.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Longest text of a 64-bit value: 20 digits, 6 blanks between groups, the terminator.
constexpr size_t kGroupedTextSize = 27;

// Decimal text of value with one blank between groups of three digits ("4 831 838 208").
// Empty when it does not fit into outSize bytes (kGroupedTextSize always suffice).
void groupThousands(uint64_t value, char* out, size_t outSize);

// Plain decimal text of value ("2147483648"). Empty when it does not fit (21 bytes suffice).
void decimalText(uint64_t value, char* out, size_t outSize);
