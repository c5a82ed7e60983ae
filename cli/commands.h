// The subcommands of build/native/dravnik. Each returns the process exit code:
// 0 done, 1 failed or declined, 2 usage error.
#pragma once

int runSplit(int argc, char** argv);  // dravnik split SOURCE [-vSIZE] [-aNAME] [-y]
int runJoin(int argc, char** argv);   // dravnik join ARCHIVE.exe [FOLDER] [-y]
int runInfo(int argc, char** argv);   // dravnik info ARCHIVE.exe

// argv here starts after the subcommand's name.

// The permission bits of the files split and join create: read and write for the owner, and
// for the group and the others what the source (or the archive) allows them.
constexpr unsigned kOwnerReadWrite = 0600;
constexpr unsigned kOthersReadWrite = 0066;

// The carried unpacker image, embedded at build time (kUnpackerImageSize bytes).
extern const unsigned char kEmbeddedUnpackerImage[];
extern const unsigned kEmbeddedUnpackerImage_size;
