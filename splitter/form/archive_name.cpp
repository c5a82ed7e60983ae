#include "splitter/form/archive_name.h"

#include <string.h>

#include "archive/format.h"

namespace {

// Joins the first headLength bytes of head and the whole of tail into out, cut at limit
// characters (limit < outSize); tail may be out itself. Returns false when something was cut.
bool joinCut(const char* head, size_t headLength, const char* tail, char* out, size_t limit) {
    size_t tailLength = strlen(tail);
    bool whole = headLength + tailLength <= limit;
    if (headLength > limit) {
        headLength = limit;
    }
    if (tailLength > limit - headLength) {
        tailLength = limit - headLength;
    }
    memmove(out + headLength, tail, tailLength);
    memmove(out, head, headLength);
    out[headLength + tailLength] = '\0';
    return whole;
}

// True for a path that starts with a drive letter and its colon ("C:\x", "C:x").
bool hasDrive(const char* path) {
    char c = path[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':';
}

size_t limitFor(size_t outSize) {
    return outSize - 1 < kMaxPathChars ? outSize - 1 : kMaxPathChars;
}

}  // namespace

void suggestArchiveNameFor(const char* sourceText, const char* folder, char* out, size_t outSize) {
    const char* name = fileNamePart(sourceText);
    if (*name == '\0') {
        out[0] = '\0';
        return;
    }
    // A folder and a name that together exceed a path are cut like any over-long typed text.
    joinCut(folder, strlen(folder), name, out, limitFor(outSize));
}

bool archiveNameFollowsSource(const char* archiveText, const char* lastSuggestion) {
    return archiveText[0] == '\0' || strcmp(archiveText, lastSuggestion) == 0;
}

bool placeArchiveName(const char* sourcePath, const char* archiveName, char* out, size_t outSize,
                      ArchivePlacing placing) {
    size_t folderLength = static_cast<size_t>(lastBackslashIndex(sourcePath) + 1);
    size_t prefix = 0;
    if (lastBackslashIndex(archiveName) < 0) {
        prefix = folderLength;
    } else if (placing == kRelativeNamesBesideSource && !hasDrive(archiveName)) {
        if (!isPathSeparator(archiveName[0])) {
            prefix = folderLength;
        } else if (!isPathSeparator(archiveName[1]) && hasDrive(sourcePath)) {
            prefix = 2;  // the source's "X:"
        }
    }
    if (joinCut(sourcePath, prefix, archiveName, out, limitFor(outSize))) {
        return true;
    }
    out[0] = '\0';
    return false;
}
