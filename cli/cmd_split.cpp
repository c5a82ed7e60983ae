// dravnik split SOURCE [-vSIZE] [-aNAME] [-y]: the splitter's engine on the terminal. The
// archive is byte for byte what the window writes: same engine, same carried image.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "archive/format.h"
#include "cli/codepage.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/terminal.h"
#include "platform/platform.h"
#include "splitter/engine/split_engine.h"
#include "splitter/form/archive_name.h"
#include "splitter/form/sizes.h"

namespace {

// The terminal has no disc to draw (the base draws nothing): the progress line stands for it.
class NoDrawing final : public SplitCanvas {};

class TerminalUi : public SplitUi {
  public:
    TerminalUi(bool assumeYes, uint64_t sourceSize)
        : assumeYes_(assumeYes), progress_(ProgressLine::forStandardError()) {
        progress_.start(sourceSize);
    }

    bool message(MessageKind kind, const char*, const char* text) override {
        int reason = kind == kMessageError ? errno : 0;  // before anything else is written
        progress_.endLine();
        if (kind == kMessageQuestion) {
            // Nothing is written while the user is asked: a signal then ends the command at once.
            interruptSetCooperative(false);
            bool yes = askYesNo(text, assumeYes_);
            interruptSetCooperative(true);
            return yes;
        }
        fputs(text, stderr);
        endFailureLine(stderr, reason);
        return true;
    }
    void setTitle(const char*) override {}
    SplitCanvas* acquireCanvas() override { return &canvas_; }
    void releaseCanvas(SplitCanvas*) override { progress_.endLine(); }
    void progress(uint64_t done, uint64_t) override { progress_.update(done); }
    // Ctrl-C, SIGTERM or SIGHUP: the engine removes what it wrote and returns.
    bool stopRequested() override { return interruptPending() != 0; }

  private:
    bool assumeYes_;
    NoDrawing canvas_;
    ProgressLine progress_;
};

// Copies text into out when it fits; false otherwise.
bool copyText(char* out, size_t outSize, const char* text) {
    size_t n = strlen(text);
    if (n >= outSize) {
        return false;
    }
    memcpy(out, text, n + 1);
    return true;
}

// The name as the header will hold it, in code page 1251. Whether the join accepts the name
// is the engine's check.
bool headerNameFor(const char* sourcePath, char* out, size_t outSize) {
    const char* name = fileNamePart(sourcePath);
    if (*name == '\0') {
        fprintf(stderr, "dravnik split: %s names no file\n", sourcePath);
        return false;
    }
    if (!utf8ToCp1251(name, out, outSize)) {
        fprintf(stderr,
                "dravnik split: the name %s has a character that code page 1251 cannot "
                "hold; rename the file first\n",
                name);
        return false;
    }
    return true;
}

// The volume size that sizeText names, as the window would keep it; 0 after a usage error
// has been printed.
uint32_t volumeSizeFrom(const char* sizeText) {
    char cp1251[kSizeTextSize];
    char canonical[kSizeTextSize];
    if (strlen(sizeText) >= kSizeTextSize || !utf8ToCp1251(sizeText, cp1251, sizeof cp1251) ||
        !canonicalSizeText(cp1251, canonical, sizeof canonical)) {
        char text[160];
        snprintf(text, sizeof text,
                 "%.40s is no size: digits, an optional fraction and K, M or G, at most %u "
                 "characters",
                 sizeText, kSizeTextSize - 1);
        cliUsageError("split", text);
        return 0;
    }
    uint64_t volumeSize = normalisedSizeValue(canonical);
    VolumeSizeCheck check = checkVolumeSize(volumeSize);
    if (check != kVolumeSizeOk) {
        fprintf(stderr, "%s\n",
                check == kVolumeSizeTooLarge ? kSizeTooLargeText : kSizeTooSmallText);
        return 0;
    }
    return static_cast<uint32_t>(volumeSize);
}

}  // namespace

int runSplit(int argc, char** argv) {
    CliOptions options;
    int answered = cliParseOrAnswer(kCliSplit, argc, argv, &options);
    if (answered >= 0) {
        return answered;
    }
    const char* source = options.operands[0];
    const char* archiveName = options.archiveName;
    uint32_t volumeSize =
        volumeSizeFrom(options.sizeText != nullptr ? options.sizeText : kDefaultSizeText);
    if (volumeSize == 0) {
        return 2;
    }
    // The archive's files are named by appending to NAME: a folder names none of them.
    if (archiveName != nullptr && archiveName[strlen(archiveName) - 1] == '/') {
        return cliUsageError("split", "-a names a folder; give the archive's path and name");
    }

    char sourcePath[kPathBufferSize];
    if (!copyText(sourcePath, sizeof sourcePath, source)) {
        fprintf(stderr, "dravnik split: the source path is longer than %u bytes\n", kMaxPathChars);
        return 1;
    }
    char baseName[kPathBufferSize];
    if (!placeArchiveName(source, archiveName != nullptr ? archiveName : source, baseName,
                          sizeof baseName)) {
        fprintf(stderr, "dravnik split: the archive name is longer than %u bytes\n", kMaxPathChars);
        return 1;
    }
    // Checked where the name goes: a bare NAME lies beside the source, not in this folder.
    if (archiveName != nullptr && platformIsFolder(baseName)) {
        return cliUsageError("split", "-a names a folder; give the archive's path and name");
    }
    char headerName[kPathBufferSize];
    if (!headerNameFor(source, headerName, sizeof headerName)) {
        return 1;
    }
    // The archive's files get no more readers than the source has.
    struct stat sourceStat;
    if (stat(source, &sourceStat) == 0) {
        platformSetNewFileMode(kOwnerReadWrite | (sourceStat.st_mode & kOthersReadWrite));
    }
    int64_t size = platformFileSize(source);
    SplitRequest request{};
    request.sourcePath = sourcePath;
    request.archiveName = baseName;
    request.volumeSize = volumeSize;
    request.sourceSizeKnown = size >= 0;
    request.sourceSize = size >= 0 ? static_cast<uint64_t>(size) : 0;
    request.shownCount = volumeCountFor(request.sourceSize, headerName, volumeSize);
    request.headerName = headerName;
    // The image this program carries; the path of the program names it in a message.
    char ownPath[kPathBufferSize];
    if (!platformOwnExecutablePath(ownPath, sizeof ownPath)) {
        ownPath[0] = '\0';
    }
    request.image = kEmbeddedUnpackerImage;
    request.imageBytes = kEmbeddedUnpackerImage_size < kUnpackerImageSize
                             ? kEmbeddedUnpackerImage_size
                             : kUnpackerImageSize;
    request.imageFile = ownPath;
    request.announceDone = true;

    TerminalUi ui(options.assumeYes, request.sourceSize);
    interruptInstall();
    interruptSetCooperative(true);
    SplitPlan plan;
    bool done = planSplit(request, &plan);
    if (!done) {
        tellRefusal(plan, &ui);
    } else {
        done = splitFile(request, plan, &ui);
    }
    // A signal that came after the last block was written stopped nothing: the archive is
    // whole and named, and the split ends as done. The signals stay held: the command ends now.
    if (done) {
        interruptHold(true);
        interruptForget();
        interruptSetCooperative(false);
        return 0;
    }
    if (interruptPending() != 0) {
        return interruptExitCode();
    }
    interruptSetCooperative(false);
    return 1;
}
