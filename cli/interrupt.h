// Ctrl-C, SIGTERM and SIGHUP during a split or a join.
//
// While the program waits for the user (a question, a prompt) or does nothing that can be
// undone step by step, a signal ends it at once: the handler removes the one file registered
// with interruptRemoveOnSignal (an unfinished file of the program's own) and exits with
// 128 + the signal's number (130, 143, 129), as a shell reports it. While the work runs in
// cooperative mode the handler only records the signal: the engine polls interruptPending()
// between blocks, removes what it wrote and returns, and the command then exits with
// interruptExitCode().
#pragma once

// Installs the handlers. Call once, before anything is written. A signal that was ignored when
// the program started (nohup, a background job) stays ignored.
void interruptInstall();

// The file the handler removes before it ends the process at once; nullptr for none. The path
// is copied (at most 4095 bytes; a longer one is not registered).
void interruptRemoveOnSignal(const char* path);

// Turns cooperative mode on or off. Turning it off with a signal already recorded ends the
// process at once, as the handler would have.
void interruptSetCooperative(bool on);

// Holds the three signals back (on) or lets them through again (off). Held, a signal waits
// until they are let through, and is never delivered if the process ends first: for a step
// that must not be cut short, such as putting a finished file in its place. Let through, a
// signal that waited ends the process at once (or is recorded, in cooperative mode).
void interruptHold(bool on);

// Forgets a signal recorded in cooperative mode: it came too late to stop anything.
void interruptForget();

// The signal received so far (SIGINT, SIGTERM or SIGHUP), or 0.
int interruptPending();

// 128 + the signal received, for the process's exit code; 0 when there was none.
int interruptExitCode();
