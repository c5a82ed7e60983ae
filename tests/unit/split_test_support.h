// Helpers for the split tests: a temporary folder, file bytes, and a reader that joins an
// archive back by its layout (image, name, 0x22, record, first piece, raw volumes).
#pragma once

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "archive/format.h"

namespace splittest {

using Bytes = std::vector<unsigned char>;

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/dravnik-split-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made != nullptr ? made : "";
    }
    ~TempDir() { removeTree(path_); }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    static void removeTree(const std::string& path) {
        DIR* dir = opendir(path.c_str());
        if (dir != nullptr) {
            while (struct dirent* entry = readdir(dir)) {
                std::string name = entry->d_name;
                if (name == "." || name == "..") {
                    continue;
                }
                std::string child = path + "/" + name;
                struct stat st;
                if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                    chmod(child.c_str(), 0700);
                    removeTree(child);
                } else {
                    unlink(child.c_str());
                }
            }
            closedir(dir);
        }
        rmdir(path.c_str());
    }

    std::string path_;
};

// Deterministic, position-dependent content, so a misplaced block shows.
inline Bytes patternBytes(size_t size, unsigned seed = 1) {
    Bytes data(size);
    uint32_t x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = static_cast<unsigned char>(x >> 16);
    }
    return data;
}

inline bool writeFile(const std::string& path, const Bytes& data) {
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    bool ok = data.empty() || fwrite(data.data(), data.size(), 1, f) == 1;
    return fclose(f) == 0 && ok;
}

inline bool readFile(const std::string& path, Bytes* data) {
    data->clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    unsigned char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, f)) > 0) {
        data->insert(data->end(), block, block + n);
    }
    fclose(f);
    return true;
}

inline bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

inline long long fileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// What an archive holds, read back by its layout.
struct JoinedArchive {
    Bytes image;
    std::string name;  // as stored (code page 1251)
    FileRecord record;
    Bytes data;                      // the first piece and every volume, in order
    std::vector<long long> members;  // each member's size, the unpacker file first
    std::string error;               // empty when the layout held
};

// Joins the archive of base name `base` back the way the unpacker reads it, checking the layout
// on the way: unpacker file and volumes 1..M-1 each exactly V bytes but the last (1..V), and
// no volume M.
inline JoinedArchive joinArchive(const std::string& base) {
    JoinedArchive out{};
    Bytes first;
    // The width is not known before the record is read; find the unpacker file by trying.
    int width = 0;
    for (int w = 1; w <= kMaxDigitWidth && width == 0; ++w) {
        if (readFile(base + "." + std::string(w, '0') + ".exe", &first)) {
            width = w;
        }
    }
    if (width == 0) {
        out.error = "no unpacker file";
        return out;
    }
    size_t v = first.size();
    out.members.push_back(static_cast<long long>(v));
    if (v < kUnpackerImageSize + 1 + kFileRecordSize) {
        out.error = "unpacker file too short";
        return out;
    }
    out.image.assign(first.begin(), first.begin() + kUnpackerImageSize);
    size_t p = kUnpackerImageSize;
    while (p < v && first[p] != kNameTerminator) {
        out.name.push_back(static_cast<char>(first[p++]));
    }
    if (p + 1 + kFileRecordSize > v) {
        out.error = "no terminator or record";
        return out;
    }
    out.record = decodeFileRecord(&first[p + 1]);
    p += 1 + kFileRecordSize;
    out.data.assign(first.begin() + static_cast<long>(p), first.end());
    int m = out.record.volumeCount;
    if (m < 2 || digitWidth(m) != width) {
        out.error = "member count does not match the name's width";
        return out;
    }
    for (int k = 1; k < m; ++k) {
        char number[kMaxDigitWidth + 2];
        formatNumber(number, width, static_cast<unsigned>(k));
        Bytes volume;
        if (!readFile(base + "." + number + ".bin", &volume)) {
            out.error = "missing volume " + std::string(number);
            return out;
        }
        out.members.push_back(static_cast<long long>(volume.size()));
        bool last = k == m - 1;
        if ((!last && volume.size() != v) || (last && (volume.empty() || volume.size() > v))) {
            out.error = "volume " + std::string(number) + " has the wrong size";
            return out;
        }
        out.data.insert(out.data.end(), volume.begin(), volume.end());
    }
    if (digitWidth(m + 1) == width) {
        char number[kMaxDigitWidth + 2];
        formatNumber(number, width, static_cast<unsigned>(m));
        if (exists(base + "." + number + ".bin")) {
            out.error = "a volume past the last one exists";
        }
    }
    return out;
}

}  // namespace splittest
