#include "unpacker/join_engine.h"

#include <string.h>

#include "platform/platform.h"
#include "unpacker/failure_reason.h"

const char* const kTextCannotRead = "Невозможно прочитать %s";
const char* const kTextPathTooLong = "Слишком длинный путь:\n%s";
const char* const kTextBrowseTitle = "Куда распаковать файл?";

namespace {

const char* const kTextTitle = "Распаковка %s";
const char* const kTextOverwrite = "Файл уже существует.\nПерезаписать?";
const char* const kTextCannotCreate = "Не могу создать целевой файл!";
const char* const kTextWriteFailed = "Ошибка!\nВозможно, нет места на диске\nФайл %s не дописан";
const char* const kTextMissing = "Отсутствует %s\nХотите найти его?";
const char* const kTextDamaged = "Файл %s поврежден";
const char* const kTextBadHeader = "Неверный заголовок архива:\n%s";
const char* const kTextPickTooLong = "Слишком длинный путь к выбранному файлу!";
const char* const kTextNoVolumeName = "Невозможно составить имя тома из пути:\n%s";
const char* const kTextTargetInArchive = "Файл %s принадлежит архиву!\nВыберите другую папку.";
const char* const kTextNameTaken = "Файл %s уже существует";
const char* const kTextKeptAs = "Файл сохранен как %s";

// Big enough for the longest pattern with the longest path, every byte of it escaped: no
// message is ever cut short.
constexpr unsigned kMessageSize = 4 * kTargetPathSize + 128;

void showError(JoinUi* ui, const char* pattern, const char* arg, int reason = 0) {
    char text[kMessageSize];
    formatText(text, sizeof text, pattern, arg);
    tell(ui, text, reason);
}

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// Opens a piece for reading: a regular file that is not the target being written (which would
// be read while it grows; null target: none is written yet). Null otherwise. A piece that is
// the target has, at this moment, the very size the file behind out has; only a piece of that
// size is asked for its identity, which Wine answers slowly (it asks for the volume's serial
// number), a millisecond or more for every volume.
PlatformFile openPiece(const char* path, PlatformFile out, const FileIdentity* target) {
    int64_t outSize = target != nullptr ? platformFileSizeOf(out) : -1;
    PlatformFile piece = platformOpenRead(path);
    FileIdentity identity;
    // A size that cannot be had rules nothing out.
    if (piece != nullptr && target != nullptr &&
        (outSize < 0 || platformFileSizeOf(piece) == outSize) &&
        platformFileIdentityOf(piece, &identity) && sameIdentity(identity, *target)) {
        platformCloseFile(piece);
        piece = nullptr;
    }
    return piece;
}

}  // namespace

int copyPiece(PlatformFile source, PlatformFile target, int64_t size, char* buffer,
              unsigned bufferSize, JoinUi* ui) {
#ifndef _WIN32
    // Natively the kernel copies, in slices that the terminal's progress line counts.
    const int64_t kSlice = 4 * 1024 * 1024;
    while (size > 0) {
        int64_t slice = size < kSlice ? size : kSlice;
        StreamCopyResult result =
            platformCopyStream(source, target, static_cast<uint64_t>(slice), buffer, bufferSize);
        if (result != kStreamCopied) {
            return result == kStreamReadFailed ? 1 : 2;
        }
        size -= slice;
        if (ui != nullptr) {
            ui->bytesWritten(static_cast<unsigned>(slice));
        }
    }
    return 0;
#else
    // The unpacker's own loop: its image carries nothing more.
    (void)ui;
    while (size > 0) {
        size_t chunk = size < bufferSize ? static_cast<size_t>(size) : bufferSize;
        if (platformRead(source, buffer, chunk) != chunk) {
            return 1;
        }
        if (!platformWrite(target, buffer, chunk)) {
            return 2;
        }
        size -= static_cast<int64_t>(chunk);
    }
    return 0;
#endif
}

namespace {

// Where a join stands: what it has open, its incomplete file, and what it tells the user at
// its one end.
struct JoinRun {
    PlatformFile piece;   // the piece being read, the unpacker file first
    PlatformFile out;     // the incomplete file while it is written
    const char* pattern;  // the message, with arg in place of its "%s"; null for none
    const char* arg;
    int reason;                     // the system's reason for the failure (errno), 0 for none
    char partial[kTargetPathSize];  // the incomplete file's path, as the messages name it
};

// Ends the join with a message; reason is the failed call's errno, 0 for a refusal of its own.
JoinResult fail(JoinRun* run, JoinResult result, const char* pattern, const char* arg,
                int reason = 0) {
    run->pattern = pattern;
    run->arg = arg;
    run->reason = reason;
    return result;
}

// The join up to its end; what it leaves open and what it has to say are in run.
JoinResult runJoin(JoinRun* run, char* archivePath, JoinUi* ui, char* buffer, unsigned bufferSize) {
    unsigned pathLength = static_cast<unsigned>(strlen(archivePath));
    if (pathLength > kMaxArchivePathChars) {
        return fail(run, kJoinBadArchive, kTextPathTooLong, archivePath);
    }
    PlatformFile archive = openPiece(archivePath, nullptr, nullptr);
    run->piece = archive;
    if (archive == nullptr) {
        return fail(run, kJoinBadArchive, kTextCannotRead, archivePath, lastReason());
    }
    char headerName[kMaxTargetNameChars + 1];
    char name[kTargetPathSize];
    FileRecord record;
    if (!readArchiveHeader(archive, headerName, &record) ||
        !ui->localName(headerName, name, sizeof name)) {
        return fail(run, kJoinBadArchive, kTextBadHeader, archivePath);
    }
    int memberCount = record.volumeCount;
    int width = digitWidth(memberCount);

    char text[kMessageSize];
    formatText(text, sizeof text, kTextTitle, name);
    ui->setTitle(text);

    char folder[kFolderSize];
    folder[0] = '\0';
    if (!ui->chooseFolder(folder, sizeof folder)) {
        return kJoinCancelled;
    }
    ui->setProgressRange(memberCount);

    // A drive root such as "C:\" already ends in the separator.
    unsigned folderLength = static_cast<unsigned>(strlen(folder));
    if (folderLength > 0 && isSeparator(folder[folderLength - 1])) {
        folder[--folderLength] = '\0';
    }
    unsigned nameLength = static_cast<unsigned>(strlen(name));
    if (folderLength + 1 + nameLength > kMaxTargetPathChars) {
        return fail(run, kJoinFailed, kTextPathTooLong, folder);
    }
#ifndef _WIN32
    // The UTF-8 form of a code page 1251 name can outgrow what one name may have here; on
    // Windows the header's name always fits.
    if (nameLength > kMaxNameBytes) {
        return fail(run, kJoinFailed, kTextCannotCreate, nullptr);
    }
#endif
    char target[kTargetPathSize];
    memcpy(target, folder, folderLength);
    target[folderLength] = kPathSeparator;
    memcpy(target + folderLength + 1, name, nameLength + 1);
    // The incomplete file lies beside the target, its name as long as the folder allows.
    char* partial = run->partial;
    memcpy(partial, target, folderLength + 1);
    unsigned room = kMaxTargetPathChars - folderLength - 1;
    if (!incompleteName(name, room < kMaxNameBytes ? room : kMaxNameBytes,
                        partial + folderLength + 1)) {
        return fail(run, kJoinFailed, kTextPathTooLong, folder);
    }

    // Writing the target over a member would destroy the archive and read the join's own
    // output back as a volume.
    if (isArchiveMember(target, archivePath, pathLength, width, memberCount)) {
        return fail(run, kJoinRefused, kTextTargetInArchive, target);
    }
    // A folder of that name is not replaced. Yes replaces the older file once the new one is
    // whole; until then it stays as it is. Only that file was agreed to.
    bool replace = platformFileExists(target);
    if (replace) {
        if (platformIsFolder(target)) {
            return fail(run, kJoinFailed, kTextCannotCreate, nullptr, kReasonIsFolder);
        }
        if (!ui->ask(kJoinOverwrite, kTextOverwrite)) {
            return kJoinDeclined;
        }
    }
    int64_t start = headerSize(static_cast<uint32_t>(strlen(headerName)));
#ifdef _WIN32
    // Whatever has the incomplete file's name is left alone: the unpacker has no room to tell an
    // earlier join's file there from any other.
    PlatformFile out = platformCreateNew(partial);
    bool taken = out == nullptr && platformFileExists(partial);
#else
    // An incomplete file that an earlier join of this archive left is replaced, unless another
    // join still writes it and holds it; every other file there is left alone.
    bool taken =
        platformFileExists(partial) &&
        !isOwnLeftover(partial, archivePath, width, memberCount, start, buffer, bufferSize);
    ReplaceStatus status;
    PlatformFile out = taken ? nullptr : platformCreateFile(partial, true, &status);
#endif
    if (taken) {
        return fail(run, kJoinFailed, kTextNameTaken, partial);
    }
    if (out == nullptr) {
        return fail(run, kJoinFailed, kTextCannotCreate, nullptr, lastReason());
    }
    run->out = out;
#ifndef _WIN32
    ui->writingTo(partial);
#endif
    FileIdentity written;
    const FileIdentity* writtenIdentity =
        platformFileIdentityOf(out, &written) ? &written : nullptr;

    // The unpacker file's own piece, then volumes 1 .. M-1. V is the unpacker file's size.
    int64_t volumeSize = 0;
    char number[kNumberBufferSize];
    formatNumber(number, width, 0);
    bool damaged = false;
    for (int index = 0;;) {
        PlatformFile piece = run->piece;
        // Each piece is measured first and copied to that size: a file that grows while it
        // is read adds nothing.
        int64_t end = platformFileSizeOf(piece);
        if (index == 0) {
            volumeSize = end;
        } else if (!volumeSizeFits(end, volumeSize, index == memberCount - 1)) {
            damaged = true;
        }
        // Every write reaches the file at once: one that is refused fails the join, even if
        // space comes back later.
        int copied = end < start ? 1 : copyPiece(piece, out, end - start, buffer, bufferSize, ui);
        int reason = copied == 0 ? 0 : fileReason(copied == 1 ? piece : out);
        platformCloseFile(piece);
        run->piece = nullptr;
        if (copied == 2) {
            return fail(run, kJoinFailed, kTextWriteFailed, partial, reason);
        }
        if (copied != 0) {
            return fail(run, kJoinIncomplete, kTextCannotRead, archivePath, reason);
        }
        ui->stepProgress();
        if (++index == memberCount) {
            break;
        }
        start = 0;
        incrementNumber(number, width);
        if (!formVolumePath(archivePath, pathLength, number, width)) {
            return fail(run, kJoinIncomplete, kTextNoVolumeName, archivePath);
        }
        run->piece = openPiece(archivePath, out, writtenIdentity);
        if (run->piece != nullptr) {
            continue;
        }
        int nameOffset = lastBackslashIndex(archivePath) + 1;
        formatText(text, sizeof text, kTextMissing, archivePath + nameOffset);
        if (!ui->ask(kJoinMissingVolume, text)) {
            return kJoinIncomplete;
        }
        JoinPick pick = ui->pickVolume(archivePath, kMaxArchivePathChars + 1, nameOffset);
        if (pick != kPickChosen) {
            return fail(run, kJoinIncomplete, pick == kPickTooLong ? kTextPickTooLong : nullptr,
                        nullptr);
        }
        // The next volumes are looked for beside the picked file, under its name.
        pathLength = static_cast<unsigned>(strlen(archivePath));
        run->piece = openPiece(archivePath, out, writtenIdentity);
        if (run->piece == nullptr) {
            return fail(run, kJoinIncomplete, kTextCannotRead, archivePath, lastReason());
        }
    }
    if (damaged) {
        return kJoinDamaged;
    }
    // Whole: on the disk, then given the recorded times and attributes through its own
    // handle, closed (a file held open cannot be renamed on Windows), and only then put in
    // the target's place, replacing the older file.
    bool synced = platformSyncFile(out) && platformStampFile(out, stampOf(record));
    int reason = lastReason();
    run->out = nullptr;
    bool closed = platformCloseFile(out);
    if (!closed || !synced) {
        return fail(run, kJoinFailed, kTextWriteFailed, partial, closed ? reason : lastReason());
    }
#ifndef _WIN32
    ui->placing(true);
#endif
    // A file that took the target's name meanwhile is not replaced unasked. A whole result that
    // does not get the target's name (No, or a rename the system refused) keeps its own.
    if (replace ? platformRenameOver(partial, target) : platformRenameNew(partial, target)) {
        return kJoinComplete;
    }
    if (!replace && platformFileExists(target)) {
#ifndef _WIN32
        ui->placing(false);
#endif
        if (!ui->ask(kJoinOverwrite, kTextOverwrite)) {
            return fail(run, kJoinKept, kTextKeptAs, partial);
        }
#ifndef _WIN32
        ui->placing(true);
#endif
        if (platformRenameOver(partial, target)) {
            return kJoinComplete;
        }
    }
    return fail(run, kJoinKept, kTextKeptAs, partial, lastReason());
}

}  // namespace

JoinResult joinArchive(char* archivePath, JoinUi* ui, char* buffer, unsigned bufferSize) {
    JoinRun run;
    memset(&run, 0, sizeof run);
    JoinResult result = runJoin(&run, archivePath, ui, buffer, bufferSize);
    if (run.piece != nullptr) {
        platformCloseFile(run.piece);
    }
    // A result that is not whole keeps its incomplete name: the user keeps what was
    // recovered. Its bytes are written already; a write that failed has its own message.
    if (run.out != nullptr) {
        platformCloseFile(run.out);
    }
#ifndef _WIN32
    ui->writingTo(nullptr);
#endif
    if (run.pattern != nullptr) {
        showError(ui, run.pattern, run.arg, run.reason);
    }
    // The pieces that could be had are copied: whole, short or damaged.
    if (result <= kJoinDamaged) {
        ui->beep();
        if (result != kJoinComplete) {
            showError(ui, kTextDamaged, run.partial);
        }
    }
    return result;
}
