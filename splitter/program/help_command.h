// The command line that starts the help viewer on the help file beside the splitter.
// Portable: the window side only runs it.
#pragma once

#include <stddef.h>

// The help viewer's command and the help file's name.
extern const char kHelpViewer[];    // "winhlp32.exe"
extern const char kHelpFileName[];  // "DRAVNIK.HLP"

// Builds "winhlp32.exe <folder of exePath>DRAVNIK.HLP" into out (outSize bytes). exePath is a
// Windows path, so its folder ends at the last backslash; a path without one names the help
// file alone (the viewer's current folder). The help file's path is put in double quotes when
// it holds a blank or a tab, so that the viewer receives it as one argument. Returns false
// (out emptied) when the command line does not fit.
bool helpCommandLine(const char* exePath, char* out, size_t outSize);
