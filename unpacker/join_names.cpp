// The names that the join forms from names it is given (the incomplete file's, the volumes')
// and the names it refuses to write to (the archive's own).
#include <string.h>

#include "unpacker/join_engine.h"

#include "archive/format.h"
#include "platform/platform.h"

namespace {

// How much of a name's limit one byte of it takes. Natively the name is UTF-8 and the limit
// counts bytes. On Windows it counts characters, a byte each in code page 1251; but Wine keeps
// the name on Linux in UTF-8, where a byte above 0x7F takes two or three: counted as three,
// the name fits both.
constexpr unsigned nameWeight(unsigned char c) {
#ifdef _WIN32
    return c < 0x80 ? 1 : 3;
#else
    (void)c;
    return 1;
#endif
}

// The ending's share of the limit.
constexpr unsigned endingWeight() {
    unsigned weight = 0;
    for (unsigned i = 0; kIncompleteEnding[i] != '\0'; ++i) {
        weight += nameWeight(static_cast<unsigned char>(kIncompleteEnding[i]));
    }
    return weight;
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

}  // namespace

bool incompleteName(const char* name, unsigned limit, char* out) {
    constexpr unsigned kEnding = sizeof kIncompleteEnding - 1;
    constexpr unsigned kEndingWeight = endingWeight();
    unsigned used = kEndingWeight;
    unsigned length = static_cast<unsigned>(strlen(name));
    unsigned kept = 0;
    while (kept < length && (used += nameWeight(static_cast<unsigned char>(name[kept]))) <= limit) {
        ++kept;
    }
    if (kept < length) {
        // Cut short, a name that ends in the ending could come out as itself: one byte more.
        if (kept + kEnding == length) {
            --kept;
        }
#ifndef _WIN32
        // Natively the name is UTF-8: it is cut between characters.
        while (kept > 0 && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) {
            --kept;
        }
#endif
        if (kept == 0) {
            return false;
        }
    }
    memcpy(out, name, kept);
    memcpy(out + kept, kIncompleteEnding, kEnding + 1);
    return true;
}

bool formVolumePath(char* path, unsigned length, const char* number, int width) {
    if (!memberEndingInName(path, length, width)) {
        return false;
    }
    char* p = path + length - memberEndingChars(width);
    memcpy(p, number, static_cast<unsigned>(width));
    memcpy(p + width, kVolumeEnding, kEndingChars);
    return true;
}

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
