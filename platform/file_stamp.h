// A file's three times and its attribute bits, as Windows reports them.
#pragma once

#include <stdint.h>

// Win32 attribute bits the programs name.
constexpr uint32_t kAttrReadOnly = 0x1;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrUnknown = 0xFFFFFFFFu;

// Times are Win32 FILETIMEs: 100 ns units since 1601-01-01 UTC; 0 = unknown.
struct FileStamp {
    uint64_t creationTime;
    uint64_t lastAccessTime;
    uint64_t lastWriteTime;
    uint32_t attributes;
};

// 100 ns intervals between 1601-01-01 and 1970-01-01, and in a second.
constexpr uint64_t kFileTimeEpochOffset = 116444736000000000ull;
constexpr uint64_t kFileTimeTicksPerSecond = 10000000ull;
