// Placeholder until the info command lands.
#include <stdio.h>

#include "cli/commands.h"

int runInfo(int, char**) {
    fprintf(stderr, "dravnik info: not built yet\n");
    return 2;
}
