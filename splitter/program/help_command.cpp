#include "splitter/program/help_command.h"

#include <stdio.h>
#include <string.h>

const char kHelpViewer[] = "notepad.exe";
const char kHelpFileName[] = "dravnik-help.txt";

namespace {

// snprintf into out; false (out emptied) when the text was cut.
bool fitted(int written, char* out, size_t outSize) {
    if (written < 0 || static_cast<size_t>(written) >= outSize) {
        out[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

bool helpFilePath(const char* exePath, char* out, size_t outSize) {
    if (outSize == 0) {
        return false;
    }
    const char* lastBackslash = strrchr(exePath, '\\');
    size_t folderLength = lastBackslash ? static_cast<size_t>(lastBackslash - exePath) + 1 : 0;
    if (folderLength >= outSize) {
        out[0] = '\0';
        return false;
    }
    return fitted(
        snprintf(out, outSize, "%.*s%s", static_cast<int>(folderLength), exePath, kHelpFileName),
        out, outSize);
}

bool helpCommandLine(const char* helpPath, char* out, size_t outSize) {
    if (outSize == 0) {
        return false;
    }
    return fitted(snprintf(out, outSize, "%s \"%s\"", kHelpViewer, helpPath), out, outSize);
}
