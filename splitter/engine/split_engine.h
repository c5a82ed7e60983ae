// The split engine: writes one archive as a SplitRequest asks and its SplitPlan lays out, and
// shows its progress as a filling disc. Every question, message, title change and progress
// report goes through SplitUi; the disc is drawn through SplitCanvas. The Win32 window, the
// terminal front end and the unit tests each provide their own implementations.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "splitter/engine/progress_disc.h"
#include "splitter/engine/split_plan.h"

// What a message box looks like; mirrors the captions and icons the splitter uses.
enum MessageKind {
    kMessageError,     // ":-(" with the error icon, OK
    kMessageInfo,      // ":-)" with the information icon, OK
    kMessageQuestion,  // "???" without icon, Yes and No
};

class SplitUi {
  public:
    // Shows a message; for kMessageQuestion returns true for Yes. caption is ":-(", ":-)" or
    // "???" according to the kind. With kMessageError, errno holds the reason the system gave
    // for the failure (the failing call's own), or 0 when it gave none.
    virtual bool message(MessageKind kind, const char* caption, const char* text) = 0;
    virtual void setTitle(const char* title) = 0;
    // The window's drawing surface for the time of one split (GetDC .. ReleaseDC).
    virtual SplitCanvas* acquireCanvas() = 0;
    virtual void releaseCanvas(SplitCanvas* canvas) = 0;
    // done of total source bytes are in the archive now; called every megabyte or so. The
    // window shows its disc instead, so the default does nothing.
    virtual void progress(uint64_t done, uint64_t total);
    // Asked between blocks while the archive is written: true stops the split, which then
    // removes what it wrote and ends as a failed split does, without a message of its own.
    // The window answers its messages here (paint, the close box); the terminal reports a
    // signal. The default never stops.
    virtual bool stopRequested();

  protected:
    ~SplitUi() = default;
};

enum CopyResult {
    kCopyDone,
    kCopyReadFailed,   // the input ended early or could not be read
    kCopyWriteFailed,  // a write was refused (a full disk, most likely)
};

// The window's idle title.
extern const char kIdleTitle[];  // "Dravnik v2.3"

// Moves count bytes (at least 1) from in to out: natively inside the kernel where the files
// allow it, else through a kCopyBufferSize buffer (platformCopyStream). Stops at the first
// failed read or write (errno says why, 0 when in ended early); the streams stay open for the
// caller to close.
CopyResult copyBytes(FILE* in, FILE* out, uint32_t count);

// The captions of the split's messages.
inline constexpr char kCaptionError[] = ":-(";
inline constexpr char kCaptionInfo[] = ":-)";
inline constexpr char kCaptionQuestion[] = "???";

// Shows plan's refusal as a ":-(" message, with its reason in errno.
void tellRefusal(const SplitPlan& plan, SplitUi* ui);

// Writes the archive that request asks for as plan (from planSplit, which found nothing to
// refuse) lays it out. Returns true when it is complete; false when the user declined to
// overwrite, stopped the split or anything failed (already told to the user through ui). Only a
// complete archive leaves files under the archive's names: the unpacker file gets its name last
// (see split_files.h), and a failure or a stop removes what the split wrote.
bool splitFile(const SplitRequest& request, const SplitPlan& plan, SplitUi* ui);
