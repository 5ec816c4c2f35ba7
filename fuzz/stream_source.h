// Bytes made into something the tool's readers can open by path: an
// in-memory file (seekable, known size) or a pipe that already holds them
// (no size, reads come in pieces), as the tool meets files and pipes.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace vantrel::fuzz {

class StreamSource {
 public:
  enum class Kind { kFile, kPipe };

  StreamSource() = default;
  StreamSource(const StreamSource&) = delete;
  StreamSource& operator=(const StreamSource&) = delete;
  ~StreamSource() {
    if (fd_ >= 0) close(fd_);
  }

  // False when the system cannot make one; a pipe holds at most 1 MiB here.
  bool Make(Kind kind, const uint8_t* data, size_t size) {
    return kind == Kind::kPipe ? MakePipe(data, size) : MakeFile(data, size);
  }

  // An empty in-memory file to write into.
  bool MakeEmptyFile() { return MakeFile(nullptr, 0); }

  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  // Everything written to an in-memory file so far.
  std::string Contents() const {
    std::string out;
    char buffer[65536];
    for (off_t at = 0;;) {
      const ssize_t r = pread(fd_, buffer, sizeof buffer, at);
      if (r <= 0) return out;
      out.append(buffer, size_t(r));
      at += r;
    }
  }

 private:
  static bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
      const ssize_t w = write(fd, data, size);
      if (w <= 0) return false;
      data += w;
      size -= size_t(w);
    }
    return true;
  }

  bool MakeFile(const uint8_t* data, size_t size) {
    fd_ = memfd_create("vantrel-fuzz", MFD_CLOEXEC);
    return fd_ >= 0 && WriteAll(fd_, data, size);
  }

  bool MakePipe(const uint8_t* data, size_t size) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    fd_ = fds[0];
    const bool fits = size <= (1u << 20) && fcntl(fds[1], F_SETPIPE_SZ, int(size) + 4096) >= 0;
    const bool ok = fits && WriteAll(fds[1], data, size);
    close(fds[1]);
    return ok;
  }

  int fd_ = -1;
};

}  // namespace vantrel::fuzz
