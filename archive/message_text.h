// Messages with a name or a path filled in, as both programs show them.
#pragma once

// Writes pattern into out with its one "%s" replaced by arg; cut to size - 1 bytes. Control
// characters of arg (below 0x20 and 0x7F) are written as "\xHH" natively: a name or path
// never reaches a terminal or a message raw.
void formatText(char* out, unsigned size, const char* pattern, const char* arg);
