// The operating-system calls that the portable code needs, C-style. Natively they are in
// platform_posix.cpp and files_posix.cpp. On Windows, platform_win.cpp holds what the unpacker
// links too (existence, sizes, identity, full paths, link-safe replacement and removal, renaming
// onto a free name, stamping an open file) and files_win.cpp what only the splitter and the tools
// need (their own path, reading a file's stamp, folder listings, 64-bit seeks): the unpacker's
// image imports nothing for the second file.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "platform/file_stamp.h"

// Full path of the running executable into out (size bytes). False when it does not fit.
bool platformOwnExecutablePath(char* out, size_t size);

// True when something of exactly this name exists (a file or a folder).
bool platformFileExists(const char* path);

// Size of the file in bytes, or -1 when it cannot be opened for reading (natively errno then
// says why, EISDIR for a folder and EINVAL for another file that is not a regular one). On Windows
// it is opened the way a split reads it, sharing reading only: a file that another program has open
// for writing reads as -1 too.
int64_t platformFileSize(const char* path);

// Reads the file's times and attribute bits as Windows reports them. Opens with sharing, so a
// file held open by another program still gives its times. Times that cannot be read are 0
// (unknown); attributes that cannot be read are kAttrUnknown.
void platformReadFileStamp(const char* path, FileStamp* stamp);

// True when path names a folder (natively the folder itself, not a link to one).
bool platformIsFolder(const char* path);

// True when path names a regular file itself, no link, with no other name (one hard link):
// a file whose contents speak for this name only.
bool platformIsPlainFile(const char* path);

// ---------------------------------------------------------------------------------------------
// Files are compared by identity, never by spelling: letter case, "..", doubled separators,
// relative folders and links all reach one file under other names.

// What the system knows a file by: device and inode natively; volume serial number and file
// index on Windows.
struct FileIdentity {
    uint64_t volume;
    uint64_t index;
};

inline bool sameIdentity(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.index == b.index;
}

// The identity of the file that path reaches, links followed. False when nothing is there or
// the system does not tell.
bool platformFileIdentity(const char* path, FileIdentity* identity);

// The absolute form of path ("." and ".." resolved, separators single) into out (size bytes).
// Links are not resolved. False when it does not fit.
bool platformFullPath(const char* path, char* out, size_t size);

// The identity of an open stream's file. False when the system does not tell.
bool platformStreamIdentity(FILE* file, FileIdentity* identity);

// True when a and b name one file: by identity when both can be had, otherwise by their full
// paths (compared case-insensitively on Windows, whose names are).
bool platformSameFile(const char* a, const char* b);

// Calls visit(name, context) for every entry of folder (a path ending in a separator, or ""
// for the current folder), "." and ".." left out. False when the folder cannot be listed.
bool platformListFolder(const char* folder, void (*visit)(const char* name, void* context),
                        void* context);

// A byte of a code page 1251 name in the case Windows compares names in: ASCII and Cyrillic
// letters folded to upper case.
inline unsigned char foldNameCase(unsigned char c) {
    if (c >= 'a' && c <= 'z') {
        return static_cast<unsigned char>(c - 'a' + 'A');
    }
    if (c >= 0xE0) {  // а .. я
        return static_cast<unsigned char>(c - 0x20);
    }
    if (c == 0xB8) {  // ё
        return 0xA8;
    }
    return c;
}

// Case-insensitive equality of the first `length` bytes of two names (a whole name when
// length is -1), as Windows compares names.
inline bool namesEqualIgnoringCase(const char* a, const char* b, long length = -1) {
    for (long i = 0; length < 0 || i < length; ++i) {
        unsigned char x = foldNameCase(static_cast<unsigned char>(a[i]));
        unsigned char y = foldNameCase(static_cast<unsigned char>(b[i]));
        if (x != y) {
            return false;
        }
        if (x == 0) {
            return true;
        }
    }
    return true;
}

// True when two names in one folder name one entry as the file system compares names:
// case-insensitively on Windows, byte for byte natively.
inline bool platformSameName(const char* a, const char* b) {
#ifdef _WIN32
    return namesEqualIgnoringCase(a, b);
#else
    return strcmp(a, b) == 0;
#endif
}

enum ReplaceStatus {
    kReplaced,       // the stream is a new, empty file of that name
    kReplaceFailed,  // the old entry could not be removed or the file not created
    kReplaceBusy,    // another program holds the existing file (see `hold`)
};

// Puts a new, empty file for binary writing in place of whatever entry path names: an existing
// file or link is removed first (a link itself, never what it points to), so nothing is ever
// written through a link. A folder is left alone (kReplaceFailed). On Windows a read-only entry
// is replaced too, without touching the attributes of anything a link reaches: see
// platform_win.cpp. With hold, the file stays held for this process until it is closed
// (no sharing on Windows, an exclusive lock natively), and an existing file held that way by
// another program is left alone and reported as busy. Returns null unless *status is kReplaced;
// natively errno then says why (EISDIR for a folder).
FILE* platformReplaceFile(const char* path, bool hold, ReplaceStatus* status);

#ifndef _WIN32
// The permission bits (read and write; within the umask) of every file platformReplaceFile
// and platformCreateNewFile create from now on: 0666 until set. The command line gives the split's
// files and the joined file no more readers than the source has.
void platformSetNewFileMode(unsigned mode);
#endif

// True when the entry path names can be removed and a new file put in its place without
// touching any other file: anything but a folder (a link is replaced as itself).
bool platformEntryReplaceable(const char* path);

// Removes the file or link that path names (never a folder, never what a link points to).
// False when nothing was removed.
bool platformRemoveFile(const char* path);

// Opens path for binary reading only when it reaches a regular file: a folder, a FIFO or a
// device is refused without blocking. Null otherwise; natively errno then says why (EISDIR for
// a folder, EINVAL for a FIFO or a device).
FILE* platformOpenRegularFile(const char* path);

// Size of an open stream's file in bytes (its end position), or -1. The position is kept.
int64_t platformStreamSize(FILE* file);

// Gives the file of an open, flushed stream the stamp's times (a zero time is unknown and left
// as it is) and its attribute bits (kAttrUnknown is left alone; natively only read-only has a
// form). Works on the open file itself: never through a link, never on another file. Returns
// false when any step failed.
bool platformApplyStreamStamp(FILE* file, const FileStamp& stamp);

enum StreamCopyResult {
    kStreamCopied,
    kStreamReadFailed,   // the input ended early (errno 0) or could not be read
    kStreamWriteFailed,  // a write was refused (a full disk, most likely)
};

// Moves count bytes from in's position to out's and leaves both streams just after them. The
// data moves inside the kernel (copy_file_range) natively; where that is refused (a stream
// without a file behind it, such as a carried image in memory, a device, a kernel or file
// system without it) and on Windows, through buffer (bufferSize bytes, at least 1). Whatever
// out had buffered is written first. On failure errno says why.
StreamCopyResult platformCopyStream(FILE* in, FILE* out, uint64_t count, void* buffer,
                                    size_t bufferSize);

// Sets an open stream's position, 64 bits wide. False on failure.
bool platformSeek(FILE* file, int64_t offset);

// ---------------------------------------------------------------------------------------------
// Work that does not finish must never look finished: a file is written under a name of the
// program's own, synced, and renamed into place as the last step.

// Flushes the stream's buffer and has the system put the file's data on the disk (fsync
// natively, FlushFileBuffers on Windows). False when either step fails.
bool platformSyncStream(FILE* file);

// Gives the file `from` the name `to` in one step, replacing the file or link that `to` names
// (the entry itself, never what a link reaches); a folder at `to` is not replaced. Both names
// lie in one folder. The new name has reached the disk when it returns (natively the folder is
// synced; on Windows the move is written through). False when the rename failed. Windows
// refuses to rename over a read-only file: such a file is removed first, as an entry of its
// own, and the rename tried again; only for that moment does `to` name nothing.
bool platformRenameOver(const char* from, const char* to);

// Has the system put the entries of the folder that path lies in (path itself need not exist)
// on the disk: removals and creations in it so far survive a power cut. Natively the folder is
// synced; on Windows its handle is flushed, which NTFS does and some file systems refuse.
// False when that failed.
bool platformSyncFolder(const char* path);

// ---------------------------------------------------------------------------------------------
// The split's own files: each is created new, under a name that nothing holds, and renamed only
// onto a name that nothing holds, so that a file that appears under one of its names meanwhile
// is never replaced. (The join puts its target in place through platformRenameNew too, unless
// the user agreed to replace the older file: then through platformRenameOver.)

// A new, empty file for binary writing; a taken name (a file, a link, even one that reaches
// nothing, anything at all) is left as it is and reported as kReplaceBusy. With hold, the file
// is held for this process until it is closed, in a way that both native programs and Windows
// programs under Wine on this machine see: natively an exclusive flock and a write lock of the
// open file description; on Windows no sharing and an exclusive lock on its first byte, which
// Wine keeps as a record lock of the Unix file. Returns null unless *status is kReplaced;
// natively errno then says why (EEXIST for a taken name).
FILE* platformCreateNewFile(const char* path, bool hold, ReplaceStatus* status);

// True when a running program holds the file path names as platformCreateNewFile's hold does,
// natively or under Wine, or (Windows) has it open without sharing.
bool platformFileHeld(const char* path);

// Gives the file `from` the name `to` only while `to` names nothing: an entry that appears
// there is never replaced. Both names lie in one folder; the new name has reached the disk when
// it returns. False when the rename failed (or `to` was taken). On Windows in platform_win.cpp:
// the unpacker links it.
bool platformRenameNew(const char* from, const char* to);

// True where a file can be renamed and removed while this process holds it (natively). Windows
// refuses both for a file opened without FILE_SHARE_DELETE, as platformReplaceFile's held file
// is: it must be closed first.
#ifdef _WIN32
constexpr bool kPlatformRenamesHeldFiles = false;
#else
constexpr bool kPlatformRenamesHeldFiles = true;
#endif

// ---------------------------------------------------------------------------------------------
// The join's own files, read and written in whole blocks with no buffer in between: natively a
// stdio stream without a buffer of its own (these are then the stream calls above), on Windows
// a file handle, so that the unpacker carries no C runtime streams. Null is no file.
#ifdef _WIN32
typedef void* PlatformFile;

// Opens path for reading as platformOpenRegularFile does.
PlatformFile platformOpenRead(const char* path);
// platformReplaceFile's new file, for writing. Null unless *status is kReplaced.
PlatformFile platformCreateFile(const char* path, bool hold, ReplaceStatus* status);
// A new file for writing, held without sharing until it is closed; a taken name (anything at
// all) is left as it is. Null when path was taken or the file could not be created.
PlatformFile platformCreateNew(const char* path);
// Reads up to size bytes; returns how many were read (0 at the end or on failure).
size_t platformRead(PlatformFile file, void* buffer, size_t size);
// Writes all size bytes; false when they were not all written.
bool platformWrite(PlatformFile file, const void* data, size_t size);
bool platformSeekFile(PlatformFile file, int64_t offset);
int64_t platformFileSizeOf(PlatformFile file);
bool platformFileIdentityOf(PlatformFile file, FileIdentity* identity);
bool platformStampFile(PlatformFile file, const FileStamp& stamp);
bool platformSyncFile(PlatformFile file);
bool platformCloseFile(PlatformFile file);
#else
typedef FILE* PlatformFile;

inline PlatformFile platformOpenRead(const char* path) {
    return platformOpenRegularFile(path);
}
inline PlatformFile platformCreateFile(const char* path, bool hold, ReplaceStatus* status) {
    FILE* file = platformReplaceFile(path, hold, status);
    if (file != nullptr) {
        // Every write reaches the file at once: a refused one is known when it happens.
        setvbuf(file, nullptr, _IONBF, 0);
    }
    return file;
}
inline size_t platformRead(PlatformFile file, void* buffer, size_t size) {
    return fread(buffer, 1, size, file);
}
inline bool platformWrite(PlatformFile file, const void* data, size_t size) {
    return fwrite(data, 1, size, file) == size;
}
inline bool platformSeekFile(PlatformFile file, int64_t offset) {
    return platformSeek(file, offset);
}
inline int64_t platformFileSizeOf(PlatformFile file) {
    return platformStreamSize(file);
}
inline bool platformFileIdentityOf(PlatformFile file, FileIdentity* identity) {
    return platformStreamIdentity(file, identity);
}
inline bool platformStampFile(PlatformFile file, const FileStamp& stamp) {
    return platformApplyStreamStamp(file, stamp);
}
inline bool platformSyncFile(PlatformFile file) {
    return platformSyncStream(file);
}
inline bool platformCloseFile(PlatformFile file) {
    return fclose(file) == 0;
}
#endif
