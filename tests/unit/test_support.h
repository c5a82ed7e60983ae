// What the unit tests share: temporary folders, file bytes, a hand-made archive writer and a
// reader that joins an archive back by its layout, the command line's subcommands run in-process,
// and the scripted users of both engines (FakeJoinUi, ScriptedUi with its RecordingCanvas).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "archive/format.h"
#include "cli/commands.h"
#include "splitter/engine/split_engine.h"
#include "splitter/form/splitter_state.h"
#include "unpacker/join_engine.h"

namespace testsupport {

using Bytes = std::vector<unsigned char>;

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/dravnik-test-XXXXXX";
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

inline bool writeFile(const std::string& path, const std::string& bytes) {
    return writeFile(path, Bytes(bytes.begin(), bytes.end()));
}

// The whole file as a string; empty when it cannot be read.
inline std::string readFile(const std::string& path) {
    Bytes data;
    readFile(path, &data);
    return std::string(data.begin(), data.end());
}

// The entries of a folder, "." and ".." aside.
inline int entryCount(const std::string& folder) {
    int n = 0;
    DIR* dir = opendir(folder.c_str());
    while (dir != nullptr && readdir(dir) != nullptr) {
        ++n;
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    return n - 2;
}

// Source size that gives exactly M members with the last volume holding `last` bytes.
inline size_t sizeFor(int members, uint32_t volumeSize, size_t nameLength, size_t last) {
    return static_cast<size_t>(members - 1) * volumeSize + last - headerSize(nameLength);
}

// Standard input from /dev/null for the time of one object: questions are then refused.
class NoTerminal {
  public:
    NoTerminal() : saved_(dup(STDIN_FILENO)) {
        int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        close(null);
    }
    ~NoTerminal() {
        dup2(saved_, STDIN_FILENO);
        close(saved_);
    }

  private:
    int saved_;
};

// The command line's subcommands, run in-process.
inline int runCommand(int (*command)(int, char**), std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(&a[0]);
    }
    argv.push_back(nullptr);
    return command(static_cast<int>(args.size()), argv.data());
}

// runSplit and runJoin keep SIGINT, SIGTERM and SIGHUP held once their file is in place, as
// the command ends right after; the tests go on in this process and let them through again,
// unless told not to (a child that ends with the command).
inline int withSignalsRestored(int (*command)(int, char**), std::vector<std::string> args,
                               bool letSignalsThrough) {
    sigset_t mask;
    sigprocmask(SIG_SETMASK, nullptr, &mask);
    int code = runCommand(command, args);
    if (letSignalsThrough) {
        sigprocmask(SIG_SETMASK, &mask, nullptr);
    }
    return code;
}

inline int dravnikSplit(std::vector<std::string> args, bool letSignalsThrough = true) {
    return withSignalsRestored(runSplit, args, letSignalsThrough);
}
inline int dravnikInfo(std::vector<std::string> args) {
    return runCommand(runInfo, args);
}
inline int dravnikJoin(std::vector<std::string> args, bool letSignalsThrough = true) {
    return withSignalsRestored(runJoin, args, letSignalsThrough);
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

// 2020-01-01 00:00:00 UTC as FILETIME, and a day later.
constexpr uint64_t kWriteTime = 132223104000000000ull;
constexpr uint64_t kAccessTime = kWriteTime + 864000000000ull;

inline FileRecord recordFor(int members) {
    FileRecord record;
    record.creationTime = kWriteTime;
    record.lastAccessTime = kAccessTime;
    record.lastWriteTime = kWriteTime;
    record.attributes = kAttrArchive;
    record.volumeCount = members;
    return record;
}

// Writes an archive the way the splitter lays it out: base.<0s>.exe (image, name, 0x22,
// record, first piece; V bytes) and base.<k>.bin. The image is all imageByte: by default
// double quotes, so a reader that searched for the terminator instead of seeking past the
// image would fail. Returns M. The unpacker file's path is left in *exePath.
inline int writeArchive(const std::string& base, const std::string& name, const std::string& data,
                        uint32_t volumeSize, std::string* exePath,
                        const FileRecord* override = nullptr, char imageByte = '"') {
    uint32_t header = headerSize(static_cast<uint32_t>(name.size()));
    int members = static_cast<int>((data.size() + header - 1) / volumeSize + 1);
    int width = digitWidth(members);
    FileRecord record = override ? *override : recordFor(members);
    unsigned char encoded[kFileRecordSize];
    encodeFileRecord(record, encoded);
    char path[kPathBufferSize];
    unpackerFileName(path, sizeof path, base.c_str(), width);
    *exePath = path;
    size_t first = volumeSize - header;
    writeFile(path, std::string(kUnpackerImageSize, imageByte) + name + '"' +
                        std::string(reinterpret_cast<char*>(encoded), kFileRecordSize) +
                        data.substr(0, first));
    size_t at = first;
    for (int k = 1; k < members; ++k, at += volumeSize) {
        volumeFileName(path, sizeof path, base.c_str(), static_cast<unsigned>(k), width);
        writeFile(path, data.substr(at, volumeSize));
    }
    return members;
}

// A scripted user: answers from queues and records everything it was asked or told.
class FakeJoinUi final : public JoinUi {
  public:
    std::string folder;
    bool cancelFolder = false;
    std::deque<bool> answers;
    std::deque<std::string> picks;  // "" cancels the dialog
    std::vector<std::string> log;
    std::vector<std::string> errors;
    int steps = 0;
    int range = -1;

    bool chooseFolder(char* out, unsigned size) override {
        log.push_back("folder");
        if (cancelFolder || folder.size() >= size) {
            return false;
        }
        strcpy(out, folder.c_str());
        return true;
    }
    bool ask(JoinMessageKind kind, const char* text) override {
        log.push_back(std::string(kind == kJoinOverwrite ? "??? " : ":-( ") + text);
        bool answer = !answers.empty() && answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return answer;
    }
    void showError(const char* text) override {
        log.push_back(std::string("error ") + text);
        errors.push_back(text);
    }
    std::function<void()> beforePick;  // what the user does while the dialog is open
    JoinPick pickVolume(char* path, unsigned size, int nameOffset) override {
        log.push_back(std::string("pick ") + (path + nameOffset));
        if (beforePick) {
            beforePick();
        }
        std::string pick = picks.empty() ? "" : picks.front();
        if (!picks.empty()) {
            picks.pop_front();
        }
        if (pick.empty()) {
            return kPickCancelled;
        }
        if (pick.size() >= size) {
            return kPickTooLong;
        }
        strcpy(path, pick.c_str());
        return kPickChosen;
    }
    bool localName(const char* headerName, char* out, unsigned size) override {
        if (strlen(headerName) >= size) {
            return false;
        }
        strcpy(out, headerName);
        return true;
    }
    void setTitle(const char* title) override { log.push_back(std::string("title ") + title); }
    void setProgressRange(int maximum) override { range = maximum; }
    std::function<void()> onStep;  // what another program does while a piece is copied
    void stepProgress() override {
        ++steps;
        if (onStep) {
            onStep();
        }
    }
    void beep() override { log.push_back("beep"); }
};

class RecordingCanvas : public SplitCanvas {
  public:
    std::vector<std::string> calls;

    void selectRedPen() override { calls.push_back("pen"); }
    void selectWhiteBrush() override { calls.push_back("white"); }
    void selectRedBrush() override { calls.push_back("red"); }
    void restoreBrush() override { calls.push_back("restoreBrush"); }
    void restorePen() override { calls.push_back("restorePen"); }
    void ellipse(int l, int t, int r, int b) override { record("ellipse", {l, t, r, b}); }
    void pie(int l, int t, int r, int b, int x1, int y1, int x2, int y2) override {
        record("pie", {l, t, r, b, x1, y1, x2, y2});
    }
    void line(int x1, int y1, int x2, int y2) override { record("line", {x1, y1, x2, y2}); }

    std::vector<std::string> drawings() const {
        std::vector<std::string> out;
        for (const std::string& call : calls) {
            if (call.compare(0, 3, "pie") == 0 || call.compare(0, 4, "line") == 0) {
                out.push_back(call);
            }
        }
        return out;
    }

  private:
    void record(const char* what, std::initializer_list<int> values) {
        std::string text = what;
        for (int v : values) {
            text += " " + std::to_string(v);
        }
        calls.push_back(text);
    }
};

class ScriptedUi : public SplitUi {
  public:
    std::vector<std::string> events;
    std::deque<bool> answers;  // for questions; No when empty
    std::string imagePath;     // the file the carried image is read from
    std::string ownPath = "/opt/dravnik/dravnik.exe";
    std::function<void()> onOpenImage;         // runs as the image is read, after the plan
    std::function<void()> onTitle;             // runs after each title change
    std::function<void(uint64_t)> onProgress;  // runs after each progress report
    std::function<bool()> onStopAsked;         // the answer to stopRequested; No when empty
    RecordingCanvas canvas;
    std::vector<uint64_t> progressDone;  // every progress report
    uint64_t progressTotal = 0;

    bool message(MessageKind kind, const char* caption, const char* text) override {
        events.push_back(std::string("message ") + caption + " " + text);
        if (kind != kMessageQuestion) {
            return true;
        }
        bool answer = !answers.empty() && answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return answer;
    }
    void setTitle(const char* title) override {
        events.push_back(std::string("title ") + title);
        if (onTitle) {
            onTitle();
        }
    }
    SplitCanvas* acquireCanvas() override {
        events.push_back("acquire");
        return &canvas;
    }
    void releaseCanvas(SplitCanvas* c) override {
        EXPECT_EQ(c, &canvas);
        events.push_back("release");
    }
    void progress(uint64_t done, uint64_t total) override {
        progressDone.push_back(done);
        progressTotal = total;
        if (onProgress) {
            onProgress(done);
        }
    }
    bool stopRequested() override { return onStopAsked && onStopAsked(); }

    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const std::string& e : events) {
            if (e.compare(0, 8, "message ") == 0) {
                out.push_back(e);
            }
        }
        return out;
    }
};

// A split of what state holds, as the window runs it: the folders remembered, the plan (each
// refusal shown with ":-("), the image read from ui->imagePath, the engine, and a beep and a
// close after a finished split when the window is set to close.
inline bool splitAsTheWindowDoes(SplitterState* state, ScriptedUi* ui) {
    rememberFolders(state, ui->ownPath.c_str());
    SplitRequest request = splitRequestFrom(*state);
    SplitPlan plan;
    bool planned = planSplit(request, &plan);
    if (plan.width != 0) {
        state->numberWidth = plan.width;
    }
    if (!planned) {
        tellRefusal(plan, ui);
        return false;
    }
    if (ui->onOpenImage) {
        ui->onOpenImage();
    }
    static unsigned char image[kUnpackerImageSize];
    FILE* file = fopen(ui->imagePath.c_str(), "rb");
    EXPECT_NE(file, nullptr);
    if (file == nullptr) {
        return false;
    }
    request.image = image;
    request.imageBytes = static_cast<unsigned>(fread(image, 1, sizeof image, file));
    request.imageFile = ui->ownPath.c_str();
    fclose(file);
    bool done = splitFile(request, plan, ui);
    if (done && state->closeAfterFinish != 0) {
        ui->events.push_back("beep");
        ui->events.push_back("close");
    }
    return done;
}

}  // namespace testsupport
