#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int64_t kTicksPerSecond = static_cast<int64_t>(kFileTimeTicksPerSecond);
constexpr int64_t kEpochTicks = static_cast<int64_t>(kFileTimeEpochOffset);  // 1601 to 1970

// Any time from 1601 on, before 1970 too (negative seconds, non-negative nanoseconds). A time
// before 1601 has no FILETIME and reads as unknown (0); one beyond the year 30000 or so is
// held at the largest that a signed count of ticks reaches.
uint64_t toFileTime(const struct timespec& ts) {
    const int64_t kLastSecond = (INT64_MAX - kEpochTicks) / kTicksPerSecond - 1;
    if (ts.tv_sec < -kEpochTicks / kTicksPerSecond) {
        return 0;
    }
    if (ts.tv_sec > kLastSecond) {
        return static_cast<uint64_t>(INT64_MAX);
    }
    int64_t ticks = kEpochTicks + static_cast<int64_t>(ts.tv_sec) * kTicksPerSecond +
                    static_cast<int64_t>(ts.tv_nsec) / 100;
    return ticks > 0 ? static_cast<uint64_t>(ticks) : 0;
}

// The other way: a FILETIME before 1970 gives negative seconds (and nanoseconds from 0 up).
struct timespec fromFileTime(uint64_t fileTime) {
    int64_t ticks =
        fileTime > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(fileTime);
    ticks -= kEpochTicks;
    int64_t seconds = ticks / kTicksPerSecond;
    int64_t rest = ticks % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>(rest * 100);
    return ts;
}

}  // namespace

bool platformOwnExecutablePath(char* out, size_t size) {
    if (size == 0) {
        return false;
    }
    ssize_t n = readlink("/proc/self/exe", out, size - 1);
    if (n <= 0 || static_cast<size_t>(n) >= size - 1) {
        out[0] = '\0';
        return false;
    }
    out[n] = '\0';
    return true;
}

bool platformFileExists(const char* path) {
    struct stat st;
    return lstat(path, &st) == 0;
}

int64_t platformFileSize(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0 || access(path, R_OK) != 0) {
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

void platformReadFileStamp(const char* path, FileStamp* record) {
    record->creationTime = 0;
    record->lastAccessTime = 0;
    record->lastWriteTime = 0;
    record->attributes = kAttrUnknown;
    struct statx stx;
    if (statx(AT_FDCWD, path, 0, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) {
        return;
    }
    struct timespec access = {static_cast<time_t>(stx.stx_atime.tv_sec),
                              static_cast<long>(stx.stx_atime.tv_nsec)};
    struct timespec write = {static_cast<time_t>(stx.stx_mtime.tv_sec),
                             static_cast<long>(stx.stx_mtime.tv_nsec)};
    record->lastAccessTime = toFileTime(access);
    record->lastWriteTime = toFileTime(write);
    if (stx.stx_mask & STATX_BTIME) {
        struct timespec birth = {static_cast<time_t>(stx.stx_btime.tv_sec),
                                 static_cast<long>(stx.stx_btime.tv_nsec)};
        record->creationTime = toFileTime(birth);
    } else {
        record->creationTime = record->lastWriteTime;
    }
    uint32_t attributes = kAttrArchive;
    if ((stx.stx_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        attributes |= kAttrReadOnly;
    }
    record->attributes = attributes;
}

bool platformIsFolder(const char* path) {
    struct stat st;
    return lstat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool platformApplyStreamStamp(FILE* file, const FileStamp& record) {
    int fd = fileno(file);
    bool ok = true;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = times[0];
    if (record.lastAccessTime != 0) {
        times[0] = fromFileTime(record.lastAccessTime);
    }
    if (record.lastWriteTime != 0) {
        times[1] = fromFileTime(record.lastWriteTime);
    }
    // The creation time cannot be set on Linux filesystems; it is skipped.
    if (futimens(fd, times) != 0) {
        ok = false;
    }
    if (record.attributes != kAttrUnknown && (record.attributes & kAttrReadOnly)) {
        struct stat st;
        if (fstat(fd, &st) != 0 ||
            fchmod(fd, st.st_mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) != 0) {
            ok = false;
        }
    }
    return ok;
}
