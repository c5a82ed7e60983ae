// The Win32 calls that only the splitter and the tools need: the unpacker never links this
// file, so none of its imports reach the unpacker's image (see platform_win.cpp).
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "platform/platform.h"

namespace {

uint64_t fromFiletime(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

HANDLE streamHandle(FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

// A stream for a handle just opened. Without a stream (no memory left) the handle is closed;
// its descriptor's slot stays taken, which costs nothing that matters then.
FILE* streamFromHandle(HANDLE h, const char* mode, int flags) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags);
    FILE* file = fd < 0 ? nullptr : _fdopen(fd, mode);
    if (file == nullptr) {
        CloseHandle(h);
    }
    return file;
}

}  // namespace

bool platformOwnExecutablePath(char* out, size_t size) {
    DWORD n = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(size));
    if (n == 0 || n >= size) {
        if (size > 0) {
            out[0] = '\0';
        }
        return false;
    }
    return true;
}

void platformReadFileStamp(const char* path, FileStamp* record) {
    record->creationTime = 0;
    record->lastAccessTime = 0;
    record->lastWriteTime = 0;
    // Sharing for readers and writers: a file held open elsewhere still gives its times.
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        FILETIME created, accessed, written;
        if (GetFileTime(h, &created, &accessed, &written)) {
            record->creationTime = fromFiletime(created);
            record->lastAccessTime = fromFiletime(accessed);
            record->lastWriteTime = fromFiletime(written);
        }
        CloseHandle(h);
    }
    record->attributes = GetFileAttributesA(path);
}

bool platformListFolder(const char* folder, void (*visit)(const char* name, void* context),
                        void* context) {
    char pattern[MAX_PATH + 2];
    size_t n = strlen(folder);
    if (n + 2 > sizeof pattern) {
        return false;
    }
    memcpy(pattern, folder, n);
    memcpy(pattern + n, "*", 2);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        const char* name = found.cFileName;
        if (strcmp(name, ".") != 0 && strcmp(name, "..") != 0) {
            visit(name, context);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

bool platformSeek(FILE* file, int64_t offset) {
    return _fseeki64(file, offset, SEEK_SET) == 0;
}

bool platformEntryReplaceable(const char* path) {
    // A link is replaced as an entry of its own (platformReplaceFile), never followed.
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The streams of the splitter and the tools, on the handles of platform_win.cpp.

FILE* platformReplaceFile(const char* path, bool hold, ReplaceStatus* status) {
    HANDLE h = platformCreateFile(path, hold, status);
    if (h == nullptr) {
        return nullptr;
    }
    FILE* file = streamFromHandle(h, "wb", _O_WRONLY | _O_BINARY);
    if (file == nullptr) {
        DeleteFileA(path);
        *status = kReplaceFailed;
    }
    return file;
}

FILE* platformOpenRegularFile(const char* path) {
    HANDLE h = platformOpenRead(path);
    return h == nullptr ? nullptr : streamFromHandle(h, "rb", _O_RDONLY | _O_BINARY);
}

int64_t platformStreamSize(FILE* file) {
    // The file's size is its end position; asked of the handle, it leaves the stream alone.
    return platformFileSizeOf(streamHandle(file));
}

bool platformStreamIdentity(FILE* file, FileIdentity* identity) {
    return platformFileIdentityOf(streamHandle(file), identity);
}

bool platformApplyStreamStamp(FILE* file, const FileStamp& stamp) {
    return platformStampFile(streamHandle(file), stamp);
}

bool platformSyncStream(FILE* file) {
    return fflush(file) == 0 && platformSyncFile(streamHandle(file));
}

bool platformSyncFolder(const char* path) {
    char folder[MAX_PATH];
    char* name = nullptr;
    DWORD n = GetFullPathNameA(path, sizeof folder, folder, &name);
    if (n == 0 || n >= sizeof folder || name == nullptr) {
        return false;
    }
    *name = '\0';
    // A folder opens only with backup semantics; flushing it needs write access.
    HANDLE h =
        CreateFileA(folder, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool flushed = FlushFileBuffers(h) != 0;
    CloseHandle(h);
    return flushed;
}

// The split's own files. Their hold is also a lock on the first byte: Wine keeps it as a record
// lock of the Unix file, which a native split sees (and Wine refuses this lock while a native
// split holds its file), where sharing modes stay inside Wine.

FILE* platformCreateNewFile(const char* path, bool hold, ReplaceStatus* status) {
    *status = kReplaceFailed;
    HANDLE h = CreateFileA(path, GENERIC_WRITE | DELETE, hold ? 0 : FILE_SHARE_READ, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
            *status = kReplaceBusy;
        }
        return nullptr;
    }
    OVERLAPPED at = {};
    if (hold && !LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        // Removed through its own handle: the name may reach another file by now.
        FILE_DISPOSITION_INFO disposition = {TRUE};
        SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
        CloseHandle(h);
        *status = kReplaceBusy;
        return nullptr;
    }
    FILE* file = streamFromHandle(h, "wb", _O_WRONLY | _O_BINARY);
    if (file == nullptr) {
        DeleteFileA(path);
    } else {
        *status = kReplaced;
    }
    return file;
}

bool platformFileHeld(const char* path) {
    HANDLE h =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_SHARING_VIOLATION;
    }
    // A shared lock: refused while anyone holds the file's first byte exclusively.
    OVERLAPPED at = {};
    bool held =
        GetFileType(h) == FILE_TYPE_DISK && !LockFileEx(h, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
    CloseHandle(h);
    return held;
}

bool platformIsPlainFile(const char* path) {
    // The entry itself: a link (a reparse point) is opened as the link.
    HANDLE h = CreateFileA(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool plain =
        GetFileInformationByHandle(h, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        info.nNumberOfLinks == 1;
    CloseHandle(h);
    return plain;
}
