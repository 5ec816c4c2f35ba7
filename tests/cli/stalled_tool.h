// The built tool run on pipes the test holds: input that stalls where the
// test stops feeding, output read (or dropped) only when the test says so.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tool_harness.h"

namespace vantrel::test {

// The tool reading a pipe this test holds open and writing into another.
class StalledTool {
 public:
  explicit StalledTool(std::vector<std::string> args = {"--threads", "2", "-", "-"}) {
    int in[2], out[2];
    EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    err_path_ = test::TempPath("stalled_err.txt");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      const int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(err, STDERR_FILENO);
      signal(SIGPIPE, SIG_DFL);
      std::vector<char*> argv = {const_cast<char*>(VANTREL_TOOL_PATH)};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(VANTREL_TOOL_PATH, argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    feed_ = in[1];
    output_ = out[0];
  }
  ~StalledTool() {
    if (feed_ >= 0) close(feed_);
    if (output_ >= 0) close(output_);
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  void Feed(const std::string& bytes) {
    ASSERT_EQ(write(feed_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }

  // Reads exactly n bytes of output, or what comes before the end. A tool
  // that never answers fails the test instead of hanging it.
  std::string Read(size_t n) {
    std::string got;
    char buffer[4096];
    while (got.size() < n) {
      pollfd p = {output_, POLLIN, 0};
      if (poll(&p, 1, 60000) <= 0) break;
      const ssize_t r = read(output_, buffer, std::min(sizeof buffer, n - got.size()));
      if (r <= 0) break;
      got.append(buffer, size_t(r));
    }
    return got;
  }

  // Waits until the tool has taken everything fed so far out of the pipe.
  void AwaitConsumed() {
    for (int i = 0; i < 6000; ++i) {
      int pending = 0;
      if (ioctl(feed_, FIONREAD, &pending) != 0 || pending == 0) return;
      usleep(10 * 1000);
    }
    ADD_FAILURE() << "the tool never read its input";
  }

  // The input ends.
  void CloseInput() {
    close(feed_);
    feed_ = -1;
  }

  // The output's reader goes away, as `| head` does.
  void CloseOutput() {
    close(output_);
    output_ = -1;
  }

  // Wait() for a tool expected to end by itself; -1 if it is still running
  // after a minute (it hangs), and it is then killed.
  int WaitUnlessHung() {
    for (int i = 0; i < 6000; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
      }
      usleep(10 * 1000);
    }
    return -1;
  }

  // The exit code; a tool the signal killed gives 1000 + the signal, which
  // no exit code can be.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }

  pid_t pid() const { return pid_; }
  std::string Errors() const { return test::ReadFile(err_path_); }

 private:
  pid_t pid_ = -1;
  int feed_ = -1;
  int output_ = -1;
  bool reaped_ = false;
  std::string err_path_;
};

}  // namespace vantrel::test
