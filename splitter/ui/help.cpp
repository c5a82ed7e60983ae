// Help: the plain-text help file beside the splitter, opened in Notepad.
#include <windows.h>
#include <stdio.h>

#include "archive/format.h"
#include "platform/platform.h"
#include "splitter/program/help_command.h"
#include "splitter/ui/dialogs.h"
#include "splitter/ui/main_window.h"

namespace {

const char kTextNoHelpFile[] = "Не найден файл справки %s";
const char kTextNoHelpViewer[] = "Не удалось открыть справку: не запускается %s";

void tellHelpFault(const char* format, const char* name) {
    char text[kPathBufferSize + 64];
    snprintf(text, sizeof text, format, name);
    MessageBoxA(gMainWindow, text, kCaptionRefusal, MB_ICONERROR);
}

}  // namespace

void openHelp() {
    char exePath[kPathBufferSize];
    char helpPath[kPathBufferSize];
    // A path that cannot be had or does not fit names no file: the help is missing then too.
    if (!platformOwnExecutablePath(exePath, sizeof(exePath)) ||
        !helpFilePath(exePath, helpPath, sizeof(helpPath))) {
        tellHelpFault(kTextNoHelpFile, kHelpFileName);
        return;
    }
    if (!platformFileExists(helpPath) || platformIsFolder(helpPath)) {
        tellHelpFault(kTextNoHelpFile, helpPath);
        return;
    }
    char command[kPathBufferSize + 32];
    // Notepad from the system's folder by its full path, never a program of that name that
    // happens to lie beside the splitter or in the current folder.
    char viewer[MAX_PATH + 32];
    UINT length = GetSystemDirectoryA(viewer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !helpCommandLine(helpPath, command, sizeof(command))) {
        tellHelpFault(kTextNoHelpViewer, kHelpViewer);
        return;
    }
    snprintf(viewer + length, sizeof(viewer) - length, "\\%s", kHelpViewer);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    // Not waited for: the viewer lives on its own.
    if (!CreateProcessA(viewer, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        tellHelpFault(kTextNoHelpViewer, kHelpViewer);
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
