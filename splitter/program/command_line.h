// The splitter's command line: a source path, -vSIZE and -aNAME in any order. Portable, so that
// it can be tested and fuzzed natively; the window applies what it finds.
#pragma once

#include <stddef.h>

#include "platform/program_arguments.h"
#include "splitter/form/splitter_state.h"

// Scans the first `length` bytes of `text` (it may end earlier at a zero byte) and fills
// state->sourcePath, state->archiveName and state->volumeSizeArg. sourcePath and archiveName
// are emptied first; volumeSizeArg keeps its value unless a -v is found.
//
// Accepted words, separated by blanks (tabs count as blanks):
//   SOURCE or "SOURCE"            the source path; a later one replaces an earlier one
//   -vSIZE or -v SIZE             the volume-size text
//   -aNAME, -a"NAME", -a NAME, -a "NAME"   the archive name; a later one replaces an earlier one
//   -x (any other letter)         the '-' is passed over and "x..." read as a source word
// A quoted value runs to the next double quote or the end of the text. Values longer than their
// fields (255 characters for the paths, 14 for the size) are cut to fit.
void parseCommandLine(const char* text, size_t length, SplitterState* state);
