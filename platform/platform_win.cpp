// The Win32 side of the calls that the unpacker links too. Everything the unpacker does not
// need lives in files_win.cpp: a source file linked into the unpacker brings every import it
// names, used or not, so this file names only what the unpacker's image can carry.
#include "platform/platform.h"

#include <windows.h>
#include <string.h>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The attribute bits that a file can be given; the rest (folder, compressed, …) are states.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool handleIdentity(HANDLE h, FileIdentity* identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) {
        return false;
    }
    identity->volume = info.dwVolumeSerialNumber;
    identity->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

// A FILETIME for FILE_BASIC_INFO, where 0 leaves a time as it is and a negative value means
// something else: a time beyond that range is left as it is too.
LONGLONG basicTime(uint64_t fileTime) {
    return static_cast<LONGLONG>(fileTime) < 0 ? 0 : static_cast<LONGLONG>(fileTime);
}

// Deletes the read-only file path names through a handle on the entry itself, when it is no
// link and has no other name: then clearing its attribute changes no other file. Returns 0 or
// the error (a sharing violation for a file another program holds).
DWORD deleteOwnReadOnly(const char* path) {
    HANDLE h = CreateFileA(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic;
    memset(&basic, 0, sizeof basic);
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    bool deleted =
        GetFileInformationByHandle(h, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
            FILE_ATTRIBUTE_READONLY &&
        info.nNumberOfLinks == 1 &&
        SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) &&
        SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(h);
    return deleted ? 0 : ERROR_ACCESS_DENIED;
}

// Removes the entry path names, whatever it is, never what a link reaches: an empty file of
// our own is renamed over it (a rename replaces the entry itself) and then deleted. Never a
// deletion by name: Wine shows a link as the file it reaches, and deletes that file when asked
// to delete the link. Returns 0 or the error of the removal.
DWORD removeEntry(const char* path) {
    char folder[MAX_PATH];
    char spare[MAX_PATH];
    char* name = nullptr;
    DWORD n = GetFullPathNameA(path, sizeof folder, folder, &name);
    if (n == 0 || n >= sizeof folder || name == nullptr) {
        return ERROR_BAD_PATHNAME;
    }
    *name = '\0';
    if (!GetTempFileNameA(folder, "drv", 0, spare)) {
        return GetLastError();
    }
    if (MoveFileExA(spare, path, MOVEFILE_REPLACE_EXISTING)) {
        return DeleteFileA(path) ? 0 : GetLastError();
    }
    DeleteFileA(spare);
    // Windows refuses to rename over a read-only file, and over one that another program
    // holds; Wine says the same of both.
    return deleteOwnReadOnly(path);
}

}  // namespace

bool platformFileExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool platformIsFolder(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int64_t platformFileSize(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return -1;
    }
    LARGE_INTEGER size;
    BOOL ok = GetFileSizeEx(h, &size);
    CloseHandle(h);
    return ok ? static_cast<int64_t>(size.QuadPart) : -1;
}

bool platformFileIdentity(const char* path, FileIdentity* identity) {
    // No access rights asked: a file held open without sharing still tells who it is.
    HANDLE h = CreateFileA(path, 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = handleIdentity(h, identity);
    CloseHandle(h);
    return ok;
}

bool platformFullPath(const char* path, char* out, size_t size) {
    DWORD n = GetFullPathNameA(path, static_cast<DWORD>(size), out, nullptr);
    if (n == 0 || n >= size) {
        if (size > 0) {
            out[0] = '\0';
        }
        return false;
    }
    return true;
}

bool platformSameFile(const char* a, const char* b) {
    FileIdentity x, y;
    if (platformFileIdentity(a, &x) && platformFileIdentity(b, &y)) {
        return sameIdentity(x, y);
    }
    char fullA[MAX_PATH], fullB[MAX_PATH];
    return platformFullPath(a, fullA, sizeof fullA) && platformFullPath(b, fullB, sizeof fullB) &&
           namesEqualIgnoringCase(fullA, fullB);
}

namespace {

// platformReplaceFile's file as a handle for writing; null unless *status is kReplaced.
HANDLE replaceHandle(const char* path, bool hold, ReplaceStatus* status) {
    *status = kReplaceFailed;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return nullptr;
    }
    // Created new or not at all; a taken name (a file, or a link, even one that reaches
    // nothing) is removed once and the creation tried again.
    HANDLE h;
    bool removed = false;
    for (;;) {
        h = CreateFileA(path, GENERIC_WRITE, hold ? 0 : FILE_SHARE_READ, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || removed || GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
        DWORD error = removeEntry(path);
        if (error != 0) {
            if (hold && (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)) {
                *status = kReplaceBusy;
            }
            return nullptr;
        }
        removed = true;
    }
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_SHARING_VIOLATION) {
            *status = kReplaceBusy;
        }
        return nullptr;
    }
    *status = kReplaced;
    return h;
}

}  // namespace

bool platformRemoveFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           removeEntry(path) == 0;
}

PlatformFile platformOpenRead(const char* path) {
    // Opening never waits on Windows, not even for a pipe (a Unix FIFO under Wine); a pipe or a
    // device is then no file to read to its end. A folder does not open at all.
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return nullptr;
    }
    return h;
}

PlatformFile platformCreateFile(const char* path, bool hold, ReplaceStatus* status) {
    return replaceHandle(path, hold, status);
}

PlatformFile platformCreateNew(const char* path) {
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h != INVALID_HANDLE_VALUE ? h : nullptr;
}

size_t platformRead(PlatformFile file, void* buffer, size_t size) {
    DWORD got;
    return ReadFile(file, buffer, static_cast<DWORD>(size), &got, nullptr) ? got : 0;
}

bool platformWrite(PlatformFile file, const void* data, size_t size) {
    DWORD put;
    return WriteFile(file, data, static_cast<DWORD>(size), &put, nullptr) && put == size;
}

bool platformSeekFile(PlatformFile file, int64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

int64_t platformFileSizeOf(PlatformFile file) {
    LARGE_INTEGER size;
    return GetFileSizeEx(file, &size) ? static_cast<int64_t>(size.QuadPart) : -1;
}

bool platformFileIdentityOf(PlatformFile file, FileIdentity* identity) {
    return handleIdentity(file, identity);
}

bool platformSyncFile(PlatformFile file) {
    return FlushFileBuffers(file) != 0;
}

bool platformCloseFile(PlatformFile file) {
    return CloseHandle(file) != 0;
}

bool platformStampFile(PlatformFile file, const FileStamp& stamp) {
    // Zero times and zero attributes are left as they are.
    FILE_BASIC_INFO info;
    memset(&info, 0, sizeof info);
    info.CreationTime.QuadPart = basicTime(stamp.creationTime);
    info.LastAccessTime.QuadPart = basicTime(stamp.lastAccessTime);
    info.LastWriteTime.QuadPart = basicTime(stamp.lastWriteTime);
    if (stamp.attributes != kAttrUnknown) {
        DWORD attributes = stamp.attributes & kSettableAttributes;
        info.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    }
    return SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof info) != 0;
}

bool platformRenameOver(const char* from, const char* to) {
    // A folder is never replaced by a file: Windows refuses that itself.
    constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    // Windows refuses to rename over a read-only file: that one is removed first, as an entry
    // of its own (never what a link reaches), and the rename tried once more. (removeEntry would
    // first try the very rename that was just refused.)
    return MoveFileExA(from, to, kFlags) ||
           (deleteOwnReadOnly(to) == 0 && MoveFileExA(from, to, kFlags));
}

bool platformRenameNew(const char* from, const char* to) {
    // Without MOVEFILE_REPLACE_EXISTING a taken name is never replaced.
    return MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH) != 0;
}
