// Ctrl-C (SIGINT) and SIGTERM end a run early but cleanly; on Windows Ctrl-C
// and Ctrl-Break, through a console control handler. The handler only notes
// the interrupt, says on standard error what happens now, and wakes a read
// waiting on a stalled pipe; the run then stops reading, writes the frames it
// already has and exits with 128 + the signal (130 for Ctrl-C). Interrupts
// within kInterruptWindowMs of the first are the same event (`timeout -s INT`
// signals the process, then its group); a later one ends the process at
// once, should the output be stalled too, never with 0. Implemented with the
// rest of the seam in platform_posix.cpp and platform_windows.cpp.
#pragma once

namespace vantrel::cli {

inline constexpr int kInterruptWindowMs = 1000;

// False when the system refuses; interrupts then keep their default action.
bool InstallInterruptHandlers();

// The interrupt that arrived (a signal number on POSIX), or 0.
int InterruptSignal();
// For the closing message and the exit code of an interrupted run.
const char* InterruptName(int interrupt);
int InterruptExitCode(int interrupt);

// Ends every wait for input from now on, without an interrupt: for a run
// that can no longer write, so that a stalled input does not keep it alive.
void CancelReads();

}  // namespace vantrel::cli
