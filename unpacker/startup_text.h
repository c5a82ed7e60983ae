// The texts that the unpacker's start-up and self-deletion put together: the relaunch command
// line and how the copy reads it back, the names of the temporary copy and of the batch file,
// and the batch file itself. Free of the window system, so that they can be tested natively.
#pragma once

#include "platform/program_arguments.h"  // skipProgramName: the argument part of the command line

// The temporary copy of the unpacker: kTempCopyPrefix, a number, kTempCopyExtension, in the
// temporary folder.
inline constexpr char kTempCopyPrefix[] = "ombra";
inline constexpr char kTempCopyExtension[] = ".exe";

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

// The self-deletion batch text (line ends as "\r\n", as the file is written): deletes
// the copy copyName (a name "ombra<digits>.exe", see isTempCopyPath) that lies in the batch
// file's own folder, read-only or not, then the batch file itself. Both are named through the
// batch file's own path as the command interpreter knows it ("%~dp0", "%~f0"), so the text is
// plain ASCII: a folder with Cyrillic letters, blanks or percent signs reaches the command
// interpreter intact, whatever its code page. When the copy cannot be deleted, the batch gives
// up after 30 tries a second apart and still removes itself. False when the text does not fit
// into size bytes.
bool selfDeleteBatchText(char* out, unsigned size, const char* copyName);

// The folder the open-file dialog starts in for a volume looked for at path, whose file name
// starts at nameOffset: the folder part without its trailing separator, except at a root
// ("C:\" or "\"), which keeps it ("C:" alone would be the drive's current folder). Written
// into out, which has room for nameOffset + 1 bytes.
void volumeDialogFolder(const char* path, int nameOffset, char* out);
