// dravnik join ARCHIVE.exe [FOLDER] [-y]: the unpacker's join engine on the terminal.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "archive/header.h"
#include "cli/codepage.h"
#include "cli/interrupt.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/terminal.h"
#include "platform/platform.h"
#include "unpacker/join_engine.h"

namespace {

// How many times a missing volume's path is asked for.
constexpr int kPickAttempts = 3;

// Larger than the unpacker's buffer: the terminal join is measured against cat.
constexpr unsigned kCliCopyBufferSize = 256 * 1024;

// The bytes the target will have, for the progress line's percentage: the unpacker file after
// its header and the volumes beside it, 64 bits wide. 0 (unknown) when the header cannot be
// read or a volume is not there (the user may point to it later).
uint64_t expectedTargetSize(const char* archivePath, int memberCount) {
    // Opened as the engine opens it: only a regular file, never a FIFO that would block.
    FILE* archive = platformOpenRegularFile(archivePath);
    if (archive == nullptr) {
        return 0;
    }
    char name[kMaxTargetNameChars + 1];
    FileRecord record;
    bool read = readArchiveHeader(archive, name, &record);
    int64_t size = platformStreamSize(archive);
    fclose(archive);
    if (!read) {
        return 0;
    }
    uint32_t header = headerSize(static_cast<uint32_t>(strlen(name)));
    if (size < header) {
        return 0;
    }
    uint64_t total = static_cast<uint64_t>(size) - header;
    int width = digitWidth(memberCount);
    size_t length = strlen(archivePath);
    char path[kArchivePathSize];
    // The join's own test of the path: where it cannot form volume names, it reads none.
    if (length >= sizeof path ||
        !memberEndingInName(archivePath, static_cast<unsigned>(length), width)) {
        return 0;
    }
    memcpy(path, archivePath, length + 1);
    char* number = path + length - memberEndingChars(width);
    for (int k = 1; k < memberCount; ++k) {
        writeVolumeEnding(number, width, static_cast<unsigned>(k));
        int64_t volume = platformFileSize(path);
        if (volume < 0) {
            return 0;
        }
        total += static_cast<uint64_t>(volume);
    }
    return total;
}

class TerminalJoinUi final : public JoinUi {
  public:
    TerminalJoinUi(const char* archive, const char* folder, bool assumeYes)
        : archive_(archive),
          folder_(folder),
          assumeYes_(assumeYes),
          progress_(ProgressLine::forStandardError()) {}

    bool chooseFolder(char* folder, unsigned size) override {
        if (folder_ != nullptr) {
            if (strlen(folder_) >= size) {
                errno = 0;
                showError("Слишком длинный путь к папке");
                return false;
            }
            strcpy(folder, folder_);
            return true;
        }
        char prompt[64];
        snprintf(prompt, sizeof prompt, "%s ", kTextBrowseTitle);
        if (!readLine(prompt, folder, size)) {
            return false;
        }
        if (folder[0] == '\0') {
            strcpy(folder, ".");
        }
        return true;
    }

    bool ask(JoinMessageKind kind, const char* text) override {
        endProgressLine();
        if (kind == kJoinOverwrite) {
            return askYesNo(text, assumeYes_);
        }
        // A missing volume. The unpacker's box asks Yes or No ("Хотите найти его?"); here the
        // path is asked for at once, so only the first line, naming the volume, is shown.
        const char* lineEnd = strchr(text, '\n');
        std::string missing(
            text, lineEnd != nullptr ? static_cast<size_t>(lineEnd - text) : strlen(text));
        printEscaped(stderr, missing.c_str());
        fprintf(stderr, "\n");
        if (!isatty(STDIN_FILENO)) {
            fprintf(stderr, "(standard input is not a terminal: the volume stays missing)\n");
            return false;
        }
        return true;
    }

    void showError(const char* text) override {
        int reason = errno;  // before anything else is written
        endProgressLine();
        fprintf(stderr, "dravnik join: ");
        printEscaped(stderr, text, true);
        endFailureLine(stderr, reason);
    }

    // Asks for the missing volume's path, again after one that cannot be read, up to
    // kPickAttempts times; the last unreadable path goes to the engine, which says so.
    JoinPick pickVolume(char* path, unsigned size, int) override {
        for (int attempt = 1;; ++attempt) {
            char line[kArchivePathSize];
            if (!readLine("Введите путь к этому тому (пустая строка: отказаться): ", line,
                          sizeof line) ||
                line[0] == '\0') {
                return kPickCancelled;
            }
            if (strlen(line) >= size) {
                return kPickTooLong;
            }
            strcpy(path, line);
            if (attempt == kPickAttempts || platformFileSize(path) >= 0) {
                return kPickChosen;
            }
            int reason = errno;
            fprintf(stderr, "Невозможно прочитать ");
            printEscaped(stderr, path);
            endFailureLine(stderr, reason);
        }
    }

    bool localName(const char* headerName, char* out, unsigned size) override {
        return cp1251ToUtf8(headerName, strlen(headerName), out, size);
    }

    void setTitle(const char* title) override {
        printEscaped(stderr, title);
        fprintf(stderr, "\n");
    }

    // Called once the folder is known, before the first byte is copied.
    void setProgressRange(int maximum) override {
        written_ = 0;
        progress_.start(expectedTargetSize(archive_, maximum));
    }

    void stepProgress() override {}

    void bytesWritten(unsigned count) override {
        written_ += count;
        progress_.update(written_);
    }

    void beep() override { endProgressLine(); }

    // Ctrl-C, SIGTERM and SIGHUP remove the unfinished file and end the command at once.
    void writingTo(const char* path) override { interruptRemoveOnSignal(path); }

    // Once the whole file is being put in place the join ends as done: a signal then waits and
    // is never delivered. While the user is asked again, a signal ends the command with the
    // whole result kept under its own name.
    void placing(bool on) override {
        interruptRemoveOnSignal(nullptr);
        interruptHold(on);
    }

  private:
    void endProgressLine() { progress_.endLine(); }

    const char* archive_;
    const char* folder_;
    bool assumeYes_;
    ProgressLine progress_;
    uint64_t written_ = 0;
};

}  // namespace

int runJoin(int argc, char** argv) {
    CliOptions options;
    int answered = cliParseOrAnswer(kCliJoin, argc, argv, &options);
    if (answered >= 0) {
        return answered;
    }
    // An empty folder would put the target at the root of the file system: the parser refuses
    // empty operands.
    const char* archive = options.operands[0];
    const char* folder = options.operands[1];
    bool assumeYes = options.assumeYes;
    char archivePath[kArchivePathSize];
    if (strlen(archive) > kMaxArchivePathChars) {
        fprintf(stderr, "dravnik join: Слишком длинный путь:\n");
        printEscaped(stderr, archive);
        fprintf(stderr, "\n");
        return 1;
    }
    strcpy(archivePath, archive);
    // The joined file gets no more readers than the archive's unpacker file has.
    struct stat archiveStat;
    if (stat(archive, &archiveStat) == 0) {
        platformSetNewFileMode(kOwnerReadWrite | (archiveStat.st_mode & kOthersReadWrite));
    }
    static char buffer[kCliCopyBufferSize];
    interruptInstall();
    TerminalJoinUi ui(archive, folder, assumeYes);
    return joinArchive(archivePath, &ui, buffer, sizeof buffer) == kJoinComplete ? 0 : 1;
}
