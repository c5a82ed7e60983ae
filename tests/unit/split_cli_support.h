// Runs the command line's subcommands in-process for the split and info tests.
#pragma once

#include <string>
#include <vector>

#include "cli/commands.h"

namespace splittest {

inline int runCommand(int (*command)(int, char**), std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(&a[0]);
    }
    argv.push_back(nullptr);
    return command(static_cast<int>(args.size()), argv.data());
}

inline int dravnikSplit(std::vector<std::string> args) {
    return runCommand(runSplit, args);
}
inline int dravnikInfo(std::vector<std::string> args) {
    return runCommand(runInfo, args);
}
inline int dravnikJoin(std::vector<std::string> args) {
    return runCommand(runJoin, args);
}

}  // namespace splittest
