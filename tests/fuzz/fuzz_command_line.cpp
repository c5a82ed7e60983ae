// The splitter's command-line parser on arbitrary bytes: the input is given exactly as long as
// it is (no terminator), so any read past its end or past a field is caught; every field stays
// terminated within its buffer.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "splitter/program/command_line.h"

namespace {

void checkTerminated(const char* field, size_t size) {
    if (memchr(field, '\0', size) == nullptr) {
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A heap copy of exactly `size` bytes, so that AddressSanitizer sees any overread.
    char* text = static_cast<char*>(malloc(size == 0 ? 1 : size));
    memcpy(text, data, size);
    SplitterState state;
    initSplitterState(&state);
    parseCommandLine(text, size, &state);
    checkTerminated(state.sourcePath, sizeof state.sourcePath);
    checkTerminated(state.archiveName, sizeof state.archiveName);
    checkTerminated(state.volumeSizeArg, sizeof state.volumeSizeArg);
    free(text);

    // skipProgramName works on a terminated text.
    char* line = static_cast<char*>(malloc(size + 1));
    memcpy(line, data, size);
    line[size] = '\0';
    const char* rest = skipProgramName(line);
    if (rest < line || rest > line + strlen(line)) {
        abort();
    }
    free(line);
    return 0;
}
