// The writer: the unpacker file first (held), then the volumes, the disc a step per member.
#include "splitter/engine/split_engine.h"

#include <stdio.h>
#include <string.h>

#include "archive/folder_scan.h"
#include "archive/format.h"
#include "platform/platform.h"
#include "splitter/engine/split_checks.h"
#include "splitter/engine/split_texts.h"

const char kIdleTitle[] = "Dravnik v2.3";

namespace {

const char kTextOverwrite[] = "Вы хотите перезаписать существующий архив?";
const char kTextWorking[] = "Работаю...";
const char kTextDone[] = "Готово!";
const char kTextWriteError[] = "Ошибка!\nВозможно, нет места на диске";
const char kTextCannotRead[] = "Не могу прочитать файл %s!";
const char kTextNoImage[] = "Не могу прочитать программу распаковки из %s!";
const char kTextArchiveBusy[] = "Архив %s уже записывается другой программой!";

// The source goes across in slices of this many bytes, each followed by a progress report.
constexpr uint32_t kProgressSlice = 1048576;

// Stream buffers for the source, the unpacker file and the volume being written.
char gSourceBuffer[kStreamBufferSize];
char gHeadBuffer[kStreamBufferSize];
char gMemberBuffer[kStreamBufferSize];

// Stands in when the window has no drawing surface to offer: the base draws nothing.
class NoCanvas final : public SplitCanvas {};
NoCanvas gNoCanvas;

enum Outcome {
    kOutcomeDone,
    kOutcomeWriteFailed,  // told by finishSplit's generic message
    kOutcomeReported,     // a specific message is waiting in the split's message buffer
};

// One split's working values.
struct Split {
    SplitterState* state;
    SplitUi* ui;
    SplitPlan plan;
    char ownPath[kPathBufferSize];
    uint64_t sourceDone;  // source bytes written so far
    FILE* image;
    FILE* head;    // the unpacker file, held from its creation to the end of the split
    FILE* member;  // the volume being written
    FILE* source;
    SplitCanvas* canvas;
    ProgressDisc* disc;
    char message[kSplitMessageSize];
};

// Notes a failure whose message finishSplit shows once the drawing objects are released.
void noteFailure(Split* split, const char* format, const char* argument) {
    snprintf(split->message, sizeof split->message, format, argument);
}

// Removes volumes 1 .. M + 1 of an older archive of the same base name, within this archive's
// own numbering: a number that needs more than W digits names another archive's volume.
void removeStaleVolumes(const Split* split) {
    const SplitterState* state = split->state;
    unsigned last = lastStaleVolume(split->plan.memberCount, split->plan.width);
    char name[kPathBufferSize];
    for (unsigned k = 1; k <= last; ++k) {
        if (volumeFileName(name, sizeof name, state->archiveName, k, split->plan.width)) {
            platformRemoveFile(name);
        }
    }
}

// A new member file in place of whatever its name held (never written through a link).
FILE* openMember(const char* name, bool hold, char* buffer, ReplaceStatus* status) {
    FILE* file = platformReplaceFile(name, hold, status);
    if (file != nullptr) {
        setvbuf(file, buffer, _IOFBF, kStreamBufferSize);
    }
    return file;
}

// True when everything written to the stream so far reached the file. Flushes and checks:
// Wine's fclose does not report a failed flush of the buffer.
bool flushed(FILE* file) {
    return fflush(file) == 0 && !ferror(file);
}

// Closes a member; false when its last bytes could not be written.
bool closeMember(FILE** file) {
    bool ok = flushed(*file);
    ok = fclose(*file) == 0 && ok;
    *file = nullptr;
    return ok;
}

void closeStream(FILE** file) {
    if (*file != nullptr) {
        fclose(*file);
        *file = nullptr;
    }
}

void closeAll(Split* split) {
    closeStream(&split->image);
    closeStream(&split->member);
    closeStream(&split->source);
    closeStream(&split->head);
}

// Copies count bytes into an open member; turns a failure into the split's outcome.
Outcome copyInto(Split* split, FILE* from, const char* fromName, FILE* to, uint32_t count) {
    CopyResult result = copyBytes(from, to, count);
    if (result == kCopyWriteFailed) {
        return kOutcomeWriteFailed;
    }
    if (result == kCopyReadFailed) {
        noteFailure(split, kTextCannotRead, fromName);
        return kOutcomeReported;
    }
    return kOutcomeDone;
}

// Copies count source bytes into an open member, slice by slice, and reports the progress.
Outcome copySource(Split* split, FILE* to, uint32_t count) {
    while (count > 0) {
        uint32_t slice = count < kProgressSlice ? count : kProgressSlice;
        Outcome outcome = copyInto(split, split->source, split->state->sourcePath, to, slice);
        if (outcome != kOutcomeDone) {
            return outcome;
        }
        count -= slice;
        split->sourceDone += slice;
        split->ui->progress(split->sourceDone, split->state->sourceSize);
    }
    return kOutcomeDone;
}

// Writes the whole archive: the image, the header and the first piece into the held unpacker
// file (open, the image positioned at its first byte), then every volume, then the checks that
// the source stayed as it was.
Outcome writeMembers(Split* split, const FileRecord& record) {
    SplitterState* state = split->state;
    Outcome outcome =
        copyInto(split, split->image, split->ownPath, split->head, kUnpackerImageSize);
    fclose(split->image);
    split->image = nullptr;
    if (outcome != kOutcomeDone) {
        return outcome;
    }
    unsigned char encoded[kFileRecordSize];
    encodeFileRecord(record, encoded);
    if (fprintf(split->head, "%s\"", split->plan.headerName) < 0 ||
        fwrite(encoded, sizeof encoded, 1, split->head) != 1) {
        return kOutcomeWriteFailed;
    }
    split->source = platformOpenRegularFile(state->sourcePath);
    if (split->source == nullptr) {
        noteFailure(split, kTextCannotRead, state->sourcePath);
        return kOutcomeReported;
    }
    setvbuf(split->source, gSourceBuffer, _IOFBF, sizeof gSourceBuffer);
    uint32_t firstPiece = state->volumeSize - split->plan.header;
    outcome = copySource(split, split->head, firstPiece);
    if (outcome != kOutcomeDone) {
        return outcome;
    }
    // The unpacker file stays open (and held) until the last volume is written.
    if (!flushed(split->head)) {
        return kOutcomeWriteFailed;
    }
    // 64 bits: a source may hold 4 GiB and more.
    uint64_t remaining = state->sourceSize - firstPiece;

    split->disc->startFilling(split->plan.memberCount);

    // Every member name is as long as the unpacker's, which the checks found to fit.
    unsigned k = 0;
    char name[kPathBufferSize];
    for (;;) {
        bool last = remaining <= state->volumeSize;
        uint32_t count = last ? static_cast<uint32_t>(remaining) : state->volumeSize;
        volumeFileName(name, sizeof name, state->archiveName, ++k, split->plan.width);
        ReplaceStatus status;
        split->member = openMember(name, false, gMemberBuffer, &status);
        if (split->member == nullptr) {
            noteFailure(split, kTextCannotCreate, name);
            return kOutcomeReported;
        }
        outcome = copySource(split, split->member, count);
        if (outcome != kOutcomeDone) {
            return outcome;
        }
        if (!closeMember(&split->member)) {
            return kOutcomeWriteFailed;
        }
        if (last) {
            break;
        }
        remaining -= count;
        split->disc->nextStep();
    }
    // A source that grew while it was split is not what the archive holds.
    if (getc(split->source) != EOF) {
        noteFailure(split, kTextSourceChanged, state->sourcePath);
        return kOutcomeReported;
    }
    // Nor one written to in place while it was read: the archive would match neither version.
    FileStamp now;
    platformReadFileStamp(state->sourcePath, &now);
    if (record.lastWriteTime != 0 && now.lastWriteTime != record.lastWriteTime) {
        noteFailure(split, kTextSourceChanged, state->sourcePath);
        return kOutcomeReported;
    }
    if (!closeMember(&split->head)) {
        return kOutcomeWriteFailed;
    }
    split->disc->lastStep();
    return kOutcomeDone;
}

// Releases the drawing objects and tells the user how the split ended. True on success.
bool finishSplit(Split* split, Outcome outcome) {
    SplitUi* ui = split->ui;
    split->disc->release();
    if (split->canvas != &gNoCanvas) {
        ui->releaseCanvas(split->canvas);
    }
    split->canvas = nullptr;
    if (outcome == kOutcomeWriteFailed) {
        ui->message(kMessageError, kCaptionError, kTextWriteError);
        ui->setTitle(kIdleTitle);
        return false;
    }
    if (outcome == kOutcomeReported) {
        ui->message(kMessageError, kCaptionError, split->message);
        ui->setTitle(kIdleTitle);
        return false;
    }
    if (split->state->closeAfterFinish != 0) {
        ui->beep();
        ui->closeMainWindow();
        return true;
    }
    ui->setTitle(kTextDone);
    ui->message(kMessageInfo, kCaptionInfo, kTextDone);
    ui->setTitle(kIdleTitle);
    return true;
}

}  // namespace

void SplitUi::progress(uint64_t, uint64_t) {}

bool SplitUi::stopRequested() {
    return false;
}

bool SplitUi::headerSourceName(const char* name, char* out, unsigned size) {
    size_t n = strlen(name);
    if (size == 0 || n >= size) {
        return false;
    }
    memcpy(out, name, n + 1);
    return true;
}

CopyResult copyBytes(FILE* in, FILE* out, uint32_t count) {
    unsigned char buffer[kCopyBufferSize];
    while (count > kCopyBufferSize) {
        if (fread(buffer, kCopyBufferSize, 1, in) != 1) {
            return kCopyReadFailed;
        }
        if (fwrite(buffer, kCopyBufferSize, 1, out) != 1) {
            return kCopyWriteFailed;
        }
        count -= kCopyBufferSize;
    }
    if (count == 0) {
        return kCopyDone;
    }
    if (fread(buffer, count, 1, in) != 1) {
        return kCopyReadFailed;
    }
    if (fwrite(buffer, count, 1, out) != 1) {
        return kCopyWriteFailed;
    }
    return kCopyDone;
}

bool splitFile(SplitterState* state, SplitUi* ui) {
    Split split{};
    split.state = state;
    split.ui = ui;
    ui->ownExecutablePath(split.ownPath, sizeof split.ownPath);
    split.ownPath[sizeof split.ownPath - 1] = '\0';
    rememberFolders(state, split.ownPath);
    if (!checkSplit(state, ui, &split.plan)) {
        return false;
    }

    FileStamp stamp;
    platformReadFileStamp(state->sourcePath, &stamp);
    FileRecord record = fileRecordFor(stamp, split.plan.memberCount);

    split.image = ui->openCarriedImage();
    if (split.image == nullptr) {
        tellError(ui, kTextNoImage, split.ownPath);
        return false;
    }
    char unpackerName[kPathBufferSize];
    unpackerFileName(unpackerName, sizeof unpackerName, state->archiveName, split.plan.width);
    if (split.plan.memberExists &&
        !ui->message(kMessageQuestion, kCaptionQuestion, kTextOverwrite)) {
        closeAll(&split);
        return false;
    }
    // The unpacker file first, held: a second split of this archive now finds it busy before
    // it removes or writes anything.
    ReplaceStatus status;
    split.head = openMember(unpackerName, true, gHeadBuffer, &status);
    if (split.head == nullptr) {
        closeAll(&split);
        tellError(ui, status == kReplaceBusy ? kTextArchiveBusy : kTextCannotCreate, unpackerName);
        return false;
    }
    if (split.plan.memberExists) {
        removeStaleVolumes(&split);
    }

    ui->setTitle(kTextWorking);
    split.canvas = ui->acquireCanvas();
    if (split.canvas == nullptr) {
        split.canvas = &gNoCanvas;
    }
    ProgressDisc disc(split.canvas);
    split.disc = &disc;
    disc.drawEmpty();
    Outcome outcome = writeMembers(&split, record);
    closeAll(&split);
    return finishSplit(&split, outcome);
}
