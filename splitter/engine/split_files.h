// The files of one split on the disk. The unpacker file is written under the split's own name
// (unfinishedFileName) and held there, so that a second split of the same base name finds it
// busy; the volumes are written and synced one by one; only then does the unpacker file get
// its name, as the very last step. A split cut off anywhere before that leaves no unpacker
// file, and the volumes alone are nobody's archive. A failure the split notices removes what
// it wrote.
//
// The older archive's names that the user agreed to replace go first; from then on every file
// is created new and the unpacker file is renamed only onto a free name, so a file that
// appears under one of the archive's names meanwhile stops the split and stays as it is. Only
// names that still reach a file of this split are removed again.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "archive/format.h"
#include "platform/platform.h"

struct SplitFiles {
    const char* archiveName;  // B
    int width;                // W
    char unpackerName[kPathBufferSize];
    char unfinishedName[kPathBufferSize];
    FILE* head;  // the unpacker file under its unfinished name, held
    FileIdentity headIdentity;
    FileIdentity* volumes;  // of volumes 1 .. volumesStarted as this split created them
    unsigned volumesStarted;
    unsigned volumeRoom;  // entries of `volumes` allocated
};

enum ClaimResult {
    kClaimed,       // files->head is the new, empty, held unfinished file
    kClaimBusy,     // another split of this base name is running
    kClaimForeign,  // the unfinished name holds something no split wrote: left alone
    kClaimFailed,   // the file could not be created
};

// Fills in the names (the checks found them to fit) and takes the unfinished name. A file
// there that a split left behind and nobody holds (its bytes so far are those of `image`,
// imageBytes long) is replaced without a question; anything else there is left alone. buffer
// (kStreamBufferSize bytes) becomes the stream's buffer.
ClaimResult claimUnfinishedFile(SplitFiles* files, const char* archiveName, int width,
                                const unsigned char* image, unsigned imageBytes, char* buffer);

// Removes the older archive that the user agreed to replace: its unpacker file first, then the
// volume names 1 .. lastVolume (lastReplacedVolume) that exist: the new archive's own names
// (memberCount members) always, those beyond only when they have the size the older archive's
// unpacker file gives its volumes. False when the unpacker file is
// still there: a new volume beside it would make a mixed archive. The removals reach the disk
// before any new volume.
bool removeOlderArchive(const SplitFiles* files, int memberCount, unsigned lastVolume);

// Creates volume `name` (the next one) new, never in place of anything; null when it cannot.
// buffer (kStreamBufferSize bytes) becomes the stream's buffer.
FILE* createVolume(SplitFiles* files, const char* name, char* buffer);

// Ends the split: `record` (32 bytes) goes over the record's place at recordOffset, the
// unpacker file is synced and renamed to its name, and closed. False when that failed (the
// unfinished name no longer reaches this split's file, or the unpacker's name is taken); then
// discardSplit still removes what is safe to remove.
bool publishArchive(SplitFiles* files, const unsigned char* record, uint32_t recordOffset);

// Removes what this split wrote, where it can: the volumes it created and its unfinished file.
// Only for a claimed file; the member being written must be closed already.
void discardSplit(SplitFiles* files);
