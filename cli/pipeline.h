// Reading, filtering and writing overlap: the calling thread reads, one
// worker per filter chain deinterlaces, and a writer puts frames out in order.
#pragma once

#include <string>

#include "cli/progress.h"
#include "cli/session.h"

namespace vantrel::cli {

struct RunResult {
  int64_t frames_written = 0;
  std::string error;          // what stopped the run early, "" if nothing did
  bool broken_pipe = false;   // the output's reader went away
  int interrupted = 0;        // the signal that stopped the reading, 0 if none
};

// At most a few frames per thread are held at any time.
RunResult RunPipeline(Session& session, const Options& options, Progress& progress);

}  // namespace vantrel::cli
