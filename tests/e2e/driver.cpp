// e2e_driver: a console program that answers the programs' windows the way a user would, so
// that the end-to-end shell tests can drive dravnik.exe and the archives under Wine.
//
//   e2e_driver COMMAND ARGS...        ("e2e_driver help" lists the commands)
//
// A window is named by a selector: "0x1A2B" (a handle that an earlier command printed) or
// "CLASS|TITLE", where an empty part matches anything and '*' in a TITLE stands for any run of
// characters ("#32770|:-(", "Dravnik|", "|Распаковка*"). Process names take '*' the same way.
// Only visible top-level windows match.
// Control ids are decimal or 0x-hex; "-" names the window itself.
//
// Texts are printed in UTF-8 (read with the wide calls), one per line, so that the shell can
// compare them with the programs' Russian texts. Exit codes: 0 done, 1 failed or timed out
// (with a message on standard error), 2 usage.
//
// Time limits: a TIMEOUT given is seconds for an unloaded machine and is multiplied by E2E_SLOW;
// without one, a wait takes E2E_WAIT seconds at most and a watch for something that must not
// happen lasts E2E_QUIET seconds (tests/e2e/lib.sh sets all three, already scaled). The
// driver's own limits (a dialog closing after its button, a sent message) scale the same way.
//
// To add a command: write `int cmdSomething(int argc, wchar_t** argv)` and add a row to
// kCommands at the end of this file.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

namespace {

constexpr double kDefaultWait = 60.0;  // seconds, without E2E_WAIT
constexpr double kDefaultQuiet = 3.0;  // seconds, without E2E_QUIET
constexpr DWORD kPollMs = 100;
constexpr double kSendTimeout = 5.0;         // seconds for one sent message, times E2E_SLOW
constexpr int kOpenFileNameComboId = 0x47c;  // the file-name ComboBoxEx32 of the open dialog
constexpr int kMessageBoxTextId = 0xFFFF;

// ---------------------------------------------------------------------------------------------
// Output

void writeUtf8(HANDLE out, const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) {
        return;
    }
    char* buffer = static_cast<char*>(malloc(bytes));
    if (buffer == nullptr) {
        return;
    }
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(out, buffer, bytes - 1, &written, nullptr);
    free(buffer);
}

void print(const wchar_t* format, ...) {
    wchar_t buffer[4096];
    va_list args;
    va_start(args, format);
    _vsnwprintf(buffer, 4095, format, args);
    va_end(args);
    buffer[4095] = 0;
    writeUtf8(GetStdHandle(STD_OUTPUT_HANDLE), buffer);
}

// Prints a message on standard error and returns 1, the failure exit code.
int fail(const wchar_t* format, ...) {
    wchar_t buffer[4096];
    va_list args;
    va_start(args, format);
    _vsnwprintf(buffer, 4095, format, args);
    va_end(args);
    buffer[4095] = 0;
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    writeUtf8(err, L"e2e_driver: ");
    writeUtf8(err, buffer);
    writeUtf8(err, L"\n");
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Time limits

// A positive number of seconds from the environment, or `fallback`.
double environmentSeconds(const wchar_t* name, double fallback) {
    wchar_t text[64];
    DWORD length = GetEnvironmentVariableW(name, text, 64);
    if (length == 0 || length >= 64) {
        return fallback;
    }
    double value = _wtof(text);
    return value > 0 ? value : fallback;
}

double slowFactor() {
    static const double factor = environmentSeconds(L"E2E_SLOW", 1.0);
    return factor;
}

double defaultWait() {
    static const double seconds = environmentSeconds(L"E2E_WAIT", kDefaultWait * slowFactor());
    return seconds;
}

double defaultQuiet() {
    static const double seconds = environmentSeconds(L"E2E_QUIET", kDefaultQuiet * slowFactor());
    return seconds;
}

UINT sendTimeoutMs() {
    return static_cast<UINT>(kSendTimeout * slowFactor() * 1000);
}

DWORD millis(double seconds) {
    return static_cast<DWORD>(seconds * 1000);
}

// The TIMEOUT argument at `index`, scaled, or `fallback` (already scaled) without one.
double parseSeconds(int argc, wchar_t** argv, int index, double fallback) {
    if (index < argc) {
        double seconds = _wtof(argv[index]);
        if (seconds > 0) {
            return seconds * slowFactor();
        }
    }
    return fallback;
}

double parseTimeout(int argc, wchar_t** argv, int index) {
    return parseSeconds(argc, argv, index, defaultWait());
}

// ---------------------------------------------------------------------------------------------
// Arguments

// Decimal or 0x-hex number; false when the text is not one.
bool parseNumber(const wchar_t* text, long long* value) {
    wchar_t* end = nullptr;
    *value = wcstoll(text, &end, 0);
    return end != text && *end == 0;
}

struct Selector {
    HWND handle;
    wchar_t className[256];
    wchar_t title[512];
};

bool parseSelector(const wchar_t* text, Selector* selector) {
    ZeroMemory(selector, sizeof *selector);
    if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        long long value = 0;
        if (!parseNumber(text, &value)) {
            return false;
        }
        selector->handle = reinterpret_cast<HWND>(static_cast<intptr_t>(value));
        return true;
    }
    const wchar_t* bar = wcschr(text, L'|');
    if (bar == nullptr) {
        return false;
    }
    size_t classLength = static_cast<size_t>(bar - text);
    if (classLength >= 256 || wcslen(bar + 1) >= 512) {
        return false;
    }
    wcsncpy(selector->className, text, classLength);
    wcscpy(selector->title, bar + 1);
    return true;
}

// Glob match in which '*' stands for any run of characters (none included). An empty pattern
// matches everything.
bool textMatches(const wchar_t* pattern, const wchar_t* text) {
    if (*pattern == 0) {
        return true;
    }
    const wchar_t* star = nullptr;  // last '*' seen, and where the text stood then
    const wchar_t* resume = nullptr;
    while (*text != 0) {
        if (*pattern == L'*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == *text) {
            ++pattern;
            ++text;
        } else if (star != nullptr) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*') {
        ++pattern;
    }
    return *pattern == 0;
}

// ---------------------------------------------------------------------------------------------
// Finding windows

typedef bool (*WindowTest)(HWND window, const void* context);

struct FindState {
    WindowTest test;
    const void* context;
    HWND found;
};

BOOL CALLBACK findTopLevelProc(HWND window, LPARAM param) {
    FindState* state = reinterpret_cast<FindState*>(param);
    if (IsWindowVisible(window) && state->test(window, state->context)) {
        state->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND findTopLevel(WindowTest test, const void* context) {
    FindState state = {test, context, nullptr};
    EnumWindows(findTopLevelProc, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

// Polls until a visible top-level window passes the test or the time is up.
HWND waitTopLevel(WindowTest test, const void* context, double seconds) {
    DWORD limit = millis(seconds);
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = findTopLevel(test, context);
        if (window != nullptr || GetTickCount() - start >= limit) {
            return window;
        }
        Sleep(kPollMs);
    }
}

bool matchesSelector(HWND window, const void* context) {
    const Selector* selector = static_cast<const Selector*>(context);
    wchar_t className[256];
    wchar_t title[512];
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, title, 512);
    return (selector->className[0] == 0 || wcscmp(selector->className, className) == 0) &&
           textMatches(selector->title, title);
}

// The window a selector names: the handle itself (when it still exists) or the first match.
HWND resolve(const Selector& selector) {
    if (selector.handle != nullptr) {
        return IsWindow(selector.handle) ? selector.handle : nullptr;
    }
    return findTopLevel(matchesSelector, &selector);
}

HWND waitSelector(const Selector& selector, double seconds) {
    if (selector.handle != nullptr) {
        return IsWindow(selector.handle) ? selector.handle : nullptr;
    }
    return waitTopLevel(matchesSelector, &selector, seconds);
}

struct ChildSearch {
    const wchar_t* className;  // null: any class
    int id;                    // -1: any id
    HWND found;
};

BOOL CALLBACK findChildProc(HWND window, LPARAM param) {
    ChildSearch* search = reinterpret_cast<ChildSearch*>(param);
    wchar_t className[256];
    GetClassNameW(window, className, 256);
    if ((search->className == nullptr || lstrcmpiW(search->className, className) == 0) &&
        (search->id < 0 || GetDlgCtrlID(window) == search->id)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// First descendant (at any depth) of the given class and/or id.
HWND findDescendant(HWND parent, const wchar_t* className, int id) {
    ChildSearch search = {className, id, nullptr};
    EnumChildWindows(parent, findChildProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool isClass(HWND window, const wchar_t* name) {
    wchar_t className[256];
    GetClassNameW(window, className, 256);
    return wcscmp(className, name) == 0;
}

bool isFolderBrowser(HWND window, const void*) {
    return isClass(window, L"#32770") && findDescendant(window, L"SysTreeView32", -1) != nullptr;
}

bool isOpenFileDialog(HWND window, const void*) {
    return isClass(window, L"#32770") &&
           findDescendant(window, L"ComboBoxEx32", kOpenFileNameComboId) != nullptr;
}

// A message box: a dialog with the given caption that is neither of the two dialogs above.
bool isMessageBox(HWND window, const void* context) {
    const wchar_t* caption = static_cast<const wchar_t*>(context);
    wchar_t title[512];
    GetWindowTextW(window, title, 512);
    return isClass(window, L"#32770") && textMatches(caption, title) &&
           !isFolderBrowser(window, nullptr) && !isOpenFileDialog(window, nullptr);
}

// Resolves "SEL ID" arguments to a control (or the window itself for "-").
HWND resolveControl(const wchar_t* selectorText, const wchar_t* idText, double seconds) {
    Selector selector;
    if (!parseSelector(selectorText, &selector)) {
        fail(L"bad window selector '%ls' (want 0xHANDLE or CLASS|TITLE)", selectorText);
        return nullptr;
    }
    HWND window = waitSelector(selector, seconds);
    if (window == nullptr) {
        fail(L"no window '%ls'", selectorText);
        return nullptr;
    }
    if (wcscmp(idText, L"-") == 0) {
        return window;
    }
    long long id = 0;
    if (!parseNumber(idText, &id)) {
        fail(L"bad control id '%ls'", idText);
        return nullptr;
    }
    HWND control = findDescendant(window, nullptr, static_cast<int>(id));
    if (control == nullptr) {
        fail(L"window '%ls' has no control %lld", selectorText, id);
    }
    return control;
}

// ---------------------------------------------------------------------------------------------
// Talking to windows of other processes

// Sends a message to a window of another process and waits for the answer. A busy or starved
// program (a dialog filling its folder list on a loaded machine) may not answer within one
// send's limit, or count as hung for a while: try again until it answers, the window goes, or
// the default wait is over. False when it never answered.
bool sendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    DWORD limit = millis(defaultWait());
    DWORD start = GetTickCount();
    for (;;) {
        if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, sendTimeoutMs(),
                                result) != 0) {
            return true;
        }
        if (!IsWindow(window) || GetTickCount() - start >= limit) {
            return false;
        }
        Sleep(kPollMs);
    }
}

// Window text through WM_GETTEXT (the system copies it across processes).
void windowText(HWND window, wchar_t* out, int size) {
    out[0] = 0;
    DWORD_PTR result = 0;
    sendToWindow(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(out), &result);
    out[size - 1] = 0;
}

bool setWindowText(HWND window, const wchar_t* text) {
    DWORD_PTR result = 0;
    return sendToWindow(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), &result) != 0;
}

// Presses a button the way a click does. Posted, because the owner may open a modal window
// while it handles the click and a sent message would not return before that closes.
void pressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button != nullptr) {
        PostMessageW(button, BM_CLICK, 0, 0);
    } else {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
}

bool waitGone(HWND window, double seconds) {
    DWORD limit = millis(seconds);
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start >= limit) {
            return false;
        }
        Sleep(kPollMs);
    }
    return true;
}

// A block of memory inside the process that owns a window, for messages whose pointers the
// system does not copy across processes (tree-view items, BFFM_SETSELECTIONA).
struct RemoteMemory {
    HANDLE process = nullptr;
    char* base = nullptr;
    size_t size = 0;

    bool open(HWND window, size_t bytes) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process = OpenProcess(
            PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
            FALSE, pid);
        if (process == nullptr) {
            return false;
        }
        base = static_cast<char*>(
            VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        size = bytes;
        return base != nullptr;
    }
    bool write(size_t offset, const void* data, size_t bytes) {
        SIZE_T done = 0;
        return WriteProcessMemory(process, base + offset, data, bytes, &done) && done == bytes;
    }
    bool read(size_t offset, void* data, size_t bytes) {
        SIZE_T done = 0;
        return ReadProcessMemory(process, base + offset, data, bytes, &done) && done == bytes;
    }
    ~RemoteMemory() {
        if (base != nullptr) {
            VirtualFreeEx(process, base, 0, MEM_RELEASE);
        }
        if (process != nullptr) {
            CloseHandle(process);
        }
    }
};

// Text of one tree item, read through memory in the tree's process.
bool treeItemText(HWND tree, RemoteMemory& remote, LPARAM item, wchar_t* out, int size) {
    out[0] = 0;
    constexpr size_t kItemOffset = 1024;
    constexpr size_t kTextOffset = 2048;
    TVITEMW request;
    ZeroMemory(&request, sizeof request);
    request.mask = TVIF_TEXT;
    request.hItem = reinterpret_cast<HTREEITEM>(item);
    request.pszText = reinterpret_cast<wchar_t*>(remote.base + kTextOffset);
    request.cchTextMax = size;
    wchar_t empty = 0;
    if (!remote.write(kItemOffset, &request, sizeof request) ||
        !remote.write(kTextOffset, &empty, sizeof empty)) {
        return false;
    }
    DWORD_PTR result = 0;
    sendToWindow(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.base + kItemOffset),
                 &result);
    if (!remote.read(kTextOffset, out, size * sizeof(wchar_t))) {
        return false;
    }
    out[size - 1] = 0;
    return true;
}

// Text of the tree's selected item; false when nothing is selected.
bool selectedTreeText(HWND tree, RemoteMemory& remote, wchar_t* out, int size) {
    out[0] = 0;
    LPARAM item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    return item != 0 && treeItemText(tree, remote, item, out, size);
}

LPARAM treeNext(HWND tree, LPARAM item, WPARAM which) {
    return SendMessageW(tree, TVM_GETNEXTITEM, which, item);
}

// Expands the item (the browser fills its folders on the first expansion) and gives its first
// child, or 0.
LPARAM expandedChild(HWND tree, LPARAM item) {
    DWORD_PTR result = 0;
    sendToWindow(tree, TVM_EXPAND, TVE_EXPAND, item, &result);
    return treeNext(tree, item, TVGN_CHILD);
}

// Child of the item whose text equals the name (case-insensitive), or ends in it when
// `suffix`; 0 when there is none.
LPARAM childNamed(HWND tree, RemoteMemory& remote, LPARAM item, const wchar_t* name, bool suffix) {
    size_t nameLength = wcslen(name);
    wchar_t text[MAX_PATH];
    for (LPARAM child = expandedChild(tree, item); child != 0;
         child = treeNext(tree, child, TVGN_NEXT)) {
        if (!treeItemText(tree, remote, child, text, MAX_PATH)) {
            continue;
        }
        size_t length = wcslen(text);
        if (suffix ? length >= nameLength && lstrcmpiW(text + length - nameLength, name) == 0
                   : lstrcmpiW(text, name) == 0) {
            return child;
        }
    }
    return 0;
}

// Selects "X:\a\b" in the tree by names: the drive item "(X:)" under one of the root's
// children (the computer), then each folder below it.
bool selectByNames(HWND tree, RemoteMemory& remote, const wchar_t* path) {
    if (wcslen(path) < 2 || path[1] != L':') {
        return false;
    }
    wchar_t drive[] = {L'(', path[0], L':', L')', 0};
    LPARAM item = 0;
    LPARAM root = treeNext(tree, 0, TVGN_ROOT);
    for (LPARAM top = expandedChild(tree, root); top != 0 && item == 0;
         top = treeNext(tree, top, TVGN_NEXT)) {
        item = childNamed(tree, remote, top, drive, true);
    }
    wchar_t rest[MAX_PATH * 2];
    wcsncpy(rest, path + 2, MAX_PATH * 2 - 1);
    rest[MAX_PATH * 2 - 1] = 0;
    wchar_t* context = nullptr;
    for (wchar_t* name = wcstok_s(rest, L"\\", &context); name != nullptr && item != 0;
         name = wcstok_s(nullptr, L"\\", &context)) {
        item = childNamed(tree, remote, item, name, false);
    }
    if (item == 0) {
        return false;
    }
    DWORD_PTR result = 0;
    sendToWindow(tree, TVM_ENSUREVISIBLE, 0, item, &result);
    return sendToWindow(tree, TVM_SELECTITEM, TVGN_CARET, item, &result) != 0;
}

// The last component of a Windows path ("Z:\a\b c\" gives "b c"); empty for a drive root.
void lastComponent(const wchar_t* path, wchar_t* out, size_t size) {
    wchar_t copy[MAX_PATH * 2];
    wcsncpy(copy, path, MAX_PATH * 2 - 1);
    copy[MAX_PATH * 2 - 1] = 0;
    size_t length = wcslen(copy);
    while (length > 0 && copy[length - 1] == L'\\') {
        copy[--length] = 0;
    }
    const wchar_t* slash = wcsrchr(copy, L'\\');
    const wchar_t* name = slash != nullptr ? slash + 1 : copy;
    if (wcschr(name, L':') != nullptr) {
        name = L"";
    }
    wcsncpy(out, name, size - 1);
    out[size - 1] = 0;
}

// Prints the dialog's non-empty static texts (its title and prompts), one per line.
BOOL CALLBACK printStaticProc(HWND window, LPARAM) {
    if (isClass(window, L"Static") && IsWindowVisible(window)) {
        wchar_t text[1024];
        windowText(window, text, 1024);
        if (text[0] != 0) {
            print(L"%ls\n", text);
        }
    }
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Commands

// wait SEL [TIMEOUT]: waits for the window, prints its handle.
int cmdWait(int argc, wchar_t** argv) {
    Selector selector;
    if (!parseSelector(argv[0], &selector)) {
        return fail(L"bad window selector '%ls'", argv[0]);
    }
    double seconds = parseTimeout(argc, argv, 1);
    HWND window = waitSelector(selector, seconds);
    if (window == nullptr) {
        return fail(L"no window '%ls' within %.1f s", argv[0], seconds);
    }
    print(L"0x%llX\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return 0;
}

// wait-gone SEL [TIMEOUT]: waits until no such window is visible.
int cmdWaitGone(int argc, wchar_t** argv) {
    Selector selector;
    if (!parseSelector(argv[0], &selector)) {
        return fail(L"bad window selector '%ls'", argv[0]);
    }
    double seconds = parseTimeout(argc, argv, 1);
    DWORD limit = millis(seconds);
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = resolve(selector);
        if (window == nullptr || !IsWindowVisible(window)) {
            return 0;
        }
        if (GetTickCount() - start >= limit) {
            return fail(L"window '%ls' still there after %.1f s", argv[0], seconds);
        }
        Sleep(kPollMs);
    }
}

// Handle, class and title of a window, for messages.
void describeWindow(HWND window, wchar_t* out, size_t size) {
    wchar_t className[256];
    wchar_t title[512];
    GetClassNameW(window, className, 256);
    windowText(window, title, 512);
    _snwprintf(out, size, L"0x%llX %ls '%ls'",
               static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), className,
               title);
    out[size - 1] = 0;
}

// no-window SEL [TIMEOUT]: watches for TIMEOUT (the quiet period by default) that no such
// window is visible; fails at once, naming it, when one is or appears.
int cmdNoWindow(int argc, wchar_t** argv) {
    Selector selector;
    if (!parseSelector(argv[0], &selector)) {
        return fail(L"bad window selector '%ls'", argv[0]);
    }
    double seconds = parseSeconds(argc, argv, 1, defaultQuiet());
    DWORD limit = millis(seconds);
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = resolve(selector);
        if (window != nullptr && IsWindowVisible(window)) {
            wchar_t description[1024];
            describeWindow(window, description, 1024);
            wchar_t text[1024] = L"";
            HWND label = GetDlgItem(window, kMessageBoxTextId);
            if (label != nullptr) {
                windowText(label, text, 1024);
            }
            return fail(L"window %ls after %.1f of %.1f s%ls%ls", description,
                        (GetTickCount() - start) / 1000.0, seconds, text[0] != 0 ? L": " : L"",
                        text);
        }
        if (GetTickCount() - start >= limit) {
            return 0;
        }
        Sleep(kPollMs);
    }
}

// text SEL ID: prints a control's (or the window's) text, read once: for a state that may still
// change, use wait-text.
int cmdText(int, wchar_t** argv) {
    HWND control = resolveControl(argv[0], argv[1], 0);
    if (control == nullptr) {
        return 1;
    }
    wchar_t text[4096];
    windowText(control, text, 4096);
    print(L"%ls\n", text);
    return 0;
}

// wait-text SEL ID TEXT [TIMEOUT]: waits until the text matches (TEXT may hold '*').
int cmdWaitText(int argc, wchar_t** argv) {
    double seconds = parseTimeout(argc, argv, 3);
    HWND control = resolveControl(argv[0], argv[1], seconds);
    if (control == nullptr) {
        return 1;
    }
    DWORD limit = millis(seconds);
    DWORD start = GetTickCount();
    wchar_t text[4096];
    for (;;) {
        windowText(control, text, 4096);
        if (textMatches(argv[2], text)) {
            print(L"%ls\n", text);
            return 0;
        }
        if (GetTickCount() - start >= limit || !IsWindow(control)) {
            return fail(L"text is '%ls', not '%ls', after %.1f s", text, argv[2], seconds);
        }
        Sleep(kPollMs);
    }
}

// keeps-text SEL ID TEXT [TIMEOUT]: watches for TIMEOUT (the quiet period by default) that the
// text keeps matching TEXT; fails at once when it does not.
int cmdKeepsText(int argc, wchar_t** argv) {
    double seconds = parseSeconds(argc, argv, 3, defaultQuiet());
    HWND control = resolveControl(argv[0], argv[1], 0);
    if (control == nullptr) {
        return 1;
    }
    DWORD limit = millis(seconds);
    DWORD start = GetTickCount();
    wchar_t text[4096];
    for (;;) {
        windowText(control, text, 4096);
        if (!IsWindow(control) || !textMatches(argv[2], text)) {
            return fail(L"text is '%ls', not '%ls', after %.1f of %.1f s", text, argv[2],
                        (GetTickCount() - start) / 1000.0, seconds);
        }
        if (GetTickCount() - start >= limit) {
            return 0;
        }
        Sleep(kPollMs);
    }
}

// set-text SEL ID TEXT: sets a control's text with WM_SETTEXT.
int cmdSetText(int, wchar_t** argv) {
    HWND control = resolveControl(argv[0], argv[1], 0);
    if (control == nullptr) {
        return 1;
    }
    return setWindowText(control, argv[2]) ? 0 : fail(L"WM_SETTEXT failed");
}

// click SEL ID: presses a button (posted BM_CLICK).
int cmdClick(int, wchar_t** argv) {
    HWND control = resolveControl(argv[0], argv[1], 0);
    if (control == nullptr) {
        return 1;
    }
    PostMessageW(control, BM_CLICK, 0, 0);
    return 0;
}

// close SEL: asks the window to close (posted WM_CLOSE), as its close box does.
int cmdClose(int, wchar_t** argv) {
    Selector selector;
    if (!parseSelector(argv[0], &selector)) {
        return fail(L"bad window selector '%ls'", argv[0]);
    }
    HWND window = resolve(selector);
    if (window == nullptr) {
        return fail(L"no window '%ls'", argv[0]);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}

// command SEL ID [CODE]: posts WM_COMMAND (ID, CODE) to the window.
int cmdCommand(int argc, wchar_t** argv) {
    Selector selector;
    if (!parseSelector(argv[0], &selector)) {
        return fail(L"bad window selector '%ls'", argv[0]);
    }
    HWND window = resolve(selector);
    long long id = 0;
    long long code = 0;
    if (window == nullptr) {
        return fail(L"no window '%ls'", argv[0]);
    }
    if (!parseNumber(argv[1], &id) || (argc > 2 && !parseNumber(argv[2], &code))) {
        return fail(L"bad command id or code");
    }
    HWND control = findDescendant(window, nullptr, static_cast<int>(id));
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
    return 0;
}

struct KeyName {
    const wchar_t* name;
    UINT key;
};

const KeyName kKeyNames[] = {
    {L"RETURN", VK_RETURN}, {L"ENTER", VK_RETURN}, {L"ESCAPE", VK_ESCAPE}, {L"ESC", VK_ESCAPE},
    {L"TAB", VK_TAB},       {L"F1", VK_F1},        {L"SPACE", VK_SPACE},   {L"DOWN", VK_DOWN},
    {L"UP", VK_UP},         {L"BACK", VK_BACK},    {L"DELETE", VK_DELETE},
};

// key SEL ID KEY...: posts key presses (WM_KEYDOWN, WM_KEYUP) to a control, as typed keys
// arrive: through the target's message loop. KEY is a name above, a letter, or a number.
// The virtual key a KEY argument names (a name above, a letter, or a number); 0 when none.
UINT keyCode(const wchar_t* name) {
    for (const KeyName& entry : kKeyNames) {
        if (lstrcmpiW(entry.name, name) == 0) {
            return entry.key;
        }
    }
    long long number = 0;
    if (wcslen(name) == 1) {
        return static_cast<UINT>(towupper(name[0]));
    }
    if (parseNumber(name, &number)) {
        return static_cast<UINT>(number);
    }
    return 0;
}

void postKey(HWND control, UINT key) {
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(control, WM_KEYDOWN, key, scan | 1);
    PostMessageW(control, WM_KEYUP, key, scan | 1 | (3u << 30));
    Sleep(50);
}

int cmdKey(int argc, wchar_t** argv) {
    HWND control = resolveControl(argv[0], argv[1], 0);
    if (control == nullptr) {
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        UINT key = keyCode(argv[i]);
        if (key == 0) {
            return fail(L"unknown key '%ls'", argv[i]);
        }
        postKey(control, key);
    }
    return 0;
}

// type SEL ID TEXT: posts the characters of TEXT as WM_CHAR, as typing them would.
int cmdType(int, wchar_t** argv) {
    HWND control = resolveControl(argv[0], argv[1], 0);
    if (control == nullptr) {
        return 1;
    }
    for (const wchar_t* c = argv[2]; *c != 0; ++c) {
        PostMessageW(control, WM_CHAR, *c, 1);
    }
    return 0;
}

// items SEL ID: prints a combo box's list entries, one per line (wide messages: the ANSI ones
// come back in UTF-16 across processes under Wine).
int cmdItems(int, wchar_t** argv) {
    HWND control = resolveControl(argv[0], argv[1], 0);
    if (control == nullptr) {
        return 1;
    }
    LRESULT count = SendMessageW(control, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[1024];
        text[0] = 0;
        if (SendMessageW(control, CB_GETLBTEXTLEN, i, 0) < 1024) {
            SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        }
        print(L"%ls\n", text);
    }
    return 0;
}

// windows: lists the visible top-level windows (handle, class, process id, title).
BOOL CALLBACK listWindowProc(HWND window, LPARAM) {
    if (IsWindowVisible(window)) {
        wchar_t className[256];
        wchar_t title[512];
        DWORD pid = 0;
        GetClassNameW(window, className, 256);
        windowText(window, title, 512);
        GetWindowThreadProcessId(window, &pid);
        print(L"0x%llX\t%ls\t%lu\t%ls\n",
              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), className, pid,
              title);
    }
    return TRUE;
}

int cmdWindows(int, wchar_t**) {
    EnumWindows(listWindowProc, 0);
    return 0;
}

// children SEL: lists a window's descendants (handle, class, id, text).
BOOL CALLBACK listChildProc(HWND window, LPARAM) {
    wchar_t className[256];
    wchar_t text[512];
    GetClassNameW(window, className, 256);
    windowText(window, text, 512);
    print(L"0x%llX\t%ls\t%d\t%ls\n",
          static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), className,
          GetDlgCtrlID(window), text);
    return TRUE;
}

int cmdChildren(int argc, wchar_t** argv) {
    Selector selector;
    if (!parseSelector(argv[0], &selector)) {
        return fail(L"bad window selector '%ls'", argv[0]);
    }
    HWND window = waitSelector(selector, parseTimeout(argc, argv, 1));
    if (window == nullptr) {
        return fail(L"no window '%ls'", argv[0]);
    }
    EnumChildWindows(window, listChildProc, 0);
    return 0;
}

struct ButtonName {
    const wchar_t* name;
    int id;
};

const ButtonName kButtonNames[] = {
    {L"ok", IDOK}, {L"cancel", IDCANCEL}, {L"yes", IDYES}, {L"no", IDNO}, {L"none", 0},
};

// msgbox CAPTION [BUTTON] [TIMEOUT]: waits for a message box with that caption, prints its
// text, and presses BUTTON (ok, cancel, yes, no, a number, or none: leave it open).
int cmdMessageBox(int argc, wchar_t** argv) {
    int button = 0;
    if (argc > 1) {
        long long number = 0;
        button = -1;
        for (const ButtonName& entry : kButtonNames) {
            if (lstrcmpiW(entry.name, argv[1]) == 0) {
                button = entry.id;
            }
        }
        if (button < 0 && parseNumber(argv[1], &number)) {
            button = static_cast<int>(number);
        }
        if (button < 0) {
            return fail(L"unknown button '%ls'", argv[1]);
        }
    }
    double seconds = parseTimeout(argc, argv, 2);
    HWND box = waitTopLevel(isMessageBox, argv[0], seconds);
    if (box == nullptr) {
        return fail(L"no message box '%ls' within %.1f s", argv[0], seconds);
    }
    wchar_t text[4096];
    HWND label = GetDlgItem(box, kMessageBoxTextId);
    if (label != nullptr) {
        windowText(label, text, 4096);
        print(L"%ls\n", text);
    } else {
        EnumChildWindows(box, printStaticProc, 0);
    }
    if (button != 0) {
        if (GetDlgItem(box, button) == nullptr) {
            return fail(L"message box '%ls' has no button %d", argv[0], button);
        }
        pressButton(box, button);
        if (!waitGone(box, defaultWait())) {
            return fail(L"message box '%ls' did not close", argv[0]);
        }
    }
    return 0;
}

// Prints the folder browser's title text and selects the folder (a Windows path) in its tree.
// 0, or the exit code of the failure (already told).
int selectFolder(HWND dialog, const wchar_t* pathText, double seconds) {
    EnumChildWindows(dialog, printStaticProc, 0);
    HWND tree = findDescendant(dialog, L"SysTreeView32", -1);
    char path[MAX_PATH * 2];
    if (WideCharToMultiByte(CP_ACP, 0, pathText, -1, path, sizeof path, nullptr, nullptr) == 0) {
        return fail(L"path too long");
    }
    wchar_t expected[MAX_PATH];
    lastComponent(pathText, expected, MAX_PATH);
    RemoteMemory remote;
    if (!remote.open(dialog, 4096) || !remote.write(0, path, strlen(path) + 1)) {
        return fail(L"cannot reach the folder browser's memory");
    }
    // BFFM_SETSELECTIONA is what a program would use. Wine's browser then walks its tree
    // comparing each level's item with the path's, access times included, and fills a level
    // only once, so a folder read in between never matches again. Then walk the tree by the
    // folder names instead.
    wchar_t selected[MAX_PATH];
    DWORD_PTR result = 0;
    SendMessageTimeoutA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remote.base),
                        SMTO_ABORTIFHUNG, millis(seconds), &result);
    bool chosen = selectedTreeText(tree, remote, selected, MAX_PATH) &&
                  (expected[0] == 0 || lstrcmpiW(selected, expected) == 0);
    if (!chosen && !selectByNames(tree, remote, pathText)) {
        return fail(L"folder browser cannot select '%ls'", pathText);
    }
    if (!selectedTreeText(tree, remote, selected, MAX_PATH) ||
        (expected[0] != 0 && lstrcmpiW(selected, expected) != 0)) {
        return fail(L"folder browser selects '%ls', not '%ls'", selected, pathText);
    }
    return 0;
}

// browse-folder PATH [TIMEOUT]: in the folder browser, prints its title text, selects PATH
// (a Windows path) and presses OK.
int cmdBrowseFolder(int argc, wchar_t** argv) {
    double seconds = parseTimeout(argc, argv, 1);
    HWND dialog = waitTopLevel(isFolderBrowser, nullptr, seconds);
    if (dialog == nullptr) {
        return fail(L"no folder browser within %.1f s", seconds);
    }
    int status = selectFolder(dialog, argv[0], seconds);
    if (status != 0) {
        return status;
    }
    pressButton(dialog, IDOK);
    return waitGone(dialog, defaultWait()) ? 0 : fail(L"folder browser did not close");
}

void printTreeLevel(HWND tree, RemoteMemory& remote, LPARAM item, int depth) {
    for (; item != 0; item = treeNext(tree, item, TVGN_NEXT)) {
        wchar_t text[MAX_PATH];
        treeItemText(tree, remote, item, text, MAX_PATH);
        print(L"%*ls%ls\n", depth * 2, L"", text);
        printTreeLevel(tree, remote, treeNext(tree, item, TVGN_CHILD), depth + 1);
    }
}

// browse-tree [TIMEOUT]: prints the folder browser's tree as far as it is filled in.
int cmdBrowseTree(int argc, wchar_t** argv) {
    double seconds = parseTimeout(argc, argv, 0);
    HWND dialog = waitTopLevel(isFolderBrowser, nullptr, seconds);
    if (dialog == nullptr) {
        return fail(L"no folder browser within %.1f s", seconds);
    }
    HWND tree = findDescendant(dialog, L"SysTreeView32", -1);
    RemoteMemory remote;
    if (!remote.open(dialog, 4096)) {
        return fail(L"cannot reach the folder browser's memory");
    }
    printTreeLevel(tree, remote, SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0), 0);
    return 0;
}

// browse-cancel [TIMEOUT]: prints the folder browser's title text and cancels it.
int cmdBrowseCancel(int argc, wchar_t** argv) {
    double seconds = parseTimeout(argc, argv, 0);
    HWND dialog = waitTopLevel(isFolderBrowser, nullptr, seconds);
    if (dialog == nullptr) {
        return fail(L"no folder browser within %.1f s", seconds);
    }
    EnumChildWindows(dialog, printStaticProc, 0);
    pressButton(dialog, IDCANCEL);
    return waitGone(dialog, defaultWait()) ? 0 : fail(L"folder browser did not close");
}

// ---------------------------------------------------------------------------------------------
// Stopwatches for bench/: one press and the moment its work is seen done, timed in this one
// process, so that Wine's start-up of the driver stays out of the figure.

// How often a stopwatch looks: each look is one cheap server call, and 2 ms is 0.5 % of the
// 0.4 s that the quickest timed job takes.
constexpr DWORD kStopwatchPollMs = 2;

double secondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// time-browse PATH SEL [TIMEOUT]: picks PATH in the folder browser like browse-folder, then
// prints the seconds from the OK press until the window SEL (the unpacker's) is gone.
int cmdTimeBrowse(int argc, wchar_t** argv) {
    Selector selector;
    if (!parseSelector(argv[1], &selector)) {
        return fail(L"bad window selector '%ls'", argv[1]);
    }
    double seconds = parseTimeout(argc, argv, 2);
    HWND window = waitSelector(selector, seconds);
    if (window == nullptr) {
        return fail(L"no window '%ls'", argv[1]);
    }
    HWND dialog = waitTopLevel(isFolderBrowser, nullptr, seconds);
    if (dialog == nullptr) {
        return fail(L"no folder browser within %.1f s", seconds);
    }
    int status = selectFolder(dialog, argv[0], seconds);
    if (status != 0) {
        return status;
    }
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    pressButton(dialog, IDOK);
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (secondsSince(start) >= seconds) {
            return fail(L"window '%ls' still there after %.1f s", argv[1], seconds);
        }
        Sleep(kStopwatchPollMs);
    }
    print(L"%.3f\n", secondsSince(start));
    return 0;
}

// time-click SEL ID TITLE [TIMEOUT]: presses the button and prints the seconds until the
// window's title is TITLE ('*' allowed), as the splitter's reads "Готово!" after a split.
int cmdTimeClick(int argc, wchar_t** argv) {
    Selector selector;
    if (!parseSelector(argv[0], &selector)) {
        return fail(L"bad window selector '%ls'", argv[0]);
    }
    double seconds = parseTimeout(argc, argv, 3);
    HWND window = waitSelector(selector, seconds);
    HWND button = resolveControl(argv[0], argv[1], seconds);
    if (window == nullptr || button == nullptr) {
        return 1;
    }
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    PostMessageW(button, BM_CLICK, 0, 0);
    // GetWindowTextW reads another process's title without a message: the window's thread
    // is busy with the work being timed.
    wchar_t title[512];
    for (int polls = 1;; ++polls) {
        GetWindowTextW(window, title, 512);
        if (textMatches(argv[2], title)) {
            break;
        }
        if (!IsWindow(window) || secondsSince(start) >= seconds) {
            return fail(L"title of '%ls' is '%ls', not '%ls', after %.1f s", argv[0], title,
                        argv[2], secondsSince(start));
        }
        // An error message ends the wait at once (looked for every 0.1 s only: it takes a
        // walk over all windows).
        HWND error = polls % 50 == 0 ? findTopLevel(isMessageBox, L":-(") : nullptr;
        if (error != nullptr) {
            wchar_t text[1024];
            windowText(GetDlgItem(error, kMessageBoxTextId), text, 1024);
            return fail(L"an error message came instead: %ls", text);
        }
        Sleep(kStopwatchPollMs);
    }
    print(L"%.3f\n", secondsSince(start));
    return 0;
}

// The file-name box of the open dialog: the Edit inside the ComboBoxEx32 with id 0x47c.
HWND openFileNameEdit(HWND dialog) {
    HWND combo = findDescendant(dialog, L"ComboBoxEx32", kOpenFileNameComboId);
    return combo != nullptr ? findDescendant(combo, L"Edit", -1) : nullptr;
}

// open-file PATH [TIMEOUT]: in the open-file dialog, prints the preset file name, types PATH
// into the file-name box and presses OK; fails when the dialog stays open.
int cmdOpenFile(int argc, wchar_t** argv) {
    double seconds = parseTimeout(argc, argv, 1);
    HWND dialog = waitTopLevel(isOpenFileDialog, nullptr, seconds);
    if (dialog == nullptr) {
        return fail(L"no open-file dialog within %.1f s", seconds);
    }
    HWND edit = openFileNameEdit(dialog);
    if (edit == nullptr) {
        return fail(L"the open-file dialog has no file-name box");
    }
    wchar_t preset[1024];
    windowText(edit, preset, 1024);
    print(L"%ls\n", preset);
    if (!setWindowText(edit, argv[0])) {
        return fail(L"cannot set the file name");
    }
    pressButton(dialog, IDOK);
    return waitGone(dialog, defaultWait())
               ? 0
               : fail(L"the open-file dialog did not accept '%ls'", argv[0]);
}

// open-cancel [TIMEOUT]: prints the preset file name and cancels the open-file dialog.
int cmdOpenCancel(int argc, wchar_t** argv) {
    double seconds = parseTimeout(argc, argv, 0);
    HWND dialog = waitTopLevel(isOpenFileDialog, nullptr, seconds);
    if (dialog == nullptr) {
        return fail(L"no open-file dialog within %.1f s", seconds);
    }
    HWND edit = openFileNameEdit(dialog);
    wchar_t preset[1024];
    preset[0] = 0;
    if (edit != nullptr) {
        windowText(edit, preset, 1024);
    }
    print(L"%ls\n", preset);
    pressButton(dialog, IDCANCEL);
    return waitGone(dialog, defaultWait()) ? 0 : fail(L"the open-file dialog did not close");
}

// Counts running processes whose executable name matches (case-insensitive, '*' wildcards).
int countProcesses(const wchar_t* pattern, bool list, bool end = false) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    wchar_t lowered[MAX_PATH];
    wcsncpy(lowered, pattern, MAX_PATH - 1);
    lowered[MAX_PATH - 1] = 0;
    CharLowerW(lowered);
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        CharLowerW(entry.szExeFile);
        if (textMatches(lowered, entry.szExeFile)) {
            ++count;
            if (list) {
                print(L"%lu\t%ls\n", entry.th32ProcessID, entry.szExeFile);
            }
            HANDLE process =
                end ? OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID) : nullptr;
            if (process != nullptr) {
                TerminateProcess(process, 1);
                CloseHandle(process);
            }
        }
    }
    CloseHandle(snapshot);
    return count;
}

// processes [NAME]: lists running processes (id, executable name).
int cmdProcesses(int argc, wchar_t** argv) {
    return countProcesses(argc > 0 ? argv[0] : L"", true) >= 0 ? 0 : fail(L"no process list");
}

// end NAME: ends every process of that executable name at once, as the task manager does
// (TerminateProcess: the program gets no say); prints their ids and names.
int cmdEnd(int, wchar_t** argv) {
    return countProcesses(argv[0], true, true) > 0 ? 0 : fail(L"no process '%ls'", argv[0]);
}

// wait-exit NAME [TIMEOUT]: waits until no process of that executable name runs.
int cmdWaitExit(int argc, wchar_t** argv) {
    double seconds = parseTimeout(argc, argv, 1);
    DWORD limit = millis(seconds);
    DWORD start = GetTickCount();
    for (;;) {
        int count = countProcesses(argv[0], false);
        if (count == 0) {
            return 0;
        }
        if (count < 0 || GetTickCount() - start >= limit) {
            return fail(L"'%ls' still running after %.1f s", argv[0], seconds);
        }
        Sleep(kPollMs);
    }
}

// hold-file PATH SECONDS [RELEASE]: opens the file without sharing, prints "held", keeps it
// open for SECONDS (not scaled: a duration, not a limit) or until the file RELEASE exists, then
// closes it. Run it in the background to make a source busy.
int cmdHoldFile(int argc, wchar_t** argv) {
    HANDLE file = CreateFileW(argv[0], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return fail(L"cannot open '%ls' (error %lu)", argv[0], GetLastError());
    }
    print(L"held\n");
    DWORD limit = millis(_wtof(argv[1]));
    DWORD start = GetTickCount();
    while (GetTickCount() - start < limit) {
        if (argc > 2 && GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES) {
            break;
        }
        DWORD left = limit - (GetTickCount() - start);
        Sleep(argc > 2 && left > kPollMs ? kPollMs : left);
    }
    CloseHandle(file);
    return 0;
}

// temp-path: prints the temporary folder as programs see it (GetTempPathW).
int cmdTempPath(int, wchar_t**) {
    wchar_t path[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, path) == 0) {
        return fail(L"GetTempPathW failed");
    }
    print(L"%ls\n", path);
    return 0;
}

// idle SECONDS: connects to the desktop and sleeps; the tests keep one running so that Wine's
// helper processes (desktop, services) stay up between the short driver calls.
int cmdIdle(int, wchar_t** argv) {
    GetDesktopWindow();
    Sleep(static_cast<DWORD>(_wtof(argv[0]) * 1000));
    return 0;
}

// The child of `window` that holds `control` (a combo box for its edit field), or null.
HWND directChild(HWND window, HWND control) {
    while (control != nullptr && GetParent(control) != window) {
        control = GetParent(control);
    }
    return control;
}

// The id of the window's control that has the keyboard focus, in `out` ("-" when the focus is
// elsewhere); false without thread information.
bool focusedControl(HWND window, wchar_t* out, size_t size) {
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        return false;
    }
    HWND child = directChild(window, info.hwndFocus);
    if (child == nullptr) {
        wcsncpy(out, L"-", size);
    } else {
        _snwprintf(out, size, L"%d", GetDlgCtrlID(child));
    }
    out[size - 1] = 0;
    return true;
}

// focus SEL [ID [TIMEOUT]]: prints the id of the window's control that has the keyboard focus
// (the combo box for its edit field), or "-" when the focus is elsewhere. With ID, waits until
// the focus is there ("*": in any control of the window) and prints it.
int cmdFocus(int argc, wchar_t** argv) {
    double seconds = parseTimeout(argc, argv, 2);
    HWND window = resolveControl(argv[0], L"-", argc > 1 ? seconds : 0);
    if (window == nullptr) {
        return 1;
    }
    long long wanted = 0;
    bool any = argc > 1 && wcscmp(argv[1], L"*") == 0;
    if (argc > 1 && !any && !parseNumber(argv[1], &wanted)) {
        return fail(L"bad control id '%ls'", argv[1]);
    }
    wchar_t wantedText[32];
    _snwprintf(wantedText, 32, L"%lld", wanted);
    wantedText[31] = 0;
    DWORD limit = millis(seconds);
    DWORD start = GetTickCount();
    wchar_t focus[32];
    for (;;) {
        if (!focusedControl(window, focus, 32)) {
            return fail(L"no thread information");
        }
        if (argc < 2 || (any ? wcscmp(focus, L"-") != 0 : wcscmp(focus, wantedText) == 0)) {
            print(L"%ls\n", focus);
            return 0;
        }
        if (GetTickCount() - start >= limit || !IsWindow(window)) {
            return fail(L"the focus is in control %ls, not %ls, after %.1f s", focus, argv[1],
                        seconds);
        }
        Sleep(kPollMs);
    }
}

// set-focus SEL ID: moves the keyboard focus into a control, as a click would.
int cmdSetFocus(int, wchar_t** argv) {
    HWND control = resolveControl(argv[0], argv[1], 0);
    if (control == nullptr) {
        return 1;
    }
    DWORD thread = GetWindowThreadProcessId(control, nullptr);
    AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
    SetFocus(control);
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    return 0;
}

// The window (SEL or one of its descendants) that has the keyboard focus in SEL's thread, or
// null when the focus is elsewhere.
HWND focusedWindow(HWND window) {
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        return nullptr;
    }
    HWND focus = info.hwndFocus;
    return focus == window || IsChild(window, focus) ? focus : nullptr;
}

// press SEL KEY...: posts key presses to whatever has the keyboard focus in the window (for a
// combo box, its edit field), as the keyboard would.
int cmdPress(int argc, wchar_t** argv) {
    HWND window = resolveControl(argv[0], L"-", 0);
    if (window == nullptr) {
        return 1;
    }
    HWND focus = focusedWindow(window);
    if (focus == nullptr) {
        return fail(L"the focus is not in '%ls'", argv[0]);
    }
    for (int i = 1; i < argc; ++i) {
        UINT key = keyCode(argv[i]);
        if (key == 0) {
            return fail(L"unknown key '%ls'", argv[i]);
        }
        postKey(focus, key);
    }
    return 0;
}

// wait-focus SEL ID [TIMEOUT]: waits until the control ID (or the window's control that holds
// the focus inside it, such as a combo box's edit field) has the keyboard focus.
int cmdWaitFocus(int argc, wchar_t** argv) {
    HWND window = resolveControl(argv[0], L"-", 0);
    long long id = 0;
    if (window == nullptr) {
        return 1;
    }
    if (!parseNumber(argv[1], &id)) {
        return fail(L"bad control id '%ls'", argv[1]);
    }
    double seconds = parseTimeout(argc, argv, 2);
    DWORD limit = static_cast<DWORD>(seconds * 1000);
    DWORD start = GetTickCount();
    for (;;) {
        HWND child = directChild(window, focusedWindow(window));
        int now = child != nullptr ? GetDlgCtrlID(child) : -1;
        if (now == id) {
            return 0;
        }
        if (GetTickCount() - start >= limit || !IsWindow(window)) {
            return fail(L"the focus is on %d, not %lld, after %.1f s", now, id, seconds);
        }
        Sleep(kPollMs);
    }
}

// answers SEL [SECONDS]: the window's thread answers a sent message (WM_NULL) within SECONDS
// (default 2): it is serving its messages, not stuck in work.
int cmdAnswers(int argc, wchar_t** argv) {
    HWND window = resolveControl(argv[0], L"-", 0);
    if (window == nullptr) {
        return 1;
    }
    double seconds = parseSeconds(argc, argv, 1, 2.0 * slowFactor());
    DWORD_PTR result = 0;
    DWORD start = GetTickCount();
    if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, millis(seconds), &result) == 0) {
        return fail(L"the window did not answer within %.1f s", seconds);
    }
    print(L"%.2f\n", (GetTickCount() - start) / 1000.0);
    return 0;
}

LRESULT CALLBACK coverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// cover SEL SECONDS: puts a black window of the driver's own over the window for SECONDS,
// then takes it away, so that the window must paint what it uncovers.
int cmdCover(int, wchar_t** argv) {
    HWND window = resolveControl(argv[0], L"-", 0);
    if (window == nullptr) {
        return 1;
    }
    RECT rect;
    if (!GetWindowRect(window, &rect)) {
        return fail(L"no window rectangle");
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = coverProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"e2e_cover";
    RegisterClassW(&wc);
    HWND cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"e2e_cover", L"e2e_cover",
                                 WS_POPUP | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                                 rect.bottom - rect.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (cover == nullptr) {
        return fail(L"cannot create the cover");
    }
    DWORD start = GetTickCount();
    DWORD limit = millis(parseSeconds(2, argv, 1, 1.0));
    while (GetTickCount() - start < limit) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
        Sleep(20);
    }
    DestroyWindow(cover);
    return 0;
}

// client-origin SEL: prints the screen position of the window's client area ("X Y"), to find
// its pixels in a screenshot of the display.
int cmdClientOrigin(int, wchar_t** argv) {
    HWND window = resolveControl(argv[0], L"-", 0);
    if (window == nullptr) {
        return 1;
    }
    POINT origin = {0, 0};
    if (!ClientToScreen(window, &origin)) {
        return fail(L"no client area");
    }
    print(L"%ld %ld\n", origin.x, origin.y);
    return 0;
}

// Polls query(control) until it gives `expected` (any value when expected is -1) and prints
// the value. Fails when it does not within the timeout.
int waitForState(HWND control, int (*query)(HWND), int expected, double seconds) {
    DWORD limit = millis(seconds);
    DWORD start = GetTickCount();
    for (;;) {
        int value = query(control);
        if (expected < 0 || value == expected) {
            print(L"%d\n", value);
            return 0;
        }
        if (GetTickCount() - start >= limit || !IsWindow(control)) {
            return fail(L"state is %d, not %d, after %.1f s", value, expected, seconds);
        }
        Sleep(kPollMs);
    }
}

int checkState(HWND button) {
    DWORD_PTR result = 0;
    sendToWindow(button, BM_GETCHECK, 0, 0, &result);
    return static_cast<int>(result);
}

int enabledState(HWND control) {
    return IsWindowEnabled(control) ? 1 : 0;
}

// progress SEL: prints the position and the upper limit of the progress bar inside the window,
// as POS/MAX.
int cmdProgress(int, wchar_t** argv) {
    HWND window = resolveControl(argv[0], L"-", 0);
    if (window == nullptr) {
        return 1;
    }
    HWND bar = findDescendant(window, PROGRESS_CLASSW, -1);
    if (bar == nullptr) {
        return fail(L"window '%ls' has no progress bar", argv[0]);
    }
    DWORD_PTR position = 0;
    DWORD_PTR maximum = 0;
    SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, sendTimeoutMs(), &position);
    SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, sendTimeoutMs(), &maximum);
    print(L"%d/%d\n", static_cast<int>(position), static_cast<int>(maximum));
    return 0;
}

// checked SEL ID [STATE [TIMEOUT]]: prints a button's check state (0, 1, 2); with STATE, waits
// until it is that.
int cmdChecked(int argc, wchar_t** argv) {
    HWND control = resolveControl(argv[0], argv[1], 0);
    if (control == nullptr) {
        return 1;
    }
    int expected = argc > 2 ? _wtoi(argv[2]) : -1;
    return waitForState(control, checkState, expected, parseTimeout(argc, argv, 3));
}

// enabled SEL ID [0|1 [TIMEOUT]]: prints 1 for an enabled control, 0 for a disabled one; with a
// value, waits until it is that.
int cmdEnabled(int argc, wchar_t** argv) {
    HWND control = resolveControl(argv[0], argv[1], 0);
    if (control == nullptr) {
        return 1;
    }
    int expected = argc > 2 ? _wtoi(argv[2]) : -1;
    return waitForState(control, enabledState, expected, parseTimeout(argc, argv, 3));
}

// toolbar-click SEL COMMAND: clicks the button of that command on the window's toolbar with the
// mouse messages of a user's click, so that the toolbar itself sends the command.
int cmdToolbarClick(int, wchar_t** argv) {
    HWND window = resolveControl(argv[0], L"-", 0);
    if (window == nullptr) {
        return 1;
    }
    HWND toolbar = findDescendant(window, TOOLBARCLASSNAMEW, -1);
    if (toolbar == nullptr) {
        return fail(L"window '%ls' has no toolbar", argv[0]);
    }
    long long command = 0;
    if (!parseNumber(argv[1], &command)) {
        return fail(L"bad command id '%ls'", argv[1]);
    }
    DWORD_PTR index = 0;
    if (!sendToWindow(toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(command), 0, &index) ||
        static_cast<int>(index) < 0) {
        return fail(L"the toolbar has no button %lld", command);
    }
    RemoteMemory remote;
    RECT rect = {};
    DWORD_PTR done = 0;
    if (!remote.open(toolbar, sizeof(rect)) ||
        !sendToWindow(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote.base),
                      &done) ||
        !done || !remote.read(0, &rect, sizeof(rect))) {
        return fail(L"cannot read the place of toolbar button %lld", command);
    }
    LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageW(toolbar, WM_MOUSEMOVE, 0, point);
    PostMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(toolbar, WM_LBUTTONUP, 0, point);
    return 0;
}

// file-folder [TIMEOUT]: prints the folder that the open or save dialog shows.
int cmdFileFolder(int argc, wchar_t** argv) {
    double seconds = parseTimeout(argc, argv, 0);
    HWND dialog = waitTopLevel(isOpenFileDialog, nullptr, seconds);
    if (dialog == nullptr) {
        return fail(L"no file dialog within %.1f s", seconds);
    }
    // The dialog answers in the character set of the program that opened it.
    const bool wide = IsWindowUnicode(dialog) != FALSE;
    char buffer[MAX_PATH * sizeof(wchar_t)] = {};
    RemoteMemory remote;
    DWORD_PTR length = 0;
    if (!remote.open(dialog, sizeof(buffer)) || !remote.write(0, buffer, sizeof(buffer))) {
        return fail(L"cannot reach the file dialog's memory");
    }
    // The dialog shows before it has settled in its folder: ask until it names one.
    DWORD limit = millis(defaultWait());
    DWORD start = GetTickCount();
    while (!sendToWindow(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(remote.base),
                         &length) ||
           static_cast<LONG_PTR>(length) <= 1) {
        if (!IsWindow(dialog) || GetTickCount() - start >= limit) {
            return fail(L"the file dialog names no folder within %.1f s", defaultWait());
        }
        Sleep(kPollMs);
    }
    if (!remote.read(0, buffer, sizeof(buffer) - sizeof(wchar_t))) {
        return fail(L"cannot read the file dialog's folder");
    }
    wchar_t folder[MAX_PATH + 1] = {};
    if (wide) {
        memcpy(folder, buffer, MAX_PATH * sizeof(wchar_t));
    } else {
        MultiByteToWideChar(CP_ACP, 0, buffer, -1, folder, MAX_PATH);
    }
    print(L"%ls\n", folder);
    return 0;
}

// Run under another name than e2e_driver.exe, the driver stands in for a program that the
// program under test starts (e.g. a copy named winhlp32.exe): it writes the command line it was
// given, in UTF-8, to its own path + ".cmdline" and ends. Returns false for the driver itself.
bool runAsStandIn() {
    wchar_t record[MAX_PATH + 16];
    DWORD length = GetModuleFileNameW(nullptr, record, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    const wchar_t* name = wcsrchr(record, L'\\');
    name = name != nullptr ? name + 1 : record;
    if (lstrcmpiW(name, L"e2e_driver.exe") == 0) {
        return false;
    }
    wcscat(record, L".cmdline");
    HANDLE file = CreateFileW(record, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        writeUtf8(file, GetCommandLineW());
        CloseHandle(file);
    }
    return true;
}

int cmdHelp(int, wchar_t**);

struct Command {
    const wchar_t* name;
    int minArgs;
    int (*run)(int argc, wchar_t** argv);
    const wchar_t* usage;
};

const Command kCommands[] = {
    {L"wait", 1, cmdWait, L"SEL [TIMEOUT]  wait for a window, print its handle"},
    {L"wait-gone", 1, cmdWaitGone, L"SEL [TIMEOUT]  wait until the window is gone"},
    {L"text", 2, cmdText, L"SEL ID  print a control's text now (ID - for the window's title)"},
    {L"wait-text", 3, cmdWaitText, L"SEL ID TEXT [TIMEOUT]  wait until the text matches"},
    {L"keeps-text", 3, cmdKeepsText,
     L"SEL ID TEXT [TIMEOUT]  fail when the text stops matching within the quiet period"},
    {L"no-window", 1, cmdNoWindow,
     L"SEL [TIMEOUT]  fail when the window shows within the quiet period"},
    {L"set-text", 3, cmdSetText, L"SEL ID TEXT  set a control's text (WM_SETTEXT)"},
    {L"click", 2, cmdClick, L"SEL ID  press a button (BM_CLICK)"},
    {L"command", 2, cmdCommand, L"SEL ID [CODE]  post WM_COMMAND to the window"},
    {L"close", 1, cmdClose, L"SEL  post WM_CLOSE to the window (its close box)"},
    {L"key", 3, cmdKey, L"SEL ID KEY...  post key presses (RETURN, ESCAPE, TAB, F1, ...)"},
    {L"type", 3, cmdType, L"SEL ID TEXT  post the characters of TEXT (WM_CHAR)"},
    {L"items", 2, cmdItems, L"SEL ID  print a combo box's list entries"},
    {L"focus", 1, cmdFocus,
     L"SEL [ID|* [TIMEOUT]]  print (or wait for) the control with the keyboard focus"},
    {L"set-focus", 2, cmdSetFocus, L"SEL ID  move the keyboard focus into a control"},
    {L"windows", 0, cmdWindows, L" list visible top-level windows"},
    {L"children", 1, cmdChildren, L"SEL [TIMEOUT]  list a window's controls"},
    {L"msgbox", 1, cmdMessageBox,
     L"CAPTION [ok|cancel|yes|no|none|ID] [TIMEOUT]  print a message box's text, press"},
    {L"browse-folder", 1, cmdBrowseFolder, L"PATH [TIMEOUT]  pick a folder in the browser"},
    {L"browse-tree", 0, cmdBrowseTree, L"[TIMEOUT]  print the folder browser's tree"},
    {L"browse-cancel", 0, cmdBrowseCancel, L"[TIMEOUT]  cancel the folder browser"},
    {L"open-file", 1, cmdOpenFile, L"PATH [TIMEOUT]  confirm the open-file dialog with PATH"},
    {L"open-cancel", 0, cmdOpenCancel, L"[TIMEOUT]  cancel the open-file dialog"},
    {L"processes", 0, cmdProcesses, L"[NAME]  list running processes"},
    {L"wait-exit", 1, cmdWaitExit, L"NAME [TIMEOUT]  wait until no process NAME runs"},
    {L"end", 1, cmdEnd, L"NAME  end every process NAME at once (TerminateProcess)"},
    {L"hold-file", 2, cmdHoldFile,
     L"PATH SECONDS [RELEASE]  hold a file open without sharing (until RELEASE exists)"},
    {L"temp-path", 0, cmdTempPath, L" print the temporary folder"},
    {L"idle", 1, cmdIdle, L"SECONDS  keep Wine's helper processes up"},
    {L"progress", 1, cmdProgress, L"SEL  print the window's progress bar as POS/MAX"},
    {L"checked", 2, cmdChecked, L"SEL ID [STATE [TIMEOUT]]  print (or wait for) a check state"},
    {L"enabled", 2, cmdEnabled, L"SEL ID [0|1 [TIMEOUT]]  print (or wait for) enabled state"},
    {L"toolbar-click", 2, cmdToolbarClick, L"SEL COMMAND  click a toolbar button with the mouse"},
    {L"file-folder", 0, cmdFileFolder, L"[TIMEOUT]  print the open or save dialog's folder"},
    {L"press", 2, cmdPress, L"SEL KEY...  post key presses to the control with the focus"},
    {L"wait-focus", 2, cmdWaitFocus, L"SEL ID [TIMEOUT]  wait until control ID has the focus"},
    {L"client-origin", 1, cmdClientOrigin, L"SEL  print the client area's screen position"},
    {L"answers", 1, cmdAnswers, L"SEL [SECONDS]  fail when the window does not answer in time"},
    {L"cover", 2, cmdCover, L"SEL SECONDS  cover the window with a black one for a while"},
    {L"time-browse", 2, cmdTimeBrowse,
     L"PATH SEL [TIMEOUT]  pick PATH, print seconds until SEL is gone (bench/)"},
    {L"time-click", 3, cmdTimeClick,
     L"SEL ID TITLE [TIMEOUT]  press, print seconds until the title is TITLE (bench/)"},
    {L"help", 0, cmdHelp, L" this list"},
};

int cmdHelp(int, wchar_t**) {
    print(L"usage: e2e_driver COMMAND ARGS...   (SEL: 0xHANDLE or CLASS|TITLE)\n");
    for (const Command& command : kCommands) {
        print(L"  %ls %ls\n", command.name, command.usage);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (runAsStandIn()) {
        return 0;
    }
    if (argc < 2) {
        cmdHelp(0, nullptr);
        return 2;
    }
    for (const Command& command : kCommands) {
        if (wcscmp(command.name, argv[1]) == 0) {
            if (argc - 2 < command.minArgs) {
                fail(L"usage: %ls %ls", command.name, command.usage);
                return 2;
            }
            return command.run(argc - 2, argv + 2);
        }
    }
    fail(L"unknown command '%ls' (try help)", argv[1]);
    return 2;
}
