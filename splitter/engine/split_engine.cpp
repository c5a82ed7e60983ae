#include "splitter/engine/split_engine.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "archive/folder_scan.h"
#include "archive/format.h"
#include "archive/header.h"
#include "platform/platform.h"

const char kIdleTitle[] = "Dravnik v2.3";

namespace {

const char kCaptionError[] = ":-(";
const char kCaptionInfo[] = ":-)";
const char kCaptionQuestion[] = "???";

const char kTextOverwrite[] = "Вы хотите перезаписать существующий архив?";
const char kTextCannotCreate[] = "Не могу создать архив %s!";
const char kTextWorking[] = "Работаю...";
const char kTextDone[] = "Готово!";
const char kTextWriteError[] = "Ошибка!\nВозможно, нет места на диске";
const char kTextCannotRead[] = "Не могу прочитать файл %s!";
const char kTextNoImage[] = "Не могу прочитать программу распаковки из %s!";
const char kTextSourceUnavailable[] = "Разбиваемый файл не выбран или недоступен!";
const char kTextTooManyMembers[] =
    "Слишком много томов: в архиве может быть не больше 2147483647 файлов! Увеличьте размер тома.";
const char kTextSourceChanged[] = "Файл %s изменился! Проверьте его и повторите разбиение.";
const char kTextBadSourceName[] = "Недопустимое имя разбиваемого файла: %s";
const char kTextEnterName[] = "Введите имя архива!";
const char kTextNameTooLong[] =
    "Слишком длинное имя архива: имена его файлов длиннее 255 символов!";
const char kTextVolumeTooSmall[] = "Размер тома не может быть меньше 20480!";
const char kTextPointless[] = "Нет смысла разбивать файл";
const char kTextCountMismatch[] =
    "Число файлов архива не соответствует размерам файла и тома! Проверьте размер тома.";
const char kTextNameConflict[] = "Конфликт имен архива и исходного файла!";
const char kTextArchiveBusy[] = "Архив %s уже записывается другой программой!";
const char kTextBadArchiveName[] = "Недопустимое имя архива: %s";

// The disc turns by a little less than a full circle over the whole split. The quotient by
// the member count is taken in double precision and only then held as a float.
constexpr double kFullTurn = 6.2831852;
// The last member's sector starts this far before the previous end angle.
constexpr double kLastSectorLead = 0.02;
// Above this member count the last step is drawn as a radial line instead of a sector.
constexpr int kLineAboveCount = 199;

constexpr size_t kMessageSize = 600;

// The source goes across in slices of this many bytes, each followed by a progress report.
constexpr uint32_t kProgressSlice = 1048576;

// Stream buffers for the source and the member being written. The engine still moves the data
// through its 4096-byte block; large stream buffers turn that into few, large system calls.
constexpr size_t kStreamBufferSize = 256 * 1024;
char gSourceBuffer[kStreamBufferSize];
char gHeadBuffer[kStreamBufferSize];
char gMemberBuffer[kStreamBufferSize];

// Stands in when the window has no drawing surface to offer.
class NoCanvas : public SplitCanvas {
  public:
    void selectRedPen() override {}
    void selectWhiteBrush() override {}
    void selectRedBrush() override {}
    void restoreBrush() override {}
    void restorePen() override {}
    void ellipse(int, int, int, int) override {}
    void pie(int, int, int, int, int, int, int, int) override {}
    void line(int, int, int, int) override {}
};

enum Outcome {
    kOutcomeDone,
    kOutcomeWriteFailed,  // told by finishSplit's generic message
    kOutcomeReported,     // a specific message is waiting in the split's message buffer
};

// One split's working values.
struct Split {
    SplitterState* state;
    SplitUi* ui;
    char ownPath[kPathBufferSize];
    char headerName[kPathBufferSize];
    uint32_t nameLength;  // L
    uint32_t header;      // H
    int memberCount;      // M, checked against the record's bound
    int width;            // W
    uint64_t sourceDone;  // source bytes written so far
    bool memberExists;    // some member name of the archive is taken
    FILE* image;
    FILE* head;    // the unpacker file, held from its creation to the end of the split
    FILE* member;  // the volume being written
    FILE* source;
    SplitCanvas* canvas;
    NoCanvas noCanvas;
    bool redBrush;
    float step;
    float endAngle;
    char message[kMessageSize];
};

void tell(SplitUi* ui, const char* format, const char* argument) {
    char text[kMessageSize];
    snprintf(text, sizeof text, format, argument);
    ui->message(kMessageError, kCaptionError, text);
}

// Notes a failure whose message finishSplit shows once the drawing objects are released.
void noteFailure(Split* split, const char* format, const char* argument) {
    snprintf(split->message, sizeof split->message, format, argument);
}

void copyFolder(char* out, const char* path, int separator) {
    size_t n = separator >= 0 ? static_cast<size_t>(separator) + 1 : 0;
    memcpy(out, path, n);
    out[n] = '\0';
}

// lastSourceDir and archiveDir, at the start of every split (also a declined one).
void rememberFolders(Split* split) {
    SplitterState* state = split->state;
    int sourceCut = lastBackslashIndex(state->sourcePath);
    if (sourceCut >= 0) {
        copyFolder(state->lastSourceDir, state->sourcePath, sourceCut);
    } else {
        copyFolder(state->lastSourceDir, split->ownPath, lastBackslashIndex(split->ownPath));
    }
    int archiveCut = lastBackslashIndex(state->archiveName);
    if (archiveCut >= 0) {
        copyFolder(state->archiveDir, state->archiveName, archiveCut);
    } else {
        memcpy(state->archiveDir, state->lastSourceDir, strlen(state->lastSourceDir) + 1);
    }
}

// Everything that must hold before the first file is touched. Sets L, H and W; tells the user
// and returns false when the split cannot go ahead.
bool checkSplit(Split* split) {
    SplitterState* state = split->state;
    SplitUi* ui = split->ui;
    size_t baseLength = strlen(state->archiveName);
    if (baseLength == 0 || isPathSeparator(state->archiveName[baseLength - 1])) {
        ui->message(kMessageError, kCaptionError, kTextEnterName);
        return false;
    }
    if (!isValidArchiveStem(state->archiveName)) {
        tell(ui, kTextBadArchiveName, state->archiveName);
        return false;
    }
    if (state->volumeSize < kMinVolumeSize) {
        ui->message(kMessageError, kCaptionError, kTextVolumeTooSmall);
        return false;
    }
    int64_t actualSize = platformFileSize(state->sourcePath);
    if (actualSize < 0) {
        ui->message(kMessageError, kCaptionError, kTextSourceUnavailable);
        return false;
    }
    // Index first: a path without a folder gives -1, and sourcePath - 1 is outside the array.
    const char* name = fileNamePart(state->sourcePath);
    // Only names the join accepts: anything else makes an archive that nobody can join.
    if (!ui->headerSourceName(name, split->headerName, sizeof split->headerName) ||
        !isSafeTargetName(split->headerName)) {
        tell(ui, kTextBadSourceName, state->sourcePath);
        return false;
    }
    split->nameLength = static_cast<uint32_t>(strlen(split->headerName));
    split->header = headerSize(split->nameLength);
    if (state->sourceSizeKnown == 0) {
        ui->message(kMessageError, kCaptionError, kTextSourceUnavailable);
        return false;
    }
    if (static_cast<uint64_t>(actualSize) != state->sourceSize) {
        tell(ui, kTextSourceChanged, state->sourcePath);
        return false;
    }
    // Any source size: only the member count is bounded, by the record's 32-bit field.
    uint64_t expectedCount = memberCountFor(state->sourceSize, split->header, state->volumeSize);
    if (expectedCount < 2) {
        ui->message(kMessageError, kCaptionError, kTextPointless);
        return false;
    }
    if (expectedCount > static_cast<uint64_t>(kMaxVolumeCount)) {
        ui->message(kMessageError, kCaptionError, kTextTooManyMembers);
        return false;
    }
    if (state->volumeCount < 0 || static_cast<uint64_t>(state->volumeCount) != expectedCount) {
        ui->message(kMessageError, kCaptionError, kTextCountMismatch);
        return false;
    }
    split->memberCount = static_cast<int>(expectedCount);
    // Every member name has the same length, so the unpacker's name stands for all of them.
    char probe[kPathBufferSize];
    if (!unpackerFileName(probe, sizeof probe, state->archiveName,
                          digitWidth(split->memberCount))) {
        ui->message(kMessageError, kCaptionError, kTextNameTooLong);
        return false;
    }
    // Before anything is asked, created or removed: no name the split writes or removes may
    // reach the source, whatever its spelling, letter case or links.
    if (archiveNameConflict(state->sourcePath, state->archiveName, split->memberCount,
                            &state->numberWidth)) {
        ui->message(kMessageError, kCaptionError, kTextNameConflict);
        return false;
    }
    split->width = state->numberWidth;
    ArchiveFolderScan scan =
        scanArchiveFolder(state->archiveName, split->memberCount, split->width, state->sourcePath);
    if (scan.touchesSource) {
        ui->message(kMessageError, kCaptionError, kTextNameConflict);
        return false;
    }
    // Found now rather than half-way through replacing an older archive.
    if (scan.blocked) {
        tell(ui, kTextCannotCreate, scan.blockedName);
        return false;
    }
    split->memberExists = scan.memberExists;
    return true;
}

// Removes volumes 1 .. M + 1 of an older archive of the same base name, within this archive's
// own numbering: a number that needs more than W digits names another archive's volume.
void removeStaleVolumes(const Split* split) {
    const SplitterState* state = split->state;
    unsigned last = lastStaleVolume(split->memberCount, split->width);
    char name[kPathBufferSize];
    for (unsigned k = 1; k <= last; ++k) {
        if (volumeFileName(name, sizeof name, state->archiveName, k, split->width)) {
            platformRemoveFile(name);
        }
    }
}

void rimPoint(float angle, int* x, int* y) {
    double a = angle;
    *x = static_cast<int>(kPieCentreX + kPieRadius * sin(a));
    *y = static_cast<int>(kPieCentreY + kPieRadius * cos(a));
}

// The two points lie on one ray from the disc's centre: the same pixel, or the same direction.
bool onOneRay(int x1, int y1, int x2, int y2) {
    long dx1 = x1 - kPieCentreX;
    long dy1 = y1 - kPieCentreY;
    long dx2 = x2 - kPieCentreX;
    long dy2 = y2 - kPieCentreY;
    return dx1 * dy2 - dy1 * dx2 == 0 && dx1 * dx2 + dy1 * dy2 > 0;
}

void drawSector(SplitCanvas* canvas, float from, float to) {
    constexpr double kHalfTurn = 3.14159265358979323846;
    int x1, y1, x2, y2;
    rimPoint(from, &x1, &y1);
    rimPoint(to, &x2, &y2);
    // Pie takes rim points on one ray for a whole turn. A sector of less than half a turn
    // whose points truncate onto one ray (the first steps of a large archive) is only a
    // sliver: it is drawn as the radial line, so that the disc does not fill at once.
    if (to - from < kHalfTurn && onOneRay(x1, y1, x2, y2)) {
        canvas->line(kPieCentreX, kPieCentreY, x2, y2);
        return;
    }
    canvas->pie(kPieLeft, kPieTop, kPieRight, kPieBottom, x1, y1, x2, y2);
}

void drawEmptyDisc(SplitCanvas* canvas) {
    canvas->selectRedPen();
    canvas->selectWhiteBrush();
    canvas->ellipse(kPieLeft, kPieTop, kPieRight, kPieBottom);
    canvas->restoreBrush();
}

// One more full member: the disc grows by one step.
void drawNextSector(Split* split) {
    split->endAngle += split->step;
    drawSector(split->canvas, 0.0f, split->endAngle);
}

void drawLastStep(Split* split) {
    float start = static_cast<float>(split->endAngle - kLastSectorLead);
    split->endAngle += split->step;
    if (split->memberCount > kLineAboveCount) {
        int x, y;
        rimPoint(start, &x, &y);
        split->canvas->line(kPieCentreX, kPieCentreY, x, y);
    } else {
        drawSector(split->canvas, start, split->endAngle);
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

// Steps 10 to 15: the unpacker file is open, the image is positioned at its first byte.
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
    if (fprintf(split->head, "%s\"", split->headerName) < 0 ||
        fwrite(encoded, sizeof encoded, 1, split->head) != 1) {
        return kOutcomeWriteFailed;
    }
    split->source = platformOpenRegularFile(state->sourcePath);
    if (split->source == nullptr) {
        noteFailure(split, kTextCannotRead, state->sourcePath);
        return kOutcomeReported;
    }
    setvbuf(split->source, gSourceBuffer, _IOFBF, sizeof gSourceBuffer);
    uint32_t firstPiece = state->volumeSize - split->header;
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

    split->canvas->selectRedBrush();
    split->redBrush = true;
    split->step = static_cast<float>(kFullTurn / split->memberCount);
    split->endAngle = split->step;
    drawSector(split->canvas, 0.0f, split->endAngle);

    char number[kMaxDigitWidth + 2];
    formatNumber(number, split->width, 0);
    char name[kPathBufferSize];
    for (;;) {
        bool last = remaining <= state->volumeSize;
        uint32_t count = last ? static_cast<uint32_t>(remaining) : state->volumeSize;
        incrementNumber(number, split->width);
        memberFileName(name, sizeof name, state->archiveName, number, "bin");
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
        drawNextSector(split);
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
    drawLastStep(split);
    return kOutcomeDone;
}

// Releases the drawing objects and tells the user how the split ended. True on success.
bool finishSplit(Split* split, Outcome outcome) {
    SplitUi* ui = split->ui;
    if (split->redBrush) {
        split->canvas->restoreBrush();
    }
    split->canvas->restorePen();
    if (split->canvas != &split->noCanvas) {
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
    rememberFolders(&split);
    if (!checkSplit(&split)) {
        return false;
    }

    FileStamp stamp;
    platformReadFileStamp(state->sourcePath, &stamp);
    FileRecord record = fileRecordFor(stamp, split.memberCount);

    split.image = ui->openCarriedImage();
    if (split.image == nullptr) {
        tell(ui, kTextNoImage, split.ownPath);
        return false;
    }
    char unpackerName[kPathBufferSize];
    unpackerFileName(unpackerName, sizeof unpackerName, state->archiveName, split.width);
    if (split.memberExists && !ui->message(kMessageQuestion, kCaptionQuestion, kTextOverwrite)) {
        closeAll(&split);
        return false;
    }
    // The unpacker file first, held: a second split of this archive now finds it busy before
    // it removes or writes anything.
    ReplaceStatus status;
    split.head = openMember(unpackerName, true, gHeadBuffer, &status);
    if (split.head == nullptr) {
        closeAll(&split);
        tell(ui, status == kReplaceBusy ? kTextArchiveBusy : kTextCannotCreate, unpackerName);
        return false;
    }
    if (split.memberExists) {
        removeStaleVolumes(&split);
    }

    ui->setTitle(kTextWorking);
    split.canvas = ui->acquireCanvas();
    if (split.canvas == nullptr) {
        split.canvas = &split.noCanvas;
    }
    drawEmptyDisc(split.canvas);
    Outcome outcome = writeMembers(&split, record);
    closeAll(&split);
    return finishSplit(&split, outcome);
}
