// The progress line of dravnik split and join: on a terminal a few times a second, in a file or
// a pipe never.
#include "cli/progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "archive/format.h"
#include "tests/unit/test_support.h"

using namespace testsupport;

namespace {

double gNow = 0;
double fakeClock() {
    return gNow;
}

// What a ProgressLine wrote into its stream.
struct Written {
    FILE* file = tmpfile();
    ~Written() { fclose(file); }
    std::string text() {
        fflush(file);
        std::string out;
        rewind(file);
        int c;
        while ((c = getc(file)) != EOF) {
            out += static_cast<char>(c);
        }
        return out;
    }
};

// Standard error into a file for the time of one object.
class CapturedStderr {
  public:
    CapturedStderr() : file_(tmpfile()), saved_(dup(STDERR_FILENO)) {
        fflush(stderr);
        dup2(fileno(file_), STDERR_FILENO);
    }
    ~CapturedStderr() {
        restore();
        fclose(file_);
    }
    std::string text() {
        restore();
        std::string out;
        rewind(file_);
        int c;
        while ((c = getc(file_)) != EOF) {
            out += static_cast<char>(c);
        }
        return out;
    }

  private:
    void restore() {
        if (saved_ >= 0) {
            fflush(stderr);
            dup2(saved_, STDERR_FILENO);
            close(saved_);
            saved_ = -1;
        }
    }
    FILE* file_;
    int saved_;
};

}  // namespace

TEST(ProgressLine, NothingAtAllWithoutATerminal) {
    Written out;
    ProgressLine line(out.file, false, fakeClock);
    gNow = 100;
    line.start(4096);
    for (int i = 1; i <= 8; ++i) {
        gNow += 1;
        line.update(512u * static_cast<unsigned>(i));
    }
    line.endLine();
    EXPECT_EQ(out.text(), "");
}

TEST(ProgressLine, RedrawsAFewTimesASecondAndEndsWithTheLastCount) {
    Written out;
    ProgressLine line(out.file, true, fakeClock);
    gNow = 10;
    const uint64_t total = 4831838208u;  // 4.5 GiB
    line.start(total);
    gNow = 10.1;
    line.update(1048576);  // too soon: nothing yet
    EXPECT_EQ(out.text(), "");
    gNow = 11;
    line.update(1073741824);
    EXPECT_EQ(out.text(), "\r1 073 741 824 / 4 831 838 208 bytes   22%  1024.0 MiB/s\033[K");
    gNow = 11.2;
    line.update(1073741824 + 1048576);  // within a quarter second of the last drawing
    gNow = 11.24;
    line.update(total - 1);
    EXPECT_EQ(out.text(), "\r1 073 741 824 / 4 831 838 208 bytes   22%  1024.0 MiB/s\033[K");
    // The end shows what was done last (99% until the very last byte), then a line end.
    gNow = 12;
    line.endLine();
    std::string text = out.text();
    EXPECT_NE(text.find("\r4 831 838 207 / 4 831 838 208 bytes   99%  2304.0 MiB/s\033[K\n"),
              std::string::npos)
        << text;
    line.endLine();  // the line is ended once
    EXPECT_EQ(out.text(), text);
}

TEST(ProgressLine, HundredPercentOnlyWhenDoneAndNoPercentWithoutATotal) {
    {
        Written out;
        ProgressLine line(out.file, true, fakeClock);
        gNow = 0;
        line.start(300);
        gNow = 1;
        line.update(300);
        line.endLine();
        EXPECT_EQ(out.text(), "\r300 / 300 bytes  100%  0.0 MiB/s\033[K\n");
    }
    {
        Written out;
        ProgressLine line(out.file, true, fakeClock);
        gNow = 0;
        line.start(0);
        gNow = 2;
        line.update(4194304);
        line.endLine();
        EXPECT_EQ(out.text(), "\r4 194 304 bytes  2.0 MiB/s\033[K\n");
    }
    {
        // A job done within the first quarter second shows nothing.
        Written out;
        ProgressLine line(out.file, true, fakeClock);
        gNow = 0;
        line.start(1000);
        gNow = 0.1;
        line.update(1000);
        line.endLine();
        EXPECT_EQ(out.text(), "");
    }
}

TEST(ProgressLine, SplitAndJoinWriteNoProgressIntoAFile) {
    TempDir dir;
    Bytes source = patternBytes(3 * 1048576 + 17);
    ASSERT_TRUE(writeFile(dir.file("data.bin"), source));
    {
        CapturedStderr captured;
        ASSERT_EQ(dravnikSplit({dir.file("data.bin"), "-v1M", "-a" + dir.file("set")}), 0);
        EXPECT_EQ(captured.text(), "Готово!\n");
    }
    ASSERT_EQ(mkdir(dir.file("out").c_str(), 0700), 0);
    std::string exe = dir.file("set.0.exe");
    std::string folder = dir.file("out");
    std::vector<char*> argv = {&exe[0], &folder[0], nullptr};
    {
        CapturedStderr captured;
        ASSERT_EQ(runJoin(2, argv.data()), 0);
        EXPECT_EQ(captured.text(), "Распаковка data.bin\n");
    }
    Bytes joined;
    ASSERT_TRUE(readFile(dir.file("out/data.bin"), &joined));
    EXPECT_TRUE(joined == source);
}
