// The settings file "dravnik.ini" beside the splitter: seven lines in code page 1251, written
// with CR LF, read with any line ends.
//   V2.3 / CLOSE or DONOTCLOSE / three size texts / lastSourceDir / archiveDir or "-"
// Portable: the window side hands the size list in and out as a SizeList.
#pragma once

#include <stddef.h>

#include "splitter/form/sizes.h"
#include "splitter/form/splitter_state.h"

extern const char kSettingsVersion[];   // "V2.3"
extern const char kSettingsFileName[];  // "dravnik.ini"

// The settings file's path: the folder of exePath (up to its last separator) and
// "dravnik.ini". False when it would not fit into outSize bytes.
bool settingsFilePath(const char* exePath, char* out, size_t outSize);

// Reads the file at path into state (closeAfterFinish, archiveDirMode, sourceBrowsed,
// volumeSize, lastSourceDir, archiveDir) and list. Never fails: a missing, foreign, short or
// damaged file gives the defaults for what it lacks; the list always ends with three sizes of
// kMinVolumeSize to kMaxVolumeSize and volumeSize is the first one's value.
void loadSettings(const char* path, SplitterState* state, SizeList* list);

// Writes the file; false (and nothing reported) when it cannot be opened for writing.
// With kArchiveBesideSource set, archiveDir is replaced by "-" first.
bool saveSettings(const char* path, SplitterState* state, const SizeList& list);
