// What the command line's join may replace at its incomplete name: only a file that an earlier
// join of the same archive left there. (The unpacker has no room for this reading and leaves
// every file at that name alone.)
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "unpacker/join_engine.h"

namespace {

// Reads exactly size bytes from fd into buffer. False when the file ended or failed first.
bool readFully(int fd, char* buffer, size_t size) {
    while (size > 0) {
        ssize_t got = read(fd, buffer, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        buffer += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// Compares the next bytes of piece, up to its end or until *left runs out, with as many of fd.
// False at the first difference or failure.
bool matchPiece(FILE* piece, int fd, int64_t* left, char* mine, char* theirs, size_t half) {
    while (*left > 0) {
        size_t want = *left < static_cast<int64_t>(half) ? static_cast<size_t>(*left) : half;
        size_t got = fread(mine, 1, want, piece);
        if (got == 0) {
            return ferror(piece) == 0;
        }
        if (!readFully(fd, theirs, got) || memcmp(mine, theirs, got) != 0) {
            return false;
        }
        *left -= static_cast<int64_t>(got);
    }
    return true;
}

}  // namespace

bool isOwnLeftover(const char* partial, const char* archivePath, int width, int memberCount,
                   int64_t start, char* buffer, unsigned bufferSize) {
    // The entry itself: a link, a FIFO or a file with a second name is nobody's leftover.
    int fd = open(partial, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    char path[kArchivePathSize];
    size_t length = strlen(archivePath);
    size_t tail = static_cast<size_t>(width) + kEndingChars;
    bool own = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
               length < sizeof path && length >= tail;
    int64_t left = own ? static_cast<int64_t>(st.st_size) : 0;
    if (own) {
        memcpy(path, archivePath, length + 1);
    }
    size_t half = bufferSize / 2;
    // The pieces in the join's order: the unpacker file's from start on, then each volume
    // whole, looked for beside it.
    for (int k = 0; own && left > 0; ++k) {
        if (k == memberCount) {
            own = false;
            break;
        }
        if (k > 0) {
            writeVolumeEnding(path + length - tail, width, static_cast<unsigned>(k));
        }
        FILE* piece = platformOpenRegularFile(path);
        own = piece != nullptr && (k > 0 || platformSeek(piece, start)) &&
              matchPiece(piece, fd, &left, buffer, buffer + half, half);
        if (piece != nullptr) {
            fclose(piece);
        }
    }
    close(fd);
    return own;
}
