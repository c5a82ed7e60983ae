// Files by identity, folder listings, link-safe replacement and 64-bit stream positions:
// the Win32 side. Kept apart from platform_win.cpp so that a program that needs none of it
// (the unpacker links only what it uses) does not import it.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "platform/platform.h"

bool platformFileIdentity(const char* path, FileIdentity* identity) {
    // No access rights asked: a file held open without sharing still tells who it is.
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok) {
        return false;
    }
    identity->volume = info.dwVolumeSerialNumber;
    identity->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
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

namespace {

FILE* streamFromHandle(HANDLE h, const char* mode, int flags) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    FILE* file = _fdopen(fd, mode);
    if (file == nullptr) {
        _close(fd);
    }
    return file;
}

}  // namespace

FILE* platformReplaceFile(const char* path, bool hold, ReplaceStatus* status) {
    *status = kReplaceFailed;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            return nullptr;
        }
        // Deleting removes the entry itself, a link included. A read-only file stays (its
        // attributes are never cleared here: through a link they would be another file's).
        if (!DeleteFileA(path)) {
            DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
                *status = hold ? kReplaceBusy : kReplaceFailed;
            }
            if (error != ERROR_FILE_NOT_FOUND) {
                return nullptr;
            }
        }
    }
    HANDLE h = CreateFileA(path, GENERIC_WRITE, hold ? 0 : FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_SHARING_VIOLATION) {
            *status = kReplaceBusy;
        }
        return nullptr;
    }
    FILE* file = streamFromHandle(h, "wb", _O_WRONLY | _O_BINARY);
    if (file == nullptr) {
        DeleteFileA(path);
        return nullptr;
    }
    *status = kReplaced;
    return file;
}

FILE* platformOpenRegularFile(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return nullptr;
    }
    return streamFromHandle(h, "rb", _O_RDONLY | _O_BINARY);
}

int64_t platformStreamSize(FILE* file) {
    __int64 position = _ftelli64(file);
    if (position < 0 || _fseeki64(file, 0, SEEK_END) != 0) {
        return -1;
    }
    __int64 end = _ftelli64(file);
    if (_fseeki64(file, position, SEEK_SET) != 0) {
        return -1;
    }
    return static_cast<int64_t>(end);
}

bool platformSeek(FILE* file, int64_t offset) {
    return _fseeki64(file, offset, SEEK_SET) == 0;
}

bool platformRemoveFile(const char* path) {
    return DeleteFileA(path) != 0;
}

namespace {

// The path the system really reaches through path (links resolved), into out.
bool finalPath(const char* path, DWORD flags, char* out, DWORD size) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD n = GetFinalPathNameByHandleA(h, out, size, FILE_NAME_NORMALIZED);
    CloseHandle(h);
    return n > 0 && n < size;
}

}  // namespace

bool platformEntryReplaceable(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                       FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return false;
    }
    // A plain entry really lies in its folder under its own name; a link leads elsewhere.
    char full[MAX_PATH];
    if (!platformFullPath(path, full, sizeof full)) {
        return false;
    }
    int cut = -1;
    for (int i = 0; full[i] != '\0'; ++i) {
        if (full[i] == '\\' || full[i] == '/') {
            cut = i;
        }
    }
    if (cut < 0) {
        return false;
    }
    const char* name = full + cut + 1;
    char folder[MAX_PATH];
    memcpy(folder, full, static_cast<size_t>(cut) + 1);
    folder[cut + 1] = '\0';
    char reachedFile[MAX_PATH + 8];
    char reachedFolder[MAX_PATH + 8];
    if (!finalPath(path, 0, reachedFile, sizeof reachedFile) ||
        !finalPath(folder, FILE_FLAG_BACKUP_SEMANTICS, reachedFolder, sizeof reachedFolder)) {
        return false;
    }
    size_t folderLength = strlen(reachedFolder);
    if (folderLength > 0 && reachedFolder[folderLength - 1] == '\\') {
        --folderLength;
    }
    return strlen(reachedFile) > folderLength + 1 &&
           namesEqualIgnoringCase(reachedFile, reachedFolder, static_cast<long>(folderLength)) &&
           reachedFile[folderLength] == '\\' &&
           namesEqualIgnoringCase(reachedFile + folderLength + 1, name);
}
