// Size texts ("1457664", "1.38M", "650M"), grouped digits and the archive's file count.
// Plain logic on texts and unsigned 32-bit integers, free of the window system.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Longest size text the form takes from the size box: 24 characters and the terminator.
constexpr unsigned kSizeTextSize = 25;

// The size in bytes that `text` names: a number read like atof (with '.' as the decimal
// point) times the unit of the last character (K/k/К/к 1024, M/m/М/м 1048576, G/g/Г/г
// 1073741824, else 1), truncated toward zero, low 32 bits. With `normalise` the text is also
// rewritten in place to its canonical form (digits, optional '.' and digits, Latin unit
// letter); it must then be writable and at least two bytes long.
uint32_t parseSizeText(char* text, bool normalise);
inline uint32_t parseSizeText(const char* text) {
    return parseSizeText(const_cast<char*>(text), false);
}

// Normalises text in place (as parseSizeText does) and returns the value of the normalised
// text: the size the form shows is the size it uses. "1e5" becomes "1" and gives 1, "+700M"
// becomes "M" and gives 0. text must be writable and at least two bytes long.
uint32_t normaliseSizeText(char* text);
// The value normaliseSizeText would give, leaving text as it is.
uint32_t normalisedSizeValue(const char* text);

// Decimal text of value with one blank between groups of three digits ("1 457 664").
// out must hold at least 14 bytes.
void groupThousands(uint32_t value, char* out, size_t outSize);

// M for a source of sourceSize bytes whose path (as typed, possibly with a folder) is
// sourceFieldText, cut into volumes of volumeSize bytes: ceil((S + L + H0) / V) in unsigned
// 32-bit arithmetic, where L is the name's length and H0 the fixed part of the header.
// volumeSize must be at least kMinVolumeSize.
int32_t volumeCountFor(uint32_t sourceSize, const char* sourceFieldText, uint32_t volumeSize);

// The three-entry most-recently-used list of the volume-size box.
struct SizeList {
    char entries[3][kSizeTextSize];
};

// The defaults "1457664", "1.38M", "650M".
void defaultSizeList(SizeList* list);

// Moves `text` to the top of the list: an entry equal to it (case-insensitive; the search
// starts at the second entry and wraps to the first) is removed, else the third entry is
// dropped; then text is inserted at the top.
void promoteSizeText(SizeList* list, const char* text);
