#include "splitter/engine/split_files.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "archive/folder_scan.h"
#include "platform/platform.h"

namespace {

// True when the file at the unfinished name is one a split left behind: it can be read, and
// its bytes so far are the image's first ones, which is what every split writes first. One that
// does not start so was put there by someone else and is nobody's to replace unasked. *identity
// is the file that was read.
bool leftBySplit(const char* path, const unsigned char* image, unsigned imageBytes,
                 FileIdentity* identity) {
    FILE* file = platformOpenRegularFile(path);
    if (file == nullptr) {
        return false;
    }
    unsigned char start[kUnpackerImageSize];
    size_t n = fread(start, 1, sizeof start, file);
    bool known = ferror(file) == 0 && platformStreamIdentity(file, identity);
    fclose(file);
    return known && n <= imageBytes && memcmp(start, image, n) == 0;
}

// Removes path only while it still reaches the file this split knows by that identity: a
// racing writer may own the name by now.
void removeIfSame(const char* path, const FileIdentity& identity) {
    FileIdentity now;
    if (platformFileIdentity(path, &now) && sameIdentity(now, identity)) {
        platformRemoveFile(path);
    }
}

// True when the unfinished name still reaches the held file.
bool nameReachesHead(const SplitFiles* files) {
    FileIdentity named;
    return platformFileIdentity(files->unfinishedName, &named) &&
           sameIdentity(named, files->headIdentity);
}

void closeHead(SplitFiles* files) {
    if (files->head != nullptr) {
        fclose(files->head);
        files->head = nullptr;
    }
}

// Notes the identity of the volume just created; false when there is no room for it.
bool noteVolume(SplitFiles* files, const FileIdentity& identity) {
    if (files->volumesStarted == files->volumeRoom) {
        unsigned room = files->volumeRoom == 0 ? 64 : files->volumeRoom * 2;
        void* grown = realloc(files->volumes, room * sizeof *files->volumes);
        if (grown == nullptr) {
            return false;
        }
        files->volumes = static_cast<FileIdentity*>(grown);
        files->volumeRoom = room;
    }
    files->volumes[files->volumesStarted++] = identity;
    return true;
}

void forgetVolumes(SplitFiles* files) {
    free(files->volumes);
    files->volumes = nullptr;
    files->volumesStarted = 0;
    files->volumeRoom = 0;
}

// What replacing an older archive removes besides its unpacker file.
struct Removal {
    unsigned ownLast;    // the new archive's last volume: its names must be free
    OlderArchive older;  // the older archive's word on its own volumes
};

// A volume name that forEachArchiveName found; the unpacker file is removed before and on its
// own. A name the new archive writes goes; one beyond them goes only when it has the size the
// older archive gives its volumes, so a file of the user's that merely has such a name stays.
void removeVolume(const char* name, unsigned k, void* context) {
    const Removal* removal = static_cast<const Removal*>(context);
    if (k == 0) {
        return;
    }
    if (k > removal->ownLast && (k > removal->older.lastVolume ||
                                 !volumeSizeFits(platformFileSize(name), removal->older.volumeSize,
                                                 k == removal->older.lastVolume))) {
        return;
    }
    platformRemoveFile(name);
}

}  // namespace

ClaimResult claimUnfinishedFile(SplitFiles* files, const char* archiveName, int width,
                                const unsigned char* image, unsigned imageBytes, char* buffer) {
    files->archiveName = archiveName;
    files->width = width;
    files->head = nullptr;
    files->volumes = nullptr;
    files->volumesStarted = 0;
    files->volumeRoom = 0;
    if (!unpackerFileName(files->unpackerName, sizeof files->unpackerName, archiveName, width) ||
        !unfinishedFileName(files->unfinishedName, sizeof files->unfinishedName, archiveName)) {
        return kClaimFailed;
    }
    if (platformFileExists(files->unfinishedName)) {
        // A running split holds its file, natively or under Wine.
        if (platformFileHeld(files->unfinishedName)) {
            return kClaimBusy;
        }
        FileIdentity leftover;
        if (!leftBySplit(files->unfinishedName, image, imageBytes, &leftover)) {
            return kClaimForeign;
        }
        removeIfSame(files->unfinishedName, leftover);
    }
    // Created new: should another split have cleared the leftover and taken the name first,
    // this one finds it taken.
    ReplaceStatus status;
    files->head = platformCreateNewFile(files->unfinishedName, true, &status);
    if (files->head == nullptr) {
        return status == kReplaceBusy ? kClaimBusy : kClaimFailed;
    }
    if (!platformStreamIdentity(files->head, &files->headIdentity)) {
        closeHead(files);
        platformRemoveFile(files->unfinishedName);
        return kClaimFailed;
    }
    setvbuf(files->head, buffer, _IOFBF, kStreamBufferSize);
    return kClaimed;
}

bool removeOlderArchive(const SplitFiles* files, int memberCount, unsigned lastVolume) {
    Removal removal;
    removal.ownLast = static_cast<unsigned>(memberCount - 1);
    removal.older = olderArchive(files->unpackerName, files->width);
    platformRemoveFile(files->unpackerName);
    bool gone = !platformFileExists(files->unpackerName);
    forEachArchiveName(files->archiveName, files->width, lastVolume, removeVolume, &removal);
    // Were the old unpacker file to outlive a power cut that the new volumes survive, the two
    // would make a mixed archive. Where the folder cannot be synced, the journal of the file
    // system keeps these removals ahead of the volumes' creation.
    platformSyncFolder(files->unpackerName);
    return gone;
}

FILE* createVolume(SplitFiles* files, const char* name, char* buffer) {
    ReplaceStatus status;
    FILE* file = platformCreateNewFile(name, false, &status);
    if (file == nullptr) {
        return nullptr;
    }
    FileIdentity identity;
    if (!platformStreamIdentity(file, &identity) || !noteVolume(files, identity)) {
        fclose(file);
        platformRemoveFile(name);
        return nullptr;
    }
    setvbuf(file, buffer, _IOFBF, kStreamBufferSize);
    return file;
}

bool publishArchive(SplitFiles* files, const unsigned char* record, uint32_t recordOffset) {
    FILE* head = files->head;
    if (!platformSeek(head, recordOffset) || fwrite(record, kFileRecordSize, 1, head) != 1 ||
        !platformSyncStream(head) || ferror(head) != 0) {
        return false;
    }
    // Something moved over the unfinished name is not this archive's unpacker file.
    if (!nameReachesHead(files)) {
        errno = 0;
        return false;
    }
    if (kPlatformRenamesHeldFiles) {
        // Renamed while still held: no other split can take the unfinished name in between.
        if (!platformRenameNew(files->unfinishedName, files->unpackerName)) {
            return false;
        }
        closeHead(files);
    } else {
        bool closed = fclose(head) == 0;
        files->head = nullptr;
        if (!closed || !platformRenameNew(files->unfinishedName, files->unpackerName)) {
            return false;
        }
    }
    forgetVolumes(files);
    return true;
}

void discardSplit(SplitFiles* files) {
    char name[kPathBufferSize];
    for (unsigned k = 1; k <= files->volumesStarted; ++k) {
        if (volumeFileName(name, sizeof name, files->archiveName, k, files->width)) {
            removeIfSame(name, files->volumes[k - 1]);
        }
    }
    forgetVolumes(files);
    // Removed while still held where the system allows it, so that no other split takes the
    // name in between; on Windows after the file is closed (or released for a rename that then
    // failed), and then only while nobody holds it.
    if (kPlatformRenamesHeldFiles) {
        removeIfSame(files->unfinishedName, files->headIdentity);
        closeHead(files);
    } else {
        closeHead(files);
        if (!platformFileHeld(files->unfinishedName)) {
            removeIfSame(files->unfinishedName, files->headIdentity);
        }
    }
}
