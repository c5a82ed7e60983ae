// The settings reader on arbitrary files: whatever the file holds, the size list ends with three
// normalised texts whose value is at least the minimum volume size, volumeSize is the first
// one's value, every folder text is terminated within its buffer and the flags hold only their
// own values. What was read is then saved and read again and must come back unchanged.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "splitter/form/settings.h"

namespace {

const char* settingsPath() {
    static char path[64];
    if (path[0] == '\0') {
        snprintf(path, sizeof path, "/tmp/fuzz_settings.%d.ini", static_cast<int>(getpid()));
    }
    return path;
}

void writeFile(const char* path, const uint8_t* data, size_t size) {
    FILE* file = fopen(path, "wb");
    if (file == nullptr || fwrite(data, 1, size, file) != size || fclose(file) != 0) {
        abort();  // the fuzzer's own temporary file must be writable
    }
}

void checkTerminated(const char* text, size_t size) {
    if (memchr(text, '\0', size) == nullptr) {
        abort();
    }
}

// The state as the program starts; the list filled with non-zero bytes, so that an entry the
// reader forgets stays unterminated.
void prepare(SplitterState* state, SizeList* list) {
    initSplitterState(state);
    memset(list, 0x5A, sizeof *list);
}

void checkLoaded(const SplitterState& state, const SizeList& list) {
    for (int i = 0; i < 3; ++i) {
        checkTerminated(list.entries[i], sizeof list.entries[i]);
        // Usable as the form applies it, and already in the form it would be applied in.
        if (checkVolumeSize(normalisedSizeValue(list.entries[i])) != kVolumeSizeOk) {
            abort();
        }
        char again[sizeof list.entries[i]];
        memcpy(again, list.entries[i], sizeof again);
        normaliseSizeText(again);
        if (strcmp(again, list.entries[i]) != 0) {
            abort();
        }
    }
    if (state.volumeSize != parseSizeText(list.entries[0])) {
        abort();
    }
    checkTerminated(state.lastSourceDir, sizeof state.lastSourceDir);
    checkTerminated(state.archiveDir, sizeof state.archiveDir);
    if (state.closeAfterFinish != 0 && state.closeAfterFinish != 1) {
        abort();
    }
    if (state.archiveDirMode != 0 && state.archiveDirMode != kArchiveBesideSource) {
        abort();
    }
    if (state.archiveDirMode == kArchiveBesideSource && state.archiveDir[0] != '\0') {
        abort();
    }
    if (state.sourceBrowsed != 0) {
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = settingsPath();
    writeFile(path, data, size);
    SplitterState state;
    SizeList list;
    prepare(&state, &list);
    loadSettings(path, &state, &list);
    checkLoaded(state, list);

    SplitterState saved = state;
    if (!saveSettings(path, &saved, list)) {
        abort();
    }
    SplitterState again;
    SizeList againList;
    prepare(&again, &againList);
    loadSettings(path, &again, &againList);
    checkLoaded(again, againList);
    for (int i = 0; i < 3; ++i) {
        if (strcmp(list.entries[i], againList.entries[i]) != 0) {
            abort();
        }
    }
    if (again.closeAfterFinish != state.closeAfterFinish ||
        again.archiveDirMode != state.archiveDirMode ||
        strcmp(again.lastSourceDir, state.lastSourceDir) != 0 ||
        strcmp(again.archiveDir, state.archiveDir) != 0) {
        abort();
    }
    remove(path);
    return 0;
}
