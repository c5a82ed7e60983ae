// The files of one split on the disk. The unpacker file is written under the split's own name
// (unfinishedFileName) and held there, so that a second split of the same base name finds it
// busy; the volumes are written and synced one by one; only then does the unpacker file get
// its name, as the very last step. A split cut off anywhere before that leaves no unpacker
// file, and the volumes alone are nobody's archive. A failure the split notices removes what
// it wrote.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "archive/format.h"

struct SplitFiles {
    const char* archiveName;  // B
    int width;                // W
    char unpackerName[kPathBufferSize];
    char unfinishedName[kPathBufferSize];
    FILE* head;               // the unpacker file under its unfinished name, held
    unsigned volumesStarted;  // volumes 1 .. volumesStarted were created by this split
};

enum ClaimResult {
    kClaimed,       // files->head is the new, empty, held unfinished file
    kClaimBusy,     // another split of this base name is running
    kClaimForeign,  // the unfinished name holds a file that no split wrote: left alone
    kClaimFailed,   // the file could not be created
};

// Fills in the names (the checks found them to fit) and takes the unfinished name. A file
// there that a split left behind (its bytes so far are those of `image`, imageBytes long) is
// replaced without a question; anything else there is left alone. buffer (kStreamBufferSize
// bytes) becomes the stream's buffer.
ClaimResult claimUnfinishedFile(SplitFiles* files, const char* archiveName, int width,
                                const unsigned char* image, unsigned imageBytes, char* buffer);

// Removes the older archive that the user agreed to replace: its unpacker file first, then its
// volumes 1 .. lastStaleVolume. False when the unpacker file is still there: a new volume
// beside it would make a mixed archive. The removals reach the disk before any new volume.
bool removeOlderArchive(const SplitFiles* files, int memberCount);

// Ends the split: `record` (32 bytes) goes over the record's place at recordOffset, the
// unpacker file is synced and renamed to its name, and closed. False when that failed; then
// discardSplit still removes what is safe to remove.
bool publishArchive(SplitFiles* files, const unsigned char* record, uint32_t recordOffset);

// Removes what this split wrote, where it can: the volumes it created and its unfinished file.
// Only for a claimed file; the member being written must be closed already.
void discardSplit(SplitFiles* files);
