// Questions and prompts on the terminal, shared by the subcommands.
#pragma once

#include <stddef.h>

// Asks a yes/no question on standard error and reads the answer from standard input.
// assumeYes answers Yes without asking. When standard input is not a terminal the question
// is printed and refused (No).
bool askYesNo(const char* question, bool assumeYes);

// Prints prompt and reads one line (without its line end) into out. False on end of input,
// when standard input is not a terminal, or when the line does not fit.
bool readLine(const char* prompt, char* out, size_t outSize);
