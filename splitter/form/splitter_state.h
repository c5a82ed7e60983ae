// The splitter's one process-wide record: the form fills it (the window builds each split's
// request from it and remembers the split's folders in it), the settings store loads and saves
// part of it. The split engine never sees it.
#pragma once

#include <stdint.h>

#include "archive/format.h"
#include "splitter/engine/split_plan.h"

// Flags of SplitterState::archiveDirMode.
constexpr int kArchiveNameBrowsed = 1;   // run time only: the archive name came from its dialog
constexpr int kArchiveBesideSource = 2;  // saved: archives go beside their source

inline bool archiveNameBrowsed(int mode) {
    return (mode & kArchiveNameBrowsed) != 0;
}
inline bool archiveBesideSource(int mode) {
    return (mode & kArchiveBesideSource) != 0;
}
// The mode with the saved choice set as beside says; the run-time flag is kept.
inline int withArchiveBesideSource(int mode, bool beside) {
    return (mode & kArchiveNameBrowsed) | (beside ? kArchiveBesideSource : 0);
}

// What the last look at the source found.
enum SourceStatus {
    kSourceReadable,  // open, size in sourceSize
    kSourceMissing,   // no name, no such file, a folder or a wildcard: the size field is empty
    kSourceBusy,      // the file exists but cannot be opened now: the size field shows "?????"
};

constexpr unsigned kVolumeSizeArgSize = 15;  // 14 characters and the terminator

struct SplitterState {
    char sourcePath[kPathBufferSize];
    char archiveName[kPathBufferSize];
    // What the form last put into the archive field as a suggestion: while the field shows it
    // unchanged (or nothing), the suggestion follows the source.
    char archiveSuggestion[kPathBufferSize];
    // S, of any size the file system allows; meaningful only while sourceSizeKnown is set.
    uint64_t sourceSize;
    // 0 while there is no usable source (none named, missing, busy, a folder, a wildcard).
    int sourceSizeKnown;
    uint32_t volumeSize;
    // M as last computed, in 64 bits: a count above kMaxVolumeCount is shown and refused.
    int64_t volumeCount;
    // W of the last split that got as far as its archive's folder (SplitPlan::width).
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
    SourceStatus sourceStatus;
    // Set while a size text is being applied: its message box takes the focus from the size
    // box, and that focus change must not apply the box's text a second time.
    int applyingSize;
    // Set once the window is being destroyed: late notifications of its controls are ignored.
    int closing;
};

// A state as the program starts: empty texts, unknown source, the default volume size.
void initSplitterState(SplitterState* state);

// The request for a split of what the form shows: its source, archive name, volume size and
// count, the source as last measured; a window set to close after a split announces nothing.
// The image is the caller's to add before splitFile.
SplitRequest splitRequestFrom(const SplitterState& state);

// Remembers the folders of a split, as every split does that reaches the engine (also one
// that is then refused or declined): lastSourceDir from the source path and archiveDir from the
// archive name, each with its trailing separator. ownPath, the program's own path, stands in
// for a source without a folder, and lastSourceDir for an archive name without one.
void rememberFolders(SplitterState* state, const char* ownPath);
