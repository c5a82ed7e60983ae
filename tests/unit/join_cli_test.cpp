// dravnik join on real files: exit codes, the UTF-8 name on disk, -y and a missing volume
// without a terminal; the archive's own files, FIFOs, links and damaged volumes.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/format.h"
#include "cli/commands.h"
#include "unpacker/join_engine.h"
#include "tests/unit/test_support.h"

using namespace testsupport;

// The signal that every rename in this process brings once it is done (0: none), as if it had
// been sent at that moment. Renames go through here: both of the join's, over an older file and
// onto a free name.
static int gSignalAfterRename = 0;

static int renameAndSignal(const char* from, const char* to, unsigned flags) {
    int result = static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, flags));
    int reason = errno;
    if (gSignalAfterRename != 0) {
        raise(gSignalAfterRename);
    }
    errno = reason;
    return result;
}

extern "C" int rename(const char* from, const char* to) {
    return renameAndSignal(from, to, 0);
}

extern "C" int renameat2(int, const char* from, int, const char* to, unsigned flags) {
    return renameAndSignal(from, to, flags);
}

namespace {

struct CliArchive {
    TempDir temp;
    std::string dir = temp.path();
    std::string data;
    std::string exe;

    // A two-volume archive (M = 3) of a source whose code page 1251 name is `name`.
    explicit CliArchive(const std::string& name) {
        mkdir((dir + "/out").c_str(), 0755);
        uint32_t header = headerSize(static_cast<uint32_t>(name.size()));
        data.resize(2 * kMinVolumeSize + 500 - header);
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<char>(i * 7 + 3);
        }
        FileRecord record = {0, 0, 132223104000000000ull, kAttrArchive | kAttrReadOnly, 3};
        writeArchive(dir + "/set", name, data, kMinVolumeSize, &exe, &record, 'i');
    }

    std::string volume(int k) const { return dir + "/set." + std::to_string(k) + ".bin"; }

    // Where a join into out/ writes until the target is whole, and what it keeps when not.
    std::string partial(const std::string& name) const {
        return dir + "/out/" + name + kIncompleteEnding;
    }

    // Every member's bytes.
    std::string members() const {
        return readFile(exe) + readFile(volume(1)) + readFile(volume(2));
    }

    int join(std::vector<std::string> args, bool letSignalsThrough = true) {
        return dravnikJoin(args, letSignalsThrough);
    }
};

}  // namespace

TEST(JoinCli, JoinsUnderTheUtf8NameAndRestoresReadOnly) {
    CliArchive a("\xc4\xe0\xed\xed\xfb\xe5.txt");  // "Данные.txt" in code page 1251
    EXPECT_EQ(a.join({a.exe, a.dir + "/out"}), 0);
    std::string target = a.dir + "/out/Данные.txt";
    EXPECT_EQ(readFile(target), a.data);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1577836800);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    // A second join asks before replacing: refused without a terminal, -y replaces.
    ASSERT_TRUE(freopen("/dev/null", "r", stdin));
    EXPECT_EQ(a.join({a.exe, a.dir + "/out"}), 1);
    EXPECT_EQ(a.join({"-y", a.exe, a.dir + "/out"}), 0);
    EXPECT_EQ(readFile(target), a.data);
}

TEST(JoinCli, MissingVolumeWithoutTerminalLeavesShortTargetAndFails) {
    CliArchive a("d.bin");
    unlink((a.dir + "/set.2.bin").c_str());
    ASSERT_TRUE(freopen("/dev/null", "r", stdin));
    EXPECT_EQ(a.join({a.exe, a.dir + "/out"}), 1);
    EXPECT_EQ(readFile(a.partial("d.bin")), a.data.substr(0, 2 * kMinVolumeSize - headerSize(5)));
    struct stat st;
    EXPECT_NE(lstat((a.dir + "/out/d.bin").c_str(), &st), 0);
}

TEST(JoinCli, UsageErrors) {
    CliArchive a("d.bin");
    EXPECT_EQ(a.join({}), 2);
    EXPECT_EQ(a.join({a.exe, "x", "y"}), 2);
    EXPECT_EQ(a.join({"-q", a.exe}), 2);
    EXPECT_EQ(a.join({a.dir + "/none.0.exe", a.dir}), 1);
}

TEST(JoinCli, EmptyFolderOrArchiveIsAUsageError) {
    CliArchive a("dravnik-join-empty-folder-test.bin");
    EXPECT_EQ(a.join({a.exe, ""}), 2);
    EXPECT_EQ(a.join({"-y", a.exe, ""}), 2);
    EXPECT_EQ(a.join({""}), 2);
    struct stat st;
    EXPECT_NE(lstat("/dravnik-join-empty-folder-test.bin", &st), 0);
}

TEST(JoinCli, TargetThatIsAnArchiveFileIsRefusedEvenWithYes) {
    for (const char* name : {"set.1.bin", "set.0.exe"}) {
        SCOPED_TRACE(name);
        CliArchive a(name);
        std::string before = a.members();
        testing::internal::CaptureStderr();
        EXPECT_EQ(a.join({"-y", a.exe, a.dir}), 1);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("принадлежит архиву"), std::string::npos) << err;
        EXPECT_EQ(err.find("Перезаписать"), std::string::npos) << err;
        EXPECT_EQ(a.members(), before);
    }
}

TEST(JoinCli, FifoOrDeviceVolumesAreUnreadableAndNeverBlock) {
    alarm(30);
    for (int kind = 0; kind < 2; ++kind) {
        CliArchive a("d.bin");
        unlink(a.volume(1).c_str());
        if (kind == 0) {
            ASSERT_EQ(mkfifo(a.volume(1).c_str(), 0644), 0);
        } else {
            ASSERT_EQ(symlink("/dev/zero", a.volume(1).c_str()), 0);
        }
        ASSERT_TRUE(freopen("/dev/null", "r", stdin));
        EXPECT_EQ(a.join({a.exe, a.dir + "/out"}), 1) << kind;
        EXPECT_EQ(readFile(a.partial("d.bin")).size(), kMinVolumeSize - headerSize(5)) << kind;
    }
    // The archive's .exe itself a FIFO: refused before anything waits for a writer.
    CliArchive a("d.bin");
    unlink(a.exe.c_str());
    ASSERT_EQ(mkfifo(a.exe.c_str(), 0644), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(a.join({a.exe, a.dir + "/out"}), 1);
    testing::internal::GetCapturedStderr();
    alarm(0);
}

TEST(JoinCli, LinkedTargetIsReplacedAndItsTargetKeepsItsMode) {
    CliArchive a("d.bin");
    std::string outside = a.dir + "/outside";
    std::ofstream(outside) << "not to be touched";
    ASSERT_EQ(chmod(outside.c_str(), 0444), 0);
    ASSERT_EQ(symlink(outside.c_str(), (a.dir + "/out/d.bin").c_str()), 0);
    EXPECT_EQ(a.join({"-y", a.exe, a.dir + "/out"}), 0);
    struct stat st;
    ASSERT_EQ(stat(outside.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_EQ(readFile(outside), "not to be touched");
    ASSERT_EQ(lstat((a.dir + "/out/d.bin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(readFile(a.dir + "/out/d.bin"), a.data);
}

TEST(JoinCli, WrongSizedVolumeIsCopiedButFails) {
    CliArchive a("d.bin");
    std::string cut = readFile(a.volume(1)).substr(0, 1000);
    std::ofstream(a.volume(1), std::ios::binary | std::ios::trunc) << cut;
    testing::internal::CaptureStderr();
    EXPECT_EQ(a.join({a.exe, a.dir + "/out"}), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Файл " + a.partial("d.bin") + " поврежден"), std::string::npos) << err;
    size_t first = kMinVolumeSize - headerSize(5);
    EXPECT_EQ(readFile(a.partial("d.bin")),
              a.data.substr(0, first) + cut + a.data.substr(first + kMinVolumeSize));
}

TEST(JoinCli, PathsArePrintedWithTheirControlCharactersEscaped) {
    CliArchive a("d.bin");
    std::string odd = a.dir + "/\x1b]0;owned\x07\x1b[2J.0.exe";
    testing::internal::CaptureStderr();
    EXPECT_EQ(a.join({odd, a.dir + "/out"}), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
    EXPECT_EQ(err.find('\x07'), std::string::npos) << err;
    EXPECT_NE(err.find("/\\x1b]0;owned\\x07\\x1b[2J.0.exe"), std::string::npos) << err;
}

namespace {

long long sizeOf(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

}  // namespace

TEST(JoinCli, AnInterruptedJoinLeavesTheTargetsNameAsItWas) {
    // The join waits halfway, at the missing volume's prompt on a terminal, with the pieces
    // before the gap written. Killed, it leaves at most its incomplete file; Ctrl-C, SIGTERM
    // and SIGHUP remove that too and end it with 128 + the signal. The older file, if any,
    // stays byte for byte.
    struct Case {
        int signal;
        bool older;
    };
    for (Case c : {Case{SIGKILL, false}, Case{SIGKILL, true}, Case{SIGINT, true},
                   Case{SIGTERM, true}, Case{SIGHUP, false}}) {
        SCOPED_TRACE(testing::Message() << "signal " << c.signal << (c.older ? ", older" : ""));
        CliArchive a("d.bin");
        unlink(a.volume(2).c_str());
        std::string target = a.dir + "/out/d.bin";
        if (c.older) {
            std::ofstream(target, std::ios::binary) << "an older file";
        }
        int terminal = -1;
        pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
        ASSERT_GE(child, 0);
        if (child == 0) {
            _exit(a.join({"-y", a.exe, a.dir + "/out"}));
        }
        long long halfway = 2 * kMinVolumeSize - headerSize(5);
        for (int i = 0; i < 1000 && sizeOf(a.partial("d.bin")) != halfway; ++i) {
            usleep(10000);
        }
        EXPECT_EQ(sizeOf(a.partial("d.bin")), halfway);
        kill(child, c.signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        close(terminal);
        if (c.signal == SIGKILL) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            EXPECT_EQ(sizeOf(a.partial("d.bin")), halfway);
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + c.signal) << status;
            EXPECT_EQ(sizeOf(a.partial("d.bin")), -1);
        }
        if (c.older) {
            EXPECT_EQ(readFile(target), "an older file");
        } else {
            EXPECT_EQ(sizeOf(target), -1);
        }
    }
}

TEST(JoinCli, ASignalOnceTheFileIsBeingPutInPlaceEndsTheJoinAsDone) {
    // Ctrl-C, SIGTERM or SIGHUP that comes during the rename (or the folder's sync after it)
    // finds the target already whole: the join ends as done, exit code 0, over an older file
    // as onto a free name.
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        for (bool older : {true, false}) {
            SCOPED_TRACE(testing::Message() << "signal " << signal << (older ? ", older" : ""));
            CliArchive a("d.bin");
            std::string target = a.dir + "/out/d.bin";
            if (older) {
                std::ofstream(target, std::ios::binary) << "an older file";
            }
            pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                gSignalAfterRename = signal;
                _exit(a.join({"-y", a.exe, a.dir + "/out"}, false));
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            EXPECT_EQ(readFile(target), a.data);
            EXPECT_EQ(sizeOf(a.partial("d.bin")), -1);
        }
    }
}
