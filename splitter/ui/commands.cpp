// The form's commands: WM_COMMAND, the browse dialogs, the archive-name suggestion, the checks
// before a split, the split itself and the wait for a busy source.
#include <string.h>

#include "archive/format.h"
#include "platform/platform.h"
#include "splitter/engine/split_plan.h"
#include "splitter/form/archive_name.h"
#include "splitter/form/sizes.h"
#include "splitter/ui/dialogs.h"
#include "splitter/ui/main_window.h"
#include "splitter/ui/resource_ids.h"

namespace {

enum BrowseKind { kBrowseSource = 0, kBrowseArchive = 1 };

// A refusal of the form: caption "!!!", error icon, then the focus to the field to correct.
const char kTextArchiveNameTooLong[] = "Слишком длинное имя архива!";

void refuse(const char* text, HWND focus) {
    MessageBoxA(gMainWindow, text, kCaptionRefusal, MB_ICONERROR);
    SetFocus(focus);
}

void readField(HWND field, char* out, int size) {
    out[0] = '\0';
    GetWindowTextA(field, out, size);
}

// Asks for the source (open dialog) or the archive name (save dialog) on the shared record;
// true when the user confirmed. The name lands in gState.sourcePath or gState.archiveName.
bool browseForFile(BrowseKind kind) {
    gFileDialog.nMaxFile = kPathBufferSize;
    if (kind == kBrowseSource) {
        // A buffer of the dialog's own: while it is open, the source field still names the
        // old source, and whatever runs meanwhile must see that one.
        char chosen[kPathBufferSize];
        chosen[0] = '\0';
        gFileDialog.lpstrInitialDir = gState.sourceBrowsed != 0 ? "" : gState.lastSourceDir;
        gFileDialog.lpstrFile = chosen;
        gFileDialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
        if (!GetOpenFileNameA(&gFileDialog)) {
            return false;
        }
        memcpy(gState.sourcePath, chosen, sizeof chosen);
        gState.sourceBrowsed = 1;
        return true;
    }
    gFileDialog.lpstrInitialDir =
        !archiveNameBrowsed(gState.archiveDirMode) && !archiveBesideSource(gState.archiveDirMode)
            ? gState.archiveDir
            : "";
    gFileDialog.lpstrFile = gState.archiveName;
    // Offer the name without its folder: of the archive name, or else of the source.
    const char* from = gState.archiveName[0] != '\0' ? gState.archiveName : gState.sourcePath;
    const char* name = fileNamePart(from);
    memmove(gState.archiveName, name, strlen(name) + 1);
    gFileDialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameA(&gFileDialog)) {
        return false;
    }
    gState.archiveDirMode |= kArchiveNameBrowsed;
    return true;
}

// The form's own checks before a split, on what it shows, in their order; false (the user
// already told, or the wait started) when the split may not start. The rest is the plan's.
bool checkForm() {
    if (gState.volumeCount == 1) {
        refuse(splitRefusalPattern(kRefusedPointless), gForm.sourceEdit);
        return false;
    }
    if (gState.sourceSizeKnown == 0) {
        if (gState.sourceStatus != kSourceBusy) {
            refuse(splitRefusalPattern(kRefusedSourceUnavailable), gForm.sourceEdit);
        } else if (SetTimer(gMainWindow, kWaitTimerId, kWaitTimerPeriod, nullptr) != 0) {
            gState.waitTimerRunning = 1;
        }
        return false;
    }
    readField(gForm.archiveEdit, gState.archiveName, kPathBufferSize);
    // A name that is no full path counts from the source's folder, never from the current
    // folder (which is wherever the last dialog left it). An empty name stays one: the
    // source's folder.
    if (!placeArchiveName(gState.sourcePath, gState.archiveName, gState.archiveName,
                          kPathBufferSize, kRelativeNamesBesideSource)) {
        refuse(kTextArchiveNameTooLong, gForm.archiveEdit);
        return false;
    }
    return true;
}

// The field the form's own refusals ("!!!") send the user to; null for a refusal that only the
// split finds (it says ":-(" and the focus goes to the archive name after it).
HWND refusalField(SplitRefusal refusal) {
    switch (refusal) {
        case kRefusedNoArchiveName:
        case kRefusedNameConflict:
            return gForm.archiveEdit;
        case kRefusedTooManyMembers:
            return gForm.volumeSizeBox;  // only a larger volume size avoids so many members
        default:
            return nullptr;
    }
}

// The checks before a split: the form's own, then the plan of what the form shows. False (the
// user already told, or the wait started) when the form refuses; true when the split goes to
// the engine, which also tells a refusal that only the split finds (plan->refusal).
bool checkBeforeSplit(SplitRequest* request, SplitPlan* plan) {
    if (!checkForm()) {
        return false;
    }
    *request = splitRequestFrom(gState);
    bool planned = planSplit(*request, plan);
    if (plan->width != 0) {
        gState.numberWidth = plan->width;
    }
    HWND field = planned ? nullptr : refusalField(plan->refusal);
    if (field != nullptr) {
        char text[kSplitMessageSize];
        splitRefusalText(*plan, text, sizeof text);
        refuse(text, field);
        return false;
    }
    return true;
}

// Set while a split command runs: its message boxes run message loops of their own, and a
// split request that reaches the window through one of them is not a second split.
bool gSplitCommandRunning = false;

void runSplitCommand() {
    if (gState.waitTimerRunning) {
        // Asked again while waiting: the checks below decide afresh and wait again if they
        // must. No tick may start a second split while one of their messages is shown.
        killWaitTimer();
    }
    // Enter from the size box comes before the box has applied its text: apply it now, so that
    // the split never uses a size below the minimum or a count from an older size.
    if (gState.sizeBoxFocused || gState.volumeSize < kMinVolumeSize) {
        if (!applyVolumeSizeBox(true)) {
            refreshVolumeCount();
            return;
        }
    }
    // The file may have changed since it was typed: split what is there now.
    refreshSourceSize();
    refreshVolumeCount();
    SplitRequest request;
    SplitPlan plan;
    if (!checkBeforeSplit(&request, &plan)) {
        return;
    }
    // Every split that gets past the form remembers its folders, also one that is then refused
    // or declined.
    char ownPath[kPathBufferSize] = "";
    platformOwnExecutablePath(ownPath, sizeof ownPath);
    ownPath[sizeof ownPath - 1] = '\0';
    rememberFolders(&gState, ownPath);
    bool done = runSplitEngine(request, plan, ownPath);
    if (!IsWindow(gMainWindow) || gState.closing != 0) {
        return;  // the split ended the program
    }
    if (!done) {
        SetFocus(gForm.archiveEdit);
        return;
    }
    RECT pie = pieRect();
    InvalidateRect(gMainWindow, &pie, TRUE);
    SetWindowTextA(gForm.archiveEdit, "");
    gState.archiveDirMode &= ~kArchiveNameBrowsed;
    gState.sourceBrowsed = 0;
    SetFocus(gForm.sourceEdit);
}

void splitCommand() {
    if (gSplitCommandRunning) {
        return;
    }
    gSplitCommandRunning = true;
    runSplitCommand();
    gSplitCommandRunning = false;
}

void onSourceEdit(int code) {
    if (code == EN_CHANGE) {
        if (gState.waitTimerRunning) {
            stopWaitTimer();
        }
        readField(gForm.sourceEdit, gState.sourcePath, kPathBufferSize);
        refreshSourceSize();
        refreshVolumeCount();
        // Typed, pasted, browsed or from the command line: a suggested name follows.
        suggestArchiveName();
    } else if (code == EN_KILLFOCUS) {
        suggestArchiveName();
    }
}

void onSourceBrowse() {
    if (gState.waitTimerRunning) {
        stopWaitTimer();
    }
    if (browseForFile(kBrowseSource)) {
        SetWindowTextA(gForm.sourceEdit, gState.sourcePath);  // the suggestion follows
    } else {
        readField(gForm.sourceEdit, gState.sourcePath, kPathBufferSize);
    }
    refreshSourceSize();
    refreshVolumeCount();
    SetFocus(gForm.archiveEdit);
}

void onArchiveBrowse() {
    readField(gForm.archiveEdit, gState.archiveName, kPathBufferSize);
    if (browseForFile(kBrowseArchive)) {
        gState.archiveSuggestion[0] = '\0';  // the user's own name now, whatever it is
        SetWindowTextA(gForm.archiveEdit, gState.archiveName);
    } else {
        readField(gForm.archiveEdit, gState.archiveName, kPathBufferSize);
    }
    SetFocus(gForm.volumeSizeBox);
}

void onVolumeSizeBox(int code) {
    if (gState.waitTimerRunning) {
        stopWaitTimer();
    }
    char text[kSizeTextSize];
    switch (code) {
        case CBN_SELCHANGE: {
            LRESULT index = SendMessageA(gForm.volumeSizeBox, CB_GETCURSEL, 0, 0);
            LRESULT length = SendMessageA(gForm.volumeSizeBox, CB_GETLBTEXTLEN, index, 0);
            if (index < 0 || length < 0 || length >= static_cast<LRESULT>(kSizeTextSize)) {
                break;
            }
            SendMessageA(gForm.volumeSizeBox, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
            gState.volumeSize = static_cast<uint32_t>(parseSizeText(text));  // a valid entry
            refreshVolumeCount();
            break;
        }
        case CBN_EDITCHANGE: {
            readVolumeSizeBox(text);
            // The count follows the size the text will be applied as. A size of 4 GiB or more
            // reads as 0 here: like one below the minimum, it clears the count, and a split
            // applies the box first and says which it was.
            uint64_t size = normalisedSizeValue(text);
            gState.volumeSize =
                checkVolumeSize(size) == kVolumeSizeTooLarge ? 0 : static_cast<uint32_t>(size);
            if (gState.volumeSize < kMinVolumeSize) {
                SetWindowTextA(gForm.countValue, "");
            } else {
                refreshVolumeCount();
            }
            break;
        }
        case CBN_KILLFOCUS:
            gState.sizeBoxFocused = 0;
            applyVolumeSizeBox(true);
            refreshVolumeCount();
            break;
        case CBN_SETFOCUS:
            gState.sizeBoxFocused = 1;
            break;
        case CBN_DROPDOWN:
            gState.sizeListOpen = 1;
            break;
        case CBN_CLOSEUP:
            gState.sizeListOpen = 0;
            break;
    }
}

}  // namespace

void suggestArchiveName() {
    char archive[kPathBufferSize];
    readField(gForm.archiveEdit, archive, kPathBufferSize);
    if (!archiveNameFollowsSource(archive, gState.archiveSuggestion)) {
        return;  // the user's own name
    }
    // From the field: it names the source the user sees, also while the open dialog runs.
    char source[kPathBufferSize];
    readField(gForm.sourceEdit, source, kPathBufferSize);
    const char* folder = !archiveBesideSource(gState.archiveDirMode) ? gState.archiveDir : "";
    suggestArchiveNameFor(source, folder, gState.archiveSuggestion, kPathBufferSize);
    if (strcmp(archive, gState.archiveSuggestion) != 0) {
        SetWindowTextA(gForm.archiveEdit, gState.archiveSuggestion);
    }
}

void killWaitTimer() {
    gState.waitTimerRunning = 0;
    KillTimer(gMainWindow, kWaitTimerId);
}

void stopWaitTimer() {
    killWaitTimer();
    SetWindowTextA(gForm.countValue, "");
}

void onTimer(UINT_PTR id) {
    if (id != kWaitTimerId || !gState.waitTimerRunning) {
        return;
    }
    bool readable = refreshSourceSize();
    if (readable || gState.sourceStatus != kSourceBusy) {
        // Free now, or gone: the split command decides (and tells).
        killWaitTimer();
        refreshVolumeCount();
        SendMessageA(gMainWindow, WM_COMMAND, ID_SPLIT, 0);
        return;
    }
    SetWindowTextA(gForm.countValue, gState.waitBlinkOn ? "ЖДУ..." : "");
    gState.waitBlinkOn = !gState.waitBlinkOn;
}

void onCommand(int id, int code, HWND) {
    // While a split runs, only its own questions answer: the form and the menu wait.
    if (gState.closing != 0 || splitRunning()) {
        return;
    }
    switch (id) {
        case ID_SOURCE_EDIT:
            onSourceEdit(code);
            break;
        case ID_SOURCE_BROWSE:
            onSourceBrowse();
            break;
        case ID_ARCHIVE_BROWSE:
            onArchiveBrowse();
            break;
        case ID_VOLSIZE_BOX:
            onVolumeSizeBox(code);
            break;
        case ID_SPLIT:
            splitCommand();
            break;
        case ID_SETTINGS:
            openSettingsDialog(gInstance, &gState);
            break;
        case ID_HELP:
            openHelp();
            break;
        case ID_ABOUT:
            openAboutDialog(gInstance);
            break;
        case ID_EXIT:
            SendMessageA(gMainWindow, WM_CLOSE, 0, 0);
            break;
    }
}
