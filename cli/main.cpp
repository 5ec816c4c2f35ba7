// vantrel: deinterlaces YUV4MPEG2 or raw video with the Vantrel filter.

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/pipeline.h"
#include "cli/platform.h"
#include "cli/session.h"
#include "core/version.h"

namespace {

// 2 when the run does not start: nothing is read past the input's header
// and every output is as it was; 1 when it fails once started.
constexpr int kExitFailure = 1;
constexpr int kExitCannotStart = 2;

int Fail(const std::string& message, int code = kExitFailure) {
  std::fprintf(stderr, "vantrel: %s\n", message.c_str());
  return code;
}

std::string FramesWritten(int64_t frames) {
  return frames == 1 ? "1 frame was written before it"
                     : std::to_string(frames) + " frames were written before it";
}

int Interrupted(int interrupt, int64_t frames_written) {
  std::fprintf(stderr, "vantrel: interrupted by %s (%s)\n", vantrel::cli::InterruptName(interrupt),
               FramesWritten(frames_written).c_str());
  return vantrel::cli::InterruptExitCode(interrupt);
}

// Refuses what cannot run before any file is opened; "" if it can.
std::string StreamProblem(const vantrel::cli::Options& o,
                          vantrel::cli::platform::ClosedStreams closed) {
  namespace platform = vantrel::cli::platform;
  if (o.input == "-" && closed.input) {
    return "standard input is closed; give INPUT as a file or pipe the video in";
  }
  for (const std::string* out : {&o.output, &o.map}) {
    if (*out != "-") continue;
    if (closed.output) return "standard output is closed; give a file instead of -";
    if (platform::OutputGoesToTerminal()) {
      return "standard output is a terminal, which the video would flood; redirect it to a "
             "file (> out.y4m) or pipe it on (| ffmpeg -i - out.mkv)";
    }
  }
  return "";
}

int Run(int argc, char** argv, vantrel::cli::platform::ClosedStreams closed) {
  using namespace vantrel::cli;
  platform::PrepareProcess();
  const std::vector<std::string> arguments = platform::Arguments(argc, argv);
  std::vector<const char*> args;
  for (const std::string& a : arguments) args.push_back(a.c_str());
  Options options;
  std::string error;
  if (!ParseOptions(int(args.size()), args.data(), &options, &error)) {
    return Fail(error, kExitCannotStart);
  }
  if (options.no_arguments) {
    std::fputs(UsageText(), stderr);  // not down a pipeline
    return kExitCannotStart;
  }
  if (options.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("vantrel %s\n", vantrel::kVersion);
    return 0;
  }
  error = StreamProblem(options, closed);
  if (!error.empty()) return Fail(error, kExitCannotStart);
  InstallInterruptHandlers();

  Session session;
  if (!OpenInput(options, &session, &error)) {
    if (InterruptSignal()) return Interrupted(InterruptSignal(), 0);
    return Fail(error, kExitCannotStart);
  }
  if (!CheckRun(options, session, &error)) return Fail(error, kExitCannotStart);
  const bool quiet = options.progress == Options::Progress::kQuiet;
  for (const std::string& line : Warnings(options, session)) {
    if (!quiet) std::fprintf(stderr, "vantrel: warning: %s\n", line.c_str());
  }
  switch (StartRun(options, &session, &error)) {
    case StartResult::kStarted: break;
    case StartResult::kRefused: return Fail(error, kExitCannotStart);
    case StartResult::kFailed: return Fail(error);
    case StartResult::kOutputGone:  // as when it leaves later
      return InterruptSignal() ? Interrupted(InterruptSignal(), 0) : 0;
  }

  const bool show = options.progress == Options::Progress::kOn ||
                    (options.progress == Options::Progress::kAuto && platform::ErrorsGoToTerminal());
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
  // An interrupt after the last frame was read counts too: the tool said it
  // stops, and an interrupted run never ends as a success.
  const int interrupt = result.interrupted ? result.interrupted : InterruptSignal();
  if (interrupt && (result.error.empty() || result.broken_pipe)) {
    return Interrupted(interrupt, result.frames_written);
  }
  // The output's reader left (e.g. `| head`): what it wanted was written.
  if (result.broken_pipe) return 0;
  if (!result.error.empty()) {
    return Fail(result.error + " (" + FramesWritten(result.frames_written) + ")");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything else opens a file, which would otherwise take a closed
  // stream's number (the interrupt pipe on 0 was once read as the input).
  const vantrel::cli::platform::ClosedStreams closed =
      vantrel::cli::platform::OpenClosedStandardStreams();
  try {
    return Run(argc, argv, closed);
  } catch (const std::bad_alloc&) {
    return Fail("not enough memory to go on");
  } catch (const std::system_error& e) {
    return Fail(std::string("the system refused: ") + e.what());
  }
}
