// dravnik on what the system puts in its way: a read-only file system, long folders, an output
// that cannot be written, private sources, dates outside 1970 .. 2038.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "archive/format.h"
#include "cli/options.h"
#include "tests/unit/split_cli_support.h"
#include "tests/unit/split_test_support.h"

using namespace splittest;

namespace {

// A tmpfs mounted on a folder for the time of one object (we run as root here); mounted()
// false where that is not allowed.
class Tmpfs {
  public:
    Tmpfs(const std::string& where, const char* options) : where_(where) {
        mkdir(where.c_str(), 0755);
        mounted_ = mount("dravnik-test", where.c_str(), "tmpfs", MS_NOSUID, options) == 0;
    }
    ~Tmpfs() {
        if (mounted_) {
            umount(where_.c_str());
        }
    }
    bool mounted() const { return mounted_; }

  private:
    std::string where_;
    bool mounted_;
};

// Runs command in a child whose standard output is `output` and returns its exit code, as
// main ends it (cliFinishOutput).
int runWithOutput(int (*command)(int, char**), std::vector<std::string> args, const char* output) {
    fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        int fd = open(output, O_WRONLY);
        dup2(fd, STDOUT_FILENO);
        close(fd);
        _exit(cliFinishOutput(runCommand(command, args)));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(CliSystem, FailuresEndWithTheSystemsReason) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("f"), patternBytes(50000)));
    Tmpfs readOnly(dir.file("ro"), "ro,size=1m");
    if (!readOnly.mounted()) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(dravnikSplit({dir.file("f"), "-v20K", "-a" + dir.file("ro/x")}), 1);
    EXPECT_EQ(dravnikSplit({dir.file("missing"), "-v20K"}), 1);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(
        said.find("Не могу создать архив " + dir.file("ro/x.0.exe") + "!: Read-only file system\n"),
        std::string::npos)
        << said;
    EXPECT_NE(said.find(": No such file or directory\n"), std::string::npos) << said;

    ASSERT_EQ(dravnikSplit({dir.file("f"), "-v20K", "-a" + dir.file("set")}), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dravnikJoin({dir.file("set.0.exe"), dir.file("ro"), "-y"}), 1);
    EXPECT_EQ(dravnikInfo({dir.path()}), 1);
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Не могу создать целевой файл!: Read-only file system\n"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find(": Is a directory\n"), std::string::npos) << said;
    // A refusal of the program's own names no reason.
    EXPECT_EQ(said.find("Success"), std::string::npos) << said;
}

TEST(CliSystem, OutputThatCannotBeWrittenFailsTheCommand) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("f"), patternBytes(50000)));
    ASSERT_EQ(dravnikSplit({dir.file("f"), "-v20K", "-a" + dir.file("set")}), 0);
    EXPECT_EQ(runWithOutput(runInfo, {dir.file("set.0.exe")}, "/dev/null"), 0);
    EXPECT_EQ(runWithOutput(runInfo, {dir.file("set.0.exe")}, "/dev/full"), 1);
    EXPECT_EQ(runWithOutput(runInfo, {"--help"}, "/dev/null"), 0);
    EXPECT_EQ(runWithOutput(runSplit, {"--version"}, "/dev/full"), 1);
}
