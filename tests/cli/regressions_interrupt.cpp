// Ctrl-C and SIGTERM while the input pipe is stalled: the tool used to die
// by the signal wherever it was. It must wake from the stalled read, write
// every frame it has read, and exit with 128 + the signal and a message.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "tool_harness.h"

namespace vantrel {
namespace {

constexpr size_t kFrame = 32 * 16 * 3 / 2;
const std::string kHeader = "YUV4MPEG2 W32 H16 F25:1 It A1:1 C420jpeg\n";

std::string Frames(int count) {
  std::string s;
  for (int f = 0; f < count; ++f) {
    s += "FRAME\n";
    for (size_t i = 0; i < kFrame; ++i) s += char((i * 5 + f * 11) & 0xFF);
  }
  return s;
}

// The tool reading a pipe this test holds open and writing into another.
class StalledTool {
 public:
  StalledTool() {
    int in[2], out[2];
    EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    err_path_ = test::TempPath("interrupt_err.txt");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      const int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(err, STDERR_FILENO);
      signal(SIGPIPE, SIG_DFL);
      execl(VANTREL_TOOL_PATH, VANTREL_TOOL_PATH, "--threads", "2", "-", "-", nullptr);
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    feed_ = in[1];
    output_ = out[0];
  }
  ~StalledTool() {
    if (feed_ >= 0) close(feed_);
    close(output_);
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

TEST(CliInterrupt, AStalledPipeEndsWithTheFramesReadAndTheSignalsCode) {
  for (const int sig : {SIGINT, SIGTERM}) {
    StalledTool tool;
    // Two whole frames, then part of the third's marker; the writer stays open.
    tool.Feed(kHeader + Frames(2) + "FRA");
    const std::string header = "YUV4MPEG2 W32 H16 F25:1 Ip A1:1 C420jpeg\n";
    const std::string written = tool.Read(header.size() + 2 * (6 + kFrame));
    ASSERT_EQ(written.size(), header.size() + 2 * (6 + kFrame)) << "the frames read were not written";
    EXPECT_EQ(written.substr(0, header.size()), header);
    ASSERT_EQ(kill(tool.pid(), sig), 0);
    EXPECT_EQ(tool.Read(1), "") << "nothing follows the frames read before the signal";
    const int code = tool.Wait();
    EXPECT_EQ(code, 128 + sig) << tool.Errors();
    const std::string errors = tool.Errors();
    EXPECT_NE(errors.find("interrupted"), std::string::npos) << errors;
    EXPECT_NE(errors.find("2 frames were written"), std::string::npos) << errors;
  }
}

TEST(CliInterrupt, AStalledHeaderEndsWithoutOutput) {
  StalledTool tool;
  tool.Feed("YUV4MPEG2 W32");
  // The tool reads only once it is ready for signals.
  tool.AwaitConsumed();
  ASSERT_EQ(kill(tool.pid(), SIGINT), 0);
  EXPECT_EQ(tool.Read(1), "");
  EXPECT_EQ(tool.Wait(), 128 + SIGINT);
}

}  // namespace
}  // namespace vantrel
