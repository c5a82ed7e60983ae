#include "cli/interrupt.h"

#include <signal.h>
#include <atomic>
#include <string.h>
#include <unistd.h>

namespace {

char gRemovePath[4096];
volatile sig_atomic_t gHasRemovePath = 0;
volatile sig_atomic_t gCooperative = 0;
volatile sig_atomic_t gSignal = 0;

// Only async-signal-safe calls: unlink and _exit.
void endNow(int signal) {
    if (gHasRemovePath != 0) {
        unlink(gRemovePath);
    }
    _exit(128 + signal);
}

void onSignal(int signal) {
    gSignal = signal;
    if (gCooperative == 0) {
        endNow(signal);
    }
}

}  // namespace

void interruptInstall() {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGHUP);
    // No SA_RESTART: a read waiting for the user returns, though the handler has ended the
    // process by then unless the work is cooperative.
    const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int signal : kSignals) {
        // A signal ignored from the start stays ignored: nohup's SIGHUP, a shell's SIGINT for
        // a command it runs in the background.
        struct sigaction before;
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal, &action, nullptr);
    }
}

void interruptRemoveOnSignal(const char* path) {
    gHasRemovePath = 0;
    // Nor may the handler see the old flag while the new path is written.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (path == nullptr) {
        return;
    }
    size_t n = strlen(path);
    if (n >= sizeof gRemovePath) {
        return;
    }
    memcpy(gRemovePath, path, n + 1);
    // The handler must never see the flag before the path.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    gHasRemovePath = 1;
}

void interruptSetCooperative(bool on) {
    gCooperative = on ? 1 : 0;
    if (!on && gSignal != 0) {
        endNow(gSignal);
    }
}

void interruptHold(bool on) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigprocmask(on ? SIG_BLOCK : SIG_UNBLOCK, &signals, nullptr);
}

void interruptForget() {
    gSignal = 0;
}

int interruptPending() {
    return gSignal;
}

int interruptExitCode() {
    return gSignal != 0 ? 128 + gSignal : 0;
}
