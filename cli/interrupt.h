// Ctrl-C (SIGINT) and SIGTERM end a run early but cleanly. The handler only
// notes the signal, says on standard error what happens now, and makes a
// descriptor readable, so that a read waiting on a stalled pipe wakes up; the
// run then stops reading, writes the frames it already has and exits with
// 128 + the signal. The handler is a one-shot: a second signal ends the
// process at once, should the output be stalled too.
#pragma once

namespace vantrel::cli {

// False when the system refuses; the signals then keep their default action.
bool InstallInterruptHandlers();

// The signal that arrived, or 0.
int InterruptSignal();

// Readable once a signal has arrived or CancelReads ran; -1 before
// InstallInterruptHandlers. Input waits watch it and then fail (ECANCELED).
int InterruptFd();

// Ends every wait for input from now on, without a signal: for a run that
// can no longer write, so that a stalled input does not keep it alive.
void CancelReads();

}  // namespace vantrel::cli
