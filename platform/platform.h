// The few operating-system calls that the portable code needs. One implementation per OS:
// platform_win.cpp (Win32) and platform_posix.cpp (Linux). C-style, usable by the unpacker.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "archive/format.h"

// Full path of the running executable into out (size bytes). False when it does not fit.
bool platformOwnExecutablePath(char* out, size_t size);

// True when something of exactly this name exists (a file or a folder).
bool platformFileExists(const char* path);

// Size of the file in bytes, or -1 when it cannot be opened for reading.
int64_t platformFileSize(const char* path);

// Reads the file's times and attribute bits as Windows reports them into the record's
// creationTime, lastAccessTime, lastWriteTime and attributes (volumeCount is left alone).
// Opens with sharing, so a file held open by another program still gives its times. Times
// that cannot be read are 0 (unknown); attributes that cannot be read are kAttrUnknown.
void platformReadFileStamp(const char* path, FileRecord* record);

// Gives the file the record's times (a zero time is unknown and left as it is) and then its
// attribute bits (kAttrUnknown is left alone). Returns false when any step failed.
bool platformApplyFileStamp(const char* path, const FileRecord& record);

// Clears the file's attributes (read-only included) so that it can be replaced.
void platformClearAttributes(const char* path);
