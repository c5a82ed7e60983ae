#include "unpacker/join_engine.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/format.h"
#include "platform/platform.h"
#include "tests/unit/test_support.h"

using namespace testsupport;

namespace {

std::string pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    }
    return data;
}

JoinResult join(const std::string& exePath, FakeJoinUi* ui) {
    char path[kArchivePathSize];
    EXPECT_LT(exePath.size(), sizeof path);
    snprintf(path, sizeof path, "%s", exePath.c_str());
    char buffer[kCopyBufferSize];
    return joinArchive(path, ui, buffer, sizeof buffer);
}

struct Fixture {
    TempDir dir;
    std::string data;
    std::string exe;
    int members;
    FakeJoinUi ui;

    Fixture(size_t size, uint32_t volumeSize = kMinVolumeSize, const std::string& name = "data.txt")
        : data(pattern(size)) {
        mkdir(dir.file("out").c_str(), 0755);
        members = writeArchive(dir.file("set"), name, data, volumeSize, &exe);
        ui.folder = dir.file("out");
    }
    std::string target(const std::string& name = "data.txt") const {
        return dir.file("out/" + name);
    }
    // The file a join writes into until the target is whole, and keeps when it is not.
    std::string partial(const std::string& name = "data.txt") const {
        return target(name) + kIncompleteEnding;
    }
};

const std::string kOlder = "an older file under the target's name";

std::string damageMessage(const std::string& path) {
    return "Файл " + path + " поврежден";
}

size_t sizeForMembers(int members, size_t nameLength = 8) {
    return static_cast<size_t>(members - 1) * kMinVolumeSize + 1000 - headerSize(nameLength);
}

}  // namespace

TEST(JoinEngine, CompleteJoinWritesEveryByteAndTheRecordedTimes) {
    Fixture f(100000);
    ASSERT_EQ(f.members, 6);
    EXPECT_EQ(join(f.exe, &f.ui), kJoinComplete);
    struct stat st;
    ASSERT_EQ(stat(f.target().c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1577836800);
    EXPECT_EQ(st.st_atime, 1577836800 + 86400);
    EXPECT_EQ(readFile(f.target()), f.data);
    EXPECT_TRUE(f.ui.errors.empty());
    EXPECT_EQ(f.ui.log, (std::vector<std::string>{"title Распаковка data.txt", "folder", "beep"}));
    EXPECT_EQ(f.ui.range, 6);
    EXPECT_EQ(f.ui.steps, 6);
    // The archive is only read.
    EXPECT_EQ(readFile(f.exe).size(), kMinVolumeSize);
}

TEST(JoinEngine, VolumeNumbersFollowTheDigitWidth) {
    for (int members : {2, 10, 11}) {
        Fixture f(sizeForMembers(members));
        ASSERT_EQ(f.members, members);
        EXPECT_EQ(f.exe, f.dir.file(members == 11 ? "set.00.exe" : "set.0.exe"));
        EXPECT_EQ(join(f.exe, &f.ui), kJoinComplete) << members;
        EXPECT_EQ(readFile(f.target()), f.data) << members;
        EXPECT_EQ(f.ui.steps, members);
    }
}

TEST(JoinEngine, DriveRootFolderGetsOneSeparator) {
    Fixture f(30000);
    f.ui.folder = f.dir.file("out/");
    EXPECT_EQ(join(f.exe, &f.ui), kJoinComplete);
    EXPECT_EQ(readFile(f.target()), f.data);
}

TEST(JoinEngine, MissingVolumeGivenUpKeepsTheOlderFileAndTheIncompleteOne) {
    // Yes to replacing the older file, then No to the missing volume: the older file stays byte
    // for byte, and the pieces before the gap stay under the incomplete name, unstamped.
    Fixture f(100000);
    unlink(f.dir.file("set.3.bin").c_str());
    writeFile(f.target(), kOlder);
    f.ui.answers = {true, false};
    EXPECT_EQ(join(f.exe, &f.ui), kJoinIncomplete);
    EXPECT_EQ(readFile(f.target()), kOlder);
    size_t written = 3 * kMinVolumeSize - headerSize(8);
    EXPECT_EQ(readFile(f.partial()), f.data.substr(0, written));
    EXPECT_EQ(f.ui.log, (std::vector<std::string>{"title Распаковка data.txt", "folder",
                                                  "??? Файл уже существует.\nПерезаписать?",
                                                  ":-( Отсутствует set.3.bin\nХотите найти его?",
                                                  "beep", "error " + damageMessage(f.partial())}));
    struct stat st;
    ASSERT_EQ(stat(f.partial().c_str(), &st), 0);
    EXPECT_NE(st.st_mtime, 1577836800);  // only a whole result gets the recorded times
}

TEST(JoinEngine, IncompleteNameIsNeverTheTargetsAndFitsTheNameLimit) {
    char out[kMaxNameBytes + 1];
    ASSERT_TRUE(incompleteName("data.txt", kMaxNameBytes, out));
    EXPECT_EQ(std::string(out), std::string("data.txt") + kIncompleteEnding);
    const size_t ending = strlen(kIncompleteEnding);
    const size_t limit = kMaxNameBytes;
    // Names that end in the ending themselves, at the limit and just below it, and longer ones.
    for (size_t length : {limit - 1, limit, limit - ending, limit - ending + 1, 2 * limit}) {
        SCOPED_TRACE(length);
        std::string name = std::string(length - ending, 'n') + kIncompleteEnding;
        ASSERT_TRUE(incompleteName(name.c_str(), kMaxNameBytes, out));
        EXPECT_NE(std::string(out), name);
        EXPECT_LE(strlen(out), limit);
        EXPECT_EQ(std::string(out).substr(strlen(out) - ending), kIncompleteEnding);
    }
    // A UTF-8 name is cut between characters: "ж" is two bytes.
    std::string cyrillic;
    while (cyrillic.size() < limit) {
        cyrillic += "ж";
    }
    ASSERT_TRUE(incompleteName(cyrillic.c_str(), kMaxNameBytes, out));
    EXPECT_EQ((strlen(out) - ending) % 2, 0u);
    ASSERT_TRUE(incompleteName("data.txt", static_cast<unsigned>(ending) + 1, out));
    EXPECT_EQ(std::string(out), std::string("d") + kIncompleteEnding);
    EXPECT_FALSE(incompleteName("data.txt", static_cast<unsigned>(ending), out));
}

TEST(JoinEngine, PickedVolumeUnderAnotherNameContinuesBesideIt) {
    Fixture f(100000);
    mkdir(f.dir.file("moved").c_str(), 0755);
    for (int k = 2; k <= 5; ++k) {
        std::string from = f.dir.file("set." + std::to_string(k) + ".bin");
        std::string to = f.dir.file("moved/other." + std::to_string(k) + ".bin");
        ASSERT_EQ(rename(from.c_str(), to.c_str()), 0);
    }
    f.ui.answers = {true};
    f.ui.picks = {f.dir.file("moved/other.2.bin")};
    EXPECT_EQ(join(f.exe, &f.ui), kJoinComplete);
    EXPECT_EQ(readFile(f.target()), f.data);
    EXPECT_EQ(f.ui.log[3], "pick set.2.bin");
    EXPECT_TRUE(f.ui.errors.empty());
}

TEST(JoinEngine, DialogCancelledOrUnreadablePick) {
    {
        Fixture f(100000);
        unlink(f.dir.file("set.1.bin").c_str());
        f.ui.answers = {true};
        EXPECT_EQ(join(f.exe, &f.ui), kJoinIncomplete);
        EXPECT_EQ(f.ui.errors, (std::vector<std::string>{damageMessage(f.partial())}));
    }
    {
        // A picked file that cannot be read is named, then where the pieces before it are.
        Fixture f(100000);
        unlink(f.dir.file("set.1.bin").c_str());
        f.ui.answers = {true};
        f.ui.picks = {f.dir.file("nowhere.1.bin")};
        EXPECT_EQ(join(f.exe, &f.ui), kJoinIncomplete);
        EXPECT_EQ(f.ui.errors,
                  (std::vector<std::string>{"Невозможно прочитать " + f.dir.file("nowhere.1.bin"),
                                            damageMessage(f.partial())}));
        EXPECT_FALSE(exists(f.target()));
    }
}

TEST(JoinEngine, ExistingTargetKeptOnNoReplacedOnYes) {
    Fixture f(50000);
    writeFile(f.target(), "old");
    f.ui.answers = {false};
    EXPECT_EQ(join(f.exe, &f.ui), kJoinDeclined);
    EXPECT_EQ(readFile(f.target()), "old");
    EXPECT_EQ(f.ui.log.back(), "??? Файл уже существует.\nПерезаписать?");
    EXPECT_EQ(f.ui.steps, 0);

    chmod(f.target().c_str(), 0444);  // read-only is cleared before the file is replaced
    FakeJoinUi yes;
    yes.folder = f.ui.folder;
    yes.answers = {true};
    EXPECT_EQ(join(f.exe, &yes), kJoinComplete);
    EXPECT_EQ(readFile(f.target()), f.data);
}

TEST(JoinEngine, CancelledFolderPromptWritesNothing) {
    Fixture f(50000);
    f.ui.cancelFolder = true;
    EXPECT_EQ(join(f.exe, &f.ui), kJoinCancelled);
    EXPECT_FALSE(exists(f.target()));
    EXPECT_EQ(f.ui.log.back(), "folder");
}

TEST(JoinEngine, ZeroTimesAreNotApplied) {
    TempDir dir;
    std::string exe;
    FileRecord record = recordFor(2);
    record.creationTime = record.lastAccessTime = record.lastWriteTime = 0;
    writeArchive(dir.file("set"), "z.bin", pattern(15000), kMinVolumeSize, &exe, &record);
    FakeJoinUi ui;
    ui.folder = dir.path();
    time_t before = time(nullptr);
    EXPECT_EQ(join(exe, &ui), kJoinComplete);
    struct stat st;
    ASSERT_EQ(stat(dir.file("z.bin").c_str(), &st), 0);
    EXPECT_GE(st.st_mtime, before - 1);
}

TEST(JoinHeader, NotWellFormedHeadersAreRefusedBeforeAnythingIsAsked) {
    TempDir dir;
    const std::string image(kUnpackerImageSize, 'x');
    unsigned char record[kFileRecordSize];
    encodeFileRecord(recordFor(2), record);
    const std::string rec(reinterpret_cast<char*>(record), kFileRecordSize);
    auto withCount = [&](int32_t members) {
        FileRecord r = recordFor(members);
        unsigned char bytes[kFileRecordSize];
        encodeFileRecord(r, bytes);
        return image + "a.txt\"" + std::string(reinterpret_cast<char*>(bytes), kFileRecordSize) +
               "data";
    };
    const std::vector<std::string> bad = {
        image.substr(0, 100),                                 // shorter than the image
        image + std::string(256, 'n') + "\"" + rec + "data",  // no terminator in 256 bytes
        image + "a.txt\"" + rec.substr(0, 31),                // short record
        withCount(1),
        withCount(0),
        withCount(-5),
        withCount(INT32_MIN),  // 2^31 members: the record's count has its high bit set
        image + "..\"" + rec + "data",
        image + "sub/x\"" + rec + "data",
        image + "CON\"" + rec + "data",
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        std::string exe = dir.file("set.0.exe");
        writeFile(exe, bad[i]);
        FakeJoinUi ui;
        ui.folder = dir.path();
        EXPECT_EQ(join(exe, &ui), kJoinBadArchive) << i;
        EXPECT_EQ(ui.log, (std::vector<std::string>{"error Неверный заголовок архива:\n" + exe}))
            << i;
    }
    FakeJoinUi ui;
    EXPECT_EQ(join(dir.file("absent.0.exe"), &ui), kJoinBadArchive);
    EXPECT_EQ(ui.errors[0], "Невозможно прочитать " + dir.file("absent.0.exe"));
}

TEST(JoinHeader, LongestNameIsRead) {
    TempDir dir;
    std::string exe;
    std::string name(kMaxTargetNameChars, 'n');
    ASSERT_EQ(writeArchive(dir.file("set"), name, pattern(15000), kMinVolumeSize, &exe), 2);
    FILE* file = fopen(exe.c_str(), "rb");
    char read[kMaxTargetNameChars + 1];
    FileRecord record;
    ASSERT_TRUE(readArchiveHeader(file, read, &record));
    EXPECT_EQ(std::string(read), name);
    EXPECT_EQ(record.volumeCount, 2);
    EXPECT_EQ(ftell(file), static_cast<long>(headerSize(kMaxTargetNameChars)));
    fclose(file);
}

TEST(JoinHeader, EveryCountUpTo2To31Minus1IsRead) {
    // Sources of 4 GiB and more make archives of more members than a 32-bit source could.
    TempDir dir;
    for (int32_t members : {209716, 209717, 1000000001, kMaxVolumeCount}) {
        SCOPED_TRACE(members);
        FileRecord record = recordFor(members);
        unsigned char bytes[kFileRecordSize];
        encodeFileRecord(record, bytes);
        std::string exe = dir.file("set.0.exe");
        writeFile(exe, std::string(kUnpackerImageSize, '"') + "a.txt\"" +
                           std::string(reinterpret_cast<char*>(bytes), kFileRecordSize) + "data");
        FILE* file = fopen(exe.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        char name[kMaxTargetNameChars + 1];
        FileRecord read;
        EXPECT_TRUE(readArchiveHeader(file, name, &read));
        EXPECT_EQ(read.volumeCount, members);
        fclose(file);
    }
}

TEST(JoinHeader, TargetNamesThatCouldLeaveTheFolderAreUnsafe) {
    for (const char* name :
         {"",         ".",         "..",       "...",      " . ",  "a/b",     "a\\b",
          "C:x",      "tab\tname", "bell\x07", "CON",      "con",  "con.txt", "Nul.tar.gz",
          "AUX .txt", "PRN",       "COM1",     "com9.log", "LPT1", "lpt9.x",  "CONOUT$",
          "a*b",      "a?b",       "a|b",      "a<b",      "a>b"}) {
        EXPECT_FALSE(isSafeTargetName(name)) << name;
    }
    for (const char* name : {"data.txt", ".profile", "a..b", "CONSOLE.txt", "COM10", "COM0", "LPT",
                             "con1", "\xc4\xe0\xed\xed\xfb\xe5.txt", "with blank.txt"}) {
        EXPECT_TRUE(isSafeTargetName(name)) << name;
    }
}

TEST(JoinBuffers, OverlongPathsGiveMessagesNeverOverruns) {
    Fixture f(30000);
    // The archive path: 259 characters are accepted (then not found), 260 are refused.
    std::string longPath(kMaxArchivePathChars, 'p');
    longPath[0] = '/';
    FakeJoinUi ui;
    EXPECT_EQ(join(longPath, &ui), kJoinBadArchive);
    EXPECT_EQ(ui.errors[0].rfind("Невозможно прочитать", 0), 0u);
    FakeJoinUi ui2;
    EXPECT_EQ(join(longPath + "p", &ui2), kJoinBadArchive);
    EXPECT_EQ(ui2.errors[0].rfind("Слишком длинный путь", 0), 0u);

    // The target path: a folder that leaves room for the name, and for the incomplete file's
    // ending after one character of it, passes the length check (and fails on the missing
    // folder); one more character is refused before anything is created.
    size_t room = strlen(kIncompleteEnding) + 1;
    std::string folder = "/nonexistent/" + std::string(kMaxTargetPathChars - 13 - 1 - room, 'f');
    FakeJoinUi ui3;
    ui3.folder = folder;
    EXPECT_EQ(join(f.exe, &ui3), kJoinFailed);
    EXPECT_EQ(ui3.errors, (std::vector<std::string>{"Не могу создать целевой файл!"}));
    FakeJoinUi ui4;
    ui4.folder = folder + "f";
    EXPECT_EQ(join(f.exe, &ui4), kJoinFailed);
    EXPECT_EQ(ui4.errors[0].rfind("Слишком длинный путь", 0), 0u);
}

TEST(JoinBuffers, PickedPathTooLongOrTooShortForTheNextVolume) {
    {
        Fixture f(100000);
        unlink(f.dir.file("set.1.bin").c_str());
        f.ui.answers = {true};
        f.ui.picks = {"/" + std::string(kMaxArchivePathChars, 'q')};
        EXPECT_EQ(join(f.exe, &f.ui), kJoinIncomplete);
        ASSERT_EQ(f.ui.errors.size(), 2u);
        EXPECT_EQ(f.ui.errors[0].rfind("Слишком длинный путь", 0), 0u);
    }
    {
        // A picked file whose name is shorter than "N.bin": no next name can be formed.
        Fixture f(100000);
        rename(f.dir.file("set.1.bin").c_str(), f.dir.file("v1").c_str());
        f.ui.answers = {true};
        f.ui.picks = {f.dir.file("v1")};
        EXPECT_EQ(join(f.exe, &f.ui), kJoinIncomplete);
        EXPECT_EQ(readFile(f.partial()), f.data.substr(0, 2 * kMinVolumeSize - headerSize(8)));
        ASSERT_EQ(f.ui.errors.size(), 2u);
        EXPECT_EQ(f.ui.errors[0].rfind("Невозможно составить имя тома", 0), 0u);
        EXPECT_EQ(f.ui.errors[1], damageMessage(f.partial()));
    }
}

TEST(JoinCopy, FailedWriteIsReported) {
    FILE* source = tmpfile();
    fwrite("0123456789", 1, 10, source);
    rewind(source);
    FILE* full = fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    setvbuf(full, nullptr, _IONBF, 0);
    char buffer[4];
    EXPECT_EQ(copyPiece(source, full, 10, buffer, sizeof buffer), 2);
    fclose(full);
    rewind(source);
    FILE* sink = tmpfile();
    EXPECT_EQ(copyPiece(source, sink, 10, buffer, sizeof buffer), 0);
    EXPECT_EQ(ftell(sink), 10);
    fclose(sink);
    fclose(source);
}

namespace {

// Every file of the archive's folder with its bytes, to show that a join left them alone.
std::vector<std::string> folderBytes(const TempDir& dir, const std::vector<std::string>& names) {
    std::vector<std::string> bytes;
    for (const std::string& name : names) {
        bytes.push_back(readFile(dir.file(name)));
    }
    return bytes;
}

}  // namespace

TEST(JoinOwnFiles, TargetNamedLikeAMemberIsRefusedBeforeAnythingIsAskedOrRemoved) {
    // The target joined into the archive's own folder, named like a volume or like the .exe:
    // existing, missing (it would be read back as that volume) or spelled another way.
    struct Case {
        const char* name;
        const char* folder;   // relative to the archive's folder
        const char* removed;  // a member to remove first, or ""
    };
    const Case cases[] = {
        {"set.3.bin", ".", ""},      {"set.0.exe", ".", ""},          {"set.1.bin", "./", ""},
        {"set.5.bin", "out/..", ""}, {"set.2.bin", ".", "set.2.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string data = pattern(100000);
        std::string exe;
        ASSERT_EQ(writeArchive(dir.file("set"), c.name, data, kMinVolumeSize, &exe), 6);
        mkdir(dir.file("out").c_str(), 0755);
        if (c.removed[0] != '\0') {
            unlink(dir.file(c.removed).c_str());
        }
        std::vector<std::string> names = {"set.0.exe", "set.1.bin", "set.2.bin",
                                          "set.3.bin", "set.4.bin", "set.5.bin"};
        std::vector<std::string> before = folderBytes(dir, names);
        FakeJoinUi ui;
        ui.folder = dir.file(c.folder);
        ui.answers = {true, true, true};
        EXPECT_EQ(join(exe, &ui), kJoinRefused);
        ASSERT_EQ(ui.errors.size(), 1u);
        EXPECT_EQ(ui.errors[0].rfind("Файл ", 0), 0u) << ui.errors[0];
        EXPECT_NE(ui.errors[0].find("принадлежит архиву"), std::string::npos);
        EXPECT_NE(ui.errors[0].find(c.name), std::string::npos) << ui.errors[0];
        EXPECT_EQ(ui.steps, 0);
        for (const std::string& line : ui.log) {
            EXPECT_NE(line.rfind("???", 0), 0u) << "no overwrite question: " << line;
        }
        EXPECT_EQ(folderBytes(dir, names), before);
        EXPECT_EQ(exists(dir.file(c.removed)), c.removed[0] == '\0');
    }
}

TEST(JoinOwnFiles, TargetThatReachesAMemberThroughALinkIsRefused) {
    Fixture f(100000);
    // A symbolic link and a hard link in the chosen folder, both reaching archive files.
    ASSERT_EQ(symlink(f.dir.file("set.2.bin").c_str(), f.target().c_str()), 0);
    std::string before = readFile(f.dir.file("set.2.bin"));
    f.ui.answers = {true};
    EXPECT_EQ(join(f.exe, &f.ui), kJoinRefused);
    EXPECT_EQ(readFile(f.dir.file("set.2.bin")), before);

    unlink(f.target().c_str());
    ASSERT_EQ(link(f.exe.c_str(), f.target().c_str()), 0);
    std::string exeBytes = readFile(f.exe);
    FakeJoinUi again;
    again.folder = f.ui.folder;
    again.answers = {true};
    EXPECT_EQ(join(f.exe, &again), kJoinRefused);
    EXPECT_EQ(readFile(f.exe), exeBytes);
}

TEST(JoinOwnFiles, TheFileBeingWrittenIsNeverReadBackAsAVolume) {
    // The missing volume is picked as the incomplete file itself: refused as unreadable, it
    // stays as far as it was written instead of growing from its own bytes.
    Fixture f(100000);
    unlink(f.dir.file("set.2.bin").c_str());
    f.ui.answers = {true};
    f.ui.picks = {f.partial()};
    EXPECT_EQ(join(f.exe, &f.ui), kJoinIncomplete);
    EXPECT_EQ(f.ui.errors, (std::vector<std::string>{"Невозможно прочитать " + f.partial(),
                                                     damageMessage(f.partial())}));
    EXPECT_EQ(readFile(f.partial()), f.data.substr(0, 2 * kMinVolumeSize - headerSize(8)));
}

TEST(JoinRegularFiles, FifosDevicesAndFoldersAreUnreadableAndNeverWaitedFor) {
    // Each stands in for volume 2 (then asked for as missing, answered No) or for the archive.
    struct Case {
        const char* what;
        void (*make)(const std::string& path);
    };
    const Case cases[] = {
        {"fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }},
        {"link to /dev/zero",
         [](const std::string& p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); }},
        {"folder", [](const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0755), 0); }},
    };
    // A join that waits on a FIFO never returns: the alarm ends the test instead.
    alarm(30);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f(100000);
        unlink(f.dir.file("set.2.bin").c_str());
        c.make(f.dir.file("set.2.bin"));
        f.ui.answers = {false};
        EXPECT_EQ(join(f.exe, &f.ui), kJoinIncomplete);
        EXPECT_EQ(f.ui.log[2], ":-( Отсутствует set.2.bin\nХотите найти его?");
        EXPECT_EQ(readFile(f.partial()).size(), 2 * kMinVolumeSize - headerSize(8));

        std::string archive = f.dir.file(std::string("other.0.exe"));
        c.make(archive);
        FakeJoinUi ui;
        ui.folder = f.ui.folder;
        EXPECT_EQ(join(archive, &ui), kJoinBadArchive);
        EXPECT_EQ(ui.errors, (std::vector<std::string>{"Невозможно прочитать " + archive}));
    }
    alarm(0);
}

TEST(JoinTarget, ALinkInItsPlaceIsReplacedAndWhatItReachesStaysAsItWas) {
    Fixture f(50000);
    std::string outside = f.dir.file("outside.txt");
    writeFile(outside, "outside the folder");
    ASSERT_EQ(chmod(outside.c_str(), 0444), 0);
    ASSERT_EQ(symlink(outside.c_str(), f.target().c_str()), 0);
    f.ui.answers = {true};
    EXPECT_EQ(join(f.exe, &f.ui), kJoinComplete);
    EXPECT_EQ(readFile(outside), "outside the folder");
    struct stat st;
    ASSERT_EQ(stat(outside.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_NE(st.st_mtime, 1577836800);
    ASSERT_EQ(lstat(f.target().c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mtime, 1577836800);
    EXPECT_EQ(readFile(f.target()), f.data);
}

TEST(JoinTarget, AFolderOfItsNameIsNeitherAskedAboutNorChanged) {
    Fixture f(50000);
    ASSERT_EQ(mkdir(f.target().c_str(), 0555), 0);
    EXPECT_EQ(join(f.exe, &f.ui), kJoinFailed);
    EXPECT_EQ(f.ui.log, (std::vector<std::string>{"title Распаковка data.txt", "folder",
                                                  "error Не могу создать целевой файл!"}));
    struct stat st;
    ASSERT_EQ(stat(f.target().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0555u);
}

TEST(JoinTarget, TheIncompleteFileOfAnotherRunningJoinIsLeftAlone) {
    // Another join of the same archive into the same folder holds its incomplete file.
    Fixture f(50000);
    ReplaceStatus status;
    FILE* held = platformReplaceFile(f.partial().c_str(), true, &status);
    ASSERT_NE(held, nullptr);
    const std::string theirs = f.data.substr(0, 1000);
    fwrite(theirs.data(), 1, theirs.size(), held);
    fflush(held);
    EXPECT_EQ(join(f.exe, &f.ui), kJoinFailed);
    EXPECT_EQ(f.ui.errors, (std::vector<std::string>{"Не могу создать целевой файл!"}));
    EXPECT_EQ(readFile(f.partial()), theirs);
    EXPECT_FALSE(exists(f.target()));
    fclose(held);

    // One that an earlier join left, when it was ended, is replaced.
    FakeJoinUi again;
    again.folder = f.ui.folder;
    EXPECT_EQ(join(f.exe, &again), kJoinComplete);
    EXPECT_EQ(readFile(f.target()), f.data);
    EXPECT_FALSE(exists(f.partial()));
}

TEST(JoinTarget, AnyOtherFileAtTheIncompleteNameIsLeftAlone) {
    // Only this archive's own bytes, from the first on, make an earlier join's leftover. Not so
    // a user's file, the same bytes under a second name or through a link, or more bytes than
    // the archive has; the join then names that file and writes nothing.
    Fixture f(50000);
    const std::string mine = f.data.substr(0, kMinVolumeSize);  // past the first volume
    std::string elsewhere = f.dir.file("elsewhere");
    std::vector<std::function<void()>> others = {
        [&] { writeFile(f.partial(), "a user's notes"); },
        [&] { writeFile(f.partial(), mine + "!"); },
        [&] { writeFile(f.partial(), f.data + "!"); },
        [&] {
            writeFile(elsewhere, mine);
            ASSERT_EQ(link(elsewhere.c_str(), f.partial().c_str()), 0);
        },
        [&] {
            writeFile(elsewhere, mine);
            ASSERT_EQ(symlink(elsewhere.c_str(), f.partial().c_str()), 0);
        },
    };
    for (size_t i = 0; i < others.size(); ++i) {
        SCOPED_TRACE(i);
        others[i]();
        std::string before = readFile(f.partial());
        FakeJoinUi ui;
        ui.folder = f.ui.folder;
        EXPECT_EQ(join(f.exe, &ui), kJoinFailed);
        EXPECT_EQ(ui.errors, (std::vector<std::string>{"Файл " + f.partial() + " уже существует"}));
        EXPECT_EQ(readFile(f.partial()), before);
        EXPECT_FALSE(exists(f.target()));
        EXPECT_EQ(ui.steps, 0);
        unlink(f.partial().c_str());
        unlink(elsewhere.c_str());
    }
    // An earlier join's, ended after the first volume or before its first byte, is replaced.
    for (const std::string& leftover : {mine, std::string()}) {
        writeFile(f.partial(), leftover);
        FakeJoinUi ui;
        ui.folder = f.ui.folder;
        EXPECT_EQ(join(f.exe, &ui), kJoinComplete);
        EXPECT_EQ(readFile(f.target()), f.data);
        EXPECT_FALSE(exists(f.partial()));
        unlink(f.target().c_str());
    }
}

TEST(JoinTarget, AFileThatTakesItsNameDuringTheJoinIsAskedAboutThen) {
    // The target was not there when the join began, so nobody agreed to replace anything.
    // Another program saves a file under its name while the volumes are copied: the finished
    // file never replaces it unasked. No keeps the whole result under its own name, and says
    // so; Yes replaces.
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        Fixture f(50000);
        f.ui.onStep = [&] {
            if (!exists(f.target())) {
                writeFile(f.target(), "saved meanwhile");
            }
        };
        f.ui.answers = {yes};
        EXPECT_EQ(join(f.exe, &f.ui), yes ? kJoinComplete : kJoinKept);
        EXPECT_EQ(f.ui.log[2], "??? Файл уже существует.\nПерезаписать?");
        if (yes) {
            EXPECT_EQ(readFile(f.target()), f.data);
            EXPECT_FALSE(exists(f.partial()));
            EXPECT_TRUE(f.ui.errors.empty());
        } else {
            EXPECT_EQ(readFile(f.target()), "saved meanwhile");
            EXPECT_EQ(readFile(f.partial()), f.data);
            EXPECT_EQ(f.ui.errors, (std::vector<std::string>{"Файл сохранен как " + f.partial()}));
        }
    }
}

TEST(JoinSizes, EveryVolumeButTheLastIsVBytesAndTheLastOneToV) {
    EXPECT_TRUE(volumeSizeFits(20480, 20480, false));
    EXPECT_FALSE(volumeSizeFits(20479, 20480, false));
    EXPECT_FALSE(volumeSizeFits(20481, 20480, false));
    EXPECT_FALSE(volumeSizeFits(0, 20480, true));
    EXPECT_TRUE(volumeSizeFits(1, 20480, true));
    EXPECT_TRUE(volumeSizeFits(20480, 20480, true));
    EXPECT_FALSE(volumeSizeFits(20481, 20480, true));
    EXPECT_FALSE(volumeSizeFits(-1, 20480, true));
    // Sizes past 32 bits.
    EXPECT_TRUE(volumeSizeFits(0x100000000ll, 0x100000000ll, false));
    EXPECT_FALSE(volumeSizeFits(0x100000000ll + 20480, 20480, false));
}

TEST(JoinSizes, AVolumeOfTheWrongSizeIsCopiedAsFoundAndReportedAsDamage) {
    struct Case {
        const char* what;
        const char* volume;
        size_t size;
    };
    const Case cases[] = {
        {"empty last volume", "set.4.bin", 0},
        {"middle volume cut short", "set.2.bin", 5000},
        {"middle volume three times V", "set.2.bin", 3 * kMinVolumeSize},
        {"last volume longer than V", "set.4.bin", kMinVolumeSize + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f(4 * kMinVolumeSize + 1000 - headerSize(8));
        ASSERT_EQ(f.members, 5);
        std::string replaced = pattern(c.size + 7).substr(7);
        writeFile(f.dir.file(c.volume), replaced);
        std::string expected;
        for (const char* name : {"set.0.exe", "set.1.bin", "set.2.bin", "set.3.bin", "set.4.bin"}) {
            std::string bytes = readFile(f.dir.file(name));
            expected += name == std::string("set.0.exe") ? bytes.substr(headerSize(8)) : bytes;
        }
        writeFile(f.target(), kOlder);
        f.ui.answers = {true};
        EXPECT_EQ(join(f.exe, &f.ui), kJoinDamaged);
        EXPECT_EQ(readFile(f.target()), kOlder);
        EXPECT_EQ(readFile(f.partial()), expected);
        EXPECT_EQ(f.ui.log.back(), "error " + damageMessage(f.partial()));
        EXPECT_EQ(f.ui.steps, 5);
    }
    // A whole archive, its last volume exactly V: no message.
    Fixture whole(4 * kMinVolumeSize - headerSize(8));
    ASSERT_EQ(whole.members, 4);
    EXPECT_EQ(join(whole.exe, &whole.ui), kJoinComplete);
    EXPECT_EQ(whole.ui.log.back(), "beep");
}

TEST(JoinSizes, EachPieceIsMeasuredAndCopiedToThatSize) {
    FILE* source = tmpfile();
    fwrite("0123456789", 1, 10, source);
    fseek(source, 3, SEEK_SET);
    FILE* sink = tmpfile();
    char buffer[4];
    EXPECT_EQ(copyPiece(source, sink, 5, buffer, sizeof buffer), 0);
    EXPECT_EQ(ftell(sink), 5);
    EXPECT_EQ(ftell(source), 8);
    // A source that ends before its measured size is a failed read, never a short success.
    EXPECT_EQ(copyPiece(source, sink, 5, buffer, sizeof buffer), 1);
    fclose(sink);
    fclose(source);
}

TEST(JoinText, ControlCharactersOfNamesArePrintedEscaped) {
    char out[64];
    formatText(out, sizeof out, "Невозможно прочитать %s", "a\x1b]0;x\x07\nb\x7f");
    EXPECT_STREQ(out, "Невозможно прочитать a\\x1b]0;x\\x07\\x0ab\\x7f");
    // The pattern's own line ends stay; an escape that does not fit is left out whole.
    formatText(out, sizeof out, "a\n%s", "\x1b");
    EXPECT_STREQ(out, "a\n\\x1b");
    char small[6];
    formatText(small, sizeof small, "ab%s", "\x1b");
    EXPECT_STREQ(small, "ab");
}

TEST(JoinTarget, AWriteThatFailsOnceFailsTheJoinEvenIfSpaceIsFreedLater) {
    // The target's stream is written out between pieces. The disk is full then; while the
    // user looks for a missing volume, space is freed. The bytes that did not reach the disk
    // must fail the join, not leave a hole in a target reported as complete.
    Fixture f(100000);
    std::string disk = f.dir.file("disk");
    ASSERT_EQ(mkdir(disk.c_str(), 0700), 0);
    if (mount("dravnik-unit", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    }
    std::string filler = disk + "/filler";
    std::ofstream(filler, std::ios::binary) << std::string(44 * 1024, 'x');
    // The older file stays byte for byte; what was written stays under the incomplete name.
    writeFile(disk + "/data.txt", kOlder);
    std::string moved = f.dir.file("elsewhere.2.bin");
    ASSERT_EQ(rename(f.dir.file("set.2.bin").c_str(), moved.c_str()), 0);
    f.ui.folder = disk;
    f.ui.answers = {true, true};
    f.ui.picks = {moved};
    f.ui.beforePick = [&] { unlink(filler.c_str()); };
    JoinResult result = join(f.exe, &f.ui);
    std::string older = readFile(disk + "/data.txt");
    bool kept = exists(disk + "/data.txt" + kIncompleteEnding);
    umount(disk.c_str());
    EXPECT_EQ(result, kJoinFailed);
    EXPECT_EQ(f.ui.errors,
              (std::vector<std::string>{"Ошибка!\nВозможно, нет места на диске\nФайл " + disk +
                                        "/data.txt" + kIncompleteEnding + " не дописан"}));
    EXPECT_EQ(older, kOlder);
    EXPECT_TRUE(kept);
}
