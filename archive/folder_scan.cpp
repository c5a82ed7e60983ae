#include "archive/folder_scan.h"

#include <string.h>

#include "platform/platform.h"

namespace {

struct ScanContext {
    const char* archiveName;
    const char* stem;  // the base name's part after its folder
    size_t stemLength;
    int memberCount;
    int width;
    unsigned lastStale;
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

// Member k (0 the unpacker file): does its exact name exist, is it the source, and can it be
// replaced? The name is looked up as the split will write it, whatever the listing's spelling.
void examine(ScanContext* context, unsigned k) {
    char name[kPathBufferSize];
    bool built = k == 0
                     ? unpackerFileName(name, sizeof name, context->archiveName, context->width)
                     : volumeFileName(name, sizeof name, context->archiveName, k, context->width);
    if (!built) {
        return;
    }
    if (!platformFileExists(name)) {
        return;
    }
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

// The member number that a folder entry's name stands for, or -1: the stem, a dot, W digits, a
// dot and "exe" (all zeros) or "bin", letter case aside.
int64_t memberNumberOf(const ScanContext* context, const char* entry) {
    uint64_t k = 0;
    MemberKind kind =
        readMemberName(entry, context->stem, context->stemLength, context->width, true, &k);
    if (kind == kUnpackerMember) {
        return k == 0 ? 0 : -1;
    }
    if (kind == kVolumeMember && k >= 1 && k <= context->lastStale) {
        return static_cast<int64_t>(k);
    }
    return -1;
}

void visitEntry(const char* entry, void* opaque) {
    ScanContext* context = static_cast<ScanContext*>(opaque);
    int64_t k = memberNumberOf(context, entry);
    if (k >= 0) {
        examine(context, static_cast<unsigned>(k));
    }
}

}  // namespace

unsigned lastStaleVolume(int memberCount, int width) {
    unsigned long long limit = 1;
    for (int i = 0; i < width; ++i) {
        limit *= 10;
    }
    unsigned long long last = static_cast<unsigned long long>(memberCount) + 1;
    return static_cast<unsigned>(last < limit ? last : limit - 1);
}

ArchiveFolderScan scanArchiveFolder(const char* archiveName, int memberCount, int width,
                                    const char* sourcePath) {
    ScanContext context;
    memset(&context, 0, sizeof context);
    context.archiveName = archiveName;
    context.stem = fileNamePart(archiveName);
    context.stemLength = strlen(context.stem);
    context.memberCount = memberCount;
    context.width = width;
    context.lastStale = lastStaleVolume(memberCount, width);
    context.sourcePath = sourcePath;
    context.sourceKnown = platformFileIdentity(sourcePath, &context.source);

    char folder[kPathBufferSize];
    size_t folderLength = static_cast<size_t>(context.stem - archiveName);
    memcpy(folder, archiveName, folderLength);
    folder[folderLength] = '\0';
    if (!platformListFolder(folder, visitEntry, &context)) {
        // A folder that cannot be listed may still be reachable: look at every name.
        for (unsigned k = 0; k <= context.lastStale; ++k) {
            examine(&context, k);
        }
    }
    return context.result;
}

bool archiveTouchesSource(const char* sourcePath, const char* archiveName, int memberCount,
                          int* numberWidth) {
    if (archiveNameConflict(sourcePath, archiveName, memberCount, numberWidth)) {
        return true;
    }
    return scanArchiveFolder(archiveName, memberCount, *numberWidth, sourcePath).touchesSource;
}
