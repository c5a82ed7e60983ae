// The plain Windows copy that bench/ holds the Windows programs against: the same pieces the
// unpacker joins or the splitter writes, moved with 1 MiB ReadFile and WriteFile calls and
// nothing else. Under Wine no Windows program can copy faster, so it is the limit.
//
//   bench_copy join TARGET LIST    LIST lines: OFFSET PATH  (PATH from OFFSET to its end)
//   bench_copy split SOURCE LIST   LIST lines: SIZE PATH    (the next SIZE source bytes)
//
// Prints the seconds from the first file opened to the last one closed (the list is read
// before the clock starts). Exit code 0 on success, 1 on any failure (with a message).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr DWORD kChunkSize = 1024 * 1024;
constexpr int kMaxPieces = 100000;
constexpr size_t kMaxLine = 1100;

struct Piece {
    unsigned long long number;  // the offset (join) or the size (split)
    char* path;
};

Piece gPieces[kMaxPieces];
int gPieceCount;
char gChunk[kChunkSize];

int fail(const char* what, const char* path) {
    fprintf(stderr, "bench_copy: %s %s (error %lu)\n", what, path, GetLastError());
    return 1;
}

// Reads "NUMBER PATH" lines; false when the list cannot be read or a line is malformed.
bool readList(const char* listPath) {
    FILE* list = fopen(listPath, "r");
    if (list == nullptr) {
        return false;
    }
    char line[kMaxLine];
    while (fgets(line, sizeof line, list) != nullptr) {
        size_t length = strcspn(line, "\r\n");
        line[length] = '\0';
        if (length == 0) {
            continue;
        }
        char* space = strchr(line, ' ');
        if (space == nullptr || gPieceCount == kMaxPieces) {
            fclose(list);
            return false;
        }
        *space = '\0';
        gPieces[gPieceCount].number = strtoull(line, nullptr, 10);
        gPieces[gPieceCount].path = _strdup(space + 1);
        ++gPieceCount;
    }
    fclose(list);
    return gPieceCount > 0;
}

HANDLE openRead(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE createWrite(const char* path) {
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool writeAll(HANDLE file, DWORD count) {
    DWORD written = 0;
    return WriteFile(file, gChunk, count, &written, nullptr) && written == count;
}

int join(const char* targetPath) {
    HANDLE target = createWrite(targetPath);
    if (target == INVALID_HANDLE_VALUE) {
        return fail("cannot create", targetPath);
    }
    for (int i = 0; i < gPieceCount; ++i) {
        HANDLE piece = openRead(gPieces[i].path);
        if (piece == INVALID_HANDLE_VALUE) {
            return fail("cannot open", gPieces[i].path);
        }
        LARGE_INTEGER offset;
        offset.QuadPart = static_cast<LONGLONG>(gPieces[i].number);
        if (!SetFilePointerEx(piece, offset, nullptr, FILE_BEGIN)) {
            return fail("cannot seek in", gPieces[i].path);
        }
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(piece, gChunk, kChunkSize, &got, nullptr)) {
                return fail("cannot read", gPieces[i].path);
            }
            if (got == 0) {
                break;
            }
            if (!writeAll(target, got)) {
                return fail("cannot write", targetPath);
            }
        }
        CloseHandle(piece);
    }
    return CloseHandle(target) ? 0 : fail("cannot close", targetPath);
}

int split(const char* sourcePath) {
    HANDLE source = openRead(sourcePath);
    if (source == INVALID_HANDLE_VALUE) {
        return fail("cannot open", sourcePath);
    }
    for (int i = 0; i < gPieceCount; ++i) {
        HANDLE member = createWrite(gPieces[i].path);
        if (member == INVALID_HANDLE_VALUE) {
            return fail("cannot create", gPieces[i].path);
        }
        for (unsigned long long left = gPieces[i].number; left > 0;) {
            DWORD want = left < kChunkSize ? static_cast<DWORD>(left) : kChunkSize;
            DWORD got = 0;
            if (!ReadFile(source, gChunk, want, &got, nullptr) || got != want) {
                return fail("short read from", sourcePath);
            }
            if (!writeAll(member, got)) {
                return fail("cannot write", gPieces[i].path);
            }
            left -= got;
        }
        if (!CloseHandle(member)) {
            return fail("cannot close", gPieces[i].path);
        }
    }
    CloseHandle(source);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool isJoin = argc == 4 && strcmp(argv[1], "join") == 0;
    bool isSplit = argc == 4 && strcmp(argv[1], "split") == 0;
    if (!isJoin && !isSplit) {
        fprintf(stderr, "usage: bench_copy join TARGET LIST | bench_copy split SOURCE LIST\n");
        return 2;
    }
    if (!readList(argv[3])) {
        return fail("cannot read the list", argv[3]);
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int status = isJoin ? join(argv[2]) : split(argv[2]);
    QueryPerformanceCounter(&end);
    if (status == 0) {
        printf("%.3f\n", static_cast<double>(end.QuadPart - start.QuadPart) /
                             static_cast<double>(frequency.QuadPart));
    }
    return status;
}
