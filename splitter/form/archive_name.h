// Where a new archive goes: the name the form suggests for a source, when that suggestion
// follows the source, and the folder a name without one is taken in. The window and the
// command line share these rules. Portable.
#pragma once

#include <stddef.h>

// The suggested archive name for the source named by sourceText: the source's file name (with
// its extension) behind folder (ending in a separator, or empty), cut to kMaxPathChars. Empty
// when sourceText names no file (empty, or ending in a separator). out holds outSize bytes
// (at least 1).
void suggestArchiveNameFor(const char* sourceText, const char* folder, char* out, size_t outSize);

// True while the archive field is still the form's: empty, or showing the last suggestion
// unchanged. A name the user typed or browsed is his and is never replaced.
bool archiveNameFollowsSource(const char* archiveText, const char* lastSuggestion);

// Which names the source's folder anchors.
enum ArchivePlacing {
    // The command line: only a name without a folder; "sub/x" and "../x" count from the
    // current folder, as every command does.
    kBareNamesBesideSource,
    // The window, whose current folder is wherever the last dialog left it: every name that is
    // not a full path. A relative folder ("sub\x", "..\x") counts from the source's folder,
    // and a name rooted on the current drive ("\x") is put on the source's drive.
    kRelativeNamesBesideSource,
};

// The archive name as the split uses it, into out (outSize bytes): a full path stays as it is;
// the names `placing` says are taken from the source's folder, never from the process's current
// one. archiveName may be out itself. False (out emptied) when the result would be longer than
// kMaxPathChars or outSize - 1.
bool placeArchiveName(const char* sourcePath, const char* archiveName, char* out, size_t outSize,
                      ArchivePlacing placing = kBareNamesBesideSource);
