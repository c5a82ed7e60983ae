// The About dialog: two heading lines, the copying note, the web and e-mail addresses and a
// ">>" button beside each that hands the address to the desktop.
#include <windows.h>
#include <shellapi.h>

#include "splitter/program/about_text.h"
#include "splitter/ui/dialogs.h"
#include "splitter/ui/resource_ids.h"

namespace {

void setItemText(HWND dialog, int id, const char* text) {
    SetWindowTextA(GetDlgItem(dialog, id), text);
}

BOOL onInitDialog(HWND dialog) {
    // A fresh copy at every opening: the stored texts stay scrambled and unchanged.
    AboutStore texts;
    loadAboutTexts(&texts);
    setItemText(dialog, ID_ABOUT_LINE1, texts.line1);
    setItemText(dialog, ID_ABOUT_URL, texts.url);
    setItemText(dialog, ID_ABOUT_MAIL, texts.mail);
    SetWindowTextA(dialog, texts.slots[kAboutSlotCaption]);
    setItemText(dialog, ID_ABOUT_LINE2, texts.slots[kAboutSlotLine2]);
    setItemText(dialog, ID_ABOUT_NOTE, texts.slots[kAboutSlotNote]);
    setItemText(dialog, IDOK, texts.slots[kAboutSlotOk]);
    return TRUE;  // the system puts the focus on the first tab stop, the web address
}

// Hands an address to the desktop's default program; a failure is not reported.
void openLink(const char* link) {
    ShellExecuteA(nullptr, "open", link, nullptr, nullptr, SW_SHOWNORMAL);
}

// The link is read from the field when the button is pressed, not from the stored text.
void onLinkButton(HWND dialog, int fieldId, void (*buildLink)(const char*, char*)) {
    char field[256];
    if (GetWindowTextA(GetDlgItem(dialog, fieldId), field, sizeof(field)) <= 0) {
        field[0] = 0;
    }
    char link[kAboutLinkBufferSize];
    buildLink(field, link);
    openLink(link);
}

void onCommand(HWND dialog, int id) {
    switch (id) {
        case ID_ABOUT_URL_GO:
            onLinkButton(dialog, ID_ABOUT_URL, aboutUrlLink);
            break;
        case ID_ABOUT_MAIL_GO:
            onLinkButton(dialog, ID_ABOUT_MAIL, aboutMailLink);
            break;
        case IDOK:
            EndDialog(dialog, IDOK);
            break;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            break;
        default:
            break;
    }
}

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return onInitDialog(dialog);
        case WM_COMMAND:
            onCommand(dialog, LOWORD(wParam));
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR openAboutDialog(HINSTANCE instance) {
    return DialogBoxParamA(instance, "DIALOG_ABOUT", nullptr, aboutDialogProc, 0);
}
