// The window half of the size arithmetic: the volume-size box and its three-entry list, the
// source size field and the file count field.
#include <stdint.h>
#include <string.h>

#include "archive/format.h"
#include "platform/platform.h"
#include "splitter/form/sizes.h"
#include "splitter/ui/main_window.h"

namespace {

const char kBusySourceText[] = "?????";

}  // namespace

void readSizeList(SizeList* list) {
    defaultSizeList(list);
    LRESULT count = SendMessageA(gForm.volumeSizeBox, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < kSizeListLength && i < count; ++i) {
        LRESULT length = SendMessageA(gForm.volumeSizeBox, CB_GETLBTEXTLEN, i, 0);
        if (length >= 0 && length < static_cast<LRESULT>(kSizeTextSize)) {
            SendMessageA(gForm.volumeSizeBox, CB_GETLBTEXT, i,
                         reinterpret_cast<LPARAM>(list->entries[i]));
        }
    }
}

void writeSizeList(const SizeList& list) {
    SendMessageA(gForm.volumeSizeBox, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < kSizeListLength; ++i) {
        SendMessageA(gForm.volumeSizeBox, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(list.entries[i]));
    }
    SendMessageA(gForm.volumeSizeBox, CB_SETCURSEL, 0, 0);
}

namespace {

// The name part of a path (after its last separator) holds a wildcard.
bool nameHasWildcard(const char* path) {
    const char* name = fileNamePart(path);
    return strchr(name, '?') != nullptr || strchr(name, '*') != nullptr;
}

}  // namespace

void readVolumeSizeBox(char* out) {
    out[0] = '\0';
    GetWindowTextA(gForm.volumeSizeBox, out, kSizeTextSize);
}

bool applyVolumeSizeText(char* text, bool loud) {
    gState.applyingSize = 1;
    bool accepted = true;
    // Checked and used as the box will show it: "1e5" is refused as the "1" it becomes.
    uint64_t size = normaliseSizeText(text);
    VolumeSizeCheck check = checkVolumeSize(size);
    gState.volumeSize = static_cast<uint32_t>(size);
    SizeList list;
    readSizeList(&list);
    if (check != kVolumeSizeOk) {
        accepted = false;
        if (loud) {
            MessageBoxA(gMainWindow,
                        check == kVolumeSizeTooLarge ? kSizeTooLargeText : kSizeTooSmallText,
                        kCaptionRefusal, MB_ICONERROR);
        }
        strcpy(text, list.entries[0]);
        gState.volumeSize = static_cast<uint32_t>(parseSizeText(text));
        SetFocus(gForm.volumeSizeBox);
    }
    promoteSizeText(&list, text);
    writeSizeList(list);
    gState.applyingSize = 0;
    return accepted;
}

bool applyVolumeSizeBox(bool loud) {
    if (gState.applyingSize != 0) {
        return true;
    }
    char text[kSizeTextSize];
    readVolumeSizeBox(text);
    return applyVolumeSizeText(text, loud);
}

bool refreshSourceSize() {
    // The whole 64-bit length: a source may hold 4 GiB and more.
    int64_t size = platformFileSize(gState.sourcePath);
    if (size >= 0) {
        gState.sourceSize = static_cast<uint64_t>(size);
        gState.sourceSizeKnown = 1;
        char text[kGroupedTextSize];
        groupThousands(gState.sourceSize, text, sizeof(text));
        SetWindowTextA(gForm.sizeValue, text);
        gState.sourceStatus = kSourceReadable;
        return true;
    }
    SetWindowTextA(gForm.sizeValue, "");
    gState.sourceSizeKnown = 0;
    gState.sourceStatus = kSourceMissing;
    if (nameHasWildcard(gState.sourcePath)) {
        return false;
    }
    // A folder never becomes readable as a file: it is "not available", not "busy".
    if (platformFileExists(gState.sourcePath) && !platformIsFolder(gState.sourcePath)) {
        SetWindowTextA(gForm.sizeValue, kBusySourceText);
        gState.sourceStatus = kSourceBusy;
    }
    return false;
}

void refreshVolumeCount() {
    if (gState.sourceSizeKnown == 0 || gState.volumeSize < kMinVolumeSize) {
        SetWindowTextA(gForm.countValue, "");
        return;
    }
    char field[kPathBufferSize];
    field[0] = '\0';
    GetWindowTextA(gForm.sourceEdit, field, sizeof(field));
    gState.volumeCount = volumeCountFor(gState.sourceSize, field, gState.volumeSize);
    // A count above kMaxVolumeCount is shown as it is; the split refuses it.
    char text[kGroupedTextSize];
    decimalText(static_cast<uint64_t>(gState.volumeCount), text, sizeof(text));
    SetWindowTextA(gForm.countValue, text);
}
