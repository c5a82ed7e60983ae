// Everything that must hold before a split touches the first file, and the folders every
// split remembers (also one that is then refused or declined).
#pragma once

#include <stdint.h>

#include "splitter/engine/split_engine.h"

// What the checks found out for the writer.
struct SplitPlan {
    char headerName[kPathBufferSize];  // the source's name as the header stores it
    uint32_t nameLength;               // L
    uint32_t header;                   // H
    int memberCount;                   // M, within the record's bound
    int width;                         // W
    bool memberExists;                 // some member name of the archive is taken
};

// True when the archive name gives no file name: empty, or a folder (ending in a separator).
bool archiveNameMissing(const char* archiveName);

// Sets state->lastSourceDir and state->archiveDir from the source and the archive name;
// ownPath stands in for a source without a folder.
void rememberFolders(SplitterState* state, const char* ownPath);

// Checks the archive name, the volume size, the source (readable, unchanged, of a name the join
// accepts), the member count and the archive's folder against state, and fills plan. Tells the
// user through ui and returns false when the split cannot go ahead.
bool checkSplit(SplitterState* state, SplitUi* ui, SplitPlan* plan);

// Shows a ":-(" message with format's %s filled in from argument: tellError for a refusal of
// the program's own (errno 0 at the message), tellSystemError for a failed system call, whose
// errno it keeps for the message.
void tellError(SplitUi* ui, const char* format, const char* argument);
void tellSystemError(SplitUi* ui, const char* format, const char* argument);

// The captions of the split's messages.
inline constexpr char kCaptionError[] = ":-(";
inline constexpr char kCaptionInfo[] = ":-)";
inline constexpr char kCaptionQuestion[] = "???";

// Room for any of the split's messages with a path filled in, every byte of it escaped.
constexpr unsigned kSplitMessageSize = 4 * kPathBufferSize + 344;
