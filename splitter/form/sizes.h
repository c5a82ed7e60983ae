// Size texts ("1457664", "1.38M", "650M") and the archive's file count.
// Plain logic on texts and integers, free of the window system. Volume sizes are 32-bit;
// source sizes and counts are 64-bit.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "archive/number_text.h"  // grouped digits, as the size field shows them

// Longest size text the form takes from the size box: 24 characters and the terminator.
constexpr unsigned kSizeTextSize = 25;

// Largest volume size: V is a 32-bit count, and a FAT32 file holds no more either.
constexpr uint64_t kMaxVolumeSize = 4294967295u;

// The size in bytes that `text` names: a number read like atof (with '.' as the decimal
// point) times the unit of the last character (K/k/К/к 1024, M/m/М/м 1048576, G/g/Г/г
// 1073741824, else 1), truncated toward zero to a 64-bit integer. A value of 4 GiB or more
// comes back whole (UINT64_MAX beyond 2^63), never wrapped, so that it is refused as a volume
// size; a negative one gives the low 32 bits of its 64-bit form ("-1" reads 4294967295).
// With `normalise` the text is also rewritten in place to its canonical form (digits,
// optional '.' and digits, Latin unit letter); it must then be writable and at least two
// bytes long.
uint64_t parseSizeText(char* text, bool normalise);
inline uint64_t parseSizeText(const char* text) {
    return parseSizeText(const_cast<char*>(text), false);
}

// The one rule for a size typed into the window or given on the command line: a text is a
// size only when the whole of it is one. That is digits, plain ("1457664") or grouped in threes
// by single blanks as the window shows sizes ("1 457 664"); an optional fraction after '.' or
// the decimal comma (",", which a Russian keyboard types: "1,38M" is 1.38M); an optional unit
// letter K, M or G in either case, Latin or Cyrillic (code page 1251), directly or after one
// blank ("650 м"). At least one digit; nothing else, no sign, no exponent, no other blank, at
// most kSizeTextSize - 1 characters. The canonical form drops the blanks, writes '.' for the
// comma and the unit as a Latin capital; a canonical text is its own canonical form. Writes it
// into out (outSize bytes; the canonical form is never longer than the text) and returns true,
// or returns false for a text that is not a size.
bool canonicalSizeText(const char* text, char* out, size_t outSize);

// Rewrites a size text in place to its canonical form and returns the size it names, the value
// parseSizeText gives for the canonical form. A text that is not a size is left as it is and
// gives 0, which every check refuses: it is never read as another size.
uint64_t normaliseSizeText(char* text);
// The value normaliseSizeText would give, leaving text as it is.
uint64_t normalisedSizeValue(const char* text);

enum VolumeSizeCheck {
    kVolumeSizeOk,        // kMinVolumeSize .. kMaxVolumeSize
    kVolumeSizeTooSmall,  // below kMinVolumeSize
    kVolumeSizeTooLarge,  // 4 GiB or more
};
VolumeSizeCheck checkVolumeSize(uint64_t size);

// The refusals of a size text that checkVolumeSize does not pass.
extern const char kSizeTooSmallText[];  // "Размер тома не может быть меньше 20480!"
extern const char kSizeTooLargeText[];  // "Размер тома должен быть меньше 4 ГБ!"

// M for a source of sourceSize bytes whose path (as typed, possibly with a folder) is
// sourceFieldText, cut into volumes of volumeSize bytes: ceil((S + H) / V) in 64 bits, H the
// header for the name's length (memberCountFor). 0 when volumeSize is 0. A result above
// kMaxVolumeCount is no archive: the split refuses it.
int64_t volumeCountFor(uint64_t sourceSize, const char* sourceFieldText, uint32_t volumeSize);

// The three-entry most-recently-used list of the volume-size box.
// The size box's list: the last sizes used, the newest first.
constexpr int kSizeListLength = 3;
struct SizeList {
    char entries[kSizeListLength][kSizeTextSize];
};

// The default volume size as the size box and the command line write it: kDefaultVolumeSize.
inline constexpr char kDefaultSizeText[] = "1457664";

// The defaults kDefaultSizeText, "1.38M", "650M".
void defaultSizeList(SizeList* list);

// Moves `text` to the top of the list: an entry equal to it (case-insensitive; the search
// starts at the second entry and wraps to the first) is removed, else the third entry is
// dropped; then text is inserted at the top.
void promoteSizeText(SizeList* list, const char* text);
