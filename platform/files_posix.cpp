// Files by identity, folder listings, link-safe replacement and 64-bit stream positions:
// the POSIX side.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

bool platformFileIdentity(const char* path, FileIdentity* identity) {
    struct stat st;
    if (path[0] == '\0' || stat(path, &st) != 0) {
        return false;
    }
    identity->volume = static_cast<uint64_t>(st.st_dev);
    identity->index = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool platformStreamIdentity(FILE* file, FileIdentity* identity) {
    struct stat st;
    if (fstat(fileno(file), &st) != 0) {
        return false;
    }
    identity->volume = static_cast<uint64_t>(st.st_dev);
    identity->index = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool platformFullPath(const char* path, char* out, size_t size) {
    if (size == 0) {
        return false;
    }
    // Start from the current folder for a relative path, then walk the components.
    char joined[PATH_MAX * 2];
    if (path[0] == '/') {
        if (strlen(path) >= sizeof joined) {
            return false;
        }
        strcpy(joined, path);
    } else {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) == nullptr ||
            static_cast<size_t>(snprintf(joined, sizeof joined, "%s/%s", cwd, path)) >=
                sizeof joined) {
            return false;
        }
    }
    size_t n = 0;
    const char* p = joined;
    while (*p != '\0') {
        while (*p == '/') {
            ++p;
        }
        const char* start = p;
        while (*p != '\0' && *p != '/') {
            ++p;
        }
        size_t length = static_cast<size_t>(p - start);
        if (length == 0 || (length == 1 && start[0] == '.')) {
            continue;
        }
        if (length == 2 && start[0] == '.' && start[1] == '.') {
            while (n > 0 && out[n - 1] != '/') {
                --n;
            }
            if (n > 0) {
                --n;
            }
            continue;
        }
        if (n + 1 + length >= size) {
            out[0] = '\0';
            return false;
        }
        out[n++] = '/';
        memcpy(out + n, start, length);
        n += length;
    }
    if (n == 0) {
        if (size < 2) {
            return false;
        }
        out[n++] = '/';
    }
    out[n] = '\0';
    return true;
}

bool platformSameFile(const char* a, const char* b) {
    FileIdentity x, y;
    if (platformFileIdentity(a, &x) && platformFileIdentity(b, &y)) {
        return sameIdentity(x, y);
    }
    char fullA[PATH_MAX], fullB[PATH_MAX];
    return platformFullPath(a, fullA, sizeof fullA) && platformFullPath(b, fullB, sizeof fullB) &&
           strcmp(fullA, fullB) == 0;
}

bool platformListFolder(const char* folder, void (*visit)(const char* name, void* context),
                        void* context) {
    DIR* dir = opendir(folder[0] == '\0' ? "." : folder);
    if (dir == nullptr) {
        return false;
    }
    while (struct dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) {
            continue;
        }
        visit(name, context);
    }
    closedir(dir);
    return true;
}

namespace {

// True when another process holds an exclusive lock on the regular file path names.
bool heldElsewhere(const char* path) {
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    bool held = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) != 0 &&
                errno == EWOULDBLOCK;
    close(fd);
    return held;
}

}  // namespace

namespace {

mode_t gNewFileMode = 0666;

}  // namespace

void platformSetNewFileMode(unsigned mode) {
    gNewFileMode = static_cast<mode_t>(mode & 0666);
}

FILE* platformReplaceFile(const char* path, bool hold, ReplaceStatus* status) {
    *status = kReplaceFailed;
    struct stat st;
    if (lstat(path, &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return nullptr;
        }
        if (hold && S_ISREG(st.st_mode) && heldElsewhere(path)) {
            *status = kReplaceBusy;
            return nullptr;
        }
        if (unlink(path) != 0 && errno != ENOENT) {
            return nullptr;
        }
    }
    // O_EXCL never follows a link: a link put there since the removal makes the create fail.
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, gNewFileMode);
    if (fd < 0) {
        if (errno == EEXIST) {
            *status = kReplaceBusy;
        }
        return nullptr;
    }
    if (hold) {
        // Another split may have put its own file there between our create and our lock.
        struct stat mine, named;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &mine) != 0 || stat(path, &named) != 0 ||
            mine.st_ino != named.st_ino || mine.st_dev != named.st_dev) {
            close(fd);
            *status = kReplaceBusy;
            return nullptr;
        }
    }
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        unlink(path);
        return nullptr;
    }
    *status = kReplaced;
    return file;
}

FILE* platformOpenRegularFile(const char* path) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st;
    int flags = fcntl(fd, F_GETFL);
    int reason = 0;
    if (fstat(fd, &st) != 0 || flags < 0) {
        reason = errno;
    } else if (!S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;  // a FIFO or a device is no volume
    } else if (fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        reason = errno;
    }
    if (reason != 0) {
        close(fd);
        errno = reason;
        return nullptr;
    }
    FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        int reason = errno;
        close(fd);
        errno = reason;
    }
    return file;
}

int64_t platformStreamSize(FILE* file) {
    // A file's size from the system, once the stream's buffered writes are in it: seeking a
    // read stream to its end would read a block there (a stream buffer's worth per volume).
    struct stat st;
    int fd = fileno(file);
    if (fd >= 0 && fflush(file) == 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        return static_cast<int64_t>(st.st_size);
    }
    off_t position = ftello(file);
    if (position < 0 || fseeko(file, 0, SEEK_END) != 0) {
        return -1;
    }
    off_t end = ftello(file);
    if (fseeko(file, position, SEEK_SET) != 0) {
        return -1;
    }
    return static_cast<int64_t>(end);
}

bool platformSeek(FILE* file, int64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool platformRemoveFile(const char* path) {
    return unlink(path) == 0;
}

bool platformEntryReplaceable(const char* path) {
    // Removing a link removes the link itself here.
    struct stat st;
    return lstat(path, &st) == 0 && !S_ISDIR(st.st_mode);
}

bool platformSyncStream(FILE* file) {
    return fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool platformRenameOver(const char* from, const char* to) {
    struct stat st;
    if (lstat(to, &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (rename(from, to) != 0) {
        return false;
    }
    // The rename itself reaches the disk with its folder.
    platformSyncFolder(to);
    return true;
}

bool platformSyncFolder(const char* path) {
    char folder[PATH_MAX];
    const char* slash = strrchr(path, '/');
    size_t length = slash == nullptr ? 0 : static_cast<size_t>(slash - path);
    if (length >= sizeof folder) {
        return false;
    }
    if (slash == path) {
        length = 1;
    }
    memcpy(folder, length == 0 ? "." : path, length == 0 ? 2 : length);
    folder[length == 0 ? 1 : length] = '\0';
    int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

namespace {

// A write lock on the whole file, of this open file description: unlike a process's record
// lock it is not dropped when another descriptor of the file closes, and it conflicts with the
// record locks that Wine takes for Windows programs.
bool lockOpenFile(int fd) {
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

FILE* platformCreateNewFile(const char* path, bool hold, ReplaceStatus* status) {
    *status = kReplaceFailed;
    // O_EXCL never follows a link and never opens what is there.
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, gNewFileMode);
    if (fd < 0) {
        if (errno == EEXIST) {
            *status = kReplaceBusy;
        }
        return nullptr;
    }
    FILE* file = nullptr;
    if (!hold || (flock(fd, LOCK_EX | LOCK_NB) == 0 && lockOpenFile(fd))) {
        file = fdopen(fd, "wb");
    }
    if (file == nullptr) {
        // Ours alone until now: nobody else has been told of it.
        int reason = errno;
        struct stat mine, named;
        bool ours = fstat(fd, &mine) == 0 && lstat(path, &named) == 0 &&
                    mine.st_ino == named.st_ino && mine.st_dev == named.st_dev;
        if (ours) {
            unlink(path);
        }
        close(fd);
        if (reason == EAGAIN || reason == EWOULDBLOCK) {
            *status = kReplaceBusy;
        }
        errno = reason;
        return nullptr;
    }
    *status = kReplaced;
    return file;
}

bool platformFileHeld(const char* path) {
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    bool held = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                ((flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) ||
                 (fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK));
    close(fd);
    return held;
}

bool platformRenameNew(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) != 0) {
        // A file system that cannot rename that way: a second name, then the first one gone.
        if ((errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) || link(from, to) != 0) {
            return false;
        }
        unlink(from);
    }
    platformSyncFolder(to);
    return true;
}

bool platformIsPlainFile(const char* path) {
    struct stat st;
    return lstat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1;
}
