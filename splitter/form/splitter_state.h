// The splitter's one process-wide record: the form fills it, the split engine reads it and
// writes the remembered folders, the settings store loads and saves part of it.
#pragma once

#include <stdint.h>

#include "archive/format.h"

// Flags of SplitterState::archiveDirMode.
constexpr int kArchiveNameBrowsed = 1;   // run time only
constexpr int kArchiveBesideSource = 2;  // saved

constexpr unsigned kVolumeSizeArgSize = 15;  // 14 characters and the terminator

struct SplitterState {
    char sourcePath[kPathBufferSize];
    char archiveName[kPathBufferSize];
    // S, of any size the file system allows; meaningful only while sourceSizeKnown is set.
    uint64_t sourceSize;
    // 0 while there is no usable source (none named, missing, busy, a folder, a wildcard).
    int sourceSizeKnown;
    uint32_t volumeSize;
    // M as last computed, in 64 bits: a count above kMaxVolumeCount is shown and refused.
    int64_t volumeCount;
    int numberWidth;
    char lastSourceDir[kPathBufferSize];
    char archiveDir[kPathBufferSize];
    int archiveDirMode;
    int closeAfterFinish;
    int sourceBrowsed;
    char volumeSizeArg[kVolumeSizeArgSize];
    int formReady;
    int sizeBoxFocused;
    int sizeListOpen;
    int waitTimerRunning;
    int waitBlinkOn;
};

// A state as the program starts: empty texts, unknown source, the default volume size.
void initSplitterState(SplitterState* state);
