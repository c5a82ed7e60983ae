// dravnik split never destroys its source or a file nobody agreed to replace: other spellings
// and links of the source, linked members, stale volumes of another numbering, two splits of
// one archive at once, and names the join would refuse.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "archive/folder_scan.h"
#include "archive/header.h"
#include "tests/unit/test_support.h"

using namespace testsupport;

namespace {

// Runs the test body in dir as the current folder, then goes back.
class InFolder {
  public:
    explicit InFolder(const std::string& dir) {
        if (getcwd(saved_, sizeof saved_) == nullptr) {
            saved_[0] = '\0';
        }
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~InFolder() { EXPECT_EQ(chdir(saved_), 0); }

  private:
    char saved_[4096];
};

Bytes contents(const std::string& path) {
    Bytes data;
    readFile(path, &data);
    return data;
}

}  // namespace

TEST(SplitSafety, OtherSpellingsOfTheSourceAreConflicts) {
    struct Case {
        const char* source;
        const char* archive;
    };
    // 2,000,000 bytes in 100000-byte volumes: M = 21, W = 2. Each archive name reaches the
    // source under another spelling.
    const Case cases[] = {
        {"sub/s.07.bin", "./sub/s"},       {"sub/s.03.bin", "sub//s"},
        {"sub/s.03.bin", "sub/../sub/s"},  {"sub/s.00.exe", "sub/./s"},
        {"sub/s.02.bin", "../here/sub/s"}, {"sub/s.12.bin", "sub/x/../s"},
        {"sub/s.~part", "sub//s"},  // the name the unpacker file is written under
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " as " + c.archive);
        TempDir dir;
        ASSERT_EQ(mkdir(dir.file("here").c_str(), 0700), 0);
        std::string here = dir.file("here");
        ASSERT_EQ(mkdir((here + "/sub").c_str(), 0700), 0);
        ASSERT_EQ(mkdir((here + "/sub/x").c_str(), 0700), 0);
        Bytes source = patternBytes(2000000, 4);
        ASSERT_TRUE(writeFile(here + "/" + c.source, source));
        InFolder in(here);
        NoTerminal noTerminal;
        EXPECT_EQ(dravnikSplit({c.source, "-v100000", std::string("-a") + c.archive}), 1);
        EXPECT_EQ(contents(here + "/" + c.source), source);
        EXPECT_EQ(entryCount(here + "/sub"), 2);  // the source and the folder x
        EXPECT_EQ(dravnikSplit({c.source, "-v100000", "-y", std::string("-a") + c.archive}), 1);
        EXPECT_EQ(contents(here + "/" + c.source), source);
    }
}

TEST(SplitSafety, LinksToTheSourceAreConflicts) {
    for (bool hard : {false, true}) {
        SCOPED_TRACE(hard ? "hard link" : "symbolic link");
        TempDir dir;
        Bytes source = patternBytes(300000, 5);
        ASSERT_TRUE(writeFile(dir.file("data.bin"), source));
        ASSERT_EQ(mkdir(dir.file("out").c_str(), 0700), 0);
        std::string member = dir.file("out/set.2.bin");
        ASSERT_EQ(hard ? link(dir.file("data.bin").c_str(), member.c_str())
                       : symlink(dir.file("data.bin").c_str(), member.c_str()),
                  0);
        EXPECT_EQ(
            dravnikSplit({dir.file("data.bin"), "-v100000", "-y", "-a" + dir.file("out/set")}), 1);
        EXPECT_EQ(contents(dir.file("data.bin")), source);
        EXPECT_FALSE(exists(dir.file("out/set.0.exe")));
        // The source itself reached through a link: its members are still found.
        std::string viaLink = dir.file("link.bin");
        ASSERT_EQ(symlink(dir.file("out/set.2.bin").c_str(), viaLink.c_str()), 0);
        EXPECT_EQ(dravnikSplit({viaLink, "-v100000", "-y", "-a" + dir.file("out/set")}), 1);
        EXPECT_EQ(contents(dir.file("data.bin")), source);
    }
}

TEST(SplitSafety, LinkedMembersAreReplacedAndNothingOutsideChanges) {
    TempDir dir;
    Bytes source = patternBytes(300000, 6);
    ASSERT_TRUE(writeFile(dir.file("data.bin"), source));
    ASSERT_EQ(mkdir(dir.file("out").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(dir.file("outside").c_str(), 0700), 0);
    Bytes file = patternBytes(77, 1), program = patternBytes(88, 2);
    ASSERT_TRUE(writeFile(dir.file("outside/file"), file));
    ASSERT_TRUE(writeFile(dir.file("outside/p"), program));
    ASSERT_EQ(chmod(dir.file("outside/file").c_str(), 0444), 0);
    ASSERT_EQ(symlink("../outside/file", dir.file("out/set.2.bin").c_str()), 0);
    ASSERT_EQ(symlink("../outside/p", dir.file("out/set.0.exe").c_str()), 0);
    EXPECT_EQ(dravnikSplit({dir.file("data.bin"), "-v100000", "-y", "-a" + dir.file("out/set")}),
              0);
    EXPECT_EQ(contents(dir.file("outside/file")), file);
    EXPECT_EQ(contents(dir.file("outside/p")), program);
    struct stat st;
    ASSERT_EQ(stat(dir.file("outside/file").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    ASSERT_EQ(lstat(dir.file("out/set.2.bin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(joinArchive(dir.file("out/set")).data, source);
}

TEST(SplitSafety, AnyTakenMemberNameLeadsToTheQuestion) {
    TempDir dir;
    Bytes source = patternBytes(300000, 7);
    ASSERT_TRUE(writeFile(dir.file("data.bin"), source));
    Bytes old = patternBytes(40, 8);
    ASSERT_TRUE(writeFile(dir.file("set.2.bin"), old));  // no set.0.exe
    {
        NoTerminal noTerminal;  // the question is answered No
        EXPECT_EQ(dravnikSplit({dir.file("data.bin"), "-v100000", "-a" + dir.file("set")}), 1);
    }
    EXPECT_EQ(contents(dir.file("set.2.bin")), old);
    EXPECT_FALSE(exists(dir.file("set.0.exe")));
    EXPECT_FALSE(exists(dir.file("set.1.bin")));
    EXPECT_EQ(dravnikSplit({dir.file("data.bin"), "-v100000", "-y", "-a" + dir.file("set")}), 0);
    EXPECT_EQ(joinArchive(dir.file("set")).data, source);
}

TEST(SplitSafety, StaleRemovalKeepsToItsOwnNumbering) {
    // Re-splitting a.10.bin as "a": M = 10 and W = 1, so a.10.bin and a.11.bin are another
    // archive's volumes (and one of them is the source).
    TempDir dir;
    size_t size = 9 * 20480 + 100 - headerSize(8);
    Bytes source = patternBytes(size, 9);
    ASSERT_TRUE(writeFile(dir.file("a.10.bin"), source));
    Bytes other = patternBytes(50, 3);
    ASSERT_TRUE(writeFile(dir.file("a.11.bin"), other));
    ASSERT_TRUE(writeFile(dir.file("a.0.exe"), other));
    {
        InFolder in(dir.path());
        EXPECT_EQ(dravnikSplit({"a.10.bin", "-v20480", "-aa", "-y"}), 0);
    }
    EXPECT_EQ(contents(dir.file("a.10.bin")), source);
    EXPECT_EQ(contents(dir.file("a.11.bin")), other);
    JoinedArchive a = joinArchive(dir.file("a"));
    EXPECT_EQ(a.record.volumeCount, 10);
    EXPECT_EQ(a.data, source);
}

TEST(SplitSafety, ASecondSplitOfARunningArchiveIsRefused) {
    TempDir dir;
    Bytes first = patternBytes(300000, 10), second = patternBytes(300000, 11);
    ASSERT_TRUE(writeFile(dir.file("one.bin"), first));
    ASSERT_TRUE(writeFile(dir.file("two.bin"), second));
    ASSERT_EQ(dravnikSplit({dir.file("one.bin"), "-v100000", "-a" + dir.file("set")}), 0);
    // A split of this archive that is still running holds its unfinished unpacker file.
    std::string unfinished = dir.file("set.~part");
    ASSERT_TRUE(writeFile(unfinished, Bytes(kEmbeddedUnpackerImage, kEmbeddedUnpackerImage + 100)));
    int held = open(unfinished.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    Bytes volume = contents(dir.file("set.2.bin"));
    EXPECT_EQ(dravnikSplit({dir.file("two.bin"), "-v100000", "-y", "-a" + dir.file("set")}), 1);
    close(held);
    EXPECT_EQ(contents(dir.file("set.2.bin")), volume);
    EXPECT_EQ(joinArchive(dir.file("set")).data, first);
    // A file of that name that no split wrote is nobody's to replace unasked.
    Bytes foreign = patternBytes(100, 14);
    ASSERT_TRUE(writeFile(unfinished, foreign));
    EXPECT_EQ(dravnikSplit({dir.file("two.bin"), "-v100000", "-y", "-a" + dir.file("set")}), 1);
    EXPECT_EQ(contents(unfinished), foreign);
    EXPECT_EQ(joinArchive(dir.file("set")).data, first);
}

TEST(SplitSafety, ASplitKilledOrInterruptedInItsLastVolumeLeavesNoArchive) {
    // Three members, the last one longer than the split's slice of 1 MiB (one kernel copy each),
    // so that it is written in steps.
    const size_t volume = 4194304;
    const size_t lastVolume = 3000000;
    const size_t size = 2 * volume + lastVolume - headerSize(8);
    // SIGHUP comes to a split started as nohup starts it, with the signal ignored.
    for (int signal : {SIGKILL, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        Bytes source = patternBytes(size, 15);
        ASSERT_TRUE(writeFile(dir.file("data.bin"), source));
        std::string base = dir.file("set");
        std::vector<std::string> split = {dir.file("data.bin"), "-v4194304", "-a" + base};
        // The split runs traced: it stops at each system call, and the poll of the last
        // volume's size runs at every stop, until the first bytes are in.
        pid_t child = fork();
        if (child == 0) {
            ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
            if (signal == SIGHUP) {
                ::signal(SIGHUP, SIG_IGN);
            }
            raise(SIGSTOP);
            _exit(dravnikSplit(split, false));
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
        long long seen = 0;
        int pass = 0;
        for (int stops = 0; stops < 1000000 && seen <= 0; ++stops) {
            ASSERT_EQ(ptrace(PTRACE_SYSCALL, child, nullptr, pass), 0);
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFSTOPPED(status)) << "the split ended first: " << status;
            pass = WSTOPSIG(status) == (SIGTRAP | 0x80) ? 0 : WSTOPSIG(status);
            seen = fileSize(base + ".2.bin");
        }
        ASSERT_GT(seen, 0);
        EXPECT_LT(seen, static_cast<long long>(lastVolume));
        kill(child, signal);
        ptrace(PTRACE_DETACH, child, nullptr, nullptr);
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (signal == SIGHUP) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            EXPECT_EQ(joinArchive(base).data, source);
            continue;
        }
        EXPECT_FALSE(exists(base + ".0.exe"));
        if (signal == SIGTERM) {
            // Stopped between two blocks: what it wrote is gone, and the shell's code.
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 143) << status;
            EXPECT_EQ(entryCount(dir.path()), 1);
            continue;
        }
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
        EXPECT_TRUE(exists(base + ".~part"));
        EXPECT_EQ(dravnikInfo({base + ".0.exe"}), 1);
        ASSERT_EQ(mkdir(dir.file("out").c_str(), 0700), 0);
        EXPECT_NE(dravnikJoin({base + ".0.exe", dir.file("out"), "-y"}), 0);
        EXPECT_EQ(entryCount(dir.file("out")), 0);
        // The next split asks before it replaces the volumes; the dead split's own file
        // it clears unasked.
        {
            NoTerminal noTerminal;
            EXPECT_EQ(dravnikSplit(split), 1);
        }
        EXPECT_TRUE(exists(base + ".1.bin"));
        split.push_back("-y");
        EXPECT_EQ(dravnikSplit(split), 0);
        EXPECT_EQ(joinArchive(base).data, source);
        EXPECT_FALSE(exists(base + ".~part"));
    }
}

TEST(SplitSafety, TwoSplitsAtOnceLeaveOneWholeArchive) {
    TempDir dir;
    const size_t size = 24 * 1024 * 1024;
    Bytes first = patternBytes(size, 12), second = patternBytes(size, 13);
    ASSERT_TRUE(writeFile(dir.file("one.bin"), first));
    ASSERT_TRUE(writeFile(dir.file("two.bin"), second));
    std::string base = dir.file("set");
    pid_t child = fork();
    if (child == 0) {
        _exit(dravnikSplit({dir.file("one.bin"), "-v20K", "-y", "-a" + base}));
    }
    int mine = dravnikSplit({dir.file("two.bin"), "-v20K", "-y", "-a" + base});
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    int theirs = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    EXPECT_TRUE(mine == 0 || theirs == 0);
    JoinedArchive a = joinArchive(base);
    ASSERT_EQ(a.error, "");
    // Whatever the timing, the archive on disk is one source whole, never a mix.
    EXPECT_TRUE(a.data == first || a.data == second);
    if (mine != 0) {
        EXPECT_EQ(a.data, first);
    }
    if (theirs != 0) {
        EXPECT_EQ(a.data, second);
    }
}

TEST(SplitSafety, NamesTheJoinRefusesAreRefusedBeforeWriting) {
    for (const char* name :
         {"nul.txt", "aux.c", "CON", "com1.log", "del\x7fname", "dot.", "blank "}) {
        SCOPED_TRACE(name);
        TempDir dir;
        ASSERT_TRUE(writeFile(dir.file(name), patternBytes(50000)));
        EXPECT_EQ(dravnikSplit({dir.file(name), "-v20480", "-y", "-a" + dir.file("set")}), 1);
        EXPECT_EQ(entryCount(dir.path()), 1);
    }
}

TEST(SplitSafety, EveryNameTheSplitAcceptsTheJoinAccepts) {
    for (const char* name :
         {"data.txt", ".profile", "a..b", "CONSOLE.txt", "COM10", "с пробелом.txt", "ёлка", "x",
          "semi;colon", "amp&er%sand", "#hash", "{braces}"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        ASSERT_TRUE(writeFile(dir.file(name), patternBytes(50000)));
        ASSERT_EQ(dravnikSplit({dir.file(name), "-v20480", "-y", "-a" + dir.file("set")}), 0);
        FILE* head = fopen(dir.file("set.0.exe").c_str(), "rb");
        ASSERT_NE(head, nullptr);
        char stored[kMaxTargetNameChars + 1];
        FileRecord record;
        EXPECT_TRUE(readArchiveHeader(head, stored, &record));
        fclose(head);
    }
}

TEST(FolderScan, FindsTakenNamesAndTheSourceWhateverTheirCase) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("src.bin"), patternBytes(10)));
    std::string base = dir.file("Set");
    std::string sourcePath = dir.file("src.bin");
    // Nothing there yet: a split's unfinished file is no member.
    ASSERT_TRUE(writeFile(dir.file("Set.~part"), patternBytes(10)));
    ArchiveFolderScan scan = scanArchiveFolder(base.c_str(), 12, 2, 11, sourcePath.c_str());
    EXPECT_FALSE(scan.memberExists);
    EXPECT_FALSE(scan.touchesSource);
    // A volume of another letter case is another file here, but one of our names is taken.
    ASSERT_TRUE(writeFile(dir.file("SET.05.BIN"), patternBytes(10)));
    ASSERT_TRUE(writeFile(dir.file("Set.11.bin"), patternBytes(10)));
    scan = scanArchiveFolder(base.c_str(), 12, 2, 11, sourcePath.c_str());
    EXPECT_TRUE(scan.memberExists);
    EXPECT_FALSE(scan.touchesSource);
    // A volume of an older 14-member archive (13) that is a link to the source.
    ASSERT_EQ(symlink(sourcePath.c_str(), dir.file("Set.13.bin").c_str()), 0);
    scan = scanArchiveFolder(base.c_str(), 12, 2, 13, sourcePath.c_str());
    EXPECT_TRUE(scan.touchesSource);
    // Without an older archive reaching it, or beyond it, or with another width, a name is
    // not ours.
    scan = scanArchiveFolder(base.c_str(), 12, 2, 11, sourcePath.c_str());
    EXPECT_FALSE(scan.touchesSource);
    ASSERT_EQ(unlink(dir.file("Set.13.bin").c_str()), 0);
    ASSERT_EQ(symlink(sourcePath.c_str(), dir.file("Set.14.bin").c_str()), 0);
    ASSERT_EQ(symlink(sourcePath.c_str(), dir.file("Set.013.bin").c_str()), 0);
    scan = scanArchiveFolder(base.c_str(), 12, 2, 13, sourcePath.c_str());
    EXPECT_FALSE(scan.touchesSource);
}

// Replacing reaches as far as the older archive's header says, and only in the new width.
TEST(FolderScan, ReplacedRangeIsTheOlderArchivesOwn) {
    TempDir dir;
    std::string base = dir.file("set");
    std::string exe;
    EXPECT_EQ(lastReplacedVolume(base.c_str(), 25, 2), 24u);  // nothing there
    std::string data(49 * 20480, 'x');
    ASSERT_EQ(writeArchive(base, "data.bin", data, 20480, &exe), 50);
    EXPECT_EQ(lastReplacedVolume(base.c_str(), 25, 2), 49u);
    EXPECT_EQ(lastReplacedVolume(base.c_str(), 60, 2), 59u);
    EXPECT_EQ(lastReplacedVolume(base.c_str(), 5, 1), 4u);  // set.0.exe is not there
    // The widest count of this width, one of the next width, and a header that does not read.
    FileRecord widest = recordFor(100);
    ASSERT_EQ(writeArchive(base, "data.bin", data, 20480, &exe, &widest), 50);
    EXPECT_EQ(lastReplacedVolume(base.c_str(), 25, 2), 99u);
    FileRecord wider = recordFor(101);
    ASSERT_EQ(writeArchive(base, "data.bin", data, 20480, &exe, &wider), 50);
    EXPECT_EQ(lastReplacedVolume(base.c_str(), 25, 2), 24u);
    ASSERT_TRUE(writeFile(exe, std::string("not an archive")));
    EXPECT_EQ(lastReplacedVolume(base.c_str(), 25, 2), 24u);
}

// A re-split removes the new archive's names and the older archive's volumes: a user's files
// beside them stay, and no volume of a larger older archive is left to pass for a member.
TEST(SplitSafety, ReplacingAnArchiveRemovesExactlyItsFiles) {
    TempDir dir;
    InFolder in(dir.path());
    ASSERT_TRUE(writeFile("big.bin", patternBytes(1000000)));
    ASSERT_TRUE(writeFile("small.bin", patternBytes(500000)));
    ASSERT_EQ(dravnikSplit({"small.bin", "-v20480", "-aa"}), 0);
    ASSERT_TRUE(exists("a.24.bin"));
    ASSERT_FALSE(exists("a.25.bin"));
    ASSERT_TRUE(writeFile("a.25.bin", std::string("mine")));
    ASSERT_TRUE(writeFile("a.26.bin", std::string("mine too")));
    ASSERT_EQ(dravnikSplit({"small.bin", "-v20480", "-aa", "-y"}), 0);
    EXPECT_EQ(readFile("a.25.bin"), "mine");
    EXPECT_EQ(readFile("a.26.bin"), "mine too");

    ASSERT_EQ(dravnikSplit({"big.bin", "-v20480", "-aa", "-y"}), 0);
    ASSERT_TRUE(exists("a.49.bin"));
    ASSERT_TRUE(writeFile("a.50.bin", std::string("mine")));
    ASSERT_EQ(dravnikSplit({"small.bin", "-v20480", "-aa", "-y"}), 0);
    for (int k = 25; k < 50; ++k) {
        EXPECT_FALSE(exists("a." + std::to_string(k) + ".bin")) << k;
    }
    EXPECT_EQ(readFile("a.50.bin"), "mine");
    EXPECT_EQ(entryCount(dir.path()), 2 + 25 + 1);
    EXPECT_EQ(joinArchive("a").data, patternBytes(500000));
}
