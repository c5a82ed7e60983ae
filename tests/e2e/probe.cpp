// e2e_probe: a tiny Win32 program that shows the system dialogs the real programs use, so
// that the end-to-end harness and the driver can be checked on their own.
//
//   e2e_probe msgbox         MB_YESNO box ":-(" with a two-line Russian text; prints yes/no
//   e2e_probe browse         folder browser "Куда распаковать файл?"; prints the folder or
//                            "cancelled"
//   e2e_probe open NAME DIR  open-file dialog preset to NAME in DIR; prints the path or
//                            "cancelled"
//
// Exit code 0 when the command ran, 2 on a usage error. Output is in the ANSI code page.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

namespace {

int probeMessageBox() {
    int answer =
        MessageBoxA(nullptr, "Файл уже существует.\nПерезаписать?", ":-(", MB_YESNO | MB_ICONERROR);
    printf("%s\n", answer == IDYES ? "yes" : answer == IDNO ? "no" : "other");
    return 0;
}

int probeBrowse() {
    char name[MAX_PATH * 2] = {0};
    BROWSEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.pszDisplayName = name;
    info.lpszTitle = "Куда распаковать файл?";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    LPITEMIDLIST list = SHBrowseForFolderA(&info);
    if (list == nullptr) {
        printf("cancelled\n");
        return 0;
    }
    char path[MAX_PATH * 2] = {0};
    SHGetPathFromIDListA(list, path);
    CoTaskMemFree(list);
    printf("%s\n", path);
    return 0;
}

int probeOpen(const char* name, const char* folder) {
    char filter[600];
    size_t length = strlen(name);
    if (2 * length + 3 > sizeof filter) {
        return 2;
    }
    memcpy(filter, name, length + 1);
    memcpy(filter + length + 1, name, length + 1);
    filter[2 * length + 2] = 0;
    char path[MAX_PATH] = {0};
    strncpy(path, name, MAX_PATH - 1);
    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = folder;
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&dialog)) {
        printf("cancelled\n");
        return 0;
    }
    printf("%s\n", path);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "msgbox") == 0) {
        return probeMessageBox();
    }
    if (argc >= 2 && strcmp(argv[1], "browse") == 0) {
        return probeBrowse();
    }
    if (argc >= 4 && strcmp(argv[1], "open") == 0) {
        return probeOpen(argv[2], argv[3]);
    }
    fprintf(stderr, "usage: e2e_probe msgbox | browse | open NAME DIR\n");
    return 2;
}
