// Everything one run of the tool sets up before the first frame: the input
// and output streams, the filter and the fields it keeps. It is set up in
// three steps, so that each kind of failure has its own exit code.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/frame_io.h"
#include "cli/options.h"
#include "core/deinterlacer.h"
#include "core/placement.h"

namespace vantrel::cli {

// One output frame per input frame keeps this field, with the regions placed
// for the frame as the filter then sees it (upside down for the top field).
struct FieldOutput {
  Field keep = Field::kBottom;
  RegionList regions;
};

struct Session {
  std::unique_ptr<FrameReader> reader;
  std::unique_ptr<FrameWriter> writer;
  // What the filter sees: the frames' format and size (padded unless --no-pad).
  PixelFormat format = PixelFormat::kYuv420;
  int32_t width = 0;
  int32_t height = 0;
  // Every input frame gives one output frame per entry, in this order.
  std::vector<FieldOutput> fields;
  std::unique_ptr<Deinterlacer> filter;
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

// Builds the filter and the region lists and opens the output; false with a
// message saying what failed.
bool StartRun(const Options& options, Session* session, std::string* error);

}  // namespace vantrel::cli
