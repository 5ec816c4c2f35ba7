// vantrel: deinterlaces YUV4MPEG2 or raw video with the Vantrel filter.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <system_error>

#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/pipeline.h"
#include "cli/session.h"
#include "core/version.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Fail(const std::string& message, int code = kExitFailure) {
  std::fprintf(stderr, "vantrel: %s\n", message.c_str());
  return code;
}

std::string FramesWritten(int64_t frames) {
  return frames == 1 ? "1 frame was written before it"
                     : std::to_string(frames) + " frames were written before it";
}

// As a shell reports a process the signal ended: 128 + the signal.
int Interrupted(int sig, int64_t frames_written) {
  std::fprintf(stderr, "vantrel: interrupted by %s (%s)\n",
               sig == SIGINT ? "Ctrl-C (SIGINT)" : "SIGTERM", FramesWritten(frames_written).c_str());
  return 128 + sig;
}

// Descriptors 0-2 the tool was started without. Each is opened on /dev/null
// before anything else opens a file, which would otherwise take its number
// (the interrupt pipe on 0 was then read as the input).
struct ClosedStreams {
  bool in = false, out = false;
};

ClosedStreams OpenClosedStandardStreams() {
  bool closed[3] = {};
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    closed[fd] = true;
    // Opened in order, each takes the lowest free number: this one. Without
    // /dev/null a later file could take it: stop before anything is done.
    if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) std::_Exit(kExitFailure);
  }
  return {closed[0], closed[1]};
}

bool IsTerminal(int fd) { return isatty(fd) == 1; }

// Refuses what cannot run before any file is opened; "" if it can.
std::string StreamProblem(const vantrel::cli::Options& o, ClosedStreams closed) {
  if (o.input == "-" && closed.in) {
    return "standard input is closed; give INPUT as a file or pipe the video in";
  }
  for (const std::string* out : {&o.output, &o.map}) {
    if (*out != "-") continue;
    if (closed.out) return "standard output is closed; give a file instead of -";
    if (IsTerminal(STDOUT_FILENO)) {
      return "standard output is a terminal, which the video would flood; redirect it to a "
             "file (> out.y4m) or pipe it on (| ffmpeg -i - out.mkv)";
    }
  }
  return "";
}

int Run(int argc, char** argv, ClosedStreams closed) {
  using namespace vantrel::cli;
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) return Fail(error, kExitUsage);
  if (options.help || options.no_arguments) {
    std::fputs(UsageText(), stdout);
    return options.help ? 0 : kExitUsage;
  }
  if (options.version) {
    std::printf("vantrel %s\n", vantrel::kVersion);
    return 0;
  }
  error = StreamProblem(options, closed);
  if (!error.empty()) return Fail(error, kExitUsage);
  // A closed output pipe is reported by write() and ends the run cleanly.
  std::signal(SIGPIPE, SIG_IGN);
  // So is a file grown past the size limit (EFBIG), with a message.
  std::signal(SIGXFSZ, SIG_IGN);
  InstallInterruptHandlers();

  Session session;
  if (!OpenInput(options, &session, &error)) {
    if (InterruptSignal()) return Interrupted(InterruptSignal(), 0);
    return Fail(error);
  }
  if (!CheckRun(options, session, &error)) return Fail(error, kExitUsage);
  const bool quiet = options.progress == Options::Progress::kQuiet;
  for (const std::string& line : Warnings(options, session)) {
    if (!quiet) std::fprintf(stderr, "vantrel: warning: %s\n", line.c_str());
  }
  switch (StartRun(options, &session, &error)) {
    case StartResult::kStarted: break;
    case StartResult::kFailed: return Fail(error);
    case StartResult::kOutputGone: return 0;  // as when it leaves later
  }

  const bool show = options.progress == Options::Progress::kOn ||
                    (options.progress == Options::Progress::kAuto && IsTerminal(STDERR_FILENO));
  int64_t total = session.reader->format().frame_count;
  if (options.max_frames >= 0 && (total < 0 || total > options.max_frames)) {
    total = options.max_frames;
  }
  if (total > 0) total *= session.outputs_per_frame;
  Progress progress(show, total);
  RunResult result = RunPipeline(session, options, progress);
  for (FrameWriter* writer : {session.writer.get(), session.map_writer.get()}) {
    if (writer && result.error.empty() && !result.broken_pipe &&
        writer->Close() != WriteStatus::kOk) {
      result.error = writer->error();
    }
  }
  progress.Finish();
  // The output's reader left (e.g. `| head`): what it wanted was written.
  if (result.broken_pipe) return 0;
  if (result.interrupted && result.error.empty()) {
    return Interrupted(result.interrupted, result.frames_written);
  }
  if (!result.error.empty()) {
    return Fail(result.error + " (" + FramesWritten(result.frames_written) + ")");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const ClosedStreams closed = OpenClosedStandardStreams();
  try {
    return Run(argc, argv, closed);
  } catch (const std::bad_alloc&) {
    return Fail("not enough memory to go on");
  } catch (const std::system_error& e) {
    return Fail(std::string("the system refused: ") + e.what());
  }
}
