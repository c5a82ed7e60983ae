// The checks before a split, in the order the user meets their messages.
#include "splitter/engine/split_checks.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "archive/folder_scan.h"
#include "archive/format.h"
#include "archive/message_text.h"
#include "archive/header.h"
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

// A refusal of the program's own: the system gave no reason for it.
void refuse(SplitUi* ui, const char* text) {
    errno = 0;
    ui->message(kMessageError, kCaptionError, text);
}

void copyFolder(char* out, const char* path, int separator) {
    size_t n = separator >= 0 ? static_cast<size_t>(separator) + 1 : 0;
    memcpy(out, path, n);
    out[n] = '\0';
}

// The archive name names files, and their names fit.
bool checkArchiveName(const SplitterState* state, SplitUi* ui) {
    if (archiveNameMissing(state->archiveName)) {
        refuse(ui, kTextEnterName);
        return false;
    }
    if (!isValidArchiveStem(state->archiveName)) {
        tellError(ui, kTextBadArchiveName, state->archiveName);
        return false;
    }
    return true;
}

// The source is there, of the size the form saw, and of a name the join accepts. Sets the
// header name, L and H.
bool checkSource(const SplitterState* state, SplitUi* ui, SplitPlan* plan) {
    int64_t actualSize = platformFileSize(state->sourcePath);
    if (actualSize < 0) {
        ui->message(kMessageError, kCaptionError, kTextSourceUnavailable);  // errno says why
        return false;
    }
    const char* name = fileNamePart(state->sourcePath);
    // Only names the join accepts: anything else makes an archive that nobody can join.
    if (!ui->headerSourceName(name, plan->headerName, sizeof plan->headerName) ||
        !isSafeTargetName(plan->headerName)) {
        tellError(ui, kTextBadSourceName, state->sourcePath);
        return false;
    }
    plan->nameLength = static_cast<uint32_t>(strlen(plan->headerName));
    plan->header = headerSize(plan->nameLength);
    if (state->sourceSizeKnown == 0) {
        refuse(ui, kTextSourceUnavailable);
        return false;
    }
    if (static_cast<uint64_t>(actualSize) != state->sourceSize) {
        tellError(ui, kTextSourceChanged, state->sourcePath);
        return false;
    }
    return true;
}

// M from the sizes: at least 2, within the record's 32-bit field, and the one the form shows.
bool checkMemberCount(const SplitterState* state, SplitUi* ui, SplitPlan* plan) {
    // Any source size: only the member count is bounded, by the record's 32-bit field.
    uint64_t expectedCount = memberCountFor(state->sourceSize, plan->header, state->volumeSize);
    if (expectedCount < 2) {
        refuse(ui, kTextPointless);
        return false;
    }
    if (expectedCount > static_cast<uint64_t>(kMaxVolumeCount)) {
        refuse(ui, kTextTooManyMembers);
        return false;
    }
    if (state->volumeCount < 0 || static_cast<uint64_t>(state->volumeCount) != expectedCount) {
        refuse(ui, kTextCountMismatch);
        return false;
    }
    plan->memberCount = static_cast<int>(expectedCount);
    // Every member name has the same length, so the unpacker's name stands for all of them.
    char probe[kPathBufferSize];
    if (!unpackerFileName(probe, sizeof probe, state->archiveName, digitWidth(plan->memberCount))) {
        refuse(ui, kTextNameTooLong);
        return false;
    }
    return true;
}

// No name the split writes or removes may reach the source, whatever its spelling, letter case
// or links; a folder in a member's place is found now rather than half-way through replacing
// an older archive. Sets W and whether any member name is taken.
bool checkArchiveFolder(SplitterState* state, SplitUi* ui, SplitPlan* plan) {
    if (archiveNameConflict(state->sourcePath, state->archiveName, plan->memberCount,
                            &state->numberWidth)) {
        refuse(ui, kTextNameConflict);
        return false;
    }
    plan->width = state->numberWidth;
    ArchiveFolderScan scan =
        scanArchiveFolder(state->archiveName, plan->memberCount, plan->width, state->sourcePath);
    if (scan.touchesSource) {
        refuse(ui, kTextNameConflict);
        return false;
    }
    if (scan.blocked) {
        errno = EISDIR;  // a folder holds the name
        tellSystemError(ui, kTextCannotCreate, scan.blockedName);
        return false;
    }
    // The name the unpacker file is written under until the end: a leftover there is cleared
    // unasked, so it must not be the source, nor a folder.
    char unfinished[kPathBufferSize];
    if (unfinishedFileName(unfinished, sizeof unfinished, state->archiveName) &&
        platformFileExists(unfinished)) {
        if (platformSameFile(unfinished, state->sourcePath)) {
            refuse(ui, kTextNameConflict);
            return false;
        }
        if (!platformEntryReplaceable(unfinished)) {
            tellError(ui, kTextCannotCreate, unfinished);
            return false;
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

void tellSystemError(SplitUi* ui, const char* format, const char* argument) {
    int reason = errno;
    char text[kSplitMessageSize];
    formatText(text, sizeof text, format, argument);
    errno = reason;
    ui->message(kMessageError, kCaptionError, text);
}

void tellError(SplitUi* ui, const char* format, const char* argument) {
    errno = 0;
    tellSystemError(ui, format, argument);
}

void rememberFolders(SplitterState* state, const char* ownPath) {
    int sourceCut = lastBackslashIndex(state->sourcePath);
    if (sourceCut >= 0) {
        copyFolder(state->lastSourceDir, state->sourcePath, sourceCut);
    } else {
        copyFolder(state->lastSourceDir, ownPath, lastBackslashIndex(ownPath));
    }
    int archiveCut = lastBackslashIndex(state->archiveName);
    if (archiveCut >= 0) {
        copyFolder(state->archiveDir, state->archiveName, archiveCut);
    } else {
        memcpy(state->archiveDir, state->lastSourceDir, strlen(state->lastSourceDir) + 1);
    }
}

bool checkSplit(SplitterState* state, SplitUi* ui, SplitPlan* plan) {
    if (!checkArchiveName(state, ui)) {
        return false;
    }
    if (state->volumeSize < kMinVolumeSize) {
        refuse(ui, kSizeTooSmallText);
        return false;
    }
    return checkSource(state, ui, plan) && checkMemberCount(state, ui, plan) &&
           checkArchiveFolder(state, ui, plan);
}
