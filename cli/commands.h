// The subcommands of build/native/dravnik. Each returns the process exit code:
// 0 done, 1 failed or declined, 2 usage error.
#pragma once

int runSplit(int argc, char** argv);  // dravnik split SOURCE [-vSIZE] [-aNAME] [-y]
int runJoin(int argc, char** argv);   // dravnik join ARCHIVE.exe [FOLDER] [-y]
int runInfo(int argc, char** argv);   // dravnik info ARCHIVE.exe

// argv here starts after the subcommand's name.

// The carried unpacker image, embedded at build time (kUnpackerImageSize bytes).
extern const unsigned char kEmbeddedUnpackerImage[];
extern const unsigned kEmbeddedUnpackerImage_size;
