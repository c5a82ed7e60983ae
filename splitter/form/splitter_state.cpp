#include "splitter/form/splitter_state.h"

#include <string.h>

void initSplitterState(SplitterState* state) {
    memset(state, 0, sizeof(*state));
    state->sourceSizeKnown = 0;
    state->volumeSize = kDefaultVolumeSize;
    state->waitBlinkOn = 1;
    state->sourceStatus = kSourceMissing;
}

SplitRequest splitRequestFrom(const SplitterState& state) {
    SplitRequest request{};
    request.sourcePath = state.sourcePath;
    request.archiveName = state.archiveName;
    request.volumeSize = state.volumeSize;
    request.sourceSizeKnown = state.sourceSizeKnown != 0;
    request.sourceSize = state.sourceSize;
    request.shownCount = state.volumeCount;
    request.announceDone = state.closeAfterFinish == 0;
    return request;
}

namespace {

void copyFolder(char* out, const char* path, int separator) {
    size_t n = separator >= 0 ? static_cast<size_t>(separator) + 1 : 0;
    memcpy(out, path, n);
    out[n] = '\0';
}

}  // namespace

void rememberFolders(SplitterState* state, const char* ownPath) {
    int sourceCut = lastBackslashIndex(state->sourcePath);
    if (sourceCut >= 0) {
        copyFolder(state->lastSourceDir, state->sourcePath, sourceCut);
    } else {
        copyFolder(state->lastSourceDir, ownPath, lastBackslashIndex(ownPath));
    }
    int archiveCut = lastBackslashIndex(state->archiveName);
    if (archiveCut >= 0) {
        copyFolder(state->archiveDir, state->archiveName, archiveCut);
    } else {
        memcpy(state->archiveDir, state->lastSourceDir, strlen(state->lastSourceDir) + 1);
    }
}
