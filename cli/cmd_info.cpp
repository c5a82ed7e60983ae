// dravnik info ARCHIVE.exe: the header of an archive and the state of each of its volumes,
// checked against the layout the unpacker relies on.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "archive/format.h"
#include "archive/header.h"
#include "archive/number_text.h"
#include "cli/codepage.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/terminal.h"
#include "platform/platform.h"

namespace {

// Volume paths are derived from the archive's path, which the command line may give at any
// length the system allows.
constexpr size_t kInfoPathSize = 4096 + 16;

struct AttributeName {
    uint32_t bit;
    const char* name;
};

const AttributeName kAttributeNames[] = {
    {0x1, "READONLY"},    {0x2, "HIDDEN"},       {0x4, "SYSTEM"},
    {0x10, "DIRECTORY"},  {0x20, "ARCHIVE"},     {0x80, "NORMAL"},
    {0x100, "TEMPORARY"}, {0x800, "COMPRESSED"}, {0x2000, "NOT_CONTENT_INDEXED"},
};

// A FILETIME as a UTC date, before 1970 too.
void printTime(const char* label, uint64_t fileTime) {
    if (fileTime == 0) {
        printf("%-13s unknown (0)\n", label);
        return;
    }
    const int64_t kTicks = static_cast<int64_t>(kFileTimeTicksPerSecond);
    int64_t since =
        static_cast<int64_t>(fileTime > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : fileTime) -
        static_cast<int64_t>(kFileTimeEpochOffset);
    int64_t seconds = since / kTicks;
    int64_t fraction = since % kTicks;
    if (fraction < 0) {
        fraction += kTicks;
        --seconds;
    }
    time_t when = static_cast<time_t>(seconds);
    struct tm parts;
    if (gmtime_r(&when, &parts) == nullptr) {
        printf("%-13s FILETIME %llu\n", label, static_cast<unsigned long long>(fileTime));
        return;
    }
    printf("%-13s %04d-%02d-%02dT%02d:%02d:%02d.%07lldZ\n", label, parts.tm_year + 1900,
           parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
           static_cast<long long>(fraction));
}

void printAttributes(uint32_t attributes) {
    printf("%-13s 0x%08X", "attributes:", attributes);
    if (attributes == kAttrUnknown) {
        printf(" (unknown)\n");
        return;
    }
    for (const AttributeName& entry : kAttributeNames) {
        if (attributes & entry.bit) {
            printf(" %s", entry.name);
        }
    }
    printf("\n");
}

void printSize(const char* label, uint64_t value) {
    char grouped[kGroupedTextSize];
    groupThousands(value, grouped, sizeof grouped);
    printf("%-13s %s bytes\n", label, grouped);
}

// "label  value" with the value's control characters escaped.
void printField(const char* label, const char* value) {
    printf("%-13s ", label);
    printEscaped(stdout, value);
    printf("\n");
}

const char* headerFaultText(HeaderFault fault) {
    switch (fault) {
        case kHeaderNoName:
            return "no target name ended by a double quote within 256 bytes";
        case kHeaderShortRecord:
            return "the file ends inside the header's record";
        case kHeaderBadCount:
            return "the member count is out of range";
        case kHeaderUnsafeName:
            return "the target name could leave the folder or is no file name";
        case kHeaderWellFormed:
            break;
    }
    return "well formed";
}

bool imageMatchesThisBuild(FILE* file) {
    unsigned char block[kUnpackerImageSize];
    if (kEmbeddedUnpackerImage_size != kUnpackerImageSize || fseek(file, 0, SEEK_SET) != 0 ||
        fread(block, sizeof block, 1, file) != 1) {
        return false;
    }
    return memcmp(block, kEmbeddedUnpackerImage, sizeof block) == 0;
}

// The volume numbers present in a folder: names of the stem's name, a dot, W digits and
// ".bin".
struct PresentVolumes {
    const char* stemName;  // the archive's name up to its W digits, the dot included
    size_t stemLength;
    int width;
    std::vector<uint32_t> numbers;
};

void notePresentVolume(const char* name, void* context) {
    PresentVolumes* present = static_cast<PresentVolumes*>(context);
    size_t length = strlen(name);
    uint64_t number = 0;
    if (length != present->stemLength + memberEndingChars(present->width) ||
        memcmp(name, present->stemName, present->stemLength) != 0 ||
        readMemberEnding(name, length, present->width, false, &number) != kVolumeMember) {
        return;
    }
    if (number <= UINT32_MAX) {
        present->numbers.push_back(static_cast<uint32_t>(number));
    }
}

// The first volume number from `from` on that the folder lists, or `end` when there is none. A
// folder that cannot be listed lists none.
uint32_t nextPresentVolume(PresentVolumes* present, const char* folder, bool* listed, uint32_t from,
                           uint32_t end) {
    if (!*listed) {
        *listed = true;
        platformListFolder(folder, notePresentVolume, present);
        std::sort(present->numbers.begin(), present->numbers.end());
    }
    auto next = std::lower_bound(present->numbers.begin(), present->numbers.end(), from);
    return next == present->numbers.end() || *next > end ? end : *next;
}

// Prints a run of missing volumes first .. last: one line, however long the run.
void printMissing(char* path, size_t stem, int width, uint32_t first, uint32_t last) {
    writeVolumeEnding(path + stem, width, first);
    printf("  ");
    printEscaped(stdout, path);
    if (first == last) {
        printf(": missing\n");
        return;
    }
    writeVolumeEnding(path + stem, width, last);
    printf(" .. ");
    printEscaped(stdout, fileNamePart(path));
    printf(": missing (%u volumes)\n", last - first + 1);
}

// Checks volumes 1 .. M-1 beside the archive; prints one line per volume found and one per run
// of missing ones, so a crafted count of 2^31 - 1 costs a folder listing, not 2^31 lines.
// Returns the number of volumes with problems and adds the volumes' bytes to *dataBytes.
int64_t checkVolumes(const char* archivePath, int width, int memberCount, uint64_t volumeSize,
                     uint64_t* dataBytes) {
    size_t length = strlen(archivePath);
    size_t stem = length - memberEndingChars(width);  // the caller checked it
    char path[kInfoPathSize];
    memcpy(path, archivePath, stem);
    path[stem] = '\0';
    char folder[kInfoPathSize];
    size_t nameStart = static_cast<size_t>(fileNamePart(path) - path);
    memcpy(folder, path, nameStart);
    folder[nameStart] = '\0';
    PresentVolumes present = {path + nameStart, stem - nameStart, width, {}};
    bool listed = false;
    uint32_t last = static_cast<uint32_t>(memberCount - 1);
    int64_t problems = 0;
    for (uint32_t k = 1; k <= last; ++k) {
        writeVolumeEnding(path + stem, width, k);
        int64_t size = platformFileSize(path);
        if (size < 0 && !platformFileExists(path)) {
            uint32_t next = nextPresentVolume(&present, folder, &listed, k + 1, last + 1);
            printMissing(path, stem, width, k, next - 1);
            problems += next - k;
            k = next - 1;
            continue;
        }
        printf("  ");
        printEscaped(stdout, path);
        if (size < 0) {
            printf(": not a regular file that can be read\n");
            ++problems;
            continue;
        }
        *dataBytes += static_cast<uint64_t>(size);
        uint64_t actual = static_cast<uint64_t>(size);
        if (volumeSizeFits(size, static_cast<int64_t>(volumeSize), k == last)) {
            printf(": %llu bytes, ok\n", static_cast<unsigned long long>(actual));
            continue;
        }
        printf(k == last ? ": %llu bytes, wrong size (the last volume holds 1 to %llu)\n"
                         : ": %llu bytes, wrong size (must be %llu)\n",
               static_cast<unsigned long long>(actual),
               static_cast<unsigned long long>(volumeSize));
        ++problems;
    }
    return problems;
}

// True when the path ends in W digits and ".exe": the unpacker derives its volumes' names by
// replacing exactly that ending.
bool endsLikeUnpacker(const char* path, int width) {
    size_t length = strlen(path);
    uint64_t number = 0;
    return length > memberEndingChars(width) && length < kInfoPathSize &&
           readMemberEnding(path, length, width, false, &number) == kUnpackerMember;
}

}  // namespace

int runInfo(int argc, char** argv) {
    CliOptions options;
    int answered = cliParseOrAnswer(kCliInfo, argc, argv, &options);
    if (answered >= 0) {
        return answered;
    }
    const char* path = options.operands[0];
    // Only a regular file is read: a FIFO or a device would block or never end.
    FILE* file = platformOpenRegularFile(path);
    int64_t fileSize = file == nullptr ? -1 : platformStreamSize(file);
    if (file == nullptr || fileSize < 0) {
        int reason = errno;
        if (file != nullptr) {
            fclose(file);
        }
        fprintf(stderr, "dravnik info: cannot open ");
        printEscaped(stderr, path);
        endFailureLine(stderr, reason);
        return 1;
    }
    char headerName[kMaxTargetNameChars + 1] = "";
    FileRecord record;
    HeaderFault fault;
    bool headerRead = readArchiveHeader(file, headerName, &record, &fault);
    bool sameImage = headerRead && imageMatchesThisBuild(file);
    fclose(file);
    char name[4 * kPathBufferSize];
    bool named = cp1251ToUtf8(headerName, strlen(headerName), name, sizeof name);
    if (!headerRead) {
        fprintf(stderr, "dravnik info: ");
        printEscaped(stderr, path);
        fprintf(stderr, " holds no archive header after its first %u bytes: %s\n",
                kUnpackerImageSize, headerFaultText(fault));
        if (fault == kHeaderUnsafeName) {
            fprintf(stderr, "refused name: ");
            printEscaped(stderr, named ? name : headerName);
            fprintf(stderr, "\n");
        } else if (fault == kHeaderBadCount) {
            fprintf(stderr, "member count: %d (2 to %d)\n", record.volumeCount, kMaxVolumeCount);
        }
        return 1;
    }
    if (!named) {
        snprintf(name, sizeof name, "(not code page 1251 text)");
    }
    uint64_t volumeSize = static_cast<uint64_t>(fileSize);
    uint32_t headerBytes = headerSize(static_cast<uint32_t>(strlen(headerName)));
    int memberCount = record.volumeCount;
    printField("archive:", path);
    printField("target name:", name);
    printTime("created:", record.creationTime);
    printTime("accessed:", record.lastAccessTime);
    printTime("written:", record.lastWriteTime);
    printAttributes(record.attributes);
    printf("%-13s %d\n", "members:", memberCount);
    printSize("volume size:", volumeSize);
    printSize("header:", headerBytes);
    printf("%-13s %s\n", "unpacker:", sameImage ? "the image of this build" : "another image");

    int64_t problems = 0;
    if (volumeSize < kMinVolumeSize || volumeSize > 0xFFFFFFFFull || volumeSize <= headerBytes) {
        printf("problem: the archive file's size cannot be a volume size\n");
        ++problems;
    }
    if (memberCount < 2) {
        printf("problem: the member count %d is out of range (2 to %d)\n", memberCount,
               kMaxVolumeCount);
        return 1;
    }
    int width = digitWidth(memberCount);
    printf("%-13s %d\n", "digits:", width);
    if (!endsLikeUnpacker(path, width)) {
        printf(
            "problem: the name does not end in %d digits and .exe; the unpacker cannot find its "
            "volumes\n",
            width);
        return 1;
    }
    uint64_t dataBytes = volumeSize > headerBytes ? volumeSize - headerBytes : 0;
    problems += checkVolumes(path, width, memberCount, volumeSize, &dataBytes);
    if (problems != 0) {
        printf("incomplete or damaged: %lld problem%s\n", static_cast<long long>(problems),
               problems == 1 ? "" : "s");
        return 1;
    }
    printSize("target size:", dataBytes);
    printf("complete\n");
    return 0;
}
