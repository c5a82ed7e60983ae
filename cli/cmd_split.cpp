// Placeholder until the split command lands.
#include <stdio.h>

#include "cli/commands.h"

int runSplit(int, char**) {
    fprintf(stderr, "dravnik split: not built yet\n");
    return 2;
}
