// The texts that the unpacker's start-up and self-deletion put together: the relaunch command
// line and how the copy reads it back, the names of the temporary copy and of the batch file,
// and the batch file itself. Free of the window system, so that they can be tested natively.
#pragma once

// The argument part of a command line: everything after the program's name (which ends at its
// closing double quote when it starts with one, else at the first blank or tab) and the blanks
// and tabs that follow it.
const char* commandArgument(const char* commandLine);

// Copies the argument into out (size bytes) turning every double quote back into a blank.
// False when it did not fit; out then holds as much as fits.
bool decodeArchiveArgument(const char* argument, char* out, unsigned size);

// Builds the copy's command line: the copy's path in double quotes, a blank, and the archive's
// path with every blank written as a double quote. False when it does not fit.
bool relaunchCommandLine(char* out, unsigned size, const char* copyPath, const char* archivePath);

// folder + prefix + number in decimal + extension into out; false when it does not fit.
// Gives "<temp>ombra<i>.exe" and "<folder>selfdel<i>.bat".
bool numberedPath(char* out, unsigned size, const char* folder, const char* prefix, int number,
                  const char* extension);

// True when modulePath is a copy that the relaunch made: a file "ombra<digits>.exe" directly in
// tempFolder (which ends in a backslash). Case-insensitive, as Windows names are.
bool isTempCopyPath(const char* modulePath, const char* tempFolder);

// The self-deletion batch text (line ends as "\n"; the file is written in text mode): deletes
// modulePath until it is gone, then batchPath. The paths are quoted and a '%' is doubled, so
// folders with blanks or percent signs work. False when it does not fit into size bytes.
bool selfDeleteBatchText(char* out, unsigned size, const char* modulePath, const char* batchPath);
