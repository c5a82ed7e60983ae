// Member-name builders and the name-conflict test on long and odd names: never an overrun,
// never a name over 255 characters, and a conflict only for real member names.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "archive/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    // First byte: member count; the rest split in two texts at the first zero byte.
    int count =
        2 + static_cast<int>((data[0] | (data[1] << 8) | (data[2] << 16)) % (kMaxVolumeCount - 1));
    const char* rest = reinterpret_cast<const char*>(data + 3);
    size_t restSize = size - 3;
    char* source = static_cast<char*>(malloc(restSize + 1));
    memcpy(source, rest, restSize);
    source[restSize] = '\0';
    size_t split = strlen(source);
    const char* base = split < restSize ? source + split + 1 : "";

    int width = 0;
    bool conflict = archiveNameConflict(source, base, count, &width);
    if (width != digitWidth(count) || width < 1 || width > kMaxDigitWidth) {
        abort();
    }
    char name[kPathBufferSize];
    bool fits = unpackerFileName(name, sizeof name, base, width);
    if (fits && strlen(name) > kMaxPathChars) {
        abort();
    }
    if (conflict) {
        // A conflict means the source is the unpacker or a volume of that archive.
        size_t n = strlen(base);
        if (strncmp(source, base, n) != 0 || source[n] != '.') {
            abort();
        }
    }
    unsigned k = static_cast<unsigned>(count - 1);
    if (volumeFileName(name, sizeof name, base, k, width) && strlen(name) > kMaxPathChars) {
        abort();
    }
    char number[kMaxDigitWidth + 2];
    formatNumber(number, width, 0);
    for (int i = 0; i < 3; ++i) {
        incrementNumber(number, width);
    }
    if (strlen(number) != static_cast<size_t>(width)) {
        abort();
    }
    free(source);
    return 0;
}
