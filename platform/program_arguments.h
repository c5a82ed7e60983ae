// The part of a Windows command line (GetCommandLineA) after the program's own name: both
// programs read their arguments from the full command line, whose first word the system
// gives plain or in double quotes.
#pragma once

// Returns the text after the program's name (which ends at its closing double quote when it
// starts with one, else at the first blank or tab), with the blanks and tabs after it skipped.
inline const char* skipProgramName(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') {
            ++p;
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t') {
            ++p;
        }
    }
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    return p;
}
