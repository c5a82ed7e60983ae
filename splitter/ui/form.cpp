// The main form: system menu, toolbar, the five labelled rows and the split button, the shared
// file-dialog record and the settings file.
#include "splitter/ui/main_window.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "platform/platform.h"
#include "splitter/form/settings.h"
#include "splitter/form/sizes.h"
#include "splitter/ui/resource_ids.h"

namespace {

// Layout, in client pixels.
constexpr int kLeftMargin = 7;
constexpr int kLabelWidth = 268;
constexpr int kFieldX = kLeftMargin + kLabelWidth + 9;  // 284
constexpr int kBrowseWidth = 101;
constexpr int kRightEdge = 617;                       // of the browse buttons
constexpr int kBrowseX = kRightEdge - kBrowseWidth;   // 516
constexpr int kWideWidth = kBrowseX - (kFieldX + 9);  // 223
constexpr int kNarrowWidth = 100;
constexpr int kFirstRowY = 40;
constexpr int kRowStep = 30;
constexpr int kRowHeight = 25;
constexpr int kComboHeight = 125;                             // with its drop-down list
constexpr int kSplitY = kFirstRowY + 5 * kRowStep + 3;        // 193, below the five rows
constexpr int kSplitWidth = (kWindowWidth - 7) / 4 * 4 - 13;  // 607

// The toolbar: three images in its bitmap, each 16 x 15 pixels; three buttons and a separator.
constexpr int kToolbarImages = 3;
constexpr int kToolbarImageWidth = 16;
constexpr int kToolbarImageHeight = 15;
constexpr int kToolbarButtons = 4;

// The longest path the edit fields take, so that nothing typed is cut when it is read back.
constexpr int kPathFieldLimit = kMaxPathChars;
// The longest size text the size box takes.
constexpr int kSizeFieldLimit = kSizeTextSize - 1;

TBBUTTON toolbarButton(int image, int command, BYTE style) {
    TBBUTTON button;
    memset(&button, 0, sizeof(button));
    button.iBitmap = image;
    button.idCommand = command;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = style;
    return button;
}

HWND createToolbar(HWND window, HINSTANCE instance) {
    TBBUTTON buttons[kToolbarButtons] = {
        toolbarButton(0, ID_SETTINGS, TBSTYLE_BUTTON),
        toolbarButton(-1, 0, TBSTYLE_SEP),
        toolbarButton(1, ID_HELP, TBSTYLE_BUTTON),
        toolbarButton(2, ID_ABOUT, TBSTYLE_BUTTON),
    };
    HWND toolbar =
        CreateToolbarEx(window, WS_CHILD | WS_VISIBLE | WS_BORDER | TBSTYLE_TOOLTIPS, ID_TOOLBAR,
                        kToolbarImages, instance, IDB_TOOLBAR, buttons, kToolbarButtons, 0, 0,
                        kToolbarImageWidth, kToolbarImageHeight, sizeof(TBBUTTON));
    if (toolbar != nullptr) {
        SendMessageA(toolbar, WM_SIZE, SIZE_RESTORED, MAKELPARAM(kWindowWidth, gWindowHeight));
    }
    return toolbar;
}

HWND createControl(HWND window, const char* className, const char* text, DWORD style, int x, int y,
                   int width, int height, int id) {
    return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                           window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), gInstance,
                           nullptr);
}

int rowY(int row) {
    return kFirstRowY + row * kRowStep;
}

void createControls(HWND window) {
    const DWORD field = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    createControl(window, "static", "Разбиваемый файл:", SS_LEFT, kLeftMargin, rowY(0), kLabelWidth,
                  kRowHeight, ID_SOURCE_LABEL);
    gForm.sourceEdit = createControl(window, "edit", "", field, kFieldX, rowY(0), kWideWidth,
                                     kRowHeight, ID_SOURCE_EDIT);
    createControl(window, "button", "Обзор...", WS_TABSTOP, kBrowseX, rowY(0), kBrowseWidth,
                  kRowHeight, ID_SOURCE_BROWSE);
    createControl(window, "static", "Имя архива (без расширения):", SS_LEFT, kLeftMargin, rowY(1),
                  kLabelWidth, kRowHeight, ID_ARCHIVE_LABEL);
    gForm.archiveEdit = createControl(window, "edit", "", field, kFieldX, rowY(1), kWideWidth,
                                      kRowHeight, ID_ARCHIVE_EDIT);
    createControl(window, "button", "Обзор...", WS_TABSTOP, kBrowseX, rowY(1), kBrowseWidth,
                  kRowHeight, ID_ARCHIVE_BROWSE);
    createControl(window, "static", "Размер выбранного файла:", SS_LEFT, kLeftMargin, rowY(2),
                  kLabelWidth, kRowHeight, ID_SIZE_LABEL);
    gForm.sizeValue = createControl(window, "static", "", SS_CENTER, kFieldX, rowY(2), kNarrowWidth,
                                    kRowHeight, ID_SIZE_VALUE);
    createControl(window, "static", "Размер одного тома архива:", SS_LEFT, kLeftMargin, rowY(3),
                  kLabelWidth, kRowHeight, ID_VOLSIZE_LABEL);
    gForm.volumeSizeBox = createControl(window, "combobox", "", WS_TABSTOP | CBS_DROPDOWN, kFieldX,
                                        rowY(3), kNarrowWidth, kComboHeight, ID_VOLSIZE_BOX);
    createControl(window, "static", "Количество томов архива:", SS_LEFT, kLeftMargin, rowY(4),
                  kLabelWidth, kRowHeight, ID_COUNT_LABEL);
    gForm.countValue = createControl(window, "static", "", SS_CENTER, kFieldX, rowY(4),
                                     kNarrowWidth, kRowHeight, ID_COUNT_VALUE);
    gForm.splitButton = createControl(window, "button", "Разбить файл", WS_TABSTOP, kLeftMargin,
                                      kSplitY, kSplitWidth, kRowHeight, ID_SPLIT);

    // Texts are read back into fixed buffers; the fields refuse more than those hold.
    SendMessageA(gForm.sourceEdit, EM_LIMITTEXT, kPathFieldLimit, 0);
    SendMessageA(gForm.archiveEdit, EM_LIMITTEXT, kPathFieldLimit, 0);
    SendMessageA(gForm.volumeSizeBox, CB_LIMITTEXT, kSizeFieldLimit, 0);
}

void prepareFileDialog(HWND window) {
    memset(&gFileDialog, 0, sizeof(gFileDialog));
    // The form without the later trailing fields: x86-64 rejects the 32-bit record size.
    gFileDialog.lStructSize = OPENFILENAME_SIZE_VERSION_400;
    gFileDialog.hwndOwner = window;
    gFileDialog.lpstrFilter = "All Files (*.*)\0*.*\0\0";
    gFileDialog.lpstrDefExt = "";
}

bool settingsPath(char* out, size_t outSize) {
    char exePath[kPathBufferSize];
    return platformOwnExecutablePath(exePath, sizeof(exePath)) &&
           settingsFilePath(exePath, out, outSize);
}

}  // namespace

bool buildForm(HWND window, const CREATESTRUCTA* create) {
    HMENU systemMenu = GetSystemMenu(window, FALSE);
    // Positions 0, 1 and 2 as the entries shift up: Restore, Size and Maximize go; Move,
    // Minimize and Close stay for a window of fixed size.
    for (int position = 0; position < 3; ++position) {
        DeleteMenu(systemMenu, position, MF_BYPOSITION);
    }
    InitCommonControls();
    gForm.toolbar = createToolbar(window, create->hInstance);
    createControls(window);
    prepareFileDialog(window);
    loadFormSettings();
    gState.formReady = 1;
    return gForm.toolbar != nullptr;
}

void loadFormSettings() {
    SizeList list;
    char path[kPathBufferSize];
    if (settingsPath(path, sizeof(path))) {
        loadSettings(path, &gState, &list);
    } else {
        // No usable location: run with the defaults, as without a file.
        char none[1] = "";
        loadSettings(none, &gState, &list);
    }
    writeSizeList(list);
}

bool saveFormSettings(char* path, size_t pathSize) {
    SizeList list;
    readSizeList(&list);
    if (settingsPath(path, pathSize)) {
        return saveSettings(path, &gState, list);
    }
    snprintf(path, pathSize, "%s", kSettingsFileName);
    return false;
}
