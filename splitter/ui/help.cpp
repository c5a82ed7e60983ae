// Help: the system's help viewer on DRAVNIK.HLP beside the splitter.
#include <windows.h>

#include "archive/format.h"
#include "platform/platform.h"
#include "splitter/program/help_command.h"
#include "splitter/ui/dialogs.h"

void openHelp() {
    char exePath[kPathBufferSize];
    if (!platformOwnExecutablePath(exePath, sizeof(exePath))) {
        return;  // no path, or a cut one that would name the wrong folder
    }
    // The viewer's name, a blank, two quotes, the folder and the file name.
    char command[kPathBufferSize + 32];
    if (!helpCommandLine(exePath, command, sizeof(command))) {
        return;
    }
    // Not waited for and not checked: a missing viewer or help file is not reported.
    WinExec(command, SW_SHOW);
}
