// The settings dialog: where new archives go by default and whether the program ends after a
// successful split. It edits working copies and hands them to the live state on OK and Apply;
// the settings file is written only when the program ends.
#include <windows.h>

#include "splitter/ui/dialogs.h"
#include "splitter/ui/resource_ids.h"

namespace {

// The dialog's texts, set in this order: the caption, then the controls of kTextControls.
const char* const kSettingsTexts[] = {
    "Настройки",
    "Каталог для архива (по умолчанию)",
    "Вместе с предыдущим архивом",
    "Вместе с разбиваемым файлом",
    "Выйти из программы после окончания работы",
    "Да",
    "Отмена",
    "Применить",
};
const int kTextControls[] = {
    ID_SET_GROUP, ID_SET_BESIDE_PREVIOUS, ID_SET_BESIDE_SOURCE, ID_SET_CLOSE_AFTER, IDOK, IDCANCEL,
    ID_SET_APPLY};
static_assert(sizeof(kSettingsTexts) / sizeof(kSettingsTexts[0]) ==
                  1 + sizeof(kTextControls) / sizeof(kTextControls[0]),
              "one text for the caption and one per control");

// One open dialog. Lives on the stack of openSettingsDialog, so a second dialog opened from
// the main window (which stays enabled) keeps working copies of its own.
struct SettingsDialog {
    SplitterState* state;
    int workingMode;   // copy of archiveDirMode, both flags
    int workingClose;  // copy of closeAfterFinish
    HWND applyButton;
};

void setApplyEnabled(HWND dialog, SettingsDialog* d, bool enabled) {
    if (!enabled && GetFocus() == d->applyButton) {
        // A disabled button cannot keep the keyboard focus: pass it on.
        SendMessageA(dialog, WM_NEXTDLGCTL, 0, FALSE);
    }
    EnableWindow(d->applyButton, enabled ? TRUE : FALSE);
}

void takeOver(SettingsDialog* d) {
    d->state->archiveDirMode = d->workingMode;
    d->state->closeAfterFinish = d->workingClose;
}

BOOL onInitDialog(HWND dialog, SettingsDialog* d) {
    d->applyButton = GetDlgItem(dialog, ID_SET_APPLY);
    SetWindowTextA(dialog, kSettingsTexts[0]);
    for (size_t i = 0; i < sizeof(kTextControls) / sizeof(kTextControls[0]); ++i) {
        SetWindowTextA(GetDlgItem(dialog, kTextControls[i]), kSettingsTexts[i + 1]);
    }
    EnableWindow(d->applyButton, FALSE);
    const int checkedMode = archiveBesideSource(d->state->archiveDirMode) ? ID_SET_BESIDE_SOURCE
                                                                          : ID_SET_BESIDE_PREVIOUS;
    SendMessageA(GetDlgItem(dialog, checkedMode), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(GetDlgItem(dialog, ID_SET_CLOSE_AFTER), BM_SETCHECK,
                 d->state->closeAfterFinish != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    d->workingMode = d->state->archiveDirMode;
    d->workingClose = d->state->closeAfterFinish;
    return TRUE;  // the system puts the focus on the first tab stop
}

void onCommand(HWND dialog, SettingsDialog* d, int id, int code) {
    switch (id) {
        case ID_SET_BESIDE_PREVIOUS:
            if (code == BN_CLICKED) {
                d->workingMode = withArchiveBesideSource(d->workingMode, false);
                setApplyEnabled(dialog, d, true);
            }
            break;
        case ID_SET_BESIDE_SOURCE:
            if (code == BN_CLICKED) {
                d->workingMode = withArchiveBesideSource(d->workingMode, true);
                setApplyEnabled(dialog, d, true);
            }
            break;
        case ID_SET_CLOSE_AFTER:
            if (code == BN_CLICKED) {
                d->workingClose = d->workingClose != 0 ? 0 : 1;
                setApplyEnabled(dialog, d, true);
            }
            break;
        case IDOK:
            takeOver(d);
            EndDialog(dialog, IDOK);
            break;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            break;
        case ID_SET_APPLY:
            takeOver(d);
            setApplyEnabled(dialog, d, false);
            break;
        default:
            break;
    }
}

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return onInitDialog(dialog, reinterpret_cast<SettingsDialog*>(lParam));
    }
    SettingsDialog* d = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (message == WM_COMMAND && d != nullptr) {
        onCommand(dialog, d, LOWORD(wParam), HIWORD(wParam));
    }
    return FALSE;
}

}  // namespace

INT_PTR openSettingsDialog(HINSTANCE instance, SplitterState* state) {
    SettingsDialog dialog = {state, 0, 0, nullptr};
    return DialogBoxParamA(instance, "DIALOG_SETTINGS", nullptr, settingsDialogProc,
                           reinterpret_cast<LPARAM>(&dialog));
}
