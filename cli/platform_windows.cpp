// The seam on Windows: handles through the wide-character calls (UTF-8 paths
// work whatever the code page), identity by volume serial number and file
// index, a console control handler for Ctrl-C and Ctrl-Break, and reads of
// pipes that the handler can end.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "cli/interrupt.h"
#include "cli/platform.h"

// msvcrt's own parser of the wide command line (what a wmain would get);
// the struct is its start-up options, of which only the first field exists.
struct VantrelStartupInfo {
  int new_mode;
};
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int expand_wildcards,
                              VantrelStartupInfo* info);

namespace vantrel::cli {
namespace platform {
namespace {

// One ReadFile or WriteFile moves at most this much.
constexpr DWORD kMaxTransfer = DWORD(1) << 30;

HANDLE Win(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle Handle(HANDLE h) {
  return h == INVALID_HANDLE_VALUE || h == nullptr ? kNoFile : reinterpret_cast<FileHandle>(h);
}

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_NO_UNICODE_TRANSLATION: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILE_TOO_LARGE: return EFBIG;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_INVALID_HANDLE: return EBADF;
    // A pipe whose reader has gone: Windows says 232, Wine 233.
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED: return EPIPE;
    case ERROR_OPERATION_ABORTED: return ECANCELED;
    default: return EIO;
  }
}

int64_t Failed(DWORD error) {
  errno = ErrnoOf(error);
  return -1;
}

bool Wide(const std::string& utf8, std::wstring* wide) {
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()),
                                    nullptr, 0);
  if (n <= 0 && !utf8.empty()) return false;
  wide->assign(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), wide->data(), n);
  return true;
}

std::string Utf8(const wchar_t* wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return "";
  std::string out(size_t(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), n, nullptr, nullptr);
  return out;
}

FileHandle Open(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
  std::wstring wide;
  if (!Wide(path, &wide)) {
    Failed(ERROR_NO_UNICODE_TRANSLATION);
    return kNoFile;
  }
  const HANDLE h = CreateFileW(wide.c_str(), access,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) Failed(GetLastError());
  return Handle(h);
}

// One ReadFile; 0 at the end of a file or of a pipe whose writer has gone.
int64_t ReadOnce(HANDLE h, void* data, size_t size) {
  DWORD got = 0;
  if (ReadFile(h, data, DWORD(std::min<size_t>(size, kMaxTransfer)), &got, nullptr)) return got;
  const DWORD error = GetLastError();
  if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
  return Failed(error);
}

// A pipe or console is read ahead into a ring by a thread of its own, and
// reads take from the ring: Windows has no poll for pipes, and Wine can
// neither cancel a blocked pipe read nor peek into one. So the read that may
// stall for ever is the pump's, while a reader waits on the ring, where
// Ctrl-C can end the wait. A pump still blocked at exit ends with the process.
class Pump {
 public:
  explicit Pump(HANDLE h) : handle_(h), ring_(kRingBytes) {}

  bool Start() {
    const HANDLE thread = CreateThread(nullptr, 0, &Pump::Run, this, 0, nullptr);
    if (!thread) return false;
    CloseHandle(thread);
    return true;
  }

  int64_t Read(const Slice* slices, int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    data_.wait(lock, [&] { return filled_ > 0 || ended_ || cancelled_; });
    if (cancelled_) {
      errno = ECANCELED;
      return -1;
    }
    if (filled_ == 0) return error_ ? Failed(error_) : 0;
    size_t taken = 0;
    for (int i = 0; i < count && filled_ > 0; ++i) {
      for (size_t done = 0; done < slices[i].size && filled_ > 0;) {
        const size_t n = std::min({slices[i].size - done, filled_, ring_.size() - start_});
        std::memcpy(static_cast<uint8_t*>(slices[i].data) + done, ring_.data() + start_, n);
        start_ = (start_ + n) % ring_.size();
        filled_ -= n;
        done += n;
        taken += n;
      }
    }
    space_.notify_one();
    return int64_t(taken);
  }

  void Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    data_.notify_all();
    space_.notify_all();
  }

  HANDLE handle() const { return handle_; }

 private:
  static constexpr size_t kRingBytes = size_t(4) << 20;

  static DWORD WINAPI Run(void* self) {
    static_cast<Pump*>(self)->Fill();
    return 0;
  }

  // Reads into the free part of the ring until the input ends or fails.
  void Fill() {
    for (;;) {
      size_t at, room;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        space_.wait(lock, [&] { return filled_ < ring_.size() || cancelled_; });
        if (cancelled_) return;
        at = (start_ + filled_) % ring_.size();
        room = std::min(ring_.size() - filled_, ring_.size() - at);
      }
      // Only this thread writes the free part, so the read needs no lock.
      const int64_t r = ReadOnce(handle_, ring_.data() + at, room);
      const DWORD error = r < 0 ? GetLastError() : 0;
      std::lock_guard<std::mutex> lock(mutex_);
      if (r > 0) filled_ += size_t(r);
      ended_ = r <= 0;
      error_ = error;
      data_.notify_one();
      if (ended_) return;
    }
  }

  const HANDLE handle_;
  std::vector<uint8_t> ring_;
  std::mutex mutex_;
  std::condition_variable data_;
  std::condition_variable space_;
  size_t start_ = 0;
  size_t filled_ = 0;
  bool ended_ = false;
  DWORD error_ = 0;
  bool cancelled_ = false;
};

// One pump per input; never destroyed, as a pump may still be running at exit.
class Pumps {
 public:
  Pump* For(HANDLE h) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Pump* p : pumps_) {
      if (p->handle() == h) return p;
    }
    auto* pump = new Pump(h);
    if (cancelled_) pump->Cancel();
    if (!pump->Start()) {
      delete pump;
      return nullptr;
    }
    pumps_.push_back(pump);
    return pump;
  }
  void CancelAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    for (Pump* p : pumps_) p->Cancel();
  }

 private:
  std::mutex mutex_;
  std::vector<Pump*> pumps_;
  bool cancelled_ = false;
};

Pumps& ThePumps() {
  static Pumps* const pumps = new Pumps;
  return *pumps;
}

// Wine answers only some queries on a standard handle that a Unix process
// handed down (a shell's `< file`): not the volume.
bool DescribeInherited(HANDLE h, FileFacts* facts) {
  FILE_STANDARD_INFO standard = {};
  FILE_ID_INFO id = {};
  if (!GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard) ||
      !GetFileInformationByHandleEx(h, FileIdInfo, &id, sizeof id)) {
    return false;
  }
  facts->kind = standard.Directory ? FileFacts::Kind::kDirectory : FileFacts::Kind::kRegular;
  facts->size = standard.EndOfFile.QuadPart;
  uint64_t index = 0;
  std::memcpy(&index, id.FileId.Identifier, sizeof index);
  facts->id = {id.VolumeSerialNumber, index, id.VolumeSerialNumber != 0};
  return true;
}

}  // namespace

// Wine and Windows size a pipe when it is made; the reader cannot change it.
void WidenPipe(FileHandle) {}

FileHandle StandardInput() { return Handle(GetStdHandle(STD_INPUT_HANDLE)); }
FileHandle StandardOutput() { return Handle(GetStdHandle(STD_OUTPUT_HANDLE)); }

FileHandle OpenForReading(const std::string& path) {
  // Folders open too, so that Describe can name them.
  return Open(path, GENERIC_READ, OPEN_EXISTING,
              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN);
}

FileHandle OpenForWriting(const std::string& path, bool* created) {
  const FileHandle file = Open(path, GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  *created = file != kNoFile && GetLastError() != ERROR_ALREADY_EXISTS;
  return file;
}

bool Truncate(FileHandle file) {
  const HANDLE h = Win(file);
  if (GetFileType(h) != FILE_TYPE_DISK) return true;  // pipes, consoles, NUL
  const LARGE_INTEGER zero = {};
  if (SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) && SetEndOfFile(h)) return true;
  Failed(GetLastError());
  return false;
}

bool RemoveFile(const std::string& path) {
  std::wstring wide;
  if (Wide(path, &wide) && DeleteFileW(wide.c_str())) return true;
  Failed(GetLastError());
  return false;
}

int Close(FileHandle file) { return CloseHandle(Win(file)) ? 0 : ErrnoOf(GetLastError()); }

bool Describe(FileHandle file, FileFacts* facts) {
  *facts = FileFacts{};
  const HANDLE h = Win(file);
  if (GetFileType(h) != FILE_TYPE_DISK) return true;  // pipes, consoles, NUL
  BY_HANDLE_FILE_INFORMATION info = {};
  if (GetFileInformationByHandle(h, &info)) {
    const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts->kind = folder ? FileFacts::Kind::kDirectory : FileFacts::Kind::kRegular;
    facts->size = int64_t((uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    facts->id = {info.dwVolumeSerialNumber,
                 (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  } else if (!DescribeInherited(h, facts)) {
    Failed(GetLastError());
    return false;
  }
  if (facts->kind == FileFacts::Kind::kDirectory) {
    facts->size = 0;
    return true;
  }
  facts->has_id = true;
  LARGE_INTEGER zero = {}, position = {};
  if (SetFilePointerEx(h, zero, &position, FILE_CURRENT)) facts->position = position.QuadPart;
  return true;
}

bool DescribePath(const std::string& path, FileFacts* facts) {
  // No access asked: enough for the identity, and no share mode conflicts.
  const FileHandle file = Open(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (file == kNoFile) return false;
  const bool ok = Describe(file, facts);
  CloseHandle(Win(file));
  return ok;
}

int64_t ReadSome(FileHandle file, const Slice* slices, int count, bool may_block) {
  const HANDLE h = Win(file);
  if (!may_block) {
    int64_t total = 0;
    for (int i = 0; i < count; ++i) {
      const int64_t r = ReadOnce(h, slices[i].data, slices[i].size);
      if (r < 0) return total > 0 ? total : r;
      total += r;
      if (size_t(r) < slices[i].size) break;
    }
    return total;
  }
  Pump* pump = ThePumps().For(h);
  return pump ? pump->Read(slices, count) : Failed(GetLastError());
}

int64_t WriteSome(FileHandle file, const Slice* slices, int count) {
  int64_t total = 0;
  for (int i = 0; i < count; ++i) {
    const DWORD size = DWORD(std::min<size_t>(slices[i].size, kMaxTransfer));
    DWORD written = 0;
    if (!WriteFile(Win(file), slices[i].data, size, &written, nullptr)) {
      const DWORD error = GetLastError();
      return total > 0 ? total : Failed(error);
    }
    total += written;
    if (written < slices[i].size) break;
  }
  return total;
}

// msvcrt keeps strerror's text per thread.
std::string ErrorText(int err) { return std::strerror(err); }

const char kFileSizeLimitHint[] = "the file reached the largest size its drive's file system holds";

bool ErrorsGoToTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool OutputGoesToTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

// Handles are not numbered like descriptors: a missing one is only noted.
ClosedStreams OpenClosedStandardStreams() {
  const auto missing = [](DWORD which) {
    const HANDLE h = GetStdHandle(which);
    return h == nullptr || h == INVALID_HANDLE_VALUE;
  };
  return {missing(STD_INPUT_HANDLE), missing(STD_OUTPUT_HANDLE)};
}

void PrepareProcess() {
  // No "\n" to "\r\n" on the way out, nor the reverse on the way in.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = nullptr;
  wchar_t** environment = nullptr;
  VantrelStartupInfo info = {0};
  if (__wgetmainargs(&count, &wide, &environment, 0, &info) != 0 || count != argc) {
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  return arguments;
}

}  // namespace platform
namespace {

constexpr int kCtrlC = SIGINT;
constexpr int kCtrlBreak = SIGBREAK;

std::atomic<int> g_interrupt{0};
std::atomic<uint64_t> g_first_ms{0};  // when g_interrupt came; 0 until it is stored
bool g_own_line = false;  // start the notice on a line of its own (a progress line may be open)

void Announce(int interrupt) {
  static const char kInt[] =
      "\nvantrel: Ctrl-C: no more frames are read; those read are still written (Ctrl-C again "
      "stops at once)\n";
  static const char kBreak[] =
      "\nvantrel: Ctrl-Break: no more frames are read; those read are still written "
      "(Ctrl-Break again stops at once)\n";
  const char* text = interrupt == kCtrlC ? kInt : kBreak;
  const DWORD size = DWORD((interrupt == kCtrlC ? sizeof kInt : sizeof kBreak) - 1);
  const DWORD skip = g_own_line ? 0 : 1;
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text + skip, size - skip, &written, nullptr);
}

// Runs on a thread of its own, one per event. The first Ctrl-C or Ctrl-Break
// is taken; one within the window is the same event; a later one ends the
// process here, as the default handler would, but with the interrupt's code
// (Wine's default handler exits with 0).
BOOL WINAPI OnConsoleEvent(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  const uint64_t now = GetTickCount64();
  int none = 0;
  if (g_interrupt.compare_exchange_strong(none, type == CTRL_C_EVENT ? kCtrlC : kCtrlBreak)) {
    g_first_ms.store(now);
    platform::ThePumps().CancelAll();
    Announce(g_interrupt.load());
    return TRUE;
  }
  const uint64_t first = g_first_ms.load();
  if (first != 0 && now - first >= uint64_t(kInterruptWindowMs)) {
    TerminateProcess(GetCurrentProcess(), UINT(InterruptExitCode(g_interrupt.load())));
  }
  return TRUE;
}

}  // namespace

bool InstallInterruptHandlers() {
  g_own_line = platform::ErrorsGoToTerminal();
  return SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

int InterruptSignal() { return g_interrupt.load(); }

const char* InterruptName(int interrupt) { return interrupt == kCtrlC ? "Ctrl-C" : "Ctrl-Break"; }

// What a POSIX shell reports for Ctrl-C, so scripts see one code everywhere.
int InterruptExitCode(int) { return 128 + SIGINT; }

void CancelReads() { platform::ThePumps().CancelAll(); }

}  // namespace vantrel::cli
