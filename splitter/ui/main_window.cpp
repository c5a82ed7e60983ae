// Program entry, the main window's class and procedure, the message loop with its keyboard
// shortcuts, the command line and the shutdown.
#include "splitter/ui/main_window.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "splitter/engine/split_engine.h"
#include "splitter/program/command_line.h"
#include "splitter/form/sizes.h"
#include "splitter/ui/dialogs.h"
#include "splitter/ui/resource_ids.h"

SplitterState gState;
HINSTANCE gInstance;
HWND gMainWindow;
HBRUSH gWhiteBrush;
int gWindowHeight;
FormControls gForm;
OPENFILENAMEA gFileDialog;

namespace {

const char kClassName[] = "Dravnik";
const char kTextSettingsNotSaved[] = "Настройки не сохранены: нельзя записать файл %s";
// Where a maximised window stands (it keeps its size).
constexpr int kMaximisedPosition = 100;

// Tooltip texts of the toolbar buttons ID_SETTINGS, ID_HELP, ID_ABOUT.
const char* const kToolTips[] = {"Настройки", "Справка", "О программе"};

bool registerWindowClass(WNDPROC procedure) {
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = procedure;
    wc.hInstance = gInstance;
    wc.hIcon = LoadIconA(gInstance, "Icon");
    wc.hIconSm = LoadIconA(gInstance, "Icon");
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = gWhiteBrush;
    wc.lpszMenuName = "MENU_1";
    wc.lpszClassName = kClassName;
    return RegisterClassExA(&wc) != 0;
}

void onGetMinMaxInfo(MINMAXINFO* info) {
    info->ptMaxSize.x = kWindowWidth;
    info->ptMaxSize.y = gWindowHeight;
    info->ptMaxPosition.x = kMaximisedPosition;
    info->ptMaxPosition.y = kMaximisedPosition;
    info->ptMinTrackSize.x = kWindowWidth;
    info->ptMinTrackSize.y = gWindowHeight;
    info->ptMaxTrackSize.x = kWindowWidth;
    info->ptMaxTrackSize.y = gWindowHeight;
}

void onNotify(NMHDR* header) {
    if (header->code == TTN_NEEDTEXTA && header->idFrom >= ID_SETTINGS &&
        header->idFrom <= ID_ABOUT) {
        reinterpret_cast<TOOLTIPTEXTA*>(header)->lpszText =
            const_cast<char*>(kToolTips[header->idFrom - ID_SETTINGS]);
    }
}

// Fills the form from the command line (the text after the program's name).
void handleCommandLine(size_t length, const char* text) {
    if (length == 0) {
        SetFocus(gForm.sourceEdit);
    } else {
        parseCommandLine(text, length, &gState);
        SetWindowTextA(gForm.sourceEdit, gState.sourcePath);
        SetWindowTextA(gForm.archiveEdit, gState.archiveName);
        suggestArchiveName();
        if (gState.volumeSizeArg[0] != '\0') {
            char sizeText[kSizeTextSize];
            strcpy(sizeText, gState.volumeSizeArg);
            applyVolumeSizeText(sizeText, false);
        }
        SetFocus(gState.sourcePath[0] == '\0' ? gForm.sourceEdit : gForm.splitButton);
    }
    refreshSourceSize();
    refreshVolumeCount();
}

void onDestroy() {
    gState.closing = 1;
    char path[kPathBufferSize];
    if (!saveFormSettings(path, sizeof path)) {
        // Once, as the program ends: the next start will not know this run's choices.
        char text[kPathBufferSize + 96];
        snprintf(text, sizeof text, kTextSettingsNotSaved, path);
        MessageBoxA(nullptr, text, kCaptionRefusal, MB_ICONWARNING);
    }
    DeleteObject(gWhiteBrush);
    if (gState.waitTimerRunning) {
        killWaitTimer();
    }
    PostQuitMessage(0);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            gMainWindow = window;
            return buildForm(window, reinterpret_cast<CREATESTRUCTA*>(lParam)) ? 0 : -1;
        case WM_CLOSE:
            if (closeDuringSplit()) {
                return 0;
            }
            break;
        case WM_PAINT:
            if (paintDuringSplit(window)) {
                return 0;
            }
            break;
        case WM_DESTROY:
            onDestroy();
            return 0;
        case WM_GETMINMAXINFO:
            onGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_NOTIFY:
            onNotify(reinterpret_cast<NMHDR*>(lParam));
            return 1;
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_TIMER:
            onTimer(wParam);
            return 0;
        case WM_CTLCOLORSTATIC:
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(gWhiteBrush);
        case WM_COMMAND_LINE:
            handleCommandLine(static_cast<size_t>(wParam), reinterpret_cast<const char*>(lParam));
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Enter that starts a split: in the source or archive field, on the split button, or in the
// size box while its list is closed. `listWasOpen` is the size list's state before the key was
// dispatched: the key that closes the dropped list must not also split.
bool isSplitKey(const MSG& msg, bool listWasOpen) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN || !gState.formReady) {
        return false;
    }
    bool inField = msg.hwnd == gForm.sourceEdit || msg.hwnd == gForm.archiveEdit ||
                   msg.hwnd == gForm.splitButton;
    return inField || (gState.sizeBoxFocused && !listWasOpen);
}

// F1 help, Esc close. `listWasOpen` as above: the Esc that closes the list keeps the window.
void handleShortcut(const MSG& msg, bool listWasOpen) {
    if (msg.message != WM_KEYDOWN) {
        return;
    }
    if (msg.wParam == VK_F1) {
        openHelp();
    } else if (msg.wParam == VK_ESCAPE) {
        if (!listWasOpen) {
            SendMessageA(gMainWindow, WM_CLOSE, 0, 0);
        }
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    gInstance = instance;
    initSplitterState(&gState);
    gWindowHeight = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU) + kClientHeight;
    gWhiteBrush = CreateSolidBrush(RGB(255, 255, 255));
    if (!registerWindowClass(mainWindowProc)) {
        return 0;
    }
    HWND window = CreateWindowExA(0, kClassName, kIdleTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) {
        return 0;
    }
    ShowWindow(window, showCommand);
    // mingw's lpCmdLine loses leading non-ASCII bytes of an unquoted first word: take the
    // arguments from the full command line instead.
    const char* arguments = skipProgramName(GetCommandLineA());
    PostMessageA(window, WM_COMMAND_LINE, strlen(arguments), reinterpret_cast<LPARAM>(arguments));

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        bool listWasOpen = gState.sizeListOpen != 0;
        if (isSplitKey(msg, listWasOpen)) {
            // The split's Enter is the loop's alone. Given to the dialog manager as well, it
            // would also press the split button once Tab has made it the default button, and
            // the split would run twice.
            PostMessageA(gMainWindow, WM_COMMAND, ID_SPLIT, 0);
            continue;
        }
        if (!IsDialogMessageA(gMainWindow, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        handleShortcut(msg, listWasOpen);
    }
    return static_cast<int>(msg.wParam);
}
