// The system's reason for a failure, which the terminal's join names after its message
// (JoinUi::showError reads it from errno). The unpacker's boxes name none, and its image imports
// nothing for one: on Windows there is no reason.
#pragma once

#ifndef _WIN32
#include <errno.h>
#endif

#include "platform/platform.h"
#include "unpacker/join_engine.h"

// The reason the system gave for the call that just failed.
inline int lastReason() {
#ifdef _WIN32
    return 0;
#else
    return errno;
#endif
}

// The reason a copy through file failed: none when the file merely ended.
inline int fileReason(PlatformFile file) {
#ifdef _WIN32
    (void)file;
    return 0;
#else
    return ferror(file) ? errno : 0;
#endif
}

// A folder stands where a file was to be created.
#ifdef _WIN32
constexpr int kReasonIsFolder = 0;
#else
constexpr int kReasonIsFolder = EISDIR;
#endif

// Shows text with errno set to reason (0: a refusal of the program's own), as JoinUi asks.
inline void tell(JoinUi* ui, const char* text, int reason) {
#ifdef _WIN32
    (void)reason;
#else
    errno = reason;
#endif
    ui->showError(text);
}
