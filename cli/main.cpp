// dravnik: the splitter's and the unpacker's engines on the Linux command line.
#include <stdio.h>
#include <string.h>

#include "cli/commands.h"

namespace {

void usage() {
    fprintf(stderr,
            "usage: dravnik split SOURCE [-vSIZE] [-aNAME] [-y]\n"
            "       dravnik join ARCHIVE.exe [FOLDER] [-y]\n"
            "       dravnik info ARCHIVE.exe\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage();
        return 2;
    }
    const char* command = argv[1];
    if (strcmp(command, "split") == 0) {
        return runSplit(argc - 2, argv + 2);
    }
    if (strcmp(command, "join") == 0) {
        return runJoin(argc - 2, argv + 2);
    }
    if (strcmp(command, "info") == 0) {
        return runInfo(argc - 2, argv + 2);
    }
    usage();
    return 2;
}
