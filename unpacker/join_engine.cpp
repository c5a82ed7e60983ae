#include "unpacker/join_engine.h"

#include <string.h>

#include "platform/platform.h"

namespace {

const char* const kTextTitle = "Распаковка %s";
const char* const kTextOverwrite = "Файл уже существует.\nПерезаписать?";
const char* const kTextCannotCreate = "Не могу создать целевой файл!";
const char* const kTextWriteFailed = "Ошибка!\nВозможно, нет места на диске";
const char* const kTextMissing = "Отсутствует %s\nХотите найти его?";
const char* const kTextCannotRead = "Невозможно прочитать %s";
const char* const kTextDamaged = "Файл %s поврежден";
const char* const kTextBadHeader = "Неверный заголовок архива:\n%s";
const char* const kTextPathTooLong = "Слишком длинный путь:\n%s";
const char* const kTextPickTooLong = "Слишком длинный путь к выбранному файлу!";
const char* const kTextNoVolumeName = "Невозможно составить имя тома из пути:\n%s";

// Big enough for the longest pattern with the longest path: no message is ever cut short.
constexpr unsigned kMessageSize = kTargetPathSize + 128;

// Stream buffers of the piece being read and of the target, uninitialised, so the image does
// not grow. The data still moves through the caller's block; these turn its many small reads
// and writes into few large system calls. The pieces share one buffer: a piece must be closed
// before the next one is opened.
constexpr unsigned kStreamBufferSize = 256 * 1024;
char gPieceBuffer[kStreamBufferSize];
char gTargetBuffer[kStreamBufferSize];

FILE* openStream(const char* path, const char* mode, char* buffer) {
    FILE* file = fopen(path, mode);
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

bool equalsIgnoringCase(const char* a, const char* b, unsigned length) {
    for (unsigned i = 0; i < length; ++i) {
        char x = a[i];
        if (x >= 'a' && x <= 'z') {
            x = static_cast<char>(x - 'a' + 'A');
        }
        if (x != b[i]) {
            return false;
        }
    }
    return true;
}

// Windows opens these as devices whatever folder or extension they are given.
bool isDeviceName(const char* name) {
    unsigned stem = 0;
    while (name[stem] != '\0' && name[stem] != '.') {
        ++stem;
    }
    // "CON .txt" is the console too: trailing blanks of the stem do not count.
    while (stem > 0 && name[stem - 1] == ' ') {
        --stem;
    }
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (stem == strlen(device) && equalsIgnoringCase(name, device, stem)) {
            return true;
        }
    }
    if (stem == 4 && (equalsIgnoringCase(name, "COM", 3) || equalsIgnoringCase(name, "LPT", 3)) &&
        name[3] >= '1' && name[3] <= '9') {
        return true;
    }
    return false;
}

// Overwrites the last width + 4 characters of path (length characters) with the number and
// ".bin". False when they would reach into the folder part.
bool formVolumePath(char* path, unsigned length, const char* number, int width) {
    unsigned tail = static_cast<unsigned>(width) + 4;
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
    memcpy(p + width, ".bin", 4);
    return true;
}

}  // namespace

void formatText(char* out, unsigned size, const char* pattern, const char* arg) {
    unsigned n = 0;
    for (const char* p = pattern; *p != '\0' && n + 1 < size; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            for (const char* a = arg; *a != '\0' && n + 1 < size; ++a) {
                out[n++] = *a;
            }
            ++p;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = '\0';
}

bool isSafeTargetName(const char* name) {
    if (name[0] == '\0') {
        return false;
    }
    bool onlyDots = true;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
        if (*p < 0x20 || *p == 0x7F || strchr("\\/:*?\"<>|", *p) != nullptr) {
            return false;
        }
        if (*p != '.' && *p != ' ') {
            onlyDots = false;
        }
    }
    // ".", ".." and names of dots and blanks only name the folder itself or its parent.
    return !onlyDots && !isDeviceName(name);
}

bool readArchiveHeader(FILE* archive, char* name, FileRecord* record) {
    unsigned char header[kMaxHeaderSize];
    if (fseek(archive, kUnpackerImageSize, SEEK_SET) != 0) {
        return false;
    }
    size_t got = fread(header, 1, sizeof header, archive);
    unsigned length = 0;
    while (length < got && length < kHeaderScanSize && header[length] != kNameTerminator) {
        ++length;
    }
    if (length >= got || header[length] != kNameTerminator || length + 1 + kFileRecordSize > got) {
        return false;
    }
    // A zero byte would cut the name short: the file would be written under another name.
    if (memchr(header, 0, length) != nullptr) {
        return false;
    }
    memcpy(name, header, length);
    name[length] = '\0';
    *record = decodeFileRecord(header + length + 1);
    if (record->volumeCount < 2 || record->volumeCount > kMaxVolumeCount ||
        !isSafeTargetName(name)) {
        return false;
    }
    return fseek(archive, static_cast<long>(headerSize(length)), SEEK_SET) == 0;
}

int copyRest(FILE* source, FILE* target, char* buffer, unsigned bufferSize) {
    for (;;) {
        size_t got = fread(buffer, 1, bufferSize, source);
        if (got == 0) {
            return ferror(source) ? 1 : 0;
        }
        if (fwrite(buffer, 1, got, target) != got) {
            return 2;
        }
    }
}

JoinResult joinArchive(char* archivePath, JoinUi* ui, char* buffer, unsigned bufferSize) {
    unsigned pathLength = static_cast<unsigned>(strlen(archivePath));
    if (pathLength > kMaxArchivePathChars) {
        showError(ui, kTextPathTooLong, archivePath);
        return kJoinBadArchive;
    }
    FILE* archive = openStream(archivePath, "rb", gPieceBuffer);
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

    if (platformFileExists(target)) {
        if (!ui->ask(kJoinOverwrite, kTextOverwrite)) {
            fclose(archive);
            return kJoinDeclined;
        }
        platformClearAttributes(target);
        remove(target);
    }
    FILE* out = openStream(target, "wb", gTargetBuffer);
    if (out == nullptr) {
        fclose(archive);
        ui->showError(kTextCannotCreate);
        return kJoinFailed;
    }

    // The unpacker file's own piece, then volumes 1 .. M-1.
    FILE* piece = archive;
    int width = digitWidth(memberCount);
    char number[kMaxDigitWidth + 2];
    formatNumber(number, width, 0);
    bool incomplete = false;
    bool unreadable = false;
    for (int index = 0;;) {
        int copied = copyRest(piece, out, buffer, bufferSize);
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
        incrementNumber(number, width);
        if (!formVolumePath(archivePath, pathLength, number, width)) {
            showError(ui, kTextNoVolumeName, archivePath);
            incomplete = true;
            break;
        }
        piece = openStream(archivePath, "rb", gPieceBuffer);
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
        piece = openStream(archivePath, "rb", gPieceBuffer);
        if (piece == nullptr) {
            showError(ui, kTextCannotRead, archivePath);
            unreadable = true;
            break;
        }
    }

    // The last buffered bytes reach the disk only here: a failure is a failed write too.
    if (fclose(out) != 0) {
        ui->showError(kTextWriteFailed);
        return kJoinFailed;
    }
    platformApplyFileStamp(target, record);
    ui->beep();
    if (incomplete) {
        showError(ui, kTextDamaged, name);
    }
    return incomplete || unreadable ? kJoinIncomplete : kJoinComplete;
}
