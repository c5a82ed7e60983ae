// The join engine on arbitrary bytes after the unpacker image: the header is read from memory
// and checked against what the bytes say (name up to the first 0x22 within 255 bytes, a whole
// record, a member count from 2 to the largest possible, a name that stays in its folder); then
// the same bytes are joined from a file by a scripted user into an empty folder, and the folder
// must end up holding the header's target and nothing else, with the carried bytes in it.
//
// The first input byte steers the user: bit 0 answers Yes to "missing volume" (up to three times,
// pointing to a small file of its own), bit 1 joins a second time into the same folder, bit 2
// answers the overwrite question of that second join. The rest follows the image.
#include <dirent.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/format.h"
#include "cli/codepage.h"
#include "unpacker/join_engine.h"

namespace {

const char kPickedBytes[] = "PICKED";
constexpr int kMaxPicks = 3;

struct WorkDir {
    char root[64];
    char outDir[96];
    char picked[96];
};

void removeTree(const char* path);

void removeChildren(const char* path) {
    DIR* dir = opendir(path);
    if (dir == nullptr) {
        return;
    }
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        char child[1200];
        snprintf(child, sizeof child, "%s/%s", path, entry->d_name);
        removeTree(child);
    }
    closedir(dir);
}

void removeTree(const char* path) {
    struct stat st;
    if (lstat(path, &st) != 0) {
        return;
    }
    if (S_ISDIR(st.st_mode)) {
        removeChildren(path);
        rmdir(path);
    } else {
        unlink(path);
    }
}

WorkDir* workDir() {
    static WorkDir work;
    if (work.root[0] == '\0') {
        strcpy(work.root, "/tmp/fuzz_join_header.XXXXXX");
        if (mkdtemp(work.root) == nullptr) {
            abort();
        }
        snprintf(work.outDir, sizeof work.outDir, "%s/out", work.root);
        snprintf(work.picked, sizeof work.picked, "%s/picked.bin", work.root);
        atexit([] { removeTree(workDir()->root); });
    }
    return &work;
}

void writeFile(const char* path, const void* data, size_t size) {
    FILE* file = fopen(path, "wb");
    if (file == nullptr || fwrite(data, 1, size, file) != size || fclose(file) != 0) {
        abort();
    }
}

// The one entry of folder into name; false when it holds none or more than one.
bool onlyEntry(const char* folder, char* name, size_t size) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        abort();
    }
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        ++count;
        snprintf(name, size, "%s", entry->d_name);
    }
    closedir(dir);
    return count == 1;
}

int countEntries(const char* folder) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        abort();
    }
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            ++count;
        }
    }
    closedir(dir);
    return count;
}

class ScriptedUi final : public JoinUi {
  public:
    ScriptedUi(const WorkDir* work, bool findVolumes, bool overwrite)
        : work_(work), findVolumes_(findVolumes), overwrite_(overwrite) {}

    int picks = 0;
    int steps = 0;
    int range = -1;
    bool askedOverwrite = false;

    bool chooseFolder(char* folder, unsigned size) override {
        if (strlen(work_->outDir) >= size) {
            abort();
        }
        strcpy(folder, work_->outDir);
        return true;
    }
    bool ask(JoinMessageKind kind, const char* text) override {
        checkText(text);
        if (kind == kJoinOverwrite) {
            askedOverwrite = true;
            return overwrite_;
        }
        return findVolumes_ && picks < kMaxPicks;
    }
    void showError(const char* text) override { checkText(text); }
    JoinPick pickVolume(char* path, unsigned size, int nameOffset) override {
        if (nameOffset < 0 || static_cast<size_t>(nameOffset) > strlen(path) ||
            strlen(work_->picked) >= size) {
            abort();
        }
        ++picks;
        strcpy(path, work_->picked);
        return kPickChosen;
    }
    bool localName(const char* headerName, char* out, unsigned size) override {
        return cp1251ToUtf8(headerName, strlen(headerName), out, size);
    }
    void setTitle(const char* title) override { checkText(title); }
    void setProgressRange(int maximum) override { range = maximum; }
    void stepProgress() override { ++steps; }
    void beep() override {}

  private:
    static void checkText(const char* text) {
        // Every text the engine shows is terminated (AddressSanitizer sees an overread here).
        if (strlen(text) > 4 * kTargetPathSize) {
            abort();
        }
    }

    const WorkDir* work_;
    bool findVolumes_;
    bool overwrite_;
};

// What the header bytes say, worked out independently of the engine.
bool expectedHeader(const uint8_t* bytes, size_t size, size_t* nameLength, FileRecord* record) {
    size_t scan = size < kHeaderScanSize ? size : kHeaderScanSize;
    const void* quote = memchr(bytes, kNameTerminator, scan);
    if (quote == nullptr) {
        return false;
    }
    size_t length = static_cast<size_t>(static_cast<const uint8_t*>(quote) - bytes);
    if (length + 1 + kFileRecordSize > size) {
        return false;
    }
    *nameLength = length;
    *record = decodeFileRecord(bytes + length + 1);
    if (record->volumeCount < 2) {
        return false;
    }
    // A name with a zero byte in it would be cut short on the way to the disk.
    if (memchr(bytes, 0, length) != nullptr) {
        return false;
    }
    char name[kMaxTargetNameChars + 1];
    memcpy(name, bytes, length);
    name[length] = '\0';
    return isSafeTargetName(name);
}

long fileSize(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

JoinResult runJoin(const char* archive, ScriptedUi* ui) {
    char path[kArchivePathSize];
    snprintf(path, sizeof path, "%s", archive);
    char buffer[kCopyBufferSize];
    return joinArchive(path, ui, buffer, sizeof buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    unsigned flags = data[0];
    const uint8_t* header = data + 1;
    size_t headerBytes = size - 1;

    // The image is all double quotes: a reader that looked for the terminator from the start
    // of the file instead of after the image would take an empty name.
    size_t total = kUnpackerImageSize + headerBytes;
    uint8_t* file = static_cast<uint8_t*>(malloc(total));
    memset(file, kNameTerminator, kUnpackerImageSize);
    memcpy(file + kUnpackerImageSize, header, headerBytes);

    size_t nameLength = 0;
    FileRecord expectedRecord;
    bool wellFormed = expectedHeader(header, headerBytes, &nameLength, &expectedRecord);

    FILE* memory = fmemopen(file, total, "rb");
    if (memory == nullptr) {
        abort();
    }
    char name[kMaxTargetNameChars + 1];
    memset(name, 0x5A, sizeof name);
    FileRecord record;
    bool read = readArchiveHeader(memory, name, &record);
    if (read != wellFormed) {
        abort();
    }
    if (read) {
        if (strlen(name) != nameLength || memcmp(name, header, nameLength) != 0 ||
            memcmp(&record, &expectedRecord, sizeof record) != 0 ||
            ftell(memory) != static_cast<long>(headerSize(static_cast<uint32_t>(nameLength)))) {
            abort();
        }
    }
    fclose(memory);

    // The same bytes joined from a file named as the splitter names it.
    WorkDir* work = workDir();
    removeChildren(work->root);
    if (mkdir(work->outDir, 0755) != 0) {
        abort();
    }
    writeFile(work->picked, kPickedBytes, sizeof kPickedBytes - 1);
    char base[128];
    snprintf(base, sizeof base, "%s/a", work->root);
    char archive[kPathBufferSize];
    if (!unpackerFileName(archive, sizeof archive, base,
                          read ? digitWidth(record.volumeCount) : 1)) {
        abort();
    }
    writeFile(archive, file, total);

    ScriptedUi ui(work, (flags & 1) != 0, (flags & 4) != 0);
    JoinResult result = runJoin(archive, &ui);
    char target[kTargetPathSize];
    bool named = read && ui.localName(name, target, sizeof target);
    if (!named) {
        // Nothing is written for a header that cannot be read or named.
        if (result != kJoinBadArchive || countEntries(work->outDir) != 0) {
            abort();
        }
    } else if (strlen(target) > NAME_MAX) {
        // The UTF-8 form of a long code page 1251 name can outgrow what Linux takes for one
        // name: the target cannot be created, and that is said, not written elsewhere.
        if (result != kJoinFailed || countEntries(work->outDir) != 0) {
            abort();
        }
    } else {
        // A whole result takes the target's name; any other keeps the incomplete file's.
        char incomplete[NAME_MAX + 1];
        if (!incompleteName(target, NAME_MAX, incomplete)) {
            abort();
        }
        const char* resultName = result == kJoinComplete ? target : incomplete;
        char written[1024];
        if (!onlyEntry(work->outDir, written, sizeof written) || strcmp(written, resultName) != 0) {
            abort();
        }
        // Nothing may appear beside the archive either: archive, picked file, out folder.
        if (countEntries(work->root) != 3) {
            abort();
        }
        int members = record.volumeCount;
        int pieces = 1 + ui.picks;
        // A picked file is a few bytes: only as the last volume is that a size it may have.
        JoinResult expected = pieces < members ? kJoinIncomplete
                              : members == 2   ? kJoinComplete
                                               : kJoinDamaged;
        if (result != expected || ui.range != members || ui.steps != pieces) {
            abort();
        }
        char targetPath[kTargetPathSize + 128];
        snprintf(targetPath, sizeof targetPath, "%s/%s", work->outDir, resultName);
        long carried = static_cast<long>(total) -
                       static_cast<long>(headerSize(static_cast<uint32_t>(nameLength)));
        long pickedSize = static_cast<long>(sizeof kPickedBytes - 1);
        if (fileSize(targetPath) != carried + ui.picks * pickedSize) {
            abort();
        }
        if (flags & 2) {
            // Without volumes the second join ends short of a whole target: a whole first
            // result stays under the target's name, asked about or not; the second's pieces
            // stay under the incomplete name, replacing an incomplete first result that is a
            // beginning of what it writes. One that holds a picked file is not: it is left
            // alone and the second join refused.
            bool whole = result == kJoinComplete;
            bool kept = !whole && ui.picks > 0;
            ScriptedUi again(work, false, (flags & 4) != 0);
            JoinResult second = runJoin(archive, &again);
            bool declined = whole && (flags & 4) == 0;
            JoinResult expectedSecond = declined ? kJoinDeclined
                                        : kept   ? kJoinFailed
                                                 : kJoinIncomplete;
            if (again.askedOverwrite != whole || second != expectedSecond) {
                abort();
            }
            char incompletePath[kTargetPathSize + 128];
            snprintf(incompletePath, sizeof incompletePath, "%s/%s", work->outDir, incomplete);
            if (fileSize(targetPath) !=
                    (whole || kept ? carried + ui.picks * pickedSize : carried) ||
                (whole && !declined && fileSize(incompletePath) != carried) ||
                countEntries(work->outDir) != (whole && !declined ? 2 : 1)) {
                abort();
            }
        }
    }
    free(file);
    return 0;
}
