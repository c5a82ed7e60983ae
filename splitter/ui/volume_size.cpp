// The window half of the size arithmetic: the volume-size box and its three-entry list, the
// source size field and the file count field.
#include <stdint.h>
#include <string.h>

#include "archive/format.h"
#include "splitter/form/sizes.h"
#include "splitter/ui/main_window.h"

namespace {

const char kBusySourceText[] = "?????";
const char kTooLargeSourceText[] = "> 4 ГБ";

// Set while a size text is being applied: its message box takes the focus from the size box,
// and that focus change must not apply the box's text a second time.
bool gApplying = false;

// The box's three list entries; missing or over-long ones keep the defaults.
void readSizeList(SizeList* list) {
    defaultSizeList(list);
    LRESULT count = SendMessageA(gForm.volumeSizeBox, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < 3 && i < count; ++i) {
        LRESULT length = SendMessageA(gForm.volumeSizeBox, CB_GETLBTEXTLEN, i, 0);
        if (length >= 0 && length < static_cast<LRESULT>(kSizeTextSize)) {
            SendMessageA(gForm.volumeSizeBox, CB_GETLBTEXT, i,
                         reinterpret_cast<LPARAM>(list->entries[i]));
        }
    }
}

void writeSizeList(const SizeList& list) {
    SendMessageA(gForm.volumeSizeBox, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < 3; ++i) {
        SendMessageA(gForm.volumeSizeBox, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(list.entries[i]));
    }
    SendMessageA(gForm.volumeSizeBox, CB_SETCURSEL, 0, 0);
}

// The name part of a path (after its last backslash) holds a wildcard.
bool nameHasWildcard(const char* path) {
    const char* name = fileNamePart(path);
    return strchr(name, '?') != nullptr || strchr(name, '*') != nullptr;
}

size_t nameLength(const char* path) {
    return strlen(fileNamePart(path));
}

}  // namespace

void readVolumeSizeBox(char* out) {
    out[0] = '\0';
    GetWindowTextA(gForm.volumeSizeBox, out, kSizeTextSize);
}

bool applyVolumeSizeText(char* text, bool loud) {
    gApplying = true;
    bool accepted = true;
    // Checked and used as the box will show it: "1e5" is refused as the "1" it becomes.
    gState.volumeSize = normaliseSizeText(text);
    SizeList list;
    readSizeList(&list);
    if (gState.volumeSize < kMinVolumeSize) {
        accepted = false;
        if (loud) {
            MessageBoxA(gMainWindow, "Размер тома не может быть меньше 20480!", "!!!",
                        MB_ICONERROR);
        }
        strcpy(text, list.entries[0]);
        gState.volumeSize = parseSizeText(text);
        SetFocus(gForm.volumeSizeBox);
    }
    promoteSizeText(&list, text);
    writeSizeList(list);
    gApplying = false;
    return accepted;
}

bool applyVolumeSizeBox(bool loud) {
    if (gApplying) {
        return true;
    }
    char text[kSizeTextSize];
    readVolumeSizeBox(text);
    return applyVolumeSizeText(text, loud);
}

bool refreshSourceSize() {
    HANDLE file = CreateFileA(gState.sourcePath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER size;
        BOOL known = GetFileSizeEx(file, &size);
        CloseHandle(file);
        // The archive's arithmetic is 32-bit: the source and its header must stay below 2^32,
        // and all ones is the "unknown" mark.
        uint64_t total =
            static_cast<uint64_t>(size.QuadPart) + headerSize(nameLength(gState.sourcePath));
        if (known && size.QuadPart >= 0 && total < kSourceSizeUnknown) {
            gState.sourceSize = static_cast<uint32_t>(size.QuadPart);
            char text[16];
            groupThousands(gState.sourceSize, text, sizeof(text));
            SetWindowTextA(gForm.sizeValue, text);
            gSourceStatus = kSourceReadable;
            return true;
        }
        gSourceStatus = kSourceTooLarge;
        gState.sourceSize = kSourceSizeUnknown;
        SetWindowTextA(gForm.sizeValue, kTooLargeSourceText);
        return false;
    }
    SetWindowTextA(gForm.sizeValue, "");
    gState.sourceSize = kSourceSizeUnknown;
    gSourceStatus = kSourceMissing;
    if (nameHasWildcard(gState.sourcePath)) {
        return false;
    }
    // A folder never becomes readable as a file: it is "not available", not "busy".
    DWORD attributes = GetFileAttributesA(gState.sourcePath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetWindowTextA(gForm.sizeValue, kBusySourceText);
        gSourceStatus = kSourceBusy;
    }
    return false;
}

void refreshVolumeCount() {
    if (gState.sourceSize == kSourceSizeUnknown || gState.volumeSize < kMinVolumeSize) {
        SetWindowTextA(gForm.countValue, "");
        return;
    }
    char field[kPathBufferSize];
    field[0] = '\0';
    GetWindowTextA(gForm.sourceEdit, field, sizeof(field));
    gState.volumeCount = volumeCountFor(gState.sourceSize, field, gState.volumeSize);
    char text[16];
    wsprintfA(text, "%i", gState.volumeCount);
    SetWindowTextA(gForm.countValue, text);
}
