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

// The archive name as the split uses it, into out (outSize bytes): a name with a folder stays
// as it is; a name without one is taken in the source's folder, never in the process's current
// one. archiveName may be out itself. False (out emptied) when the result would be longer than
// kMaxPathChars or outSize - 1.
bool placeArchiveName(const char* sourcePath, const char* archiveName, char* out, size_t outSize);
