// The split engine's archives joined back by the join engine: both sides of the layout meet,
// over sizes around the volume boundaries and the digit-width changes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "archive/format.h"
#include "tests/unit/test_support.h"

using namespace testsupport;

namespace {

// Splits a source of `size` bytes named `name` into volumes of volumeSize bytes, joins the
// archive into another folder and checks the target byte for byte. Returns the member count.
int roundTrip(const std::string& name, size_t size, uint32_t volumeSize, unsigned seed) {
    TempDir dir;
    Bytes source = patternBytes(size, seed);
    EXPECT_TRUE(writeFile(dir.file(name), source));
    EXPECT_EQ(mkdir(dir.file("out").c_str(), 0700), 0);
    EXPECT_EQ(dravnikSplit({dir.file(name), "-v" + std::to_string(volumeSize), "-y",
                            "-a" + dir.file("set")}),
              0);
    JoinedArchive layout = joinArchive(dir.file("set"));
    EXPECT_EQ(layout.error, "");
    int width = digitWidth(layout.record.volumeCount);
    std::string unpacker = dir.file("set." + std::string(static_cast<size_t>(width), '0') + ".exe");
    EXPECT_EQ(dravnikJoin({unpacker, dir.file("out"), "-y"}), 0);
    Bytes joined;
    EXPECT_TRUE(readFile(dir.file("out/" + name), &joined));
    EXPECT_TRUE(joined == source) << "joined " << joined.size() << " of " << source.size();
    return layout.record.volumeCount;
}

}  // namespace

TEST(RoundTrip, SizesAroundVolumeBoundaries) {
    const std::string name = "data.bin";
    const uint32_t header = headerSize(static_cast<uint32_t>(name.size()));
    for (uint32_t volume : {20480u, 20481u, 65536u, 1457664u}) {
        for (uint32_t members : {2u, 3u, 7u}) {
            if (volume > 100000 && members > 2) {
                continue;  // floppy volumes: the boundary of two members is enough
            }
            // S + H just below, at and just above a whole number of volumes.
            size_t whole = static_cast<size_t>(members) * volume - header;
            for (size_t size : {whole - 1, whole, whole + 1}) {
                SCOPED_TRACE(std::to_string(volume) + " / " + std::to_string(size));
                int expected = static_cast<int>((size + header - 1) / volume + 1);
                EXPECT_EQ(roundTrip(name, size, volume, members), expected);
            }
        }
    }
}

TEST(RoundTrip, DigitWidthChanges) {
    const std::string name = "w.bin";
    const uint32_t header = headerSize(static_cast<uint32_t>(name.size()));
    for (int members : {10, 11, 100, 101}) {
        SCOPED_TRACE(members);
        size_t size = static_cast<size_t>(members - 1) * 20480 + 1 - header;
        EXPECT_EQ(roundTrip(name, size, 20480, static_cast<unsigned>(members)), members);
    }
}
