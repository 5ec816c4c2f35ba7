// Everything one run of the tool sets up before the first frame: the input
// and output streams, the plugin, and one filter chain per thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/frame_io.h"
#include "cli/options.h"
#include "host/script_host.h"

namespace vantrel::cli {

// One fed source and the filter built on it; driven by one thread.
struct FilterChain {
  host::FedSource source;
  host::Clip filter;
};

struct Session {
  std::unique_ptr<FrameReader> reader;
  std::unique_ptr<FrameWriter> writer;
  std::unique_ptr<host::ScriptHost> host;
  host::VideoFormat format;  // what the filter sees (padded with --pad)
  // For each file plane (in file order), the frame plane it belongs to.
  std::vector<int> plane_of_file_plane;
  std::vector<FilterChain> chains;
  int threads = 1;
};

// Opens the input and reads its header, loads the plugin, adds the regions
// and builds the filters; the output is opened only once all of that worked.
// False with a message saying what failed and what to do.
bool OpenSession(const Options& options, const char* argv0, Session* session, std::string* error);

// Why the output will carry the filter's notice, or "" when it will not.
std::string NoticeWarning(const Session& session);

}  // namespace vantrel::cli
