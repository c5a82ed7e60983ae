// dravnik join ARCHIVE.exe [FOLDER] [-y]: the unpacker's join engine on the terminal.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "cli/codepage.h"
#include "cli/commands.h"
#include "cli/terminal.h"
#include "unpacker/join_engine.h"

namespace {

// Larger than the unpacker's buffer: the terminal join is measured against cat.
constexpr unsigned kCliCopyBufferSize = 256 * 1024;

class TerminalJoinUi final : public JoinUi {
  public:
    TerminalJoinUi(const char* folder, bool assumeYes) : folder_(folder), assumeYes_(assumeYes) {}

    bool chooseFolder(char* folder, unsigned size) override {
        if (folder_ != nullptr) {
            if (strlen(folder_) >= size) {
                showError("Слишком длинный путь к папке");
                return false;
            }
            strcpy(folder, folder_);
            return true;
        }
        if (!readLine("Куда распаковать файл? ", folder, size)) {
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
        // A missing volume: the path is asked for next; an empty answer gives up.
        printEscaped(stderr, text, true);
        fprintf(stderr, "\n");
        if (!isatty(STDIN_FILENO)) {
            fprintf(stderr, "(standard input is not a terminal: the volume stays missing)\n");
            return false;
        }
        return true;
    }

    void showError(const char* text) override {
        endProgressLine();
        fprintf(stderr, "dravnik join: ");
        printEscaped(stderr, text, true);
        fprintf(stderr, "\n");
    }

    JoinPick pickVolume(char* path, unsigned size, int) override {
        char line[4096];
        if (!readLine("Путь к тому (пусто: отказаться): ", line, sizeof line) || line[0] == '\0') {
            return kPickCancelled;
        }
        if (strlen(line) >= size) {
            return kPickTooLong;
        }
        strcpy(path, line);
        return kPickChosen;
    }

    bool localName(const char* headerName, char* out, unsigned size) override {
        return cp1251ToUtf8(headerName, strlen(headerName), out, size);
    }

    void setTitle(const char* title) override {
        printEscaped(stderr, title);
        fprintf(stderr, "\n");
    }

    void setProgressRange(int maximum) override {
        maximum_ = maximum;
        done_ = 0;
    }

    void stepProgress() override {
        ++done_;
        fprintf(stderr, "\r%d/%d", done_, maximum_);
        progressShown_ = true;
    }

    void beep() override { endProgressLine(); }

  private:
    void endProgressLine() {
        if (progressShown_) {
            fprintf(stderr, "\n");
            progressShown_ = false;
        }
    }

    const char* folder_;
    bool assumeYes_;
    int maximum_ = 0;
    int done_ = 0;
    bool progressShown_ = false;
};

void usage() {
    fprintf(stderr, "usage: dravnik join ARCHIVE.exe [FOLDER] [-y]\n");
}

}  // namespace

int runJoin(int argc, char** argv) {
    const char* archive = nullptr;
    const char* folder = nullptr;
    bool assumeYes = false;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "-y") == 0) {
            assumeYes = true;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            usage();
            return 2;
        } else if (archive == nullptr) {
            archive = argv[i];
        } else if (folder == nullptr) {
            folder = argv[i];
        } else {
            usage();
            return 2;
        }
    }
    // An empty folder would put the target at the root of the file system.
    if (archive == nullptr || archive[0] == '\0' || (folder != nullptr && folder[0] == '\0')) {
        usage();
        return 2;
    }
    char archivePath[kArchivePathSize];
    if (strlen(archive) > kMaxArchivePathChars) {
        fprintf(stderr, "dravnik join: Слишком длинный путь:\n");
        printEscaped(stderr, archive);
        fprintf(stderr, "\n");
        return 1;
    }
    strcpy(archivePath, archive);
    static char buffer[kCliCopyBufferSize];
    TerminalJoinUi ui(folder, assumeYes);
    return joinArchive(archivePath, &ui, buffer, sizeof buffer) == kJoinComplete ? 0 : 1;
}
