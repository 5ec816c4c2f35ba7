#include "frontend/plugin_copy.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantrel::frontend {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool Fail(std::string* error, const std::string& message) {
  *error = message;
  return false;
}

}  // namespace

bool LoadPluginCopy(host::ScriptHost& host, const std::string& path, std::string* error) {
  // The loader knows a library by its file: an anonymous file with the same
  // bytes is a library it has not loaded yet.
  const Fd in(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st = {};
  if (in.get() < 0 || fstat(in.get(), &st) != 0) {
    return Fail(error, "plugin '" + path + "' cannot be read: " + std::strerror(errno));
  }
  const Fd copy(memfd_create("libvantrel-copy", MFD_CLOEXEC));
  if (copy.get() < 0) {
    return Fail(error, "cannot make a copy of plugin '" + path + "': " + std::strerror(errno));
  }
  for (off_t done = 0; done < st.st_size;) {
    const ssize_t n = sendfile(copy.get(), in.get(), &done, size_t(st.st_size - done));
    if (n <= 0) {
      return Fail(error, "cannot copy plugin '" + path + "': " +
                             (n < 0 ? std::strerror(errno) : "it shrank while being read"));
    }
  }
  std::string description;
  if (!host.LoadPlugin("/proc/self/fd/" + std::to_string(copy.get()), &description, error)) {
    *error = "a copy of plugin '" + path + "' failed to load: " + *error;
    return false;
  }
  return true;
}

}  // namespace vantrel::frontend
