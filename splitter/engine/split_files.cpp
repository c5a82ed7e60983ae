#include "splitter/engine/split_files.h"

#include <stdio.h>
#include <string.h>

#include "archive/folder_scan.h"
#include "platform/platform.h"

namespace {

enum Leftover {
    kLeftBySplit,   // empty, or the image's first bytes: what every split writes first
    kLeftByOthers,  // something else
    kUnreadable,    // on Windows: held without sharing by a split that is running
};

// What the file at the unfinished name is. A split's file always starts with the image, so
// one that does not was put there by someone else and is nobody's to replace unasked.
Leftover leftoverAt(const char* path, const unsigned char* image, unsigned imageBytes) {
    FILE* file = platformOpenRegularFile(path);
    if (file == nullptr) {
        return kUnreadable;
    }
    unsigned char start[kUnpackerImageSize];
    size_t n = fread(start, 1, sizeof start, file);
    bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        return kUnreadable;
    }
    return n <= imageBytes && memcmp(start, image, n) == 0 ? kLeftBySplit : kLeftByOthers;
}

void closeHead(SplitFiles* files) {
    if (files->head != nullptr) {
        fclose(files->head);
        files->head = nullptr;
    }
}

}  // namespace

ClaimResult claimUnfinishedFile(SplitFiles* files, const char* archiveName, int width,
                                const unsigned char* image, unsigned imageBytes, char* buffer) {
    files->archiveName = archiveName;
    files->width = width;
    files->head = nullptr;
    files->volumesStarted = 0;
    if (!unpackerFileName(files->unpackerName, sizeof files->unpackerName, archiveName, width) ||
        !unfinishedFileName(files->unfinishedName, sizeof files->unfinishedName, archiveName)) {
        return kClaimFailed;
    }
    if (platformFileExists(files->unfinishedName)) {
        Leftover leftover = leftoverAt(files->unfinishedName, image, imageBytes);
        if (leftover == kUnreadable) {
            return kClaimBusy;
        }
        if (leftover == kLeftByOthers) {
            return kClaimForeign;
        }
    }
    // A running split holds its file: natively the replacement finds the lock, on Windows the
    // sharing.
    ReplaceStatus status;
    files->head = platformReplaceFile(files->unfinishedName, true, &status);
    if (files->head == nullptr) {
        return status == kReplaceBusy ? kClaimBusy : kClaimFailed;
    }
    setvbuf(files->head, buffer, _IOFBF, kStreamBufferSize);
    return kClaimed;
}

bool removeOlderArchive(const SplitFiles* files, int memberCount) {
    platformRemoveFile(files->unpackerName);
    bool gone = !platformFileExists(files->unpackerName);
    unsigned last = lastStaleVolume(memberCount, files->width);
    char name[kPathBufferSize];
    for (unsigned k = 1; k <= last; ++k) {
        if (volumeFileName(name, sizeof name, files->archiveName, k, files->width)) {
            platformRemoveFile(name);
        }
    }
    // Were the old unpacker file to outlive a power cut that the new volumes survive, the two
    // would make a mixed archive. Where the folder cannot be synced, the journal of the file
    // system keeps these removals ahead of the volumes' creation.
    platformSyncFolder(files->unpackerName);
    return gone;
}

bool publishArchive(SplitFiles* files, const unsigned char* record, uint32_t recordOffset) {
    FILE* head = files->head;
    if (!platformSeek(head, recordOffset) || fwrite(record, kFileRecordSize, 1, head) != 1 ||
        !platformSyncStream(head) || ferror(head) != 0) {
        return false;
    }
    if (kPlatformRenamesHeldFiles) {
        // Renamed while still held: no other split can take the unfinished name in between.
        if (!platformRenameOver(files->unfinishedName, files->unpackerName)) {
            return false;
        }
        closeHead(files);
        return true;
    }
    bool closed = fclose(head) == 0;
    files->head = nullptr;
    return closed && platformRenameOver(files->unfinishedName, files->unpackerName);
}

void discardSplit(SplitFiles* files) {
    if (files->head == nullptr) {
        // Released for a rename that then failed (Windows): another split may own these names
        // by now. Only our unfinished file goes, and only while nobody holds it; the volumes
        // without it are no archive, and the next split of this name asks before replacing them.
        platformRemoveFile(files->unfinishedName);
        return;
    }
    char name[kPathBufferSize];
    for (unsigned k = 1; k <= files->volumesStarted; ++k) {
        if (volumeFileName(name, sizeof name, files->archiveName, k, files->width)) {
            platformRemoveFile(name);
        }
    }
    if (kPlatformRenamesHeldFiles) {
        platformRemoveFile(files->unfinishedName);
        closeHead(files);
    } else {
        closeHead(files);
        platformRemoveFile(files->unfinishedName);
    }
}
