// Questions and prompts on the terminal, shared by the subcommands.
#pragma once

#include <stddef.h>
#include <stdio.h>

// Asks a yes/no question on standard error and reads the answer from standard input.
// assumeYes answers Yes without asking. When standard input is not a terminal the question
// is printed and refused (No).
bool askYesNo(const char* question, bool assumeYes);

// Prints prompt and reads one line (without its line end) into out. False on end of input,
// when standard input is not a terminal, or when the line does not fit.
bool readLine(const char* prompt, char* out, size_t outSize);

// Writes text to stream with every control character written as "\xHH", byte by byte: C0
// controls and DEL, the C1 controls in their UTF-8 form (U+0080 to U+009F) and every byte that
// is not part of valid UTF-8. With keepLineEnds a '\n' is written as it is (the line ends of the
// program's own texts; the names and paths inside them are escaped already).
void printEscaped(FILE* stream, const char* text, bool keepLineEnds = false);

// Ends a failure message on stream: ": " and the system's reason (strerror) when reason, an
// errno value, is not 0; then the line end.
void endFailureLine(FILE* stream, int reason);
