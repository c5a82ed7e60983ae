#include "splitter/program/help_command.h"

#include <stdio.h>
#include <string.h>

const char kHelpViewer[] = "winhlp32.exe";
const char kHelpFileName[] = "DRAVNIK.HLP";

bool helpCommandLine(const char* exePath, char* out, size_t outSize) {
    if (outSize == 0) {
        return false;
    }
    out[0] = 0;
    // The folder is the executable's path up to and including its last backslash.
    const char* lastBackslash = strrchr(exePath, '\\');
    const size_t folderLength =
        lastBackslash ? static_cast<size_t>(lastBackslash - exePath) + 1 : 0;
    if (folderLength > 0x7FFFFFFF) {
        return false;
    }
    bool blanks = false;
    for (size_t i = 0; i < folderLength; ++i) {
        if (exePath[i] == ' ' || exePath[i] == '\t') {
            blanks = true;
        }
    }
    const char* quote = blanks ? "\"" : "";
    const int written = snprintf(out, outSize, "%s %s%.*s%s%s", kHelpViewer, quote,
                                 static_cast<int>(folderLength), exePath, kHelpFileName, quote);
    if (written < 0 || static_cast<size_t>(written) >= outSize) {
        out[0] = 0;
        return false;
    }
    return true;
}
