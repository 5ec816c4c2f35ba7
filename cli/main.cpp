// vantrel: deinterlaces YUV4MPEG2 or raw video with the Vantrel filter.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/pipeline.h"
#include "cli/platform.h"
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

int Interrupted(int interrupt, int64_t frames_written) {
  std::fprintf(stderr, "vantrel: interrupted by %s (%s)\n", vantrel::cli::InterruptName(interrupt),
               FramesWritten(frames_written).c_str());
  return vantrel::cli::InterruptExitCode(interrupt);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantrel::cli;
  platform::PrepareProcess();
  const std::vector<std::string> arguments = platform::Arguments(argc, argv);
  std::vector<const char*> args;
  for (const std::string& a : arguments) args.push_back(a.c_str());
  Options options;
  std::string error;
  if (!ParseOptions(int(args.size()), args.data(), &options, &error)) {
    return Fail(error, kExitUsage);
  }
  if (options.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("vantrel %s\n", vantrel::kVersion);
    return 0;
  }
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
  if (!StartRun(options, &session, &error)) return Fail(error);

  const bool show = options.progress == Options::Progress::kOn ||
                    (options.progress == Options::Progress::kAuto && platform::ErrorsGoToTerminal());
  int64_t total = session.reader->format().frame_count;
  if (options.max_frames >= 0 && (total < 0 || total > options.max_frames)) {
    total = options.max_frames;
  }
  if (total > 0) total *= int64_t(session.fields.size());
  Progress progress(show, total);
  RunResult result = RunPipeline(session, options, progress);
  if (result.error.empty() && !result.broken_pipe &&
      session.writer->Close() != WriteStatus::kOk) {
    result.error = session.writer->error();
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
