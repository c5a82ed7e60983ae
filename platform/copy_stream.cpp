// Moving a run of bytes from one open stream to another: natively inside the kernel
// (copy_file_range) where the files allow it, otherwise, and on Windows, through a buffer.
#include <errno.h>
#include <stdio.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/platform.h"

namespace {

// Bytes asked of the kernel in one call: large enough that the calls cost nothing beside the
// copy, small enough that a signal or a full disk is met soon.
constexpr size_t kKernelCopyBlock = 16 * 1024 * 1024;

StreamCopyResult copyThroughBuffer(FILE* in, FILE* out, uint64_t count, void* buffer,
                                   size_t bufferSize) {
    while (count > 0) {
        size_t chunk = count < bufferSize ? static_cast<size_t>(count) : bufferSize;
        if (fread(buffer, 1, chunk, in) != chunk) {
            if (!ferror(in)) {
                errno = 0;  // the input ended early: no reason of the system's
            }
            return kStreamReadFailed;
        }
        if (fwrite(buffer, 1, chunk, out) != chunk) {
            return kStreamWriteFailed;
        }
        count -= chunk;
    }
    return kStreamCopied;
}

#ifndef _WIN32
// The kernel's copy from in's position to out's. Flushing both streams first puts each file's
// offset where its stream stands (an input stream drops its read-ahead and seeks back) and
// has the streams ask the system for their positions afterwards, so they take up where the
// kernel stopped without reading anything again. Sets *copied to the bytes moved; false when
// the kernel refuses these files (another file system, no file behind a stream, a device),
// failed, or the input ended: the caller goes on through the buffer, which tells which.
bool copyInKernel(FILE* in, FILE* out, uint64_t count, uint64_t* copied) {
    // The two file systems the kernel last refused to copy between: not asked again, so that
    // the buffered copy keeps its read-ahead.
    static dev_t refusedFrom = 0;
    static dev_t refusedTo = 0;
    static bool refused = false;
    *copied = 0;
    int from = fileno(in);
    int to = fileno(out);
    struct stat fromStat, toStat;
    if (from < 0 || to < 0 || fstat(from, &fromStat) != 0 || fstat(to, &toStat) != 0 ||
        (refused && fromStat.st_dev == refusedFrom && toStat.st_dev == refusedTo) ||
        fflush(out) != 0 || fflush(in) != 0) {
        return false;
    }
    while (*copied < count) {
        uint64_t left = count - *copied;
        size_t block = left < kKernelCopyBlock ? static_cast<size_t>(left) : kKernelCopyBlock;
        ssize_t n = copy_file_range(from, nullptr, to, nullptr, block, 0);
        if (n <= 0) {
            if (n < 0 && *copied == 0 &&
                (errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP || errno == ENOSYS)) {
                refused = true;
                refusedFrom = fromStat.st_dev;
                refusedTo = toStat.st_dev;
            }
            return false;
        }
        *copied += static_cast<uint64_t>(n);
    }
    return true;
}
#endif

}  // namespace

StreamCopyResult platformCopyStream(FILE* in, FILE* out, uint64_t count, void* buffer,
                                    size_t bufferSize) {
#ifndef _WIN32
    uint64_t copied;
    if (copyInKernel(in, out, count, &copied)) {
        return kStreamCopied;
    }
    if (ferror(out)) {
        return kStreamWriteFailed;  // what out held could not be written
    }
    count -= copied < count ? copied : count;
#endif
    return copyThroughBuffer(in, out, count, buffer, bufferSize);
}
