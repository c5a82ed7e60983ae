#include "platform/platform.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

namespace {

uint64_t fromFiletime(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME toFiletime(uint64_t value) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(value);
    ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return ft;
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

bool platformFileExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
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

bool platformApplyFileStamp(const char* path, const FileStamp& record) {
    bool ok = true;
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        // A zero time is unknown: a null pointer leaves that time as it is.
        FILETIME created = toFiletime(record.creationTime);
        FILETIME accessed = toFiletime(record.lastAccessTime);
        FILETIME written = toFiletime(record.lastWriteTime);
        ok = SetFileTime(h, record.creationTime ? &created : nullptr,
                         record.lastAccessTime ? &accessed : nullptr,
                         record.lastWriteTime ? &written : nullptr) != 0;
        CloseHandle(h);
    } else {
        ok = false;
    }
    if (record.attributes != kAttrUnknown) {
        ok = SetFileAttributesA(path, record.attributes) != 0 && ok;
    }
    return ok;
}

void platformClearAttributes(const char* path) {
    SetFileAttributesA(path, 0);
}
