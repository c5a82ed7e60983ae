#include "splitter/form/settings.h"

#include <stdio.h>
#include <string.h>

#include "platform/platform.h"

const char kSettingsVersion[] = "V2.3";
const char kSettingsFileName[] = "dravnik.ini";
// The settings being saved are written to the file's name with this ending, then renamed.
const char kSettingsTemporaryEnding[] = ".new";

namespace {

const char kCloseToken[] = "CLOSE";
const char kDoNotCloseToken[] = "DONOTCLOSE";
const char kBesideSourceMark[] = "-";

// Longest value the reader keeps on the first five lines: a size text as the size box takes
// it. Longer values come only from hand-edited files and count as damaged.
constexpr size_t kFieldSize = kSizeTextSize;

// Reads the file as people edit it: CR LF, a lone LF and a lone CR each read as one '\n'.
class TextReader {
  public:
    explicit TextReader(FILE* file) : file_(file) {}

    int get() {
        int c = raw();
        if (c == '\r') {
            int next = raw();
            if (next != '\n') {
                rawAhead_ = next;
            }
            return '\n';
        }
        return c;
    }

    // Reads up to and including the next line end, keeping at most outSize - 1 characters
    // without the line end; the rest of an overlong line is skipped (and *cut set, when
    // given). Blanks and tabs around the value are dropped. False when the file had already
    // ended.
    bool line(char* out, size_t outSize, bool* cut = nullptr) {
        size_t n = 0;
        bool whole = true;
        int c = get();
        if (c == EOF) {
            out[0] = '\0';
            return false;
        }
        while (c != EOF && c != '\n') {
            if (n + 1 < outSize) {
                out[n++] = static_cast<char>(c);
            } else if (c != ' ' && c != '\t') {
                whole = false;
            }
            c = get();
        }
        out[n] = '\0';
        trimBlanks(out);
        if (cut != nullptr) {
            *cut = !whole;
        }
        return true;
    }

    // One of the first five lines: a value of at most outSize - 1 characters. False (out
    // emptied) when the file has ended or the value is longer; such a line counts as damaged.
    bool field(char* out, size_t outSize) {
        bool cut = false;
        if (!line(out, outSize, &cut) || cut) {
            out[0] = '\0';
            return false;
        }
        return true;
    }

  private:
    static constexpr int kNothing = -2;  // no character read ahead (EOF is -1)

    int raw() {
        if (rawAhead_ != kNothing) {
            int c = rawAhead_;
            rawAhead_ = kNothing;
            return c;
        }
        return getc(file_);
    }

    static void trimBlanks(char* text) {
        size_t start = strspn(text, " \t");
        size_t end = strlen(text);
        while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
            --end;
        }
        memmove(text, text + start, end - start);
        text[end - start] = '\0';
    }

    FILE* file_;
    int rawAhead_ = kNothing;
};

// Writes text as the Windows runtime's text mode would: each '\n' becomes CR LF.
void writeText(FILE* file, const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') {
            fputc('\r', file);
        }
        fputc(*p, file);
    }
}

void writeLine(FILE* file, const char* text) {
    writeText(file, text);
    writeText(file, "\n");
}

// Normalises a size text read from the file; true when what it then reads is a usable size.
bool takeSize(char* text) {
    return checkVolumeSize(normaliseSizeText(text)) == kVolumeSizeOk;
}

void applyDefaults(SplitterState* state, SizeList* list) {
    state->closeAfterFinish = 0;
    defaultSizeList(list);
    state->volumeSize = kDefaultVolumeSize;
}

}  // namespace

bool settingsFilePath(const char* exePath, char* out, size_t outSize) {
    int cut = lastBackslashIndex(exePath) + 1;
    size_t total = static_cast<size_t>(cut) + sizeof kSettingsFileName - 1;
    if (outSize == 0 || total >= outSize || total > kMaxPathChars) {
        if (outSize > 0) {
            out[0] = '\0';
        }
        return false;
    }
    memcpy(out, exePath, static_cast<size_t>(cut));
    memcpy(out + cut, kSettingsFileName, sizeof kSettingsFileName);
    return true;
}

void loadSettings(const char* path, SplitterState* state, SizeList* list) {
    state->archiveDirMode = 0;
    state->sourceBrowsed = 0;
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        applyDefaults(state, list);
        return;
    }
    TextReader reader(file);
    // Line by line, so that a value may hold blanks ("1 457 664") and any line end works.
    char field[kFieldSize];
    if (!reader.field(field, sizeof field) || strcmp(field, kSettingsVersion) != 0) {
        fclose(file);
        applyDefaults(state, list);
        return;
    }
    reader.field(field, sizeof field);
    state->closeAfterFinish = strcmp(field, kCloseToken) == 0 ? 1 : 0;

    // The three sizes are taken only when all three are there and usable as the form would
    // apply them; otherwise the list starts from the defaults, so that no size below the
    // minimum or of 4 GiB and more reaches a count or a split. They are taken in their
    // normalised form, so that the list shows the sizes that are used.
    SizeList read;
    bool sizesUsable = true;
    for (int i = 0; i < kSizeListLength; ++i) {
        if (!reader.field(read.entries[i], sizeof read.entries[i]) || !takeSize(read.entries[i])) {
            sizesUsable = false;
        }
    }
    if (sizesUsable) {
        *list = read;
    } else {
        defaultSizeList(list);
    }
    state->volumeSize = static_cast<uint32_t>(parseSizeText(list->entries[0]));

    // The two folder lines, each without its line end and the blanks around it: what the form
    // then uses is what the file shows.
    state->lastSourceDir[0] = '\0';
    state->archiveDir[0] = '\0';
    reader.line(state->lastSourceDir, sizeof state->lastSourceDir);
    reader.line(state->archiveDir, sizeof state->archiveDir);
    if (state->archiveDir[0] == '-') {
        state->archiveDirMode = kArchiveBesideSource;
        state->archiveDir[0] = '\0';
    }
    fclose(file);
}

bool saveSettings(const char* path, SplitterState* state, const SizeList& list) {
    // Written under a name of its own and renamed over the old file: a settings file that is a
    // link replaces the link itself, never the file it reaches, and a write cut short leaves
    // the old settings.
    char temporary[kPathBufferSize];
    if (snprintf(temporary, sizeof temporary, "%s%s", path, kSettingsTemporaryEnding) >=
        static_cast<int>(sizeof temporary)) {
        return false;
    }
    ReplaceStatus status;
    FILE* file = platformReplaceFile(temporary, false, &status);
    if (file == nullptr) {
        return false;
    }
    writeLine(file, kSettingsVersion);
    writeLine(file, state->closeAfterFinish != 0 ? kCloseToken : kDoNotCloseToken);
    if (archiveBesideSource(state->archiveDirMode)) {
        memcpy(state->archiveDir, kBesideSourceMark, sizeof kBesideSourceMark);
    }
    // An empty or unusable entry would shift the folder lines or cost all three sizes at the
    // next start: the file then gets the defaults, as the reader would take them.
    SizeList sizes = list;
    for (int i = 0; i < kSizeListLength; ++i) {
        if (!takeSize(sizes.entries[i])) {
            defaultSizeList(&sizes);
            break;
        }
    }
    for (int i = 0; i < kSizeListLength; ++i) {
        writeLine(file, sizes.entries[i]);
    }
    writeLine(file, state->lastSourceDir);
    writeText(file, state->archiveDir);
    bool written = ferror(file) == 0 && platformSyncStream(file);
    written = fclose(file) == 0 && written && platformRenameOver(temporary, path);
    if (!written) {
        platformRemoveFile(temporary);
    }
    return written;
}
