// What the folder of an archive about to be written already holds: whether any of its member
// names is taken, and whether any name the split would write or remove reaches the source
// file (by file identity: another spelling, a link or a hard link of the source counts).
#pragma once

#include "archive/format.h"

// What an older archive under the same base name says of itself: the number of its last
// volume and its volume size (its unpacker file's size). Both 0 unless its unpacker file is a
// plain file (no link, no second name) whose header reads with a member count of `width`
// digits.
struct OlderArchive {
    unsigned lastVolume;
    int64_t volumeSize;
};
OlderArchive olderArchive(const char* unpacker, int width);

// The highest volume number that replacing the archive at base name archiveName removes: the
// new archive's own M - 1, or the older archive's last volume M' - 1 when that is higher. The
// older archive counts only when its unpacker file (W digits) is there, its header reads and
// M' is written with W digits too; a volume of any other name is nobody's to remove.
unsigned lastReplacedVolume(const char* archiveName, int memberCount, int width);

// Calls visit(name, k) for every member name 0 .. lastVolume of base name archiveName (digit
// width `width`) that exists, spelled as the split writes it. The folder is listed once and
// only entries that look like members (compared without regard to letter case) are looked at,
// so a huge lastVolume costs no more than the folder's size; a folder that cannot be listed
// has every name looked up.
void forEachArchiveName(const char* archiveName, int width, unsigned lastVolume,
                        void (*visit)(const char* name, unsigned k, void* context), void* context);

struct ArchiveFolderScan {
    bool memberExists;   // one of members 0 .. M - 1 exists (a link or a folder counts)
    bool touchesSource;  // a member or an older volume's name reaches the source file
    // A member or older volume name whose entry cannot be replaced, so that the split would
    // fail half-way (a folder); the first such name is in blockedName.
    bool blocked;
    char blockedName[kPathBufferSize];
};

// Looks at members 0 .. M - 1 of base name archiveName (digit width `width`) and at the older
// archive's further volumes M .. lastVolume (lastReplacedVolume), as forEachArchiveName finds
// them.
ArchiveFolderScan scanArchiveFolder(const char* archiveName, int memberCount, int width,
                                    unsigned lastVolume, const char* sourcePath);

// The full check that writing the archive cannot destroy its source: the byte comparison of
// archiveNameConflict first (it also sets *numberWidth), then the folder scan. True when the
// split must be refused.
bool archiveTouchesSource(const char* sourcePath, const char* archiveName, int memberCount,
                          int* numberWidth);
