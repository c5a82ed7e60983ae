// dravnik on what the system puts in its way: a read-only file system, long folders, an output
// that cannot be written, private sources, dates outside 1970 .. 2038.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "archive/format.h"
#include "cli/options.h"
#include "tests/unit/test_support.h"

using namespace testsupport;

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

TEST(CliSystem, FoldersOfAnyLengthOnlyNamesAreBounded) {
    TempDir dir;
    // A folder path of 330 bytes and more: the source, the archive and the joined file in it.
    std::string deep = dir.path();
    while (deep.size() < 330) {
        deep += "/" + std::string(60, 'd');
        ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
    }
    Bytes source = patternBytes(70000);
    ASSERT_TRUE(writeFile(deep + "/f", source));
    EXPECT_EQ(dravnikSplit({deep + "/f", "-v20K", "-y"}), 0);
    EXPECT_EQ(joinArchive(deep + "/f").data, source);
    ASSERT_EQ(mkdir((deep + "/out").c_str(), 0755), 0);
    EXPECT_EQ(dravnikJoin({deep + "/f.0.exe", deep + "/out"}), 0);
    Bytes joined;
    ASSERT_TRUE(readFile(deep + "/out/f", &joined));
    EXPECT_EQ(joined, source);
    // A member name over 255 bytes is still refused.
    EXPECT_EQ(dravnikSplit({deep + "/f", "-v20K", "-a" + deep + "/" + std::string(250, 'n')}), 1);
}

TEST(CliSystem, InfoSumsMissingVolumesUpForAnyCount) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("f"), patternBytes(50000)));
    ASSERT_EQ(dravnikSplit({dir.file("f"), "-v20K", "-a" + dir.file("set")}), 0);
    // The record's count says 2^31 - 1 members: ten digits, volumes 1 and 5 present.
    Bytes exe;
    ASSERT_TRUE(readFile(dir.file("set.0.exe"), &exe));
    size_t count = kUnpackerImageSize + 2 + kFileRecordSize - 4;
    exe[count] = exe[count + 1] = exe[count + 2] = 0xFF;
    exe[count + 3] = 0x7F;
    ASSERT_TRUE(writeFile(dir.file("set.0000000000.exe"), exe));
    ASSERT_EQ(rename(dir.file("set.1.bin").c_str(), dir.file("set.0000000001.bin").c_str()), 0);
    ASSERT_EQ(rename(dir.file("set.2.bin").c_str(), dir.file("set.0000000005.bin").c_str()), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(dravnikInfo({dir.file("set.0000000000.exe")}), 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("set.0000000001.bin: 20480 bytes, ok\n"), std::string::npos) << out;
    EXPECT_NE(out.find("set.0000000002.bin .. set.0000000004.bin: missing (3 volumes)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("set.0000000005.bin: 19314 bytes, wrong size"), std::string::npos) << out;
    EXPECT_NE(out.find("set.0000000006.bin .. set.2147483646.bin: missing (2147483641 volumes)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("incomplete or damaged: 2147483645 problems\n"), std::string::npos) << out;
    EXPECT_LT(std::count(out.begin(), out.end(), '\n'), 20);
}

TEST(CliSystem, CopiesHaveNoMoreReadersThanTheSourceAndKeepItsDates) {
    TempDir dir;
    mode_t mask = umask(022);
    Bytes source = patternBytes(50000);
    ASSERT_TRUE(writeFile(dir.file("f"), source));
    ASSERT_EQ(chmod(dir.file("f").c_str(), 0600), 0);
    // Written in 1969 and last read in 2100, both outside a 32-bit time_t.
    struct timespec times[2] = {{4102444800, 0}, {-86400 * 30 + 1, 500000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.file("f").c_str(), times, 0), 0);
    ASSERT_EQ(dravnikSplit({dir.file("f"), "-v20K", "-a" + dir.file("set")}), 0);
    ASSERT_EQ(mkdir(dir.file("out").c_str(), 0755), 0);
    ASSERT_EQ(dravnikJoin({dir.file("set.0.exe"), dir.file("out")}), 0);
    umask(mask);
    for (const char* name : {"set.0.exe", "set.1.bin", "set.2.bin", "out/f"}) {
        SCOPED_TRACE(name);
        struct stat st;
        ASSERT_EQ(stat(dir.file(name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    struct stat joined;
    ASSERT_EQ(stat(dir.file("out/f").c_str(), &joined), 0);
    EXPECT_EQ(joined.st_mtim.tv_sec, times[1].tv_sec);
    EXPECT_EQ(joined.st_mtim.tv_nsec, times[1].tv_nsec);
    EXPECT_EQ(joined.st_atim.tv_sec, times[0].tv_sec);
    testing::internal::CaptureStdout();
    EXPECT_EQ(dravnikInfo({dir.file("set.0.exe")}), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("written:      1969-12-02T00:00:01.5000000Z\n"), std::string::npos) << out;
    EXPECT_NE(out.find("accessed:     2100-01-01T00:00:00.0000000Z\n"), std::string::npos) << out;

    // A source others may read gives copies they may read, within the umask.
    ASSERT_EQ(chmod(dir.file("f").c_str(), 0664), 0);
    mask = umask(002);
    ASSERT_EQ(dravnikSplit({dir.file("f"), "-v20K", "-a" + dir.file("open"), "-y"}), 0);
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat(dir.file("open.1.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u);
}

namespace {

// Reads the terminal's output into *seen until it holds `text` (from `from` on); false after
// `tenths` tenths of a second without it.
bool waitFor(int terminal, const std::string& text, size_t from, std::string* seen,
             int tenths = 100) {
    for (int waited = 0; waited < tenths; ++waited) {
        if (seen->find(text, from) != std::string::npos) {
            return true;
        }
        struct pollfd ready = {terminal, POLLIN, 0};
        if (poll(&ready, 1, 100) == 1) {
            char block[512];
            ssize_t n = read(terminal, block, sizeof block);
            if (n <= 0) {
                return seen->find(text, from) != std::string::npos;
            }
            seen->append(block, static_cast<size_t>(n));
        }
    }
    return false;
}

}  // namespace

TEST(CliSystem, TheMissingVolumePromptAsksForAPathAndAsksAgain) {
    TempDir dir;
    Bytes source = patternBytes(70000);
    ASSERT_TRUE(writeFile(dir.file("f"), source));
    ASSERT_EQ(dravnikSplit({dir.file("f"), "-v20K", "-a" + dir.file("set")}), 0);
    ASSERT_EQ(mkdir(dir.file("moved").c_str(), 0755), 0);
    ASSERT_EQ(rename(dir.file("set.2.bin").c_str(), dir.file("moved/set.2.bin").c_str()), 0);
    ASSERT_EQ(rename(dir.file("set.3.bin").c_str(), dir.file("moved/set.3.bin").c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("out").c_str(), 0755), 0);
    fflush(stdout);
    fflush(stderr);
    int terminal = -1;
    pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        _exit(dravnikJoin({dir.file("set.0.exe"), dir.file("out")}));
    }
    const std::string prompt = "Введите путь к этому тому";
    std::string seen;
    EXPECT_TRUE(waitFor(terminal, prompt, 0, &seen)) << seen;
    EXPECT_EQ(seen.find("Хотите найти его?"), std::string::npos) << seen;
    // "y" is no path: it is refused and the path asked for again.
    size_t mark = seen.size();
    ASSERT_EQ(write(terminal, "y\n", 2), 2);
    EXPECT_TRUE(waitFor(terminal, prompt, mark, &seen)) << seen;
    EXPECT_NE(seen.find("Невозможно прочитать y: No such file or directory", mark),
              std::string::npos)
        << seen;
    std::string answer = dir.file("moved/set.2.bin") + "\n";
    ASSERT_EQ(write(terminal, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
    int status = 0;
    for (int waited = 0; waited < 100 && waitpid(child, &status, WNOHANG) == 0; ++waited) {
        waitFor(terminal, "\x01", 0, &seen, 1);  // drains the output for a tenth of a second
    }
    close(terminal);
    ASSERT_TRUE(WIFEXITED(status)) << seen;
    EXPECT_EQ(WEXITSTATUS(status), 0) << seen;
    Bytes joined;
    ASSERT_TRUE(readFile(dir.file("out/f"), &joined));
    EXPECT_EQ(joined, source);
}
