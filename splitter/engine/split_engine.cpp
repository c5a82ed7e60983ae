// The writer: the unpacker file first (held under the split's own name), then the volumes, then
// the unpacker file's name; the disc a step per member.
#include "splitter/engine/split_engine.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "archive/folder_scan.h"
#include "archive/format.h"
#include "archive/message_text.h"
#include "platform/platform.h"
#include "splitter/engine/split_files.h"
#include "splitter/engine/split_texts.h"

const char kIdleTitle[] = "Dravnik v2.3";

namespace {

const char kTextOverwrite[] = "Вы хотите перезаписать существующий архив?";
const char kTextWorking[] = "Работаю...";
const char kTextDone[] = "Готово!";
const char kTextWriteError[] = "Ошибка!\nВозможно, нет места на диске";
const char kTextCannotRead[] = "Не могу прочитать файл %s!";
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
    kOutcomeStopped,      // the user stopped it: no message
};

// One split's working values.
struct Split {
    const SplitRequest* request;
    const SplitPlan* plan;
    SplitUi* ui;
    uint64_t sourceDone;  // source bytes written so far
    SplitFiles files;     // the unpacker file (held) and the volumes written so far
    FILE* member;         // the volume being written
    FILE* source;
    SplitCanvas* canvas;
    ProgressDisc* disc;
    char message[kSplitMessageSize];
};

// Notes a failure whose message finishSplit shows once the drawing objects are released.
// errno is kept: it is the reason the message names.
void noteFailure(Split* split, const char* format, const char* argument) {
    int reason = errno;
    formatText(split->message, sizeof split->message, format, argument);
    errno = reason;
}

// True when everything written to the stream so far reached the file. Flushes and checks:
// Wine's fclose does not report a failed flush of the buffer.
bool flushed(FILE* file) {
    return fflush(file) == 0 && !ferror(file);
}

// Closes a volume once it is on the disk; false when its last bytes could not be written.
bool closeMember(FILE** file) {
    bool ok = platformSyncStream(*file) && !ferror(*file);
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
    closeStream(&split->member);
    closeStream(&split->source);
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
// The user may stop the split before each slice.
Outcome copySource(Split* split, FILE* to, uint32_t count) {
    while (count > 0) {
        if (split->ui->stopRequested()) {
            return kOutcomeStopped;
        }
        uint32_t slice = count < kProgressSlice ? count : kProgressSlice;
        Outcome outcome = copyInto(split, split->source, split->request->sourcePath, to, slice);
        if (outcome != kOutcomeDone) {
            return outcome;
        }
        count -= slice;
        split->sourceDone += slice;
        split->ui->progress(split->sourceDone, split->request->sourceSize);
    }
    return kOutcomeDone;
}

// Writes the whole archive: the image, the header and the first piece into the held unpacker
// file, then every volume, then the checks that the source stayed as it was, then the record's
// member count and the unpacker file's name. Until then the record counts no members, so that
// even the unfinished file, should anyone take it for an archive, fails every reader.
Outcome writeMembers(Split* split, const FileRecord& record) {
    const SplitRequest* request = split->request;
    const SplitPlan* plan = split->plan;
    FILE* head = split->files.head;
    if (request->imageBytes < kUnpackerImageSize) {
        errno = 0;  // the image ended early
        noteFailure(split, kTextCannotRead, request->imageFile);
        return kOutcomeReported;
    }
    if (fwrite(request->image, kUnpackerImageSize, 1, head) != 1) {
        return kOutcomeWriteFailed;
    }
    FileRecord unfinished = record;
    unfinished.volumeCount = 0;
    unsigned char encoded[kFileRecordSize];
    encodeFileRecord(unfinished, encoded);
    if (fprintf(head, "%s\"", plan->headerName) < 0 ||
        fwrite(encoded, sizeof encoded, 1, head) != 1) {
        return kOutcomeWriteFailed;
    }
    split->source = platformOpenRegularFile(request->sourcePath);
    if (split->source == nullptr) {
        noteFailure(split, kTextCannotRead, request->sourcePath);
        return kOutcomeReported;
    }
    setvbuf(split->source, gSourceBuffer, _IOFBF, sizeof gSourceBuffer);
    uint32_t firstPiece = request->volumeSize - plan->header;
    Outcome outcome = copySource(split, head, firstPiece);
    if (outcome != kOutcomeDone) {
        return outcome;
    }
    // The unpacker file stays open (and held) until the last volume is written.
    if (!flushed(head)) {
        return kOutcomeWriteFailed;
    }
    // 64 bits: a source may hold 4 GiB and more.
    uint64_t remaining = request->sourceSize - firstPiece;

    split->disc->startFilling(plan->memberCount);

    // Every member name is as long as the unpacker's, which the checks found to fit.
    unsigned k = 0;
    char name[kPathBufferSize];
    for (;;) {
        bool last = remaining <= request->volumeSize;
        uint32_t count = last ? static_cast<uint32_t>(remaining) : request->volumeSize;
        volumeFileName(name, sizeof name, request->archiveName, ++k, plan->width);
        split->member = createVolume(&split->files, name, gMemberBuffer);
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
        errno = 0;
        noteFailure(split, kTextSourceChanged, request->sourcePath);
        return kOutcomeReported;
    }
    // Nor one written to in place while it was read: the archive would match neither version.
    FileStamp now;
    platformReadFileStamp(request->sourcePath, &now);
    if (record.lastWriteTime != 0 && now.lastWriteTime != record.lastWriteTime) {
        errno = 0;
        noteFailure(split, kTextSourceChanged, request->sourcePath);
        return kOutcomeReported;
    }
    if (split->ui->stopRequested()) {
        return kOutcomeStopped;
    }
    encodeFileRecord(record, encoded);
    if (!publishArchive(&split->files, encoded, kUnpackerImageSize + plan->nameLength + 1)) {
        noteFailure(split, kTextCannotCreate, split->files.unpackerName);
        return kOutcomeReported;
    }
    split->disc->lastStep();
    return kOutcomeDone;
}

// Releases the drawing objects and tells the user how the split ended, a failure with reason,
// the errno of the call that failed. True on success.
bool finishSplit(Split* split, Outcome outcome, int reason) {
    SplitUi* ui = split->ui;
    split->disc->release();
    if (split->canvas != &gNoCanvas) {
        ui->releaseCanvas(split->canvas);
    }
    split->canvas = nullptr;
    errno = reason;
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
    if (outcome == kOutcomeStopped) {
        ui->setTitle(kIdleTitle);
        return false;
    }
    // The window that closes after a split says nothing: it beeps and closes.
    if (!split->request->announceDone) {
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

CopyResult copyBytes(FILE* in, FILE* out, uint32_t count) {
    unsigned char buffer[kCopyBufferSize];
    switch (platformCopyStream(in, out, count, buffer, sizeof buffer)) {
        case kStreamReadFailed:
            return kCopyReadFailed;
        case kStreamWriteFailed:
            return kCopyWriteFailed;
        case kStreamCopied:
            break;
    }
    return kCopyDone;
}

namespace {

// Shows a ":-(" message with format's %s filled in from argument; errno, the reason it names,
// is kept for the message (0 for a refusal of the split's own).
void tellSystemError(SplitUi* ui, const char* format, const char* argument) {
    int reason = errno;
    char text[kSplitMessageSize];
    formatText(text, sizeof text, format, argument);
    errno = reason;
    ui->message(kMessageError, kCaptionError, text);
}

}  // namespace

void tellRefusal(const SplitPlan& plan, SplitUi* ui) {
    char text[kSplitMessageSize];
    splitRefusalText(plan, text, sizeof text);
    errno = plan.reason;
    ui->message(kMessageError, kCaptionError, text);
}

bool splitFile(const SplitRequest& request, const SplitPlan& plan, SplitUi* ui) {
    Split split{};
    split.request = &request;
    split.plan = &plan;
    split.ui = ui;

    FileStamp stamp;
    platformReadFileStamp(request.sourcePath, &stamp);
    FileRecord record = fileRecordFor(stamp, plan.memberCount);

    if (plan.memberExists && !ui->message(kMessageQuestion, kCaptionQuestion, kTextOverwrite)) {
        return false;
    }
    // The unpacker file first, held: a second split of this archive now finds it busy before
    // it removes or writes anything.
    SplitFiles* files = &split.files;
    ClaimResult claim = claimUnfinishedFile(files, request.archiveName, plan.width, request.image,
                                            request.imageBytes, gHeadBuffer);
    if (claim != kClaimed) {
        if (claim != kClaimFailed) {
            errno = 0;  // a file of someone else's, or a running split, holds the name
        }
        tellSystemError(ui, claim == kClaimBusy ? kTextArchiveBusy : kTextCannotCreate,
                        claim == kClaimForeign ? files->unfinishedName : files->unpackerName);
        return false;
    }
    if (plan.memberExists && !removeOlderArchive(files, plan.memberCount, plan.lastVolume)) {
        discardSplit(files);
        errno = 0;
        tellSystemError(ui, kTextCannotCreate, files->unpackerName);
        return false;
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
    int reason = errno;
    closeAll(&split);
    if (outcome != kOutcomeDone) {
        discardSplit(files);
    }
    return finishSplit(&split, outcome, reason);
}
