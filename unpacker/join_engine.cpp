#include "unpacker/join_engine.h"

#include <string.h>

#include "platform/platform.h"

const char* const kTextCannotRead = "Невозможно прочитать %s";
const char* const kTextPathTooLong = "Слишком длинный путь:\n%s";
const char* const kTextBrowseTitle = "Куда распаковать файл?";

namespace {

const char* const kTextTitle = "Распаковка %s";
const char* const kTextOverwrite = "Файл уже существует.\nПерезаписать?";
const char* const kTextCannotCreate = "Не могу создать целевой файл!";
const char* const kTextWriteFailed = "Ошибка!\nВозможно, нет места на диске";
const char* const kTextMissing = "Отсутствует %s\nХотите найти его?";
const char* const kTextDamaged = "Файл %s поврежден";
const char* const kTextBadHeader = "Неверный заголовок архива:\n%s";
const char* const kTextPickTooLong = "Слишком длинный путь к выбранному файлу!";
const char* const kTextNoVolumeName = "Невозможно составить имя тома из пути:\n%s";
const char* const kTextTargetInArchive = "Файл %s принадлежит архиву!\nВыберите другую папку.";

// Big enough for the longest pattern with the longest path, every byte of it escaped: no
// message is ever cut short.
constexpr unsigned kMessageSize = 4 * kTargetPathSize + 128;

// Stream buffers of the piece being read and of the target, uninitialised, so the image does
// not grow. The data still moves through the caller's block; these turn its many small reads
// and writes into few large system calls. The pieces share one buffer: a piece must be closed
// before the next one is opened.
char gPieceBuffer[kStreamBufferSize];
char gTargetBuffer[kStreamBufferSize];

FILE* buffered(FILE* file, char* buffer) {
    if (file != nullptr) {
        setvbuf(file, buffer, _IOFBF, kStreamBufferSize);
    }
    return file;
}

void showError(JoinUi* ui, const char* pattern, const char* arg) {
    char text[kMessageSize];
    formatText(text, sizeof text, pattern, arg);
    ui->showError(text);
}

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// Overwrites the last width + 4 characters of path (length characters) with the number and
// ".bin". False when they would reach into the folder part.
bool formVolumePath(char* path, unsigned length, const char* number, int width) {
    unsigned tail = static_cast<unsigned>(width) + kEndingChars;
    if (length < tail) {
        return false;
    }
    char* p = path + length - tail;
    for (unsigned i = 0; i < tail; ++i) {
        if (isSeparator(p[i]) || p[i] == ':') {
            return false;
        }
    }
    memcpy(p, number, static_cast<unsigned>(width));
    memcpy(p + width, kVolumeEnding, kEndingChars);
    return true;
}

// The folder part of path, with its separator, into out ("." for a path without one). Returns
// where the name starts.
int folderOf(const char* path, char* out) {
    int nameOffset = lastBackslashIndex(path) + 1;
    memcpy(out, path, static_cast<size_t>(nameOffset));
    out[nameOffset] = '\0';
    if (nameOffset == 0) {
        memcpy(out, ".", 2);
    }
    return nameOffset;
}

// True when target is the unpacker file at archivePath (length characters) or one of the
// volumes named after it: the same file where the target exists; else the same name in the
// same folder (the folders compared by identity, the names as the file system compares them).
bool isArchiveMember(const char* target, const char* archivePath, unsigned length, int width,
                     int memberCount) {
    char member[kArchivePathSize];
    char folder[kTargetPathSize];
    memcpy(member, archivePath, length + 1);
    FileIdentity targetId, memberId, folderId;
    bool exists = platformFileIdentity(target, &targetId);
    int targetName = folderOf(target, folder);
    bool sameFolder = platformFileIdentity(folder, &folderId);
    int memberName = folderOf(member, folder);
    sameFolder =
        sameFolder && platformFileIdentity(folder, &memberId) && sameIdentity(folderId, memberId);
    // Member names all have the archive's length: another length is no member's name, and
    // a target that is not there shares no member's identity. Nor does one past the first
    // member that is missing (the join stops there too), so a crafted count costs nothing.
    if (!exists && (!sameFolder || strlen(target + targetName) != strlen(member + memberName))) {
        return false;
    }
    char number[kNumberBufferSize];
    formatNumber(number, width, 0);
    for (int k = 0; k < memberCount; ++k) {
        if (k > 0) {
            incrementNumber(number, width);
            if (!formVolumePath(member, length, number, width)) {
                return false;
            }
        }
        if (exists) {
            if (!platformFileIdentity(member, &memberId)) {
                return false;
            }
            if (sameIdentity(targetId, memberId)) {
                return true;
            }
        } else if (platformSameName(target + targetName, member + memberName)) {
            return true;
        }
    }
    return false;
}

// Opens a piece for reading, with the pieces' stream buffer: a regular file that is not the
// target being written (which would be read while it grows; null target: none is written yet).
// Null otherwise. A piece that is the target has, at this moment, the very size the file
// behind out has; only a piece of that size is asked for its identity, which Wine answers
// slowly (it asks for the volume's serial number), a millisecond or more for every volume.
FILE* openPiece(const char* path, FILE* out, const FileIdentity* target) {
    // The target's stream was flushed after the last piece, so a piece that is the target
    // shows the size that the target's stream reports.
    int64_t outSize = target != nullptr ? platformStreamSize(out) : -1;
    FILE* piece = platformOpenRegularFile(path);
    FileIdentity identity;
    // A size that cannot be had rules nothing out.
    if (piece != nullptr && target != nullptr &&
        (outSize < 0 || platformStreamSize(piece) == outSize) &&
        platformStreamIdentity(piece, &identity) && sameIdentity(identity, *target)) {
        fclose(piece);
        piece = nullptr;
    }
    return buffered(piece, gPieceBuffer);
}

}  // namespace

void formatText(char* out, unsigned size, const char* pattern, const char* arg) {
    unsigned n = 0;
    for (const char* p = pattern; *p != '\0' && n + 1 < size; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            for (const unsigned char* a = reinterpret_cast<const unsigned char*>(arg);
                 *a != '\0' && n + 1 < size; ++a) {
#ifndef _WIN32
                // Windows names hold no control characters; Linux names may, and they are
                // shown on a terminal.
                if (*a < 0x20 || *a == 0x7F) {
                    if (n + 4 >= size) {
                        break;
                    }
                    static const char kHex[] = "0123456789abcdef";
                    out[n++] = '\\';
                    out[n++] = 'x';
                    out[n++] = kHex[*a >> 4];
                    out[n++] = kHex[*a & 0xF];
                    continue;
                }
#endif
                out[n++] = static_cast<char>(*a);
            }
            ++p;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = '\0';
}

int copyPiece(FILE* source, FILE* target, int64_t size, char* buffer, unsigned bufferSize,
              JoinUi* ui) {
    while (size > 0) {
        size_t chunk = size < bufferSize ? static_cast<size_t>(size) : bufferSize;
        if (fread(buffer, 1, chunk, source) != chunk) {
            return 1;
        }
        if (fwrite(buffer, 1, chunk, target) != chunk) {
            return 2;
        }
        size -= static_cast<int64_t>(chunk);
#ifndef _WIN32
        // The terminal shows bytes; the unpacker's bar counts pieces and stays small.
        if (ui != nullptr) {
            ui->bytesWritten(static_cast<unsigned>(chunk));
        }
#else
        (void)ui;
#endif
    }
    return 0;
}

bool volumeSizeFits(int64_t size, int64_t volumeSize, bool last) {
    return last ? size >= 1 && size <= volumeSize : size == volumeSize;
}

JoinResult joinArchive(char* archivePath, JoinUi* ui, char* buffer, unsigned bufferSize) {
    unsigned pathLength = static_cast<unsigned>(strlen(archivePath));
    if (pathLength > kMaxArchivePathChars) {
        showError(ui, kTextPathTooLong, archivePath);
        return kJoinBadArchive;
    }
    FILE* archive = openPiece(archivePath, nullptr, nullptr);
    if (archive == nullptr) {
        showError(ui, kTextCannotRead, archivePath);
        return kJoinBadArchive;
    }
    char headerName[kMaxTargetNameChars + 1];
    char name[kTargetPathSize];
    FileRecord record;
    if (!readArchiveHeader(archive, headerName, &record) ||
        !ui->localName(headerName, name, sizeof name)) {
        fclose(archive);
        showError(ui, kTextBadHeader, archivePath);
        return kJoinBadArchive;
    }
    int memberCount = record.volumeCount;
    int width = digitWidth(memberCount);

    char text[kMessageSize];
    formatText(text, sizeof text, kTextTitle, name);
    ui->setTitle(text);

    char folder[kFolderSize];
    folder[0] = '\0';
    if (!ui->chooseFolder(folder, sizeof folder)) {
        fclose(archive);
        return kJoinCancelled;
    }
    ui->setProgressRange(memberCount);

    // A drive root such as "C:\" already ends in the separator.
    size_t folderLength = strlen(folder);
    if (folderLength > 0 && isSeparator(folder[folderLength - 1])) {
        folder[--folderLength] = '\0';
    }
    size_t nameLength = strlen(name);
    if (folderLength + 1 + nameLength > kMaxTargetPathChars) {
        fclose(archive);
        showError(ui, kTextPathTooLong, folder);
        return kJoinFailed;
    }
    char target[kTargetPathSize];
    memcpy(target, folder, folderLength);
    target[folderLength] = kPathSeparator;
    memcpy(target + folderLength + 1, name, nameLength + 1);

    // Writing the target over a member would destroy the archive and read the join's own
    // output back as a volume.
    if (isArchiveMember(target, archivePath, pathLength, width, memberCount)) {
        fclose(archive);
        showError(ui, kTextTargetInArchive, target);
        return kJoinRefused;
    }
    // A folder of that name is not replaced: its creation fails below.
    if (platformFileExists(target) && !platformIsFolder(target) &&
        !ui->ask(kJoinOverwrite, kTextOverwrite)) {
        fclose(archive);
        return kJoinDeclined;
    }
    // Held while it is written: a second join into the same folder cannot replace it.
    ReplaceStatus status;
    FILE* out = buffered(platformReplaceFile(target, true, &status), gTargetBuffer);
    if (out == nullptr) {
        fclose(archive);
        ui->showError(kTextCannotCreate);
        return kJoinFailed;
    }
    FileIdentity written;
    const FileIdentity* writtenIdentity =
        platformStreamIdentity(out, &written) ? &written : nullptr;

    // The unpacker file's own piece, then volumes 1 .. M-1. V is the unpacker file's size.
    FILE* piece = archive;
    int64_t start = headerSize(static_cast<uint32_t>(strlen(headerName)));
    int64_t volumeSize = 0;
    char number[kNumberBufferSize];
    formatNumber(number, width, 0);
    bool incomplete = false;
    bool unreadable = false;
    bool damaged = false;
    for (int index = 0;;) {
        // Each piece is measured first and copied to that size: a file that grows while it
        // is read adds nothing.
        int64_t end = platformStreamSize(piece);
        if (index == 0) {
            volumeSize = end;
        } else if (!volumeSizeFits(end, volumeSize, index == memberCount - 1)) {
            damaged = true;
        }
        int copied = end < start ? 1 : copyPiece(piece, out, end - start, buffer, bufferSize, ui);
        // The target's buffered bytes go to the file after every piece, before the next piece
        // is compared with it: a write refused now fails the join, even if space comes back.
        if (copied == 0 && fflush(out) != 0) {
            copied = 2;
        }
        fclose(piece);
        if (copied != 0) {
            fclose(out);
            if (copied == 1) {
                showError(ui, kTextCannotRead, archivePath);
            } else {
                ui->showError(kTextWriteFailed);
            }
            return kJoinFailed;
        }
        ui->stepProgress();
        if (++index == memberCount) {
            break;
        }
        start = 0;
        incrementNumber(number, width);
        if (!formVolumePath(archivePath, pathLength, number, width)) {
            showError(ui, kTextNoVolumeName, archivePath);
            incomplete = true;
            break;
        }
        piece = openPiece(archivePath, out, writtenIdentity);
        if (piece != nullptr) {
            continue;
        }
        int nameOffset = lastBackslashIndex(archivePath) + 1;
        formatText(text, sizeof text, kTextMissing, archivePath + nameOffset);
        if (!ui->ask(kJoinMissingVolume, text)) {
            incomplete = true;
            break;
        }
        JoinPick pick = ui->pickVolume(archivePath, kMaxArchivePathChars + 1, nameOffset);
        if (pick != kPickChosen) {
            if (pick == kPickTooLong) {
                ui->showError(kTextPickTooLong);
            }
            incomplete = true;
            break;
        }
        // The next volumes are looked for beside the picked file, under its name.
        pathLength = static_cast<unsigned>(strlen(archivePath));
        piece = openPiece(archivePath, out, writtenIdentity);
        if (piece == nullptr) {
            showError(ui, kTextCannotRead, archivePath);
            unreadable = true;
            break;
        }
    }

    // The last buffered bytes reach the disk only here: a failure is a failed write too.
    // The times and attributes go to the file just written, through its own stream.
    bool flushed = fflush(out) == 0;
    if (flushed) {
        platformApplyStreamStamp(out, stampOf(record));
    }
    if (fclose(out) != 0 || !flushed) {
        ui->showError(kTextWriteFailed);
        return kJoinFailed;
    }
    ui->beep();
    if (incomplete || damaged) {
        showError(ui, kTextDamaged, name);
    }
    if (incomplete || unreadable) {
        return kJoinIncomplete;
    }
    return damaged ? kJoinDamaged : kJoinComplete;
}
