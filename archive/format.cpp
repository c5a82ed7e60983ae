#include "archive/format.h"

#include <string.h>

#include "platform/platform.h"

namespace {

void putLe(unsigned char* out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

uint64_t getLe(const unsigned char* in, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | in[i];
    }
    return value;
}

}  // namespace

void encodeFileRecord(const FileRecord& record, unsigned char out[kFileRecordSize]) {
    putLe(out, record.creationTime, 8);
    putLe(out + 8, record.lastAccessTime, 8);
    putLe(out + 16, record.lastWriteTime, 8);
    putLe(out + 24, record.attributes, 4);
    putLe(out + 28, static_cast<uint32_t>(record.volumeCount), 4);
}

FileRecord decodeFileRecord(const unsigned char in[kFileRecordSize]) {
    FileRecord record;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // On a little-endian machine the record is the struct's own layout: one copy (the
    // unpacker's image is measured in bytes).
    static_assert(sizeof(FileRecord) == kFileRecordSize, "FileRecord has no padding");
    memcpy(&record, in, sizeof record);
    return record;
#endif
    record.creationTime = getLe(in, 8);
    record.lastAccessTime = getLe(in + 8, 8);
    record.lastWriteTime = getLe(in + 16, 8);
    record.attributes = static_cast<uint32_t>(getLe(in + 24, 4));
    record.volumeCount = static_cast<int32_t>(static_cast<uint32_t>(getLe(in + 28, 4)));
    return record;
}

FileRecord fileRecordFor(const FileStamp& stamp, int32_t memberCount) {
    FileRecord record;
    record.creationTime = stamp.creationTime;
    record.lastAccessTime = stamp.lastAccessTime;
    record.lastWriteTime = stamp.lastWriteTime;
    record.attributes = stamp.attributes;
    record.volumeCount = memberCount;
    return record;
}

FileStamp stampOf(const FileRecord& record) {
    FileStamp stamp;
    stamp.creationTime = record.creationTime;
    stamp.lastAccessTime = record.lastAccessTime;
    stamp.lastWriteTime = record.lastWriteTime;
    stamp.attributes = record.attributes;
    return stamp;
}

uint64_t memberCountFor(uint64_t sourceSize, uint32_t header, uint32_t volumeSize) {
    if (volumeSize == 0) {
        return 0;
    }
    // A file size stays far below 2^63, so S + H does not wrap.
    uint64_t total = sourceSize + header;
    return total == 0 ? 0 : (total - 1) / volumeSize + 1;
}

int digitWidth(int memberCount) {
    int width = 1;
    long long bound = 10;
    while (bound < memberCount) {
        ++width;
        bound *= 10;
    }
    return width;
}

void incrementNumber(char* digits, int width) {
    for (int i = width - 1; i >= 0; --i) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
}

void formatNumber(char* digits, int width, unsigned k) {
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + k % 10);
        k /= 10;
    }
    digits[width] = '\0';
}

bool memberFileName(char* out, size_t outSize, const char* base, const char* number,
                    const char* extension) {
    size_t baseLength = strlen(base);
    size_t numberLength = strlen(number);
    size_t extensionLength = strlen(extension);
    size_t total = baseLength + 1 + numberLength + 1 + extensionLength;
    size_t nameLength = strlen(fileNamePart(base)) + 1 + numberLength + 1 + extensionLength;
    if (outSize == 0 || total >= outSize || total > kMaxPathChars || nameLength > kMaxNameChars) {
        if (outSize > 0) {
            out[0] = '\0';
        }
        return false;
    }
    char* p = out;
    memcpy(p, base, baseLength);
    p += baseLength;
    *p++ = '.';
    memcpy(p, number, numberLength);
    p += numberLength;
    *p++ = '.';
    memcpy(p, extension, extensionLength + 1);
    return true;
}

bool unpackerFileName(char* out, size_t outSize, const char* base, int width) {
    char number[kNumberBufferSize];
    if (width < 1 || width > kMaxDigitWidth + 1) {
        return false;
    }
    formatNumber(number, width, 0);
    return memberFileName(out, outSize, base, number, kUnpackerEnding + 1);
}

bool volumeFileName(char* out, size_t outSize, const char* base, unsigned k, int width) {
    char number[kNumberBufferSize];
    if (width < 1 || width > kMaxDigitWidth + 1) {
        return false;
    }
    formatNumber(number, width, k);
    return memberFileName(out, outSize, base, number, kVolumeEnding + 1);
}

bool unfinishedFileName(char* out, size_t outSize, const char* base) {
    size_t baseLength = strlen(base);
    size_t total = baseLength + sizeof kUnfinishedEnding - 1;
    if (outSize == 0 || total >= outSize || total > kMaxPathChars) {
        if (outSize > 0) {
            out[0] = '\0';
        }
        return false;
    }
    memcpy(out, base, baseLength);
    memcpy(out + baseLength, kUnfinishedEnding, sizeof kUnfinishedEnding);
    return true;
}

void writeVolumeEnding(char* digits, int width, unsigned k) {
    formatNumber(digits, width, k);
    memcpy(digits + width, kVolumeEnding, sizeof kVolumeEnding);
}

namespace {

bool endingIs(const char* ending, const char* expected, bool ignoreCase) {
    return ignoreCase ? namesEqualIgnoringCase(ending, expected, kEndingChars)
                      : memcmp(ending, expected, kEndingChars) == 0;
}

}  // namespace

MemberKind readMemberEnding(const char* name, size_t length, int width, bool ignoreCase,
                            uint64_t* number) {
    if (!memberEndingInName(name, static_cast<unsigned>(length), width)) {
        return kNoMember;
    }
    const char* digits = name + length - memberEndingChars(width);
    uint64_t k = 0;
    for (int i = 0; i < width; ++i) {
        if (digits[i] < '0' || digits[i] > '9') {
            return kNoMember;
        }
        k = k * 10 + static_cast<uint64_t>(digits[i] - '0');
    }
    MemberKind kind = endingIs(digits + width, kUnpackerEnding, ignoreCase) ? kUnpackerMember
                      : endingIs(digits + width, kVolumeEnding, ignoreCase) ? kVolumeMember
                                                                            : kNoMember;
    if (kind != kNoMember) {
        *number = k;
    }
    return kind;
}

MemberKind readMemberName(const char* name, const char* base, size_t baseLength, int width,
                          bool ignoreCase, uint64_t* number) {
    size_t length = strlen(name);
    if (width < 1 || length != baseLength + 1 + static_cast<size_t>(width) + kEndingChars ||
        name[baseLength] != '.') {
        return kNoMember;
    }
    bool sameBase = ignoreCase ? namesEqualIgnoringCase(name, base, static_cast<long>(baseLength))
                               : memcmp(name, base, baseLength) == 0;
    return sameBase ? readMemberEnding(name, length, width, ignoreCase, number) : kNoMember;
}

bool archiveNameConflict(const char* sourcePath, const char* archiveName, int volumeCount,
                         int* numberWidth) {
    int width = digitWidth(volumeCount);
    *numberWidth = width;
    uint64_t k = 0;
    MemberKind kind =
        readMemberName(sourcePath, archiveName, strlen(archiveName), width, false, &k);
    return kind == kVolumeMember || (kind == kUnpackerMember && k == 0);
}

int lastBackslashIndex(const char* text) {
    int last = -1;
    for (int i = 0; text[i] != '\0'; ++i) {
        if (isPathSeparator(text[i])) {
            last = i;
        }
    }
    return last;
}

bool isValidArchiveStem(const char* baseName) {
    const unsigned char* stem = reinterpret_cast<const unsigned char*>(fileNamePart(baseName));
    if (*stem == 0) {
        return false;
    }
    for (const unsigned char* p = stem; *p != 0; ++p) {
        if (isForbiddenNameByte(*p)) {
            return false;
        }
    }
    return true;
}
