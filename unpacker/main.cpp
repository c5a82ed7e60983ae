// The unpacker: the small program at the head of every archive's ".exe".
//
// Started without an argument (as the user starts the archive) it copies its own program part
// to the temporary folder and starts that copy with the archive's path. The copy shows a small
// window with a progress bar, joins the archive and finally has a batch file delete the copy.
//
// It is built to stay tiny: no C++ library, no exceptions, no C runtime (its files are Win32
// handles), and an entry point of its own.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <string.h>

#include "platform/platform.h"
#include "unpacker/join_engine.h"
#include "unpacker/startup_text.h"

namespace {

constexpr UINT WM_START_JOIN = WM_USER + 1;
constexpr UINT kClassStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
constexpr int kMaxCopyNumber = 1000;
// "ombra999.exe" and "selfdel999.bat" with their folder must stay a path of 255 characters.
constexpr unsigned kNumberedNameChars = 14;
// The self-deletion batch text: fixed but for the copy's name.
constexpr unsigned kSelfDeleteBatchSize = 256;
// The progress bar moves at most this often (ms): smooth to the eye, cheap to draw.
constexpr DWORD kProgressIntervalMs = 100;
// The progress window: a caption bar with a thin client area under it, at a fixed place; the
// bar fills its width but for a margin all round.
constexpr int kBarMargin = 5;
constexpr int kBarHeight = 20;
constexpr int kWindowX = 200;
constexpr int kWindowY = 250;
constexpr int kWindowWidth = 400;
constexpr int kWindowHeight = 60;

const char* const kClassName = "Ombrasta";
const char* const kCaptionError = ":-(";
const char* const kCaptionQuestion = "???";
const char* const kTextNoTempWrite = "Запрещена запись во временную папку!";
const char* const kTextCannotStart = "Не удалось запустить распаковщик";

HWND gMainWindow;
HWND gProgressBar;
char archivePath[kArchivePathSize];
// The join reads and writes its files without buffers in between: in blocks as large as a
// plain copy's, which Wine serves as fast as any.
constexpr unsigned kJoinBlockSize = 1024 * 1024;
char copyBuffer[kJoinBlockSize];
char imageBuffer[kUnpackerImageSize];
// The pieces copied, the member count, and when the bar was last moved (GetTickCount).
int gProgress;
int gProgressMaximum;
DWORD gProgressShownAt;

void errorBox(HWND owner, const char* text) {
    MessageBoxA(owner, text, kCaptionError, MB_ICONERROR);
}

void showProgress() {
    gProgressShownAt = GetTickCount();
    SendMessageA(gProgressBar, PBM_SETPOS, gProgress, 0);
}

class Win32JoinUi final : public JoinUi {
  public:
    bool chooseFolder(char* folder, unsigned) override {
        char displayName[kArchivePathSize];
        BROWSEINFOA info;
        memset(&info, 0, sizeof info);
        memset(displayName, 0, sizeof displayName);
        info.hwndOwner = gMainWindow;
        info.pszDisplayName = displayName;
        info.lpszTitle = kTextBrowseTitle;
        info.ulFlags = kBrowseFlags;
        LPITEMIDLIST item = SHBrowseForFolderA(&info);
        // A folder outside the file system gives no path: taken as a cancel, never as "".
        return item != nullptr && SHGetPathFromIDListA(item, folder) && folder[0] != '\0';
    }

    // A question or a message stops the join: the bar first shows how far it got.
    bool ask(JoinMessageKind kind, const char* text) override {
        showProgress();
        bool overwrite = kind == kJoinOverwrite;
        return MessageBoxA(gMainWindow, text, overwrite ? kCaptionQuestion : kCaptionError,
                           MB_YESNO | (overwrite ? 0 : MB_ICONERROR)) != IDNO;
    }

    void showError(const char* text) override {
        showProgress();
        errorBox(gMainWindow, text);
    }

    JoinPick pickVolume(char* path, unsigned size, int nameOffset) override {
        // The filter is the name twice, each with its terminator, and the final terminator.
        char filter[2 * kArchivePathSize + 1];
        char folder[kArchivePathSize];
        const char* name = path + nameOffset;
        size_t nameLength = strlen(name);
        memcpy(filter, name, nameLength + 1);
        memcpy(filter + nameLength + 1, name, nameLength + 1);
        filter[2 * nameLength + 2] = '\0';
        volumeDialogFolder(path, nameOffset, folder);
        // The name moves to the front of its own buffer: a forward copy.
        for (size_t i = 0; i <= nameLength; ++i) {
            path[i] = name[i];
        }

        OPENFILENAMEA dialog;
        memset(&dialog, 0, sizeof dialog);
        dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        dialog.hwndOwner = gMainWindow;
        dialog.lpstrFilter = filter;
        dialog.lpstrFile = path;
        dialog.nMaxFile = size;
        dialog.lpstrInitialDir = folder;
        dialog.lpstrDefExt = "";
        dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
        if (GetOpenFileNameA(&dialog)) {
            return kPickChosen;
        }
        return CommDlgExtendedError() == FNERR_BUFFERTOOSMALL ? kPickTooLong : kPickCancelled;
    }

    bool localName(const char* headerName, char* out, unsigned size) override {
        return decodeArchiveArgument(headerName, out, size);
    }

    void setTitle(const char* title) override { SetWindowTextA(gMainWindow, title); }

    // The 32-bit range: M can exceed the 16 bits of PBM_SETRANGE.
    void setProgressRange(int maximum) override {
        SendMessageA(gProgressBar, PBM_SETRANGE32, 0, maximum);
        gProgressMaximum = maximum;
    }

    // The bar repaints at once for every position it is given, which costs more than copying
    // a floppy's piece: it is given one no more often than the eye can follow, and the last.
    void stepProgress() override {
        if (++gProgress >= gProgressMaximum ||
            GetTickCount() - gProgressShownAt >= kProgressIntervalMs) {
            showProgress();
        }
    }

    void beep() override { MessageBeep(0xFFFFFFFF); }
};

// Starts command (changed in place, as CreateProcessA may) with the creation flags and the show
// command for its window. True when it was started.
bool startProgram(char* command, DWORD flags, WORD show) {
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The temporary folder, ending in a backslash, with room for a numbered name after it.
bool tempFolderPath(char* out) {
    DWORD length = GetTempPathA(kPathBufferSize, out);
    return length > 0 && length + kNumberedNameChars <= kMaxPathChars;
}

// Shows an error message without owner: pattern with arg in place of its "%s".
void startupError(const char* pattern, const char* arg) {
    char text[kArchivePathSize + 64];
    formatText(text, sizeof text, pattern, arg);
    errorBox(nullptr, text);
}

// Creates "<folder><prefix><i><extension>" for writing, emptying a file of that name, for
// the first i from 0 that opens, and leaves its path in path (kPathBufferSize bytes). With
// skipExisting, names that exist are passed over (the last number is taken all the same) and
// only the first free one is tried. Null when none opened.
PlatformFile createNumbered(char* path, const char* folder, const char* prefix,
                            const char* extension, bool skipExisting) {
    for (int i = 0; i < kMaxCopyNumber; ++i) {
        numberedPath(path, kPathBufferSize, folder, prefix, i, extension);
        if (skipExisting && i + 1 < kMaxCopyNumber && platformFileExists(path)) {
            continue;
        }
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            return file;
        }
        if (skipExisting) {
            break;
        }
    }
    return nullptr;
}

// Writes size bytes to file and closes it; a file that did not take them all is removed.
bool writeAndClose(PlatformFile file, const char* path, const char* data, size_t size) {
    bool written = platformWrite(file, data, size);
    written = platformCloseFile(file) && written;
    if (!written) {
        // Our own file, just created by name: nothing else to take care of.
        DeleteFileA(path);
    }
    return written;
}

// Reads the program part (the first kUnpackerImageSize bytes) of the file path names into
// imageBuffer. Returns the file's size, or -1 when it has no program part to read.
int64_t readImage(const char* path) {
    PlatformFile file = platformOpenRead(path);
    if (file == nullptr) {
        return -1;
    }
    int64_t size = platformRead(file, imageBuffer, kUnpackerImageSize) == kUnpackerImageSize
                       ? platformFileSizeOf(file)
                       : -1;
    platformCloseFile(file);
    return size;
}

// Copies the program part of the running archive to "<temp>ombra<i>.exe" and starts it with
// the archive's path. Returns true when the copy was started; false after telling the user.
bool relaunchFromTemp() {
    char exePath[kArchivePathSize];
    char tempFolder[kPathBufferSize];
    char copyPath[kPathBufferSize];
    char commandLine[kPathBufferSize + kArchivePathSize + 4];
    DWORD length = GetModuleFileNameA(nullptr, exePath, kMaxArchivePathChars + 1);
    if (length == 0 || length > kMaxArchivePathChars) {
        exePath[kMaxArchivePathChars] = '\0';
        startupError(kTextPathTooLong, exePath);
        return false;
    }
    // The program part is read before anything is written: an archive that cannot be read
    // says so, not that the temporary folder refuses writing.
    if (readImage(exePath) < 0) {
        startupError(kTextCannotRead, exePath);
        return false;
    }
    // A copy that still runs cannot be opened for writing and is passed over.
    PlatformFile copy =
        tempFolderPath(tempFolder)
            ? createNumbered(copyPath, tempFolder, kTempCopyPrefix, kTempCopyExtension, false)
            : nullptr;
    if (copy == nullptr || !writeAndClose(copy, copyPath, imageBuffer, kUnpackerImageSize)) {
        errorBox(nullptr, kTextNoTempWrite);
        return false;
    }
    if (!relaunchCommandLine(commandLine, sizeof commandLine, copyPath, exePath) ||
        !startProgram(commandLine, 0, SW_SHOW)) {
        errorBox(nullptr, kTextCannotStart);
        return false;
    }
    return true;
}

// Closes the window and has a hidden batch file delete the running program once its process
// has ended. The window goes first: starting a process takes Wine a tenth of a second or more,
// and the batch keeps trying until the process has ended, whenever it starts. Only a copy made
// by the relaunch is deleted: an archive's own ".exe" started with an argument keeps itself.
void selfDeleteAndClose() {
    char modulePath[kPathBufferSize];
    char tempFolder[kPathBufferSize];
    char batchPath[kPathBufferSize];
    char batchText[kSelfDeleteBatchSize];
    char command[kPathBufferSize + 2];
    if (gMainWindow != nullptr) {
        SendMessageA(gMainWindow, WM_CLOSE, 0, 0);
    }
    DWORD length = GetModuleFileNameA(nullptr, modulePath, sizeof modulePath);
    if (length > 0 && length < sizeof modulePath && tempFolderPath(tempFolder) &&
        isTempCopyPath(modulePath, tempFolder) && readImage(modulePath) == kUnpackerImageSize &&
        selfDeleteBatchText(batchText, sizeof batchText, fileNamePart(modulePath))) {
        // The first free number; a batch file left by an earlier run is not overwritten.
        PlatformFile batch = createNumbered(batchPath, tempFolder, "selfdel", ".bat", true);
        if (batch != nullptr && writeAndClose(batch, batchPath, batchText, strlen(batchText))) {
            // Without a window of its own rather than detached: the "ping" it runs then
            // shares its hidden console instead of opening one.
            formatText(command, sizeof command, "\"%s\"", batchPath);
            startProgram(command, CREATE_NO_WINDOW | IDLE_PRIORITY_CLASS, SW_HIDE);
        }
    }
}

void runJoin() {
    Win32JoinUi ui;
    joinArchive(archivePath, &ui, copyBuffer, sizeof copyBuffer);
    selfDeleteAndClose();
}

void createProgressBar(HWND window, const CREATESTRUCTA* creation) {
    RECT client;
    InitCommonControls();
    GetClientRect(window, &client);
    gProgressBar = CreateWindowExA(
        0, PROGRESS_CLASSA, "Progress", WS_CHILD | WS_VISIBLE | WS_BORDER, kBarMargin, kBarMargin,
        client.right - 2 * kBarMargin, kBarHeight, window, nullptr, creation->hInstance, nullptr);
    PostMessageA(window, WM_START_JOIN, 0, 0);
}

LRESULT CALLBACK unpackerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            createProgressBar(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_START_JOIN:
            runJoin();
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR argument, int) {
    if (*argument == '\0') {
        relaunchFromTemp();
        return 0;
    }
    // A path too long for the buffer is kept cut short; the join then refuses it by length.
    // A file dropped onto the archive arrives in the shell's double quotes when its path has
    // blanks: the path is what stands inside them. The relaunch never starts with a quote.
    const char* quoteEnd = nullptr;
    if (*argument == '"') {
        for (quoteEnd = ++argument; *quoteEnd != '"'; ++quoteEnd) {
            if (*quoteEnd == '\0') {
                quoteEnd = nullptr;
                break;
            }
        }
    }
    decodeArchiveArgument(argument, archivePath, sizeof archivePath);
    if (quoteEnd != nullptr && static_cast<size_t>(quoteEnd - argument) < sizeof archivePath) {
        archivePath[quoteEnd - argument] = '\0';
    }

    WNDCLASSEXA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = kClassStyle;
    windowClass.lpfnWndProc = unpackerWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExA(&windowClass) == 0) {
        return 0;
    }
    gMainWindow = CreateWindowExA(0, kClassName, "", WS_CAPTION | WS_VISIBLE, kWindowX, kWindowY,
                                  kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
    if (gMainWindow == nullptr) {
        // No window, no join; the copy still removes itself.
        selfDeleteAndClose();
        return 0;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

// The one C runtime function that the code calls: its few bytes here cost less than the import
// of a whole library for it.
extern "C" size_t strlen(const char* text) {
    const char* end = text;
    while (*end != '\0') {
        ++end;
    }
    return static_cast<size_t>(end - text);
}

// The program's entry point: there is no C runtime start-up code. The argument comes from
// GetCommandLineA, which keeps leading non-ASCII bytes intact.
// The instance handle is the image's own base address, which the linker names.
extern "C" IMAGE_DOS_HEADER __ImageBase;

extern "C" void __stdcall unpackerEntry() {
    char* argument = const_cast<char*>(skipProgramName(GetCommandLineA()));
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    ExitProcess(static_cast<UINT>(WinMain(instance, nullptr, argument, 0)));
}
