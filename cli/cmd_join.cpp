// Placeholder until the join engine lands.
#include <stdio.h>

#include "cli/commands.h"

int runJoin(int, char**) {
    fprintf(stderr, "dravnik join: not built yet\n");
    return 2;
}
