// The join engine: reads the header of an archive's unpacker file, asks where to put the
// target, writes it from the carried data piece and the numbered volumes, and gives it the
// recorded times and attributes. Every question, message, title change, progress step and beep
// goes through JoinUi, so the Win32 unpacker, `dravnik join` and the unit tests share it.
//
// Shared with the unpacker, so C-style: no exceptions, no containers, fixed buffers.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "archive/format.h"
#include "archive/header.h"
#include "archive/message_text.h"
#include "platform/platform.h"

// The archive path lives in a buffer of this size and holds at most kMaxArchivePathChars:
// Win32 paths reach MAX_PATH - 1 = 259 characters, native ones PATH_MAX - 1.
#ifdef _WIN32
constexpr unsigned kArchivePathSize = 300;
constexpr unsigned kMaxArchivePathChars = 259;
#else
constexpr unsigned kArchivePathSize = 4136;
constexpr unsigned kMaxArchivePathChars = 4095;
#endif

// Longest target path (folder, separator, name). The Win32 name is the header's own bytes;
// the native build writes the UTF-8 form of the code page 1251 name, up to twice as long.
// Win32 paths reach MAX_PATH - 1 = 259 characters: a name of 255 fits at a drive root ("C:\").
#ifdef _WIN32
constexpr unsigned kMaxTargetPathChars = 259;
#else
constexpr unsigned kMaxTargetPathChars = 4095;
#endif
constexpr unsigned kTargetPathSize = kMaxTargetPathChars + 1;
// The destination folder as the user gives it. The shell fills up to 260 bytes.
constexpr unsigned kFolderSize =
    kTargetPathSize < kArchivePathSize ? kArchivePathSize : kTargetPathSize;

// The longest name of one file in a folder: bytes natively, characters (one byte each in code
// page 1251) on Windows.
constexpr unsigned kMaxNameBytes = 255;
// Until it is whole, the target is written beside its place under its name with this ending
// (no archive member's ending), and it keeps that name when the join does not finish.
constexpr char kIncompleteEnding[] = ".неполный";

// Texts that the unpacker's start-up and the command line show too.
extern const char* const kTextCannotRead;   // "Невозможно прочитать %s"
extern const char* const kTextPathTooLong;  // "Слишком длинный путь:\n%s"
extern const char* const kTextBrowseTitle;  // "Куда распаковать файл?", the folder question

// Which message box a question or message is.
enum JoinMessageKind {
    kJoinError,          // ":-(" with the error icon, OK
    kJoinMissingVolume,  // ":-(" with the error icon, Yes and No
    kJoinOverwrite,      // "???" without icon, Yes and No
};

enum JoinPick {
    kPickCancelled,
    kPickChosen,
    kPickTooLong,  // the chosen path did not fit the archive path buffer (path then undefined)
};

// How a join ended. Only kJoinComplete puts a file under the target's name, and then it holds
// every byte of the archive; every other end leaves that name as it was.
enum JoinResult {
    kJoinComplete,
    kJoinIncomplete,  // a volume was not supplied or read: the incomplete file is short
    kJoinDamaged,     // every volume was copied, but one had the wrong size (incomplete file)
    kJoinCancelled,   // the folder prompt was cancelled: nothing written
    kJoinDeclined,    // the target exists and was not to be replaced: nothing written
    kJoinRefused,     // the target is one of the archive's own files: nothing written
    kJoinBadArchive,  // the unpacker file cannot be read or its header is not well formed
    kJoinFailed,      // the target could not be created or written (a failed write leaves
                      // the incomplete file as far as it got)
    kJoinKept,        // whole, but the target's name was taken during the join and was not to
                      // be replaced: the result keeps its incomplete name
};

class JoinUi {
  public:
    // Asks for the destination folder (kTextBrowseTitle) into folder (kFolderSize
    // bytes). False when the user cancels or gives no folder of the file system.
    virtual bool chooseFolder(char* folder, unsigned size) = 0;
    // A Yes/No question; true for Yes.
    virtual bool ask(JoinMessageKind kind, const char* text) = 0;
    // An error message (kJoinError). Natively errno holds the reason the system gave for the
    // failure (the failing call's own), or 0 when it gave none.
    virtual void showError(const char* text) = 0;
    // Lets the user point to a missing volume. path holds the full path where it was looked
    // for; its file name starts at nameOffset. On kPickChosen path holds the chosen full path
    // (at most size - 1 characters).
    virtual JoinPick pickVolume(char* path, unsigned size, int nameOffset) = 0;
    // The target name as it is written to disk and shown, from the header's code page 1251
    // bytes. False when it has no such form.
    virtual bool localName(const char* headerName, char* out, unsigned size) = 0;
    virtual void setTitle(const char* title) = 0;
    // The progress range is 0 .. maximum, one step per piece copied.
    virtual void setProgressRange(int maximum) = 0;
    virtual void stepProgress() = 0;
    virtual void beep() = 0;
    // count more bytes of the target are written; called from the copy loop. The unpacker's
    // window steps once per piece instead, so the default does nothing.
    virtual void bytesWritten(unsigned count) { (void)count; }
#ifndef _WIN32
    // The join writes into path, its incomplete file, from now on; null once that file has
    // its place or is left as it is. The command line removes it when it is interrupted. (A
    // Windows program that is ended gets no say, so the unpacker's image carries no slot.)
    virtual void writingTo(const char* path) {
        (void)path;
    }
    // on: the whole file is put in the target's place now, and nothing may end the join
    // halfway through that (the command line holds its signals back); off: the place was found
    // taken, and the user is asked or told again first.
    virtual void placing(bool on) {
        (void)on;
    }
#endif

  protected:
    ~JoinUi() = default;
};

// Copies exactly size bytes from source's position onto target through buffer (natively
// inside the kernel where the files allow it: platformCopyStream), telling ui (when given) of
// every block written. Returns 0 on success, 1 when a read failed or the
// source ended early and 2 when a write failed. Closes nothing.
int copyPiece(PlatformFile source, PlatformFile target, int64_t size, char* buffer,
              unsigned bufferSize, JoinUi* ui = nullptr);

// The incomplete file's name for the target name `name` into out (limit + 1 bytes): the name,
// cut short where the result would pass limit (bytes natively; on Windows characters, with
// room left for the longer UTF-8 form that Wine stores), and kIncompleteEnding. It is never the
// target name itself: cut short, it differs from the name in length or in its last bytes.
// False when limit leaves no room for one character of the name.
bool incompleteName(const char* name, unsigned limit, char* out);

// Overwrites the last width + 4 characters of path (length characters) with the number and
// ".bin". False when they would reach into the folder part.
bool formVolumePath(char* path, unsigned length, const char* number, int width);

// True when target is the unpacker file at archivePath (length characters) or one of the
// volumes named after it: the same file where the target exists; else the same name in the
// same folder (the folders compared by identity, the names as the file system compares them).
bool isArchiveMember(const char* target, const char* archivePath, unsigned length, int width,
                     int memberCount);

#ifndef _WIN32
// True when the entry partial names is an earlier join's incomplete file of this archive, to be
// replaced without a question: a regular file with no other name, not a link, whose bytes are
// all a beginning of what this join writes (the unpacker file at archivePath from start on,
// then its volumes 1 .. memberCount - 1 beside it, each whole). Reads through buffer
// (bufferSize bytes).
bool isOwnLeftover(const char* partial, const char* archivePath, int width, int memberCount,
                   int64_t start, char* buffer, unsigned bufferSize);
#endif

// Joins the archive whose unpacker file is archivePath (a buffer of kArchivePathSize bytes;
// it is changed: volume paths are formed in it). Copies through buffer (bufferSize bytes).
// The archive's files are only read: a target that is one of them is refused before anything
// is asked or removed, and only regular files are read. The target is always a new file in
// the chosen folder, never written through a link: the incomplete file, which is synced,
// stamped, closed and renamed over the target as the join's last step. Tells the user about
// every failure through ui before it returns; a result that is not whole is named there under
// its incomplete name. Nothing at the incomplete name is replaced unless it is an earlier join's
// own (natively isOwnLeftover; the unpacker replaces nothing there), and the result replaces
// only the older file the user agreed to: a file that takes the target's name during the join
// is asked about again, and kept when the answer is No.
JoinResult joinArchive(char* archivePath, JoinUi* ui, char* buffer, unsigned bufferSize);
