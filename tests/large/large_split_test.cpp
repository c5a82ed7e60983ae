// dravnik split on sparse sources just below and above 2^32 - H and 2^32, where 32-bit sizes
// wrapped: every member has the size the layout gives, the data lands where it belongs (marks
// on both sides of every member boundary and of 2^32 are compared with the source), and
// dravnik info calls the archive complete. Each case writes about 4 GiB.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/format.h"
#include "tests/unit/test_support.h"

using namespace testsupport;

namespace {

constexpr uint64_t kTwo32 = 4294967296ull;
constexpr uint32_t kGiB = 1073741824u;
const char kName[] = "big";              // L = 3
const uint32_t kHeader = headerSize(3);  // H
constexpr size_t kMarkSize = 16;
constexpr size_t kWindow = 64;  // bytes compared on each side of a mark

struct Case {
    uint64_t size;
    const char* volumeText;
    uint32_t volume;
    int members;
    uint64_t last;  // bytes in the last volume
};

std::ostream& operator<<(std::ostream& out, const Case& c) {
    return out << c.size << " in " << c.volumeText;
}

// Source offsets that carry a 16-byte mark (the offset in hex): both ends, both sides of every
// member boundary and of 2^32.
std::vector<uint64_t> markOffsets(uint64_t size, uint32_t volume) {
    std::vector<uint64_t> wanted = {0, size - kMarkSize, kTwo32 - kMarkSize, kTwo32};
    for (uint64_t k = 1; k * volume < size + kHeader; ++k) {
        wanted.push_back(k * volume - kHeader - kMarkSize);
        wanted.push_back(k * volume - kHeader);
    }
    std::sort(wanted.begin(), wanted.end());
    std::vector<uint64_t> marks;
    for (uint64_t offset : wanted) {
        if (offset + kMarkSize <= size && (marks.empty() || offset >= marks.back() + kMarkSize)) {
            marks.push_back(offset);
        }
    }
    return marks;
}

bool makeSparseSource(const std::string& path, uint64_t size, uint32_t volume) {
    int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    for (uint64_t offset : markOffsets(size, volume)) {
        char mark[kMarkSize + 1];
        snprintf(mark, sizeof mark, "%016llx", static_cast<unsigned long long>(offset));
        ok = ok && pwrite(fd, mark, kMarkSize, static_cast<off_t>(offset)) ==
                       static_cast<ssize_t>(kMarkSize);
    }
    return close(fd) == 0 && ok;
}

// n bytes of a file at offset (fewer at its end).
Bytes readAt(const std::string& path, uint64_t offset, size_t n) {
    Bytes out(n);
    int fd = open(path.c_str(), O_RDONLY);
    ssize_t got = fd >= 0 ? pread(fd, out.data(), n, static_cast<off_t>(offset)) : -1;
    if (fd >= 0) {
        close(fd);
    }
    out.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return out;
}

// The archive's members of `volume` bytes as one stream (the unpacker file first): n bytes at
// position p.
Bytes readArchive(const std::string& base, int width, uint32_t volume, uint64_t p, size_t n) {
    Bytes out;
    while (out.size() < n) {
        uint64_t member = p / volume;
        char number[kMaxDigitWidth + 2];
        formatNumber(number, width, static_cast<unsigned>(member));
        std::string path = base + "." + number + (member == 0 ? ".exe" : ".bin");
        Bytes part =
            readAt(path, p % volume, std::min<uint64_t>(n - out.size(), volume - p % volume));
        if (part.empty()) {
            break;
        }
        out.insert(out.end(), part.begin(), part.end());
        p += part.size();
    }
    return out;
}

bool roomFor(uint64_t bytes) {
    struct statvfs fs;
    return statvfs("/tmp", &fs) == 0 &&
           static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize > bytes + 2ull * kGiB;
}

class LargeSplit : public testing::TestWithParam<Case> {};

}  // namespace

TEST_P(LargeSplit, MembersAndDataAsTheLayoutGives) {
    const Case& c = GetParam();
    if (!roomFor(c.size)) {
        GTEST_SKIP() << "not enough room in /tmp for an archive of " << c.size << " bytes";
    }
    TempDir dir;
    std::string source = dir.file(kName);
    ASSERT_TRUE(makeSparseSource(source, c.size, c.volume));
    std::string base = dir.file("set");
    ASSERT_EQ(dravnikSplit({source, std::string("-v") + c.volumeText, "-a" + base}), 0);

    ASSERT_EQ(memberCountFor(c.size, kHeader, c.volume), static_cast<uint64_t>(c.members));
    int width = digitWidth(c.members);
    std::string unpacker = base + "." + std::string(width, '0') + ".exe";
    EXPECT_EQ(fileSize(unpacker), c.volume);
    for (int k = 1; k < c.members; ++k) {
        char number[kMaxDigitWidth + 2];
        formatNumber(number, width, static_cast<unsigned>(k));
        EXPECT_EQ(static_cast<uint64_t>(fileSize(base + "." + number + ".bin")),
                  k < c.members - 1 ? c.volume : c.last)
            << "volume " << k;
    }
    char past[kMaxDigitWidth + 2];
    formatNumber(past, width, static_cast<unsigned>(c.members));
    EXPECT_FALSE(exists(base + "." + past + ".bin")) << "no empty volume after the last";

    // The header: the image, the name, 0x22 and the record with M.
    Bytes header = readAt(unpacker, 0, kHeader);
    ASSERT_EQ(header.size(), kHeader);
    EXPECT_TRUE(
        std::equal(header.begin(), header.begin() + kUnpackerImageSize, kEmbeddedUnpackerImage));
    EXPECT_EQ(
        std::string(header.begin() + kUnpackerImageSize, header.begin() + kUnpackerImageSize + 4),
        "big\"");
    FileRecord record = decodeFileRecord(&header[kUnpackerImageSize + 4]);
    EXPECT_EQ(record.volumeCount, c.members);

    // Every mark and the bytes around it stand where they stand in the source.
    for (uint64_t mark : markOffsets(c.size, c.volume)) {
        uint64_t from = mark > kWindow ? mark - kWindow : 0;
        size_t n =
            static_cast<size_t>(std::min<uint64_t>(kWindow + kMarkSize + kWindow, c.size - from));
        EXPECT_EQ(readArchive(base, width, c.volume, from + kHeader, n), readAt(source, from, n))
            << "around source offset " << mark;
    }
    EXPECT_EQ(dravnikInfo({unpacker}), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Around4GiB, LargeSplit,
    testing::Values(
        // S + H = 2^32 - 1, 2^32 (exactly four full members) and one byte in a fifth.
        Case{kTwo32 - headerSize(3) - 1, "1G", kGiB, 4, kGiB - 1},
        Case{kTwo32 - headerSize(3), "1G", kGiB, 4, kGiB},
        Case{kTwo32 - headerSize(3) + 1, "1G", kGiB, 5, 1},
        // Around 2^32 itself, which read as 0 in 32 bits.
        Case{kTwo32 - 1, "1G", kGiB, 5, headerSize(3) - 1},
        Case{kTwo32, "1G", kGiB, 5, headerSize(3)},
        Case{kTwo32 + 1, "1G", kGiB, 5, headerSize(3) + 1},
        // 4098 members of 1 MiB: the bytes left after the first piece pass 2^32.
        Case{kTwo32 + 1048576, "1M", 1048576, 4098, headerSize(3)}));
