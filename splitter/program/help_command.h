// The splitter's help: a plain-text file beside the program, opened in Notepad, which every
// Windows has. Portable: the window side only checks the file and runs the command.
#pragma once

#include <stddef.h>

extern const char kHelpViewer[];    // "notepad.exe"
extern const char kHelpFileName[];  // "dravnik-help.txt"

// The help file's path: the folder of exePath (a Windows path, so up to its last backslash)
// and kHelpFileName, into out (outSize bytes). A path without a folder gives the name alone.
// False (out emptied) when it does not fit.
bool helpFilePath(const char* exePath, char* out, size_t outSize);

// The viewer's command line for helpPath: `notepad.exe "helpPath"`, the path always quoted so
// that blanks reach the viewer as one argument. False (out emptied) when it does not fit.
bool helpCommandLine(const char* helpPath, char* out, size_t outSize);
