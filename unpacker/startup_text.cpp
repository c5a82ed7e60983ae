#include "unpacker/startup_text.h"

#include <string.h>

#include "archive/format.h"
#include "platform/platform.h"

namespace {

// Appends text to out at *length; false when out (size bytes) cannot take it and its
// terminator.
bool append(char* out, unsigned size, unsigned* length, const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (*length + 1 >= size) {
            out[*length] = '\0';
            return false;
        }
        out[(*length)++] = *p;
    }
    out[*length] = '\0';
    return true;
}

}  // namespace

bool decodeArchiveArgument(const char* argument, char* out, unsigned size) {
    unsigned n = 0;
    for (; argument[n] != '\0'; ++n) {
        if (n + 1 >= size) {
            out[n] = '\0';
            return false;
        }
        out[n] = argument[n] == '"' ? ' ' : argument[n];
    }
    out[n] = '\0';
    return true;
}

bool relaunchCommandLine(char* out, unsigned size, const char* copyPath, const char* archivePath) {
    unsigned length = 0;
    if (!append(out, size, &length, "\"") || !append(out, size, &length, copyPath) ||
        !append(out, size, &length, "\" ")) {
        return false;
    }
    unsigned start = length;
    if (!append(out, size, &length, archivePath)) {
        return false;
    }
    for (unsigned i = start; i < length; ++i) {
        if (out[i] == ' ') {
            out[i] = '"';
        }
    }
    return true;
}

bool numberedPath(char* out, unsigned size, const char* folder, const char* prefix, int number,
                  const char* extension) {
    // The plain decimal form: as many digits as the number has, as a member number of the
    // archive of number + 1 members has.
    char digits[kNumberBufferSize];
    formatNumber(digits, digitWidth(number + 1), static_cast<unsigned>(number));
    unsigned length = 0;
    return append(out, size, &length, folder) && append(out, size, &length, prefix) &&
           append(out, size, &length, digits) && append(out, size, &length, extension);
}

bool isTempCopyPath(const char* modulePath, const char* tempFolder) {
    unsigned folderLength = static_cast<unsigned>(strlen(tempFolder));
    if (folderLength == 0 || strlen(modulePath) <= folderLength ||
        !namesEqualIgnoringCase(modulePath, tempFolder, folderLength)) {
        return false;
    }
    const char* name = modulePath + folderLength;
    if (!namesEqualIgnoringCase(name, kTempCopyPrefix, sizeof kTempCopyPrefix - 1)) {
        return false;
    }
    const char* p = name + (sizeof kTempCopyPrefix - 1);
    if (*p < '0' || *p > '9') {
        return false;
    }
    while (*p >= '0' && *p <= '9') {
        ++p;
    }
    return strlen(p) == sizeof kTempCopyExtension - 1 &&
           namesEqualIgnoringCase(p, kTempCopyExtension, sizeof kTempCopyExtension - 1);
}

bool selfDeleteBatchText(char* out, unsigned size, const char* copyName) {
    unsigned length = 0;
    // "ping" waits the second between two tries: the command interpreter has no sleep.
    return append(out, size, &length, "@echo off\r\nset f=\"%~dp0") &&
           append(out, size, &length, copyName) &&
           append(out, size, &length,
                  "\"\r\nset n=0\r\n:try\r\ndel /f %f%\r\nif not exist %f% goto done\r\n"
                  "set /a n+=1\r\nif %n%==30 goto done\r\nping -n 2 127.0.0.1 >nul\r\n"
                  "goto try\r\n:done\r\ndel \"%~f0\"");
}

void volumeDialogFolder(const char* path, int nameOffset, char* out) {
    int length = nameOffset > 0 ? nameOffset - 1 : 0;
    if (nameOffset > 0 && (length == 0 || path[length - 1] == ':')) {
        length = nameOffset;
    }
    memcpy(out, path, static_cast<size_t>(length));
    out[length] = '\0';
}
