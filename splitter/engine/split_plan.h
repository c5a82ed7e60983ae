// What a split is asked to do (SplitRequest), and the plan step that decides, showing nothing,
// whether and how it can run (planSplit): the archive name, the volume size, the source, the
// member count and the archive's folder, in the order the user meets their refusals. The
// window, the command line and the tests each turn a refusal into their own message.
#pragma once

#include <stdint.h>

#include "archive/format.h"

// Everything the engine needs for one split; none of it belongs to the engine.
struct SplitRequest {
    const char* sourcePath;   // the file to split
    const char* archiveName;  // B, the archive's base name; may hold a folder
    uint32_t volumeSize;      // V
    // S as the front end measured it (sourceSizeKnown false: it could not), and the member
    // count it showed for it: a source that changed since, or a count that no longer follows
    // from the sizes, is refused rather than split.
    bool sourceSizeKnown;
    uint64_t sourceSize;
    int64_t shownCount;
    // The source's name as the header stores it, in code page 1251; null for the part of
    // sourcePath after its last separator (the window's names already are code page 1251).
    const char* headerName;
    // The unpacker image every archive starts with: imageBytes of it could be read (fewer
    // than kUnpackerImageSize fail the split, naming imageFile, the file it was read from).
    // Needed by splitFile only.
    const unsigned char* image;
    unsigned imageBytes;
    const char* imageFile;
    // Whether a finished split says so (the title and the "Готово!" message). The window that
    // closes after a split says nothing: it only beeps and closes.
    bool announceDone;
};

// Why a split cannot run. Each has its message (splitRefusalText); the window shows the ones
// its form guards against with its own caption and focus.
enum SplitRefusal {
    kSplitPlanned,               // none: the plan holds how the split runs
    kRefusedNoArchiveName,       // empty, or a folder
    kRefusedBadArchiveName,      // its name part cannot name files on Windows
    kRefusedVolumeTooSmall,      // V below kMinVolumeSize
    kRefusedSourceUnavailable,   // the source cannot be had (reason says why) or measured
    kRefusedBadSourceName,       // the join would refuse the source's name
    kRefusedSourceChanged,       // its size is no longer the measured one
    kRefusedPointless,           // M below 2: the unpacker file alone would hold it
    kRefusedTooManyMembers,      // M above kMaxVolumeCount
    kRefusedCountMismatch,       // M is not the count shown
    kRefusedNameTooLong,         // the members' names would be longer than 255 characters
    kRefusedNameConflict,        // a member name or an older volume's reaches the source
    kRefusedUnfinishedIsSource,  // so does the name the unpacker file is written under
    kRefusedMemberBlocked,       // a member's name holds what cannot be replaced (a folder)
    kRefusedUnfinishedBlocked,   // so does the name the unpacker file is written under
};

// How the split runs, or why it cannot.
struct SplitPlan {
    SplitRefusal refusal;
    int reason;                        // the system's reason for a refusal (errno), 0 for none
    char subject[kPathBufferSize];     // the path a refusal's message names, if any
    char headerName[kPathBufferSize];  // the source's name as the header stores it
    uint32_t nameLength;               // L
    uint32_t header;                   // H
    int memberCount;                   // M, within the record's bound
    int width;                         // W
    bool memberExists;                 // some member name of the archive is taken
    unsigned lastVolume;               // the last volume name replacing it removes
};

// True when the archive name gives no file name: empty, or a folder (ending in a separator).
bool archiveNameMissing(const char* archiveName);

// Checks the request against the disk and fills plan. True when the split can run; false with
// plan->refusal (and its reason and subject) saying why not. Shows nothing.
bool planSplit(const SplitRequest& request, SplitPlan* plan);

// The message of a refusal: its pattern (with a "%s" for the subject where it names one), and
// the text with plan's subject filled in, into out (size bytes).
const char* splitRefusalPattern(SplitRefusal refusal);
void splitRefusalText(const SplitPlan& plan, char* out, unsigned size);

// Room for any of the split's messages with a path filled in, every byte of it escaped.
constexpr unsigned kSplitMessageSize = 4 * kPathBufferSize + 344;
