// What the folder of an archive about to be written already holds: whether any of its member
// names is taken, and whether any name the split would write or remove reaches the source
// file (by file identity: another spelling, a link or a hard link of the source counts).
#pragma once

#include "archive/format.h"

// The highest volume number the split removes as stale: M + 1, but never a number that needs
// more than W digits (those belong to another archive's numbering).
unsigned lastStaleVolume(int memberCount, int width);

struct ArchiveFolderScan {
    bool memberExists;   // one of members 0 .. M - 1 exists (a link or a folder counts)
    bool touchesSource;  // a member or a stale volume name reaches the source file
    // A member or stale volume name whose entry cannot be replaced, so that the split would
    // fail half-way (a folder); the first such name is in blockedName.
    bool blocked;
    char blockedName[kPathBufferSize];
};

// Looks at members 0 .. M - 1 of base name archiveName (digit width `width`) and at the stale
// volumes M .. lastStaleVolume. The folder is listed once and only names that look like
// members (compared without regard to letter case) are examined.
ArchiveFolderScan scanArchiveFolder(const char* archiveName, int memberCount, int width,
                                    const char* sourcePath);

// The full check that writing the archive cannot destroy its source: the byte comparison of
// archiveNameConflict first (it also sets *numberWidth), then the folder scan. True when the
// split must be refused.
bool archiveTouchesSource(const char* sourcePath, const char* archiveName, int memberCount,
                          int* numberWidth);
