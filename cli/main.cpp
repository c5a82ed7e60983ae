// dravnik: the splitter's and the unpacker's engines on the Linux command line.
#include <stdio.h>
#include <string.h>

#include "cli/commands.h"
#include "cli/options.h"

namespace {

int runCommand(int argc, char** argv) {
    if (argc < 2) {
        return cliUsageError("", "no command given");
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
    int answered = cliAnswerRequest(argc - 1, argv + 1);
    if (answered >= 0) {
        return answered;
    }
    char text[64];
    snprintf(text, sizeof text, "unknown command %.40s", command);
    return cliUsageError("", text);
}

}  // namespace

int main(int argc, char** argv) {
    return cliFinishOutput(runCommand(argc, argv));
}
