#include "archive/header.h"

#include <string.h>

#include "platform/platform.h"

namespace {

// Windows opens these as devices whatever folder or extension they are given.
bool isDeviceName(const char* name) {
    unsigned stem = 0;
    while (name[stem] != '\0' && name[stem] != '.') {
        ++stem;
    }
    // "CON .txt" is the console too: trailing blanks of the stem do not count.
    while (stem > 0 && name[stem - 1] == ' ') {
        --stem;
    }
    // One text of names, each ended by a zero, the list by an empty name.
    static const char kDevices[] = "CON\0PRN\0AUX\0NUL\0CONIN$\0CONOUT$\0";
    for (const char* device = kDevices; *device != '\0'; device += strlen(device) + 1) {
        if (stem == strlen(device) &&
            namesEqualIgnoringCase(name, device, static_cast<long>(stem))) {
            return true;
        }
    }
    return stem == 4 &&
           (namesEqualIgnoringCase(name, "COM", 3) || namesEqualIgnoringCase(name, "LPT", 3)) &&
           name[3] >= '1' && name[3] <= '9';
}

}  // namespace

bool isSafeTargetName(const char* name) {
    size_t length = strlen(name);
    if (length == 0 || length > kMaxTargetNameChars) {
        return false;
    }
    bool onlyDots = true;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
        if (isForbiddenNameByte(*p)) {
            return false;
        }
        if (*p != '.' && *p != ' ') {
            onlyDots = false;
        }
    }
    // ".", ".." and names of dots and blanks only name the folder itself or its parent.
    char last = name[length - 1];
    return !onlyDots && last != '.' && last != ' ' && !isDeviceName(name);
}

bool readArchiveHeader(PlatformFile archive, char* name, FileRecord* record, HeaderFault* fault) {
    HeaderFault found = kHeaderNoName;
    unsigned char header[kMaxHeaderSize];
    size_t got = 0;
    if (platformSeekFile(archive, kUnpackerImageSize)) {
        got = platformRead(archive, header, sizeof header);
    }
    // A zero byte would cut the name short: the file would be written under another name.
    bool zero = false;
    unsigned length = 0;
    while (length < got && length < kHeaderScanSize && header[length] != kNameTerminator) {
        zero = zero || header[length] == 0;
        ++length;
    }
    if (length < got && header[length] == kNameTerminator) {
        found = kHeaderShortRecord;
        if (length + 1 + kFileRecordSize <= got) {
            memcpy(name, header, length);
            name[length] = '\0';
            *record = decodeFileRecord(header + length + 1);
            found = zero || !isSafeTargetName(name) ? kHeaderUnsafeName : kHeaderWellFormed;
            // Every count from 2 to kMaxVolumeCount is an archive the splitter can write; the
            // high bit set reads as a negative count.
            if (record->volumeCount < 2) {
                found = kHeaderBadCount;
            }
            if (found == kHeaderWellFormed && !platformSeekFile(archive, headerSize(length))) {
                found = kHeaderShortRecord;
            }
        }
    }
    if (fault != nullptr) {
        *fault = found;
    }
    return found == kHeaderWellFormed;
}
