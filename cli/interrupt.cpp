#include "cli/interrupt.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace vantrel::cli {
namespace {

// Set in the handler, read by every thread: a lock-free atomic is safe in
// both places (a volatile sig_atomic_t is not, across threads).
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler must not take a lock");
int g_wake[2] = {-1, -1};
bool g_own_line = false;  // start the notice on a line of its own (a progress line may be open)

// Said at once: with a stalled output the run may not end soon.
void Announce(int sig) {
  static const char kInt[] =
      "\nvantrel: Ctrl-C: no more frames are read; those read are still written (Ctrl-C again "
      "stops at once)\n";
  static const char kTerm[] =
      "\nvantrel: SIGTERM: no more frames are read; those read are still written (a second "
      "signal stops at once)\n";
  const char* text = sig == SIGINT ? kInt : kTerm;
  const size_t size = (sig == SIGINT ? sizeof kInt : sizeof kTerm) - 1;
  const size_t skip = g_own_line ? 0 : 1;
  (void)!write(STDERR_FILENO, text + skip, size - skip);
}

void OnInterrupt(int sig) {
  const int saved = errno;
  int none = 0;
  if (g_signal.compare_exchange_strong(none, sig)) {
    const char byte = 1;
    (void)!write(g_wake[1], &byte, 1);
    Announce(sig);
  }
  errno = saved;
}

}  // namespace

bool InstallInterruptHandlers() {
  if (g_wake[0] < 0 && pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  g_own_line = isatty(STDERR_FILENO) == 1;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocked call returns EINTR and the caller looks again.
  action.sa_flags = SA_RESETHAND;
  for (const int sig : {SIGINT, SIGTERM}) {
    struct sigaction old = {};
    // A signal ignored at start (a background job, nohup) stays ignored.
    if (sigaction(sig, nullptr, &old) != 0) return false;
    if (old.sa_handler != SIG_IGN && sigaction(sig, &action, nullptr) != 0) return false;
  }
  return true;
}

int InterruptSignal() { return g_signal.load(); }

int InterruptFd() { return g_wake[0]; }

void CancelReads() {
  const char byte = 0;
  if (g_wake[1] >= 0) (void)!write(g_wake[1], &byte, 1);
}

}  // namespace vantrel::cli
