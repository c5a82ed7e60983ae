#include "archive/folder_scan.h"

#include <string.h>

#include "archive/header.h"
#include "platform/platform.h"

namespace {

// Where forEachArchiveName is: the base name, its folder-less part and the names it visits.
struct NameWalk {
    const char* archiveName;
    const char* stem;  // the base name's part after its folder
    size_t stemLength;
    int width;
    unsigned lastVolume;
    void (*visit)(const char* name, unsigned k, void* context);
    void* context;
};

// Member k (0 the unpacker file) is looked up as the split writes it, whatever the listing's
// spelling, and visited when it exists.
void visitMember(const NameWalk* walk, unsigned k) {
    char name[kPathBufferSize];
    bool built = k == 0 ? unpackerFileName(name, sizeof name, walk->archiveName, walk->width)
                        : volumeFileName(name, sizeof name, walk->archiveName, k, walk->width);
    if (built && platformFileExists(name)) {
        walk->visit(name, k, walk->context);
    }
}

// The member number that a folder entry's name stands for, or -1: the stem, a dot, W digits, a
// dot and "exe" (all zeros) or "bin", letter case aside.
int64_t memberNumberOf(const NameWalk* walk, const char* entry) {
    uint64_t k = 0;
    MemberKind kind = readMemberName(entry, walk->stem, walk->stemLength, walk->width, true, &k);
    if (kind == kUnpackerMember) {
        return k == 0 ? 0 : -1;
    }
    if (kind == kVolumeMember && k >= 1 && k <= walk->lastVolume) {
        return static_cast<int64_t>(k);
    }
    return -1;
}

void visitEntry(const char* entry, void* opaque) {
    const NameWalk* walk = static_cast<const NameWalk*>(opaque);
    int64_t k = memberNumberOf(walk, entry);
    if (k >= 0) {
        visitMember(walk, static_cast<unsigned>(k));
    }
}

struct ScanContext {
    int memberCount;
    const char* sourcePath;
    bool sourceKnown;
    FileIdentity source;
    ArchiveFolderScan result;
};

bool reachesSource(const ScanContext* context, const char* path) {
    FileIdentity identity;
    if (context->sourceKnown && platformFileIdentity(path, &identity)) {
        return sameIdentity(identity, context->source);
    }
    return platformSameFile(path, context->sourcePath);
}

void block(ScanContext* context, const char* name) {
    if (!context->result.blocked) {
        context->result.blocked = true;
        strcpy(context->result.blockedName, name);
    }
}

// An existing member name k: is it one of the new archive's, is it the source, and can it be
// replaced?
void examine(const char* name, unsigned k, void* opaque) {
    ScanContext* context = static_cast<ScanContext*>(opaque);
    if (k < static_cast<unsigned>(context->memberCount)) {
        context->result.memberExists = true;
    }
    if (reachesSource(context, name)) {
        context->result.touchesSource = true;
    }
    if (!platformEntryReplaceable(name)) {
        block(context, name);
    }
}

}  // namespace

OlderArchive olderArchive(const char* unpacker, int width) {
    OlderArchive older = {0, 0};
    // A link or a second name speaks for another archive's files, not for this name's.
    if (!platformIsPlainFile(unpacker)) {
        return older;
    }
    PlatformFile file = platformOpenRead(unpacker);
    if (file == nullptr) {
        return older;
    }
    char name[kMaxTargetNameChars + 1];
    FileRecord record;
    bool read = readArchiveHeader(file, name, &record);
    int64_t size = platformFileSizeOf(file);
    platformCloseFile(file);
    if (read && digitWidth(record.volumeCount) == width && size > 0) {
        older.lastVolume = static_cast<unsigned>(record.volumeCount - 1);
        older.volumeSize = size;
    }
    return older;
}

unsigned lastReplacedVolume(const char* archiveName, int memberCount, int width) {
    unsigned own = memberCount > 1 ? static_cast<unsigned>(memberCount - 1) : 0;
    char unpacker[kPathBufferSize];
    if (!unpackerFileName(unpacker, sizeof unpacker, archiveName, width)) {
        return own;
    }
    unsigned older = olderArchive(unpacker, width).lastVolume;
    return older > own ? older : own;
}

void forEachArchiveName(const char* archiveName, int width, unsigned lastVolume,
                        void (*visit)(const char* name, unsigned k, void* context), void* context) {
    NameWalk walk;
    walk.archiveName = archiveName;
    walk.stem = fileNamePart(archiveName);
    walk.stemLength = strlen(walk.stem);
    walk.width = width;
    walk.lastVolume = lastVolume;
    walk.visit = visit;
    walk.context = context;

    char folder[kPathBufferSize];
    size_t folderLength = static_cast<size_t>(walk.stem - archiveName);
    memcpy(folder, archiveName, folderLength);
    folder[folderLength] = '\0';
    if (!platformListFolder(folder, visitEntry, &walk)) {
        // A folder that cannot be listed may still be reachable: look up every name.
        for (unsigned k = 0; k <= lastVolume; ++k) {
            visitMember(&walk, k);
        }
    }
}

ArchiveFolderScan scanArchiveFolder(const char* archiveName, int memberCount, int width,
                                    unsigned lastVolume, const char* sourcePath) {
    ScanContext context;
    memset(&context, 0, sizeof context);
    context.memberCount = memberCount;
    context.sourcePath = sourcePath;
    context.sourceKnown = platformFileIdentity(sourcePath, &context.source);
    forEachArchiveName(archiveName, width, lastVolume, examine, &context);
    return context.result;
}

bool archiveTouchesSource(const char* sourcePath, const char* archiveName, int memberCount,
                          int* numberWidth) {
    if (archiveNameConflict(sourcePath, archiveName, memberCount, numberWidth)) {
        return true;
    }
    unsigned lastVolume = lastReplacedVolume(archiveName, memberCount, *numberWidth);
    return scanArchiveFolder(archiveName, memberCount, *numberWidth, lastVolume, sourcePath)
        .touchesSource;
}
