#include "cli/progress.h"

#include <time.h>
#include <unistd.h>

#include "archive/number_text.h"

double monotonicSeconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

ProgressLine::ProgressLine(FILE* out, bool terminal, Clock clock)
    : out_(out), terminal_(terminal), clock_(clock) {}

ProgressLine ProgressLine::forStandardError() {
    return ProgressLine(stderr, isatty(STDERR_FILENO) != 0, monotonicSeconds);
}

void ProgressLine::start(uint64_t total) {
    total_ = total;
    done_ = 0;
    shown_ = false;
    fresh_ = true;
    if (terminal_) {
        started_ = clock_();
        drawn_ = started_;
    }
}

void ProgressLine::update(uint64_t done) {
    if (!terminal_) {
        return;
    }
    done_ = done;
    fresh_ = false;
    double now = clock_();
    if (now - drawn_ >= kInterval) {
        drawn_ = now;
        draw();
    }
}

void ProgressLine::endLine() {
    if (!shown_) {
        return;
    }
    if (!fresh_) {
        draw();
    }
    fputc('\n', out_);
    fflush(out_);
    shown_ = false;
}

void ProgressLine::draw() {
    char done[kGroupedTextSize];
    groupThousands(done_, done, sizeof done);
    fprintf(out_, "\r%s", done);
    if (total_ != 0) {
        char total[kGroupedTextSize];
        groupThousands(total_, total, sizeof total);
        // 100 only once everything is done, whatever the rounding.
        unsigned percent = 100;
        if (done_ < total_) {
            double share = static_cast<double>(done_) * 100.0 / static_cast<double>(total_);
            percent = share < 99.0 ? static_cast<unsigned>(share) : 99;
        }
        fprintf(out_, " / %s bytes  %3u%%", total, percent);
    } else {
        fprintf(out_, " bytes");
    }
    double elapsed = clock_() - started_;
    if (elapsed > 0) {
        fprintf(out_, "  %.1f MiB/s", static_cast<double>(done_) / elapsed / 1048576.0);
    }
    // Erase what a longer earlier line left behind.
    fputs("\033[K", out_);
    fflush(out_);
    shown_ = true;
    fresh_ = true;
}
