// The archive header behind the unpacker image (the target name, the byte 0x22 and the
// FileRecord) and the rule for the names an archive may carry. The split writes only names
// that the join accepts, so both read the rule from here.
//
// Shared with the unpacker, so C-style: no exceptions, no containers, fixed buffers.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "archive/format.h"
#include "platform/platform.h"

// The header's name field: at most 255 bytes before the terminator.
constexpr unsigned kMaxTargetNameChars = kMaxNameChars;
// How far after the image the terminator may stand, and the bytes the header can take.
constexpr unsigned kHeaderScanSize = kMaxTargetNameChars + 1;
constexpr unsigned kMaxHeaderSize = kHeaderScanSize + kFileRecordSize;

// True when name (code page 1251) can only create a file inside the folder it is joined into:
// not empty, not dots and blanks only, no separator, drive colon, control character or other
// character Windows forbids in names, no trailing dot or blank (Windows would drop them and
// create another name), and not a device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9,
// LPT1-9, with or without an extension).
bool isSafeTargetName(const char* name);

// Why a header was refused.
enum HeaderFault {
    kHeaderWellFormed,
    kHeaderNoName,       // no terminator within kHeaderScanSize bytes after the image
    kHeaderShortRecord,  // the file ends inside the record
    kHeaderBadCount,     // a member count below 2 or above kMaxVolumeCount
    kHeaderUnsafeName,   // a zero byte in the name, or a name that isSafeTargetName refuses
};

// Reads the header that follows the image in an unpacker file: the target name (into name,
// kMaxTargetNameChars + 1 bytes) and the record. Leaves the stream at the first data byte.
// False when the header is not well formed; then *fault (when given) says why, and for
// kHeaderBadCount and kHeaderUnsafeName name and record hold what was read (the name up to a
// zero byte).
bool readArchiveHeader(PlatformFile archive, char* name, FileRecord* record,
                       HeaderFault* fault = nullptr);
