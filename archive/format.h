// The archive format that the splitter writes and the unpacker reads.
//
// An archive of base name B is B.<W zeros>.exe (the unpacker image, the source name, the byte
// 0x22, a 32-byte FileRecord and the first data piece: exactly V bytes in all) followed by the
// raw volumes B.<k as W digits>.bin for k = 1 .. M-1. The last volume holds 1..V bytes.
//
// This header is shared with the unpacker, so it stays C-style: no exceptions, no containers.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/file_stamp.h"

// Length of the unpacker program that starts every archive. The build pads unpacker.exe to
// exactly this many bytes and fails when the program outgrows it. A multiple of 512.
constexpr unsigned kUnpackerImageSize = 10240;
// Where the splitter's own executable carries the unpacker image: the splitter's program is
// padded to this many bytes and the image appended. The build fails when it outgrows it.
constexpr unsigned kUnpackerImageOffset = 131072;

constexpr unsigned char kNameTerminator = 0x22;  // '"' never occurs in a file name
constexpr unsigned kFileRecordSize = 32;
constexpr unsigned kMinVolumeSize = 20480;
constexpr unsigned kDefaultVolumeSize = 1457664;
// Longest name the header holds, and the longest name of a file a member may have.
constexpr unsigned kMaxNameChars = 255;
// Longest path the programs hold. The Windows programs keep 255 characters (their fields and
// dialogs are made for that); natively a path is bounded only by the system (PATH_MAX - 1).
#ifdef _WIN32
constexpr unsigned kMaxPathChars = 255;
#else
constexpr unsigned kMaxPathChars = 4095;
#endif
constexpr unsigned kPathBufferSize = kMaxPathChars + 1;
// The record holds M as a signed 32-bit count: that is the only bound on the member count.
// Volumes stay below 4 GiB (V is 32-bit), the source may have any size that gives at most
// this many members.
constexpr int32_t kMaxVolumeCount = 2147483647;
// Digits of kMaxVolumeCount - 1, the widest member number.
constexpr int kMaxDigitWidth = 10;
// Room for a member number of up to kMaxDigitWidth + 1 digits (the widest any name is built
// with) and its terminator.
constexpr unsigned kNumberBufferSize = kMaxDigitWidth + 2;
// Both programs move an archive's data through a block of this many bytes: one read and one
// write per block.
constexpr unsigned kCopyBufferSize = 4096;
// Each open file gets a stream buffer of this many bytes, so that the many blocks become few,
// large system calls.
constexpr unsigned kStreamBufferSize = 256 * 1024;

static_assert(kUnpackerImageSize % 512 == 0, "the image is a whole number of file sectors");
static_assert(kUnpackerImageSize + 1 + kFileRecordSize + kMaxNameChars < kMinVolumeSize,
              "the smallest volume must still carry data after the longest header");

// The source file's times (Win32 FILETIME: 100 ns units since 1601-01-01 UTC; 0 = unknown),
// its attribute bits and the member count M.
struct FileRecord {
    uint64_t creationTime;
    uint64_t lastAccessTime;
    uint64_t lastWriteTime;
    uint32_t attributes;
    int32_t volumeCount;
};

// Writes the 32-byte little-endian form of `record` into `out`.
void encodeFileRecord(const FileRecord& record, unsigned char out[kFileRecordSize]);
// Reads the 32-byte little-endian form.
FileRecord decodeFileRecord(const unsigned char in[kFileRecordSize]);

// The record of a file of that stamp in an archive of memberCount members, and back.
FileRecord fileRecordFor(const FileStamp& stamp, int32_t memberCount);
FileStamp stampOf(const FileRecord& record);

// W, the number of decimal digits of M - 1, at least 1.
int digitWidth(int memberCount);

// Adds one to a string of `width` decimal digits in place, like an odometer.
void incrementNumber(char* digits, int width);

// Fills `digits` (at least width + 1 bytes) with k written as exactly `width` digits.
// k must be below 10^width.
void formatNumber(char* digits, int width, unsigned k);

// Builds "<base>.<number>.<ext>" into out. Returns false (out emptied) when it does not fit
// into outSize bytes, when the result would exceed kMaxPathChars or when its name (after the
// last separator) would exceed kMaxNameChars.
bool memberFileName(char* out, size_t outSize, const char* base, const char* number,
                    const char* extension);
// The unpacker's name: base, a dot, W zeros, ".exe".
bool unpackerFileName(char* out, size_t outSize, const char* base, int width);
// Volume k's name: base, a dot, k as W digits, ".bin".
bool volumeFileName(char* out, size_t outSize, const char* base, unsigned k, int width);

// The endings of the unpacker file and of the volumes after their W digits.
inline constexpr char kUnpackerEnding[] = ".exe";
inline constexpr char kVolumeEnding[] = ".bin";
constexpr unsigned kEndingChars = sizeof kVolumeEnding - 1;
static_assert(sizeof kUnpackerEnding == sizeof kVolumeEnding, "the names differ only at the end");

// The name a split writes its unpacker file under until every volume is on the disk: the base
// name and ".~part". No member of any archive has it (members end in W digits and ".exe" or
// ".bin"), so neither the folder scan nor the join nor `dravnik info` takes it for one, and
// Windows does not start it. It does not depend on W: the next split of the same base name
// finds what any split of it left, whatever its member count. It is never longer than the
// unpacker's name (W is at least 1), so it fits wherever the members' names fit.
inline constexpr char kUnfinishedEnding[] = ".~part";
// A dot, one digit and the ending: the shortest ending a member has.
static_assert(sizeof kUnfinishedEnding - 1 <= 2 + kEndingChars, "no longer than a member's");
// Builds the base name and kUnfinishedEnding into out; false (out emptied) as memberFileName.
bool unfinishedFileName(char* out, size_t outSize, const char* base);

// A volume's path from the unpacker file's path, as the unpacker finds its volumes: the W digits
// and ".exe" at its end become volume k's number and ".bin". `digits` points at those W digits
// (memberEndingInName); it gets W + 4 characters and the terminator.
void writeVolumeEnding(char* digits, int width, unsigned k);

// Reading names back: which member of an archive a name stands for.
enum MemberKind {
    kNoMember,
    kUnpackerMember,  // W digits and ".exe" (all zeros in an archive's own unpacker name)
    kVolumeMember,    // W digits and ".bin"
};

// The bytes a member name's number and ending take: W digits and ".exe" or ".bin".
inline unsigned memberEndingChars(int width) {
    return static_cast<unsigned>(width) + kEndingChars;
}

// True when the last memberEndingChars(width) bytes of a path (or name) of `length` bytes lie
// within its name: it is that long, and they hold no separator or drive colon. The unpacker
// finds its volumes by writing over exactly these bytes of its own path.
inline bool memberEndingInName(const char* path, unsigned length, int width) {
    unsigned tail = memberEndingChars(width);
    if (length < tail) {
        return false;
    }
    const char* p = path + length - tail;
    for (unsigned i = 0; i < tail; ++i) {
        if (p[i] == '/' || p[i] == '\\' || p[i] == ':') {
            return false;
        }
    }
    return true;
}

// Reads the last W + 4 bytes of `name` (length bytes) as a member's number and ending: W
// decimal digits, then ".exe" or ".bin", with ignoreCase in any letter case (as Windows compares
// names). Returns the kind and puts the digits' value into *number (64 bits: ten digits can
// pass 2^32); kNoMember, *number untouched, for any other ending. What stands in front of the
// digits is the caller's to check.
MemberKind readMemberEnding(const char* name, size_t length, int width, bool ignoreCase,
                            uint64_t* number);

// Reads `name` as the name of a member of base name `base` (its first baseLength bytes): the
// base (with ignoreCase in any letter case), a dot and a member's ending, nothing more.
MemberKind readMemberName(const char* name, const char* base, size_t baseLength, int width,
                          bool ignoreCase, uint64_t* number);

// H, the bytes in front of the first data byte of the unpacker file, for a name of L bytes.
inline uint32_t headerSize(uint32_t nameLength) {
    return kUnpackerImageSize + 1 + kFileRecordSize + nameLength;
}

// M, the members of an archive of a source of sourceSize bytes behind a header of `header`
// bytes in volumes of volumeSize bytes: ceil((S + H) / V), in 64 bits, so that sources of
// 4 GiB and more count right. 0 when volumeSize is 0. The caller refuses a result above
// kMaxVolumeCount (the record cannot hold it) and one below 2 (no volume to write).
uint64_t memberCountFor(uint64_t sourceSize, uint32_t header, uint32_t volumeSize);

// True when a volume of an archive whose unpacker file is volumeSize bytes (V) has the size
// the layout gives it: exactly V, or 1 to V bytes for the last volume.
inline bool volumeSizeFits(int64_t size, int64_t volumeSize, bool last) {
    return last ? size >= 1 && size <= volumeSize : size == volumeSize;
}

// Sets *numberWidth = digitWidth(volumeCount), then tells whether sourcePath is itself the name
// of a member of the archive `archiveName` (case-sensitive byte comparison). A volume name of
// number 0 counts too: it is no member's, but too close to one to write beside.
bool archiveNameConflict(const char* sourcePath, const char* archiveName, int volumeCount,
                         int* numberWidth);

// Paths are byte strings with the platform's separator.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// True for a character that separates a path's folders: the platform's separator, and on
// Windows also '/', which every Windows call takes as one.
inline bool isPathSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// Index of the last path separator in `text`, or -1 when it has none (also for "").
int lastBackslashIndex(const char* text);

// A byte that no Windows file name holds: a control character, DEL, or one of \ / : * ? " < > |.
inline bool isForbiddenNameByte(unsigned char c) {
    if (c < 0x20 || c == 0x7F) {
        return true;
    }
    for (const char* forbidden = "\\/:*?\"<>|"; *forbidden != '\0'; ++forbidden) {
        if (c == static_cast<unsigned char>(*forbidden)) {
            return true;
        }
    }
    return false;
}

// True when the name part of an archive's base name (what follows its folder) can name files
// on Windows: not empty and without \ / : * ? " < > | or control characters. A base name
// like "a:b" would write into a stream of the file a on Windows.
bool isValidArchiveStem(const char* baseName);

// The name part of a path: what follows its last separator, or the whole path without one.
inline const char* fileNamePart(const char* path) {
    return path + (lastBackslashIndex(path) + 1);
}
