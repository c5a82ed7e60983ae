// The split engine against real files in a temporary folder, with a scripted UI and a canvas
// that records every drawing call.
#include "splitter/engine/split_engine.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <math.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "archive/header.h"
#include "platform/platform.h"
#include "splitter/form/sizes.h"
#include "tests/unit/test_support.h"

using namespace testsupport;

namespace {

const char kDone[] = "Готово!";
const char kWriteError[] = "Ошибка!\nВозможно, нет места на диске";

// A folder with an image file and a source; the state as the form would leave it.
struct Fixture {
    TempDir dir;
    ScriptedUi ui;
    SplitterState state;
    Bytes image = patternBytes(kUnpackerImageSize, 7);
    Bytes source;

    Fixture(const std::string& name, size_t size, uint32_t volumeSize) {
        ui.imagePath = dir.file("image.bin");
        EXPECT_TRUE(writeFile(ui.imagePath, image));
        source = patternBytes(size, 3);
        initSplitterState(&state);
        std::string sourcePath = dir.file(name);
        EXPECT_TRUE(writeFile(sourcePath, source));
        snprintf(state.sourcePath, sizeof state.sourcePath, "%s", sourcePath.c_str());
        snprintf(state.archiveName, sizeof state.archiveName, "%s", dir.file("set").c_str());
        state.sourceSize = size;
        state.sourceSizeKnown = 1;
        state.volumeSize = volumeSize;
        state.volumeCount = volumeCountFor(state.sourceSize, state.sourcePath, volumeSize);
    }

    std::string base() const { return dir.file("set"); }
    bool split() { return splitAsTheWindowDoes(&state, &ui); }
};

// The files in folder whose names start with prefix.
std::vector<std::string> filesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> out;
    DIR* dir = opendir(folder.c_str());
    while (struct dirent* entry = readdir(dir)) {
        if (strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) {
            out.push_back(folder + "/" + entry->d_name);
        }
    }
    closedir(dir);
    return out;
}

// True when a file under the archive's names reads as an archive: its header passes the reader,
// or the unpacker file and volumes 1 .. M - 1 are there in their sizes.
bool somethingPassesForTheArchive(const std::string& folder, const std::string& stem) {
    for (const std::string& path : filesStartingWith(folder, stem + ".")) {
        FILE* file = fopen(path.c_str(), "rb");
        char name[kMaxTargetNameChars + 1];
        FileRecord record;
        bool header = file != nullptr && readArchiveHeader(file, name, &record);
        if (file != nullptr) {
            fclose(file);
        }
        if (header) {
            return true;
        }
    }
    return joinArchive(folder + "/" + stem).error.empty();
}

}  // namespace

TEST(SplitEngine, WorkedExampleGivesTheListedMemberSizes) {
    Fixture f("data.txt", 100000, 20480);
    ASSERT_EQ(f.state.volumeCount, 6);
    ASSERT_TRUE(f.split());
    JoinedArchive a = joinArchive(f.base());
    ASSERT_EQ(a.error, "");
    // 7881 with a 10240-byte image; the expectation follows our own image constant.
    long long last = 100000 + headerSize(8) - 5 * 20480;
    EXPECT_EQ(a.members, (std::vector<long long>{20480, 20480, 20480, 20480, 20480, last}));
    EXPECT_EQ(a.image, f.image);
    EXPECT_EQ(a.name, "data.txt");
    EXPECT_EQ(a.data, f.source);
    EXPECT_EQ(a.record.volumeCount, 6);
    FileStamp stamp;
    platformReadFileStamp(f.state.sourcePath, &stamp);
    EXPECT_EQ(a.record.lastWriteTime, stamp.lastWriteTime);
    EXPECT_EQ(a.record.attributes, stamp.attributes);
    EXPECT_EQ(f.ui.events, (std::vector<std::string>{
                               "title Работаю...", "acquire", "release", "title Готово!",
                               std::string("message :-) ") + kDone, "title Dravnik v2.3"}));
}

TEST(SplitEngine, ExactMultipleFillsTheLastVolumeAndWritesNoEmptyOne) {
    Fixture f("x.bin", sizeFor(4, 20480, 5, 20480), 20480);
    ASSERT_EQ(f.state.volumeCount, 4);
    ASSERT_TRUE(f.split());
    JoinedArchive a = joinArchive(f.base());
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.members, (std::vector<long long>{20480, 20480, 20480, 20480}));
    EXPECT_EQ(a.data, f.source);
    EXPECT_FALSE(exists(f.base() + ".4.bin"));
}

TEST(SplitEngine, CloseAfterFinishBeepsAndClosesWithoutMessage) {
    Fixture f("a", 30000, 20480);
    f.state.closeAfterFinish = 1;
    ASSERT_TRUE(f.split());
    EXPECT_EQ(f.ui.events, (std::vector<std::string>{"title Работаю...", "acquire", "release",
                                                     "beep", "close"}));
}

TEST(ProgressDisc, DrawsTheEmptyDiscThenOneSectorPerMember) {
    Fixture f("data.txt", 100000, 20480);
    ASSERT_TRUE(f.split());
    EXPECT_EQ(f.ui.canvas.calls,
              (std::vector<std::string>{
                  "pen", "white", "ellipse 467 100 553 186", "restoreBrush", "red",
                  "pie 467 100 553 186 510 186 547 164", "pie 467 100 553 186 510 186 547 121",
                  // 3 * float(6.2831852 / 6) lies just past pi: x truncates to 509
                  "pie 467 100 553 186 510 186 509 100", "pie 467 100 553 186 510 186 472 121",
                  "pie 467 100 553 186 510 186 472 164",
                  // the last one starts 0.02 before the previous end; rim points truncate
                  "pie 467 100 553 186 472 163 509 185", "restoreBrush", "restorePen"}));
}

TEST(ProgressDisc, LastStepIsARadialLineAbove199Members) {
    Fixture f199("a", sizeFor(199, 20480, 1, 100), 20480);
    ASSERT_EQ(f199.state.volumeCount, 199);
    ASSERT_TRUE(f199.split());
    std::vector<std::string> d = f199.ui.canvas.drawings();
    ASSERT_EQ(d.size(), 199u);
    EXPECT_EQ(d.back(), "pie 467 100 553 186 507 185 509 185");

    Fixture f200("a", sizeFor(200, 20480, 1, 100), 20480);
    ASSERT_EQ(f200.state.volumeCount, 200);
    ASSERT_TRUE(f200.split());
    d = f200.ui.canvas.drawings();
    ASSERT_EQ(d.size(), 200u);
    EXPECT_EQ(d.back(), "line 510 143 507 185");
    EXPECT_EQ(joinArchive(f200.base()).data, f200.source);
}

namespace {

// The disc as the platform paints it from the recorded calls: Pie fills the sector
// counter-clockwise (as seen on the screen) from the ray through its first point to the ray
// through its second, and the whole disc when both points lie on one ray; a line fills nothing
// worth counting. Angles run from six o'clock, as the engine measures them.
class DiscModel {
  public:
    DiscModel() {
        for (int y = kPieTop; y < kPieBottom; ++y) {
            for (int x = kPieLeft; x < kPieRight; ++x) {
                double dx = x + 0.5 - kPieCentreX;
                double dy = y + 0.5 - kPieCentreY;
                if (dx * dx + dy * dy <= kPieRadius * kPieRadius) {
                    pixels_.push_back({angleOf(dx, dy), false});
                }
            }
        }
    }

    // Applies one recorded drawing; returns the red part of the disc after it.
    double apply(const std::string& call) {
        int l, t, r, b, x1, y1, x2, y2;
        if (sscanf(call.c_str(), "pie %d %d %d %d %d %d %d %d", &l, &t, &r, &b, &x1, &y1, &x2,
                   &y2) == 8) {
            double dx1 = x1 - kPieCentreX, dy1 = y1 - kPieCentreY;
            double dx2 = x2 - kPieCentreX, dy2 = y2 - kPieCentreY;
            bool oneRay = dx1 * dy2 - dy1 * dx2 == 0 && dx1 * dx2 + dy1 * dy2 > 0;
            double from = angleOf(dx1, dy1);
            double span = turn(angleOf(dx2, dy2) - from);
            for (Pixel& p : pixels_) {
                p.red = p.red || oneRay || turn(p.angle - from) <= span;
            }
        }
        size_t red = 0;
        for (const Pixel& p : pixels_) {
            red += p.red;
        }
        return static_cast<double>(red) / static_cast<double>(pixels_.size());
    }

  private:
    struct Pixel {
        double angle;
        bool red;
    };
    static constexpr double kTwoPi = 6.283185307179586;
    static double angleOf(double dx, double dy) { return turn(atan2(dx, dy)); }
    static double turn(double a) {
        a = fmod(a, kTwoPi);
        return a < 0 ? a + kTwoPi : a;
    }
    std::vector<Pixel> pixels_;
};

}  // namespace

// After the k-th of M drawings, about k / M of the disc is red, for small and large archives
// alike: above about 270 members the first sector's rim points truncate onto one ray, which
// the platform would paint as the whole disc.
TEST(ProgressDisc, FillsInProportionToTheFilesWrittenForEveryCount) {
    for (int members : {2, 199, 200, 300, 3000}) {
        SCOPED_TRACE(members);
        Fixture f("a", sizeFor(members, 20480, 1, 100), 20480);
        ASSERT_EQ(f.state.volumeCount, members);
        ASSERT_TRUE(f.split());
        std::vector<std::string> drawings = f.ui.canvas.drawings();
        ASSERT_EQ(drawings.size(), static_cast<size_t>(members));
        DiscModel disc;
        double red = 0;
        std::string first;  // the first drawing after which the red part is off
        for (int k = 1; k <= members; ++k) {
            red = disc.apply(drawings[k - 1]);
            double expected = static_cast<double>(k) / members;
            if (first.empty() && fabs(red - expected) > 0.02) {
                first = "drawing " + std::to_string(k) + " (" + drawings[k - 1] + ") leaves " +
                        std::to_string(red) + " of the disc red, not about " +
                        std::to_string(expected);
            }
        }
        EXPECT_EQ(first, "");
        EXPECT_GT(red, 0.99);
    }
}

// Where a sliver's rim points meet on one ray, the radial line stands for it; every other step
// stays a sector from six o'clock.
TEST(ProgressDisc, SliversOnOneRayAreRadialLines) {
    Fixture f("a", sizeFor(300, 20480, 1, 100), 20480);
    ASSERT_TRUE(f.split());
    std::vector<std::string> d = f.ui.canvas.drawings();
    ASSERT_EQ(d.size(), 300u);
    EXPECT_EQ(d[0], "line 510 143 510 185");
    EXPECT_EQ(d[1], "pie 467 100 553 186 510 186 511 185");
    EXPECT_EQ(d[299], "line 510 143 508 185");

    Fixture big("a", sizeFor(3000, 20480, 1, 100), 20480);
    ASSERT_TRUE(big.split());
    d = big.ui.canvas.drawings();
    for (size_t k = 0; k < d.size(); ++k) {
        bool early = k < 11;  // 43 * sin(k * 2 pi / 3000) stays below one pixel
        bool line = d[k].compare(0, 5, "line ") == 0;
        EXPECT_EQ(line, early || k + 1 == d.size()) << k << ": " << d[k];
    }
}

TEST(SplitEngine, DeclinedOverwriteWritesNothingAndStillRemembersFolders) {
    Fixture f("data.txt", 50000, 20480);
    Bytes old = patternBytes(100, 9);
    ASSERT_TRUE(writeFile(f.base() + ".0.exe", old));
    ASSERT_TRUE(writeFile(f.base() + ".1.bin", old));
    f.ui.answers = {false};
    EXPECT_FALSE(f.split());
    Bytes now;
    ASSERT_TRUE(readFile(f.base() + ".0.exe", &now));
    EXPECT_EQ(now, old);
    EXPECT_TRUE(exists(f.base() + ".1.bin"));
    EXPECT_EQ(f.ui.messages(),
              (std::vector<std::string>{"message ??? Вы хотите перезаписать существующий архив?"}));
    EXPECT_EQ(std::string(f.state.lastSourceDir), f.dir.path() + "/");
    EXPECT_EQ(std::string(f.state.archiveDir), f.dir.path() + "/");
}

TEST(SplitEngine, AcceptedOverwriteRemovesStaleVolumesOfItsOwnNumberingOnly) {
    // M = 9 over an older archive of 10 members: its volumes 1..9 go; 10 and 11 need two
    // digits, so they belong to another archive.
    Fixture f("a", sizeFor(9, 20480, 1, 500), 20480);
    ASSERT_EQ(f.state.volumeCount, 9);
    Bytes old = patternBytes(10, 9);
    std::string exe;
    ASSERT_EQ(
        writeArchive(f.base(), "old", std::string(sizeFor(10, 20480, 3, 500), 'o'), 20480, &exe),
        10);
    for (const char* n : {"10", "11"}) {
        ASSERT_TRUE(writeFile(f.base() + "." + n + ".bin", old));
    }
    f.ui.answers = {true};
    ASSERT_TRUE(f.split());
    EXPECT_FALSE(exists(f.base() + ".9.bin"));
    EXPECT_TRUE(exists(f.base() + ".10.bin"));
    EXPECT_TRUE(exists(f.base() + ".11.bin"));
    JoinedArchive a = joinArchive(f.base());
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.data, f.source);
}

TEST(SplitEngine, SourceWithoutFolderTakesTheProgramsFolder) {
    Fixture f("plain.dat", 30000, 20480);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(f.dir.path().c_str()), 0);
    snprintf(f.state.sourcePath, sizeof f.state.sourcePath, "plain.dat");
    snprintf(f.state.archiveName, sizeof f.state.archiveName, "set");
    bool ok = f.split();
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_TRUE(ok);
    EXPECT_STREQ(f.state.lastSourceDir, "/opt/dravnik/");
    EXPECT_STREQ(f.state.archiveDir, "/opt/dravnik/");
    EXPECT_EQ(joinArchive(f.base()).name, "plain.dat");
}

TEST(SplitPlan, SaysHowTheSplitRunsOrWhyNotAndShowsNothing) {
    Fixture f("data.txt", 100000, 20480);
    ASSERT_TRUE(writeFile(f.base() + ".3.bin", patternBytes(10)));
    SplitRequest request = splitRequestFrom(f.state);
    SplitPlan plan;
    ASSERT_TRUE(planSplit(request, &plan));
    EXPECT_EQ(plan.refusal, kSplitPlanned);
    EXPECT_STREQ(plan.headerName, "data.txt");
    EXPECT_EQ(plan.header, headerSize(8));
    EXPECT_EQ(plan.memberCount, 6);
    EXPECT_EQ(plan.width, 1);
    EXPECT_TRUE(plan.memberExists);
    // A refusal carries what its message names and the system's reason for it.
    std::string missing = f.dir.file("gone.txt");
    request.sourcePath = missing.c_str();
    EXPECT_FALSE(planSplit(request, &plan));
    EXPECT_EQ(plan.refusal, kRefusedSourceUnavailable);
    EXPECT_EQ(plan.reason, ENOENT);
    std::string folder = f.dir.file("set.0.exe");
    ASSERT_TRUE(unlink((f.base() + ".3.bin").c_str()) == 0 && mkdir(folder.c_str(), 0700) == 0);
    request.sourcePath = f.state.sourcePath;
    EXPECT_FALSE(planSplit(request, &plan));
    EXPECT_EQ(plan.refusal, kRefusedMemberBlocked);
    EXPECT_EQ(plan.subject, folder);
    char text[kSplitMessageSize];
    splitRefusalText(plan, text, sizeof text);
    EXPECT_EQ(text, "Не могу создать архив " + folder + "!");
    EXPECT_TRUE(f.ui.events.empty());
    EXPECT_EQ(entryCount(f.dir.path()), 3);  // the image, the source and the folder
}

// Everything the engine must refuse before it touches a file.
TEST(SplitEngine, RefusesBeforeWritingAnything) {
    struct Case {
        const char* what;
        std::function<void(Fixture&)> spoil;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"volume below the minimum",
         [](Fixture& f) {
             f.state.volumeSize = 20479;
             f.state.volumeCount = volumeCountFor(f.state.sourceSize, f.state.sourcePath, 20479);
         },
         "Размер тома не может быть меньше 20480!"},
        {"stale count", [](Fixture& f) { f.state.volumeCount += 1; },
         "Число файлов архива не соответствует размерам файла и тома! Проверьте размер тома."},
        {"one-member archive",
         [](Fixture& f) {
             f.state.volumeSize = 1457664;
             f.state.volumeCount = 1;
         },
         "Нет смысла разбивать файл"},
        {"size unknown", [](Fixture& f) { f.state.sourceSizeKnown = 0; },
         "Разбиваемый файл не выбран или недоступен!"},
        {"size changed since the form read it", [](Fixture& f) { f.state.sourceSize -= 1; },
         nullptr},
        {"member name over 255 bytes",
         [](Fixture& f) {
             std::string base = f.dir.file(std::string(250, 'n'));
             snprintf(f.state.archiveName, sizeof f.state.archiveName, "%s", base.c_str());
         },
         "Слишком длинное имя архива: имена его файлов длиннее 255 символов!"},
        {"archive would overwrite the source",
         [](Fixture& f) {
             std::string src = f.base() + ".1.bin";
             ASSERT_EQ(rename(f.state.sourcePath, src.c_str()), 0);
             snprintf(f.state.sourcePath, sizeof f.state.sourcePath, "%s", src.c_str());
             f.state.volumeCount =
                 volumeCountFor(f.state.sourceSize, f.state.sourcePath, f.state.volumeSize);
         },
         "Конфликт имен архива и исходного файла!"},
        {"name the unpacker would refuse, as C:x leaves it",
         [](Fixture& f) {
             std::string src = f.dir.file("c:data.txt");
             ASSERT_EQ(rename(f.state.sourcePath, src.c_str()), 0);
             snprintf(f.state.sourcePath, sizeof f.state.sourcePath, "%s", src.c_str());
             f.state.volumeCount =
                 volumeCountFor(f.state.sourceSize, f.state.sourcePath, f.state.volumeSize);
         },
         nullptr},
        {"archive name ends in a separator",
         [](Fixture& f) {
             snprintf(f.state.archiveName, sizeof f.state.archiveName, "%s/", f.dir.path().c_str());
         },
         "Введите имя архива!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f("data.txt", 50000, 20480);
        c.spoil(f);
        EXPECT_FALSE(f.split());
        ASSERT_EQ(f.ui.messages().size(), 1u);
        if (c.message != nullptr) {
            EXPECT_EQ(f.ui.messages()[0], std::string("message :-( ") + c.message);
        }
        EXPECT_TRUE(f.ui.canvas.calls.empty());
        EXPECT_EQ(entryCount(f.dir.path()), 2) << "only the image and the source";
    }
}

TEST(SplitEngine, SizeOf4GiBAndMoreReadIn32BitsIsRefusedAsChanged) {
    // Sources of 4 GiB and more are split (the large tests write them); a size that lost its
    // high bits on the way is not what the file holds, and nothing is written for it.
    for (long long size : {4294967296LL, 4294967296LL + 70000}) {
        SCOPED_TRACE(size);
        Fixture f("big", 0, 20480);
        ASSERT_EQ(truncate(f.state.sourcePath, size), 0);  // sparse
        f.state.sourceSize = static_cast<uint32_t>(size);  // what a 32-bit size read gives
        f.state.volumeCount = volumeCountFor(f.state.sourceSize, f.state.sourcePath, 20480);
        EXPECT_FALSE(f.split());
        EXPECT_EQ(f.ui.messages(),
                  (std::vector<std::string>{"message :-( Файл " + std::string(f.state.sourcePath) +
                                            " изменился! Проверьте его и повторите разбиение."}));
        EXPECT_FALSE(exists(f.base() + ".0.exe"));
    }
}

TEST(SplitEngine, MoreMembersThanTheRecordHoldsAreRefused) {
    // 2^31 - 1 members of 20480 bytes hold about 40 TiB: more than a sparse file on the disk
    // may have, so the source lies on a small tmpfs.
    Fixture f("data.txt", 100000, 20480);
    std::string disk = f.dir.file("disk");
    ASSERT_EQ(mkdir(disk.c_str(), 0700), 0);
    if (mount("dravnik-unit", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    }
    std::string source = disk + "/huge.img";
    uint64_t most = static_cast<uint64_t>(kMaxVolumeCount) * 20480 - headerSize(8);
    struct Case {
        uint64_t size;
        const char* message;  // nullptr: accepted as far as the count goes
    } cases[] = {
        {most + 1,
         "Слишком много томов: в архиве может быть не больше 2147483647 файлов! Увеличьте "
         "размер тома."},
        {most, nullptr},
    };
    std::vector<std::vector<std::string>> seen;
    for (const Case& c : cases) {
        f.ui.events.clear();
        int fd = open(source.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        bool made = fd >= 0 && ftruncate(fd, static_cast<off_t>(c.size)) == 0;
        if (fd >= 0) {
            close(fd);
        }
        if (!made) {
            umount(disk.c_str());
            FAIL() << "cannot make a sparse file of " << c.size << " bytes";
        }
        snprintf(f.state.sourcePath, sizeof f.state.sourcePath, "%s", source.c_str());
        f.state.sourceSize = c.size;
        f.state.volumeCount = volumeCountFor(c.size, f.state.sourcePath, 20480);
        // The 64k disk takes a few members at most: the refusal must come before any.
        snprintf(f.state.archiveName, sizeof f.state.archiveName, "%s/set", disk.c_str());
        f.split();
        seen.push_back(f.ui.messages());
        if (c.message != nullptr) {
            seen.back().push_back(exists(disk + "/set.0000000000.exe") ? "written" : "none");
        }
    }
    umount(disk.c_str());
    EXPECT_EQ(seen[0],
              (std::vector<std::string>{std::string("message :-( ") + cases[0].message, "none"}));
    // 2^31 - 1 members: counted and accepted with ten digits; only the full disk stops it.
    EXPECT_EQ(seen[1], (std::vector<std::string>{std::string("message :-( ") + kWriteError}));
    EXPECT_EQ(f.state.numberWidth, kMaxDigitWidth);
}

TEST(SplitEngine, ProgressCountsEverySourceByteOnce) {
    // 3 MiB in 1 MiB volumes: the slices stop at each member's end.
    Fixture f("data.txt", 3 * 1048576, 1048576);
    ASSERT_EQ(f.state.volumeCount, 4);
    ASSERT_TRUE(f.split());
    ASSERT_FALSE(f.ui.progressDone.empty());
    EXPECT_EQ(f.ui.progressTotal, 3u * 1048576u);
    EXPECT_EQ(f.ui.progressDone.back(), 3u * 1048576u);
    for (size_t i = 1; i < f.ui.progressDone.size(); ++i) {
        EXPECT_GT(f.ui.progressDone[i], f.ui.progressDone[i - 1]);
        EXPECT_LE(f.ui.progressDone[i] - f.ui.progressDone[i - 1], 1048576u);
    }
    // The first member's piece, then one slice per volume.
    EXPECT_EQ(f.ui.progressDone[0], 1048576u - headerSize(8));
    EXPECT_EQ(f.ui.progressDone.size(), 4u);
}

TEST(SplitEngine, MemberThatCannotBeReplacedIsReportedBeforeWriting) {
    // A folder in the way of volume 3 would stop the split half-way: it is found first.
    Fixture f("data.txt", 100000, 20480);
    ASSERT_EQ(mkdir((f.base() + ".3.bin").c_str(), 0700), 0);
    f.ui.answers = {true};
    EXPECT_FALSE(f.split());
    EXPECT_EQ(f.ui.messages(), (std::vector<std::string>{"message :-( Не могу создать архив " +
                                                         f.base() + ".3.bin!"}));
    EXPECT_FALSE(exists(f.base() + ".0.exe"));
    EXPECT_FALSE(exists(f.base() + ".2.bin"));
    struct stat st;
    EXPECT_TRUE(stat((f.base() + ".3.bin").c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

TEST(SplitEngine, VolumeThatCannotBeCreatedIsReportedByName) {
    // A folder that turns up in the way of volume 3 once the split runs.
    Fixture f("data.txt", 100000, 20480);
    std::string blocker = f.base() + ".3.bin";
    f.ui.onTitle = [&] { mkdir(blocker.c_str(), 0700); };
    EXPECT_FALSE(f.split());
    EXPECT_EQ(f.ui.messages(),
              (std::vector<std::string>{"message :-( Не могу создать архив " + blocker + "!"}));
    EXPECT_EQ(f.ui.events.back(), "title Dravnik v2.3");
    // What it wrote before is gone again; the folder in the way stays.
    EXPECT_EQ(filesStartingWith(f.dir.path(), "set."), (std::vector<std::string>{blocker}));
}

TEST(SplitEngine, AFileThatAppearsUnderAnArchiveNameMeanwhileStopsTheSplitAndStays) {
    // Nobody was asked about these names: the split creates its files new and renames its
    // unpacker file only onto a free name, and removes nothing it did not create.
    for (const char* name : {"set.3.bin", "set.0.exe", "set.~part"}) {
        SCOPED_TRACE(name);
        Fixture f("data.txt", 100000, 20480);
        std::string user = f.dir.file(name);
        Bytes precious = patternBytes(100, 6);
        f.ui.onTitle = [&] {
            if (f.ui.events.back() == "title Работаю...") {
                // Appears whole, as a file moved there does.
                ASSERT_TRUE(writeFile(user + ".new", precious));
                ASSERT_EQ(rename((user + ".new").c_str(), user.c_str()), 0);
            }
        };
        EXPECT_FALSE(f.split());
        std::string refused = name == std::string("set.3.bin") ? user : f.base() + ".0.exe";
        EXPECT_EQ(f.ui.messages(),
                  (std::vector<std::string>{"message :-( Не могу создать архив " + refused + "!"}));
        Bytes kept;
        EXPECT_TRUE(readFile(user, &kept));
        EXPECT_EQ(kept, precious);
        EXPECT_EQ(filesStartingWith(f.dir.path(), "set."), (std::vector<std::string>{user}));
    }
}

TEST(SplitEngine, AFifoAtTheUnfinishedNameIsLeftAloneAndNotTakenForARunningSplit) {
    Fixture f("data.txt", 100000, 20480);
    std::string fifo = f.base() + ".~part";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(f.split());
    EXPECT_EQ(f.ui.messages(),
              (std::vector<std::string>{"message :-( Не могу создать архив " + fifo + "!"}));
    EXPECT_EQ(filesStartingWith(f.dir.path(), "set."), (std::vector<std::string>{fifo}));
}

TEST(SplitEngine, ASplitCutShortLeavesNothingThatPassesForTheArchive) {
    // Three members, the last one longer than a stream buffer: each cut comes while the last
    // volume is written. The source is read through its own descriptor, found by its name.
    const uint32_t volume = 1048576;
    const size_t size = sizeFor(3, volume, 8, 600000);
    const uint64_t lastStarts = 2 * volume - headerSize(8);
    auto sourceDescriptor = [](const char* path) {
        for (int fd = 3; fd < 256; ++fd) {
            char link[64], target[4096];
            snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
            ssize_t n = readlink(link, target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<size_t>(n)) == path) {
                return fd;
            }
        }
        return -1;
    };
    struct Case {
        const char* what;
        std::function<void(Fixture&)> arrange;
        std::string message;  // "" for none
    };
    const std::string cannotRead = "message :-( Не могу прочитать файл ";
    std::vector<Case> cases = {
        {"disk full",
         [&](Fixture& f) {
             // Room for the unpacker file and volume 1 (256 pages each), not for volume 2.
             std::string disk = f.dir.file("disk");
             ASSERT_EQ(mkdir(disk.c_str(), 0700), 0);
             ASSERT_EQ(mount("dravnik-unit", disk.c_str(), "tmpfs", 0, "size=2304k"), 0)
                 << "needs root";
             snprintf(f.state.archiveName, sizeof f.state.archiveName, "%s/set", disk.c_str());
         },
         std::string("message :-( ") + kWriteError},
        {"read error",
         [&](Fixture& f) {
             f.ui.onProgress = [&f, &sourceDescriptor, lastStarts](uint64_t done) {
                 if (done == lastStarts) {
                     int fd = sourceDescriptor(f.state.sourcePath);
                     int folder = open(f.dir.path().c_str(), O_RDONLY | O_DIRECTORY);
                     ASSERT_GE(fd, 0);
                     dup2(folder, fd);  // reading a folder fails
                     close(folder);
                 }
             };
         },
         ""},
        {"shrunk source",
         [&](Fixture& f) {
             f.ui.onProgress = [&f, lastStarts](uint64_t done) {
                 if (done == lastStarts) {
                     ASSERT_EQ(truncate(f.state.sourcePath, static_cast<off_t>(done + 100)), 0);
                 }
             };
         },
         ""},
        {"stopped",
         [&](Fixture& f) {
             f.ui.onStopAsked = [&f, lastStarts] {
                 return !f.ui.progressDone.empty() && f.ui.progressDone.back() == lastStarts;
             };
         },
         "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f("data.txt", size, volume);
        ASSERT_EQ(f.state.volumeCount, 3);
        c.arrange(f);
        std::string folder = f.state.archiveName;
        folder.resize(folder.rfind('/'));
        bool ok = f.split();
        std::vector<std::string> left = filesStartingWith(folder, "set.");
        bool passes = somethingPassesForTheArchive(folder, "set");
        umount(f.dir.file("disk").c_str());
        EXPECT_FALSE(ok);
        EXPECT_FALSE(passes);
        EXPECT_EQ(left, std::vector<std::string>{});
        // What the user is told is what a failure always said; a stop says nothing.
        std::string expected =
            c.message.empty() ? cannotRead + f.state.sourcePath + "!" : c.message;
        EXPECT_EQ(f.ui.messages(), c.message == "none" ? std::vector<std::string>{}
                                                       : std::vector<std::string>{expected});
        EXPECT_EQ(f.ui.events.back(), "title Dravnik v2.3");
        // The disc stays as far as it was drawn: the unpacker file and volume 1.
        EXPECT_EQ(f.ui.canvas.drawings().size(), 2u);
    }
}

TEST(SplitEngine, MemberLinksAreReplacedNeverWrittenThrough) {
    Fixture f("data.txt", 100000, 20480);
    std::string outside = f.dir.file("outside");
    ASSERT_TRUE(writeFile(outside, patternBytes(100, 5)));
    ASSERT_EQ(chmod(outside.c_str(), 0444), 0);
    ASSERT_EQ(symlink(outside.c_str(), (f.base() + ".0.exe").c_str()), 0);
    ASSERT_EQ(symlink(outside.c_str(), (f.base() + ".3.bin").c_str()), 0);
    ASSERT_EQ(symlink("/dev/full", (f.base() + ".4.bin").c_str()), 0);
    f.ui.answers = {true};
    ASSERT_TRUE(f.split());
    Bytes after;
    ASSERT_TRUE(readFile(outside, &after));
    EXPECT_EQ(after, patternBytes(100, 5));
    struct stat st;
    ASSERT_EQ(stat(outside.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    for (const char* member : {".0.exe", ".3.bin", ".4.bin"}) {
        ASSERT_EQ(lstat((f.base() + member).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << member;
    }
    JoinedArchive a = joinArchive(f.base());
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.data, f.source);
}

TEST(SplitEngine, ShortReadOfTheImageIsAFailureNamingTheFile) {
    Fixture f("data.txt", 100000, 20480);
    ASSERT_TRUE(writeFile(f.ui.imagePath, patternBytes(kUnpackerImageSize - 1)));
    EXPECT_FALSE(f.split());
    EXPECT_EQ(
        f.ui.messages(),
        (std::vector<std::string>{"message :-( Не могу прочитать файл /opt/dravnik/dravnik.exe!"}));
    EXPECT_EQ(f.ui.events.back(), "title Dravnik v2.3");
}

TEST(SplitEngine, SourceThatShrinksOrGrowsDuringTheSplitIsAFailure) {
    for (long delta : {-30000L, +5L}) {
        SCOPED_TRACE(delta);
        Fixture f("data.txt", 100000, 20480);
        f.ui.onOpenImage = [&f, delta] {
            ASSERT_EQ(truncate(f.state.sourcePath, 100000 + delta), 0);
        };
        EXPECT_FALSE(f.split());
        std::vector<std::string> m = f.ui.messages();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_NE(m[0].find(f.state.sourcePath), std::string::npos);
        EXPECT_EQ(m[0].find(kDone), std::string::npos);
    }
}

TEST(CopyBytes, MovesExactlyTheCountAndReportsShortInput) {
    TempDir dir;
    Bytes data = patternBytes(10000);
    ASSERT_TRUE(writeFile(dir.file("in"), data));
    for (uint32_t count : {1u, 4095u, 4096u, 4097u, 8192u, 10000u}) {
        FILE* in = fopen(dir.file("in").c_str(), "rb");
        FILE* out = fopen(dir.file("out").c_str(), "wb");
        EXPECT_EQ(copyBytes(in, out, count), kCopyDone);
        fclose(in);
        fclose(out);
        Bytes written;
        readFile(dir.file("out"), &written);
        EXPECT_EQ(written, Bytes(data.begin(), data.begin() + count));
    }
    FILE* in = fopen(dir.file("in").c_str(), "rb");
    FILE* out = fopen(dir.file("out").c_str(), "wb");
    EXPECT_EQ(copyBytes(in, out, 10001), kCopyReadFailed);
    fclose(in);
    fclose(out);
}

TEST(CopyBytes, StreamsTakeUpWhereTheCopyStopped) {
    // Buffered reads and writes before and after a copy, from a file (copied by the kernel) and
    // from memory (the carried image, copied through the buffer): every byte once, in order.
    TempDir dir;
    Bytes data = patternBytes(300000);
    ASSERT_TRUE(writeFile(dir.file("in"), data));
    for (bool inMemory : {false, true}) {
        SCOPED_TRACE(inMemory ? "from memory" : "from a file");
        FILE* in = inMemory ? fmemopen(data.data(), data.size(), "rb")
                            : fopen(dir.file("in").c_str(), "rb");
        FILE* out = fopen(dir.file("out").c_str(), "wb");
        ASSERT_NE(in, nullptr);
        unsigned char head[1000];
        ASSERT_EQ(fread(head, 1, 1, in), 1u);    // the read-ahead holds what the copy must not skip
        ASSERT_EQ(fwrite(head, 1, 1, out), 1u);  // and the write buffer what it must not pass
        EXPECT_EQ(copyBytes(in, out, 200000), kCopyDone);
        ASSERT_EQ(fread(head, 1, sizeof head, in), sizeof head);
        ASSERT_EQ(fwrite(head, 1, sizeof head, out), sizeof head);
        EXPECT_EQ(ftell(in), 201001);
        EXPECT_EQ(ftell(out), 201001);
        EXPECT_EQ(copyBytes(in, out, 98999), kCopyDone);
        EXPECT_EQ(copyBytes(in, out, 1), kCopyReadFailed);
        fclose(in);
        fclose(out);
        Bytes written;
        ASSERT_TRUE(readFile(dir.file("out"), &written));
        EXPECT_EQ(written, data);
    }
}

TEST(SplitEngine, SourceWrittenInPlaceDuringTheSplitIsAFailure) {
    Fixture f("data.txt", 100000, 20480);
    f.ui.onTitle = [&] {
        if (f.ui.events.back() != "title Работаю...") {
            return;
        }
        // Same size, other bytes, a later write time.
        FILE* file = fopen(f.state.sourcePath, "r+b");
        ASSERT_NE(file, nullptr);
        fputs("changed", file);
        fclose(file);
        struct timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
        utimensat(AT_FDCWD, f.state.sourcePath, later, 0);
    };
    EXPECT_FALSE(f.split());
    ASSERT_EQ(f.ui.messages().size(), 1u);
    EXPECT_NE(f.ui.messages()[0].find("изменился"), std::string::npos);
}

TEST(SplitEngine, BaseNamesWindowsCannotHoldAreRefused) {
    for (const char* stem : {"a:b", "data.bin:x", "src\\s", "q?", "star*"}) {
        SCOPED_TRACE(stem);
        Fixture f("data.txt", 100000, 20480);
        snprintf(f.state.archiveName, sizeof f.state.archiveName, "%s", f.dir.file(stem).c_str());
        EXPECT_FALSE(f.split());
        EXPECT_EQ(
            f.ui.messages(),
            (std::vector<std::string>{"message :-( Недопустимое имя архива: " + f.dir.file(stem)}));
        EXPECT_EQ(entryCount(f.dir.path()), 2);  // the image and the source
    }
}
