// The checks before a split, in the order the user meets their refusals.
#include "splitter/engine/split_plan.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "archive/folder_scan.h"
#include "archive/format.h"
#include "archive/header.h"
#include "archive/message_text.h"
#include "platform/platform.h"
#include "splitter/engine/split_texts.h"
#include "splitter/form/sizes.h"

namespace {

const char kTextBadSourceName[] = "Недопустимое имя разбиваемого файла: %s";
const char kTextBadArchiveName[] = "Недопустимое имя архива: %s";
const char kTextNameTooLong[] =
    "Слишком длинное имя архива: имена его файлов длиннее 255 символов!";
const char kTextCountMismatch[] =
    "Число файлов архива не соответствует размерам файла и тома! Проверьте размер тома.";

// Ends the plan with a refusal; subject (may be null) is the path its message names.
bool refuse(SplitPlan* plan, SplitRefusal refusal, const char* subject = nullptr, int reason = 0) {
    plan->refusal = refusal;
    plan->reason = reason;
    snprintf(plan->subject, sizeof plan->subject, "%s", subject != nullptr ? subject : "");
    return false;
}

// The archive name names files, and their names fit.
bool checkArchiveName(const SplitRequest& request, SplitPlan* plan) {
    if (archiveNameMissing(request.archiveName)) {
        return refuse(plan, kRefusedNoArchiveName);
    }
    if (!isValidArchiveStem(request.archiveName)) {
        return refuse(plan, kRefusedBadArchiveName, request.archiveName);
    }
    return true;
}

// The source is there, of the size the front end saw, and of a name the join accepts. Sets
// the header name, L and H.
bool checkSource(const SplitRequest& request, SplitPlan* plan) {
    int64_t actualSize = platformFileSize(request.sourcePath);
    if (actualSize < 0) {
        return refuse(plan, kRefusedSourceUnavailable, nullptr, errno);
    }
    const char* name =
        request.headerName != nullptr ? request.headerName : fileNamePart(request.sourcePath);
    // Only names the join accepts: anything else makes an archive that nobody can join.
    size_t length = strlen(name);
    if (length >= sizeof plan->headerName || !isSafeTargetName(name)) {
        return refuse(plan, kRefusedBadSourceName, request.sourcePath);
    }
    memcpy(plan->headerName, name, length + 1);
    plan->nameLength = static_cast<uint32_t>(length);
    plan->header = headerSize(plan->nameLength);
    if (!request.sourceSizeKnown) {
        return refuse(plan, kRefusedSourceUnavailable);
    }
    if (static_cast<uint64_t>(actualSize) != request.sourceSize) {
        return refuse(plan, kRefusedSourceChanged, request.sourcePath);
    }
    return true;
}

// M from the sizes: at least 2, within the record's 32-bit field, and the one shown.
bool checkMemberCount(const SplitRequest& request, SplitPlan* plan) {
    // Any source size: only the member count is bounded, by the record's 32-bit field.
    uint64_t expectedCount = memberCountFor(request.sourceSize, plan->header, request.volumeSize);
    if (expectedCount < 2) {
        return refuse(plan, kRefusedPointless);
    }
    if (expectedCount > static_cast<uint64_t>(kMaxVolumeCount)) {
        return refuse(plan, kRefusedTooManyMembers);
    }
    if (request.shownCount < 0 || static_cast<uint64_t>(request.shownCount) != expectedCount) {
        return refuse(plan, kRefusedCountMismatch);
    }
    plan->memberCount = static_cast<int>(expectedCount);
    // Every member name has the same length, so the unpacker's name stands for all of them.
    char probe[kPathBufferSize];
    if (!unpackerFileName(probe, sizeof probe, request.archiveName,
                          digitWidth(plan->memberCount))) {
        return refuse(plan, kRefusedNameTooLong);
    }
    return true;
}

// No name the split writes or removes may reach the source, whatever its spelling, letter case
// or links; a folder in a member's place is found now rather than half-way through replacing
// an older archive. Sets W and whether any member name is taken.
bool checkArchiveFolder(const SplitRequest& request, SplitPlan* plan) {
    if (archiveNameConflict(request.sourcePath, request.archiveName, plan->memberCount,
                            &plan->width)) {
        return refuse(plan, kRefusedNameConflict);
    }
    // Replacing an archive removes the new archive's names and the older one's volumes, and
    // nothing else; the same names are removed later as are checked now.
    plan->lastVolume = lastReplacedVolume(request.archiveName, plan->memberCount, plan->width);
    ArchiveFolderScan scan = scanArchiveFolder(request.archiveName, plan->memberCount, plan->width,
                                               plan->lastVolume, request.sourcePath);
    if (scan.touchesSource) {
        return refuse(plan, kRefusedNameConflict);
    }
    if (scan.blocked) {
        return refuse(plan, kRefusedMemberBlocked, scan.blockedName, EISDIR);  // a folder
    }
    // The name the unpacker file is written under until the end: a leftover there is cleared
    // unasked, so it must not be the source, nor a folder.
    char unfinished[kPathBufferSize];
    if (unfinishedFileName(unfinished, sizeof unfinished, request.archiveName) &&
        platformFileExists(unfinished)) {
        if (platformSameFile(unfinished, request.sourcePath)) {
            return refuse(plan, kRefusedUnfinishedIsSource);
        }
        if (!platformEntryReplaceable(unfinished)) {
            return refuse(plan, kRefusedUnfinishedBlocked, unfinished);
        }
    }
    plan->memberExists = scan.memberExists;
    return true;
}

}  // namespace

bool archiveNameMissing(const char* archiveName) {
    size_t length = strlen(archiveName);
    return length == 0 || isPathSeparator(archiveName[length - 1]);
}

bool planSplit(const SplitRequest& request, SplitPlan* plan) {
    memset(plan, 0, sizeof *plan);
    plan->refusal = kSplitPlanned;
    if (!checkArchiveName(request, plan)) {
        return false;
    }
    if (request.volumeSize < kMinVolumeSize) {
        return refuse(plan, kRefusedVolumeTooSmall);
    }
    return checkSource(request, plan) && checkMemberCount(request, plan) &&
           checkArchiveFolder(request, plan);
}

const char* splitRefusalPattern(SplitRefusal refusal) {
    const char* pattern = "";
    switch (refusal) {
        case kSplitPlanned:
            break;
        case kRefusedNoArchiveName:
            pattern = kTextEnterName;
            break;
        case kRefusedBadArchiveName:
            pattern = kTextBadArchiveName;
            break;
        case kRefusedVolumeTooSmall:
            pattern = kSizeTooSmallText;
            break;
        case kRefusedSourceUnavailable:
            pattern = kTextSourceUnavailable;
            break;
        case kRefusedBadSourceName:
            pattern = kTextBadSourceName;
            break;
        case kRefusedSourceChanged:
            pattern = kTextSourceChanged;
            break;
        case kRefusedPointless:
            pattern = kTextPointless;
            break;
        case kRefusedTooManyMembers:
            pattern = kTextTooManyMembers;
            break;
        case kRefusedCountMismatch:
            pattern = kTextCountMismatch;
            break;
        case kRefusedNameTooLong:
            pattern = kTextNameTooLong;
            break;
        case kRefusedNameConflict:
        case kRefusedUnfinishedIsSource:
            pattern = kTextNameConflict;
            break;
        case kRefusedMemberBlocked:
        case kRefusedUnfinishedBlocked:
            pattern = kTextCannotCreate;
            break;
    }
    return pattern;
}

void splitRefusalText(const SplitPlan& plan, char* out, unsigned size) {
    // Only the patterns with a subject hold a %s; the others print as they are.
    formatText(out, size, splitRefusalPattern(plan.refusal), plan.subject);
}
