// The seam on Linux and other POSIX systems: descriptors, poll, readv and
// writev, and signals.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "cli/interrupt.h"
#include "cli/platform.h"

namespace vantrel::cli {
namespace {

// Set in the handler, read by every thread: a lock-free atomic is safe in
// both places (a volatile sig_atomic_t is not, across threads).
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler must not take a lock");
std::atomic<int64_t> g_first_ms{0};  // when g_signal came; 0 until it is stored
static_assert(std::atomic<int64_t>::is_always_lock_free, "the handler must not take a lock");
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

int64_t NowMs() {
  timespec t = {};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void OnInterrupt(int sig) {
  const int saved = errno;
  const int64_t now = NowMs();
  int none = 0;
  if (g_signal.compare_exchange_strong(none, sig)) {
    g_first_ms.store(now);
    const char byte = 1;
    (void)!write(g_wake[1], &byte, 1);
    Announce(sig);
  } else if (const int64_t first = g_first_ms.load();
             first != 0 && now - first >= kInterruptWindowMs) {
    // A second interrupt: the signal's own action, once this handler returns.
    signal(sig, SIG_DFL);
    raise(sig);
  }
  errno = saved;
}

}  // namespace

bool InstallInterruptHandlers() {
  if (g_wake[0] < 0 && pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  g_own_line = platform::ErrorsGoToTerminal();
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  // One handler at a time in a thread; no SA_RESTART: a blocked call
  // returns EINTR and the caller looks again.
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  action.sa_flags = 0;
  for (const int sig : {SIGINT, SIGTERM}) {
    struct sigaction old = {};
    // A signal ignored at start (a background job, nohup) stays ignored.
    if (sigaction(sig, nullptr, &old) != 0) return false;
    if (old.sa_handler != SIG_IGN && sigaction(sig, &action, nullptr) != 0) return false;
  }
  return true;
}

int InterruptSignal() { return g_signal.load(); }

const char* InterruptName(int sig) { return sig == SIGINT ? "Ctrl-C (SIGINT)" : "SIGTERM"; }

// As a shell reports a process the signal ended.
int InterruptExitCode(int sig) { return 128 + sig; }

void CancelReads() {
  const char byte = 0;
  if (g_wake[1] >= 0) (void)!write(g_wake[1], &byte, 1);
}

namespace platform {
namespace {

constexpr int kMaxIov = 1024;  // IOV_MAX on Linux and the BSDs

int Fd(FileHandle file) { return static_cast<int>(file); }

[[maybe_unused]] std::string FromStrerror(int ret, const char* buf) {
  return ret == 0 ? std::string(buf) : std::string("unknown error");
}
[[maybe_unused]] std::string FromStrerror(const char* ret, const char*) {
  return std::string(ret);
}

// Descriptors inherited in non-blocking mode must still block: wait
// instead of spinning on EAGAIN. An interruptible wait also ends, with
// ECANCELED, once Ctrl-C has arrived.
bool WaitFor(int fd, short events, bool interruptible) {
  pollfd p[2] = {{fd, events, 0}, {g_wake[0], POLLIN, 0}};
  const nfds_t count = interruptible && p[1].fd >= 0 ? 2 : 1;
  for (;;) {
    if (poll(p, count, -1) >= 0) {
      if (count == 2 && p[1].revents != 0) {
        errno = ECANCELED;
        return false;
      }
      return true;
    }
    if (errno != EINTR) return false;
  }
}

void Fill(const struct stat& st, FileFacts* facts) {
  *facts = FileFacts{};
  if (S_ISDIR(st.st_mode)) facts->kind = FileFacts::Kind::kDirectory;
  if (S_ISREG(st.st_mode)) facts->kind = FileFacts::Kind::kRegular;
  if (S_ISBLK(st.st_mode)) facts->kind = FileFacts::Kind::kDevice;
  facts->size = S_ISREG(st.st_mode) ? st.st_size : 0;
  facts->has_id = S_ISREG(st.st_mode) || S_ISBLK(st.st_mode);
  facts->id = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

// iovec and Slice are the same pair; readv and writev take at most kMaxIov.
int Iov(const Slice* slices, int count, iovec* iov) {
  count = std::min(count, kMaxIov);
  for (int i = 0; i < count; ++i) iov[i] = {slices[i].data, slices[i].size};
  return count;
}

}  // namespace

FileHandle StandardInput() { return STDIN_FILENO; }
FileHandle StandardOutput() { return STDOUT_FILENO; }

FileHandle OpenForReading(const std::string& path) {
  return open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

void WidenPipe(FileHandle file) {
#if defined(F_SETPIPE_SZ)
  struct stat st = {};
  // Best effort: a system limit (pipe-max-size) leaves the pipe as it is.
  if (fstat(int(file), &st) == 0 && S_ISFIFO(st.st_mode)) fcntl(int(file), F_SETPIPE_SZ, 1 << 20);
#else
  (void)file;
#endif
}

FileHandle OpenForWriting(const std::string& path, bool* created) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  *created = fd >= 0;
  if (fd >= 0 || errno != EEXIST) return fd;
  // Without O_EXCL a dangling link creates its target, as O_TRUNC did.
  return open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
}

bool Truncate(FileHandle file) {
  struct stat st = {};
  if (fstat(Fd(file), &st) != 0) return false;
  return !S_ISREG(st.st_mode) || ftruncate(Fd(file), 0) == 0;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

int Close(FileHandle file) {
  // After EINTR the descriptor is gone on Linux; nothing to retry.
  return close(Fd(file)) < 0 && errno != EINTR ? errno : 0;
}

bool Describe(FileHandle file, FileFacts* facts) {
  struct stat st = {};
  if (fstat(Fd(file), &st) != 0) return false;
  Fill(st, facts);
  if (facts->kind == FileFacts::Kind::kRegular) {
    facts->position = std::max<int64_t>(0, lseek(Fd(file), 0, SEEK_CUR));
  }
  return true;
}

bool DescribePath(const std::string& path, FileFacts* facts) {
  struct stat st = {};
  if (stat(path.c_str(), &st) != 0) return false;
  Fill(st, facts);
  return true;
}

int64_t ReadSome(FileHandle file, const Slice* slices, int count, bool may_block) {
  iovec iov[kMaxIov];
  count = Iov(slices, count, iov);
  // A pipe or terminal is read only once poll says so, where Ctrl-C can
  // end the wait.
  for (bool wait = may_block;; wait = true) {
    if (wait && !WaitFor(Fd(file), POLLIN, true)) return -1;
    const ssize_t r = readv(Fd(file), iov, count);
    if (r >= 0) return r;
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
  }
}

int64_t WriteSome(FileHandle file, const Slice* slices, int count) {
  iovec iov[kMaxIov];
  count = Iov(slices, count, iov);
  for (;;) {
    const ssize_t r = writev(Fd(file), iov, count);
    if (r >= 0) return r;
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(Fd(file), POLLOUT, false)) continue;
    return -1;
  }
}

// strerror() may share one buffer between threads; the tool has several.
std::string ErrorText(int err) {
  char buf[256] = {};
  return FromStrerror(strerror_r(err, buf, sizeof buf), buf);
}

const char kFileSizeLimitHint[] = "the file reached its size limit (ulimit -f)";

bool ErrorsGoToTerminal() { return isatty(STDERR_FILENO) == 1; }
bool OutputGoesToTerminal() { return isatty(STDOUT_FILENO) == 1; }

ClosedStreams OpenClosedStandardStreams() {
  bool closed[3] = {};
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    closed[fd] = true;
    // Opened in order, each takes the lowest free number: this one. Without
    // /dev/null a later file could take it: stop before anything is done.
    if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) std::_Exit(1);
  }
  return {closed[0], closed[1]};
}

void PrepareProcess() {
  // A closed output pipe is reported by write() and ends the run cleanly.
  std::signal(SIGPIPE, SIG_IGN);
  // So is a file grown past the size limit (EFBIG), with a message.
  std::signal(SIGXFSZ, SIG_IGN);
}

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace platform
}  // namespace vantrel::cli
