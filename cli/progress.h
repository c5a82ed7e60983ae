// The progress line of dravnik split and join: bytes done, percentage and rate on one line of
// standard error, rewritten in place a few times a second. Only a terminal gets it; a file or
// a pipe gets nothing of it.
#pragma once

#include <stdint.h>
#include <stdio.h>

class ProgressLine {
  public:
    // Seconds on a clock that never goes back.
    using Clock = double (*)();

    // Writes to out when `terminal` is set, otherwise never.
    ProgressLine(FILE* out, bool terminal, Clock clock);
    // The terminal line on standard error, when standard error is a terminal.
    static ProgressLine forStandardError();

    // Starts counting towards total bytes (0: unknown, no percentage) from now.
    void start(uint64_t total);
    // done bytes so far; redraws when kInterval has passed since the last drawing.
    void update(uint64_t done);
    // Draws the latest count once more and ends the line, when a line is shown: a message then
    // starts on a line of its own.
    void endLine();

    // Seconds between two drawings.
    static constexpr double kInterval = 0.25;

  private:
    void draw();

    FILE* out_;
    bool terminal_;
    Clock clock_;
    uint64_t total_ = 0;
    uint64_t done_ = 0;
    double started_ = 0;
    double drawn_ = 0;    // when the line was last drawn
    bool shown_ = false;  // a line is open on the terminal
    bool fresh_ = true;   // the line shows done_
};

// The monotonic clock in seconds.
double monotonicSeconds();
