// Everything one run of the tool sets up before the first frame: the input
// and output streams, the plugin, and the filter chains. It is set up in
// three steps, so that each kind of failure has its own exit code.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/frame_io.h"
#include "cli/options.h"
#include "frontend/filter_chain.h"
#include "frontend/placement.h"
#include "host/script_host.h"

namespace vantrel::cli {

// The filters that keep one field: a plugin instance of their own (the
// region list is per instance) and a chain per thread.
struct FieldFilters {
  frontend::Field keep = frontend::Field::kBottom;
  std::unique_ptr<host::ScriptHost> host;
  std::vector<frontend::FilterChain> chains;
};

struct Session {
  std::unique_ptr<FrameReader> reader;
  std::unique_ptr<FrameWriter> writer;
  host::VideoFormat format;  // what the filter sees (padded unless --no-pad)
  // For each file plane (in file order), the frame plane it belongs to.
  std::vector<int> plane_of_file_plane;
  // Every input frame gives one output frame per entry, in this order.
  std::vector<FieldFilters> fields;
  int threads = 1;
};

// Opens the input, reads its header and works out the frames the filter
// will see; false with a message when the input cannot be used.
bool OpenInput(const Options& options, Session* session, std::string* error);

// False with a message for a run that must not start: one that would write
// over its input, or whose frames the filter would not deinterlace.
bool CheckRun(const Options& options, const Session& session, std::string* error);

// One line each for values the filter will not use as given.
std::vector<std::string> Warnings(const Options& options, const Session& session);

// Loads the plugin, adds the regions, builds the filters and opens the
// output; false with a message saying what failed and what to do.
bool StartRun(const Options& options, const char* argv0, Session* session, std::string* error);

}  // namespace vantrel::cli
