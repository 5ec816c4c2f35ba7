// Everything one run of the tool sets up before the first frame: the input
// and output streams, the filter and the fields it keeps. It is set up in
// three steps, so that each kind of failure has its own exit code.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "cli/formats.h"
#include "cli/frame_io.h"
#include "cli/options.h"
#include "cli/y4m.h"
#include "core/deinterlacer.h"
#include "core/placement.h"

namespace vantrel::cli {

// How one output frame is made from its input frame.
struct OutputPlan {
  bool pass_through = false;   // a frame marked progressive: written as it is
  Field keep = Field::kBottom; // otherwise the field kept
};

struct Session {
  std::unique_ptr<FrameReader> reader;
  std::unique_ptr<FrameWriter> writer;
  // What the filter sees: the frames' format and size (padded unless --no-pad).
  PixelFormat format = kYuv420;
  // The file's plane that is the filter's plane i (formats.h).
  PlaneOrder filter_planes = kAsStored;
  int32_t width = 0;
  int32_t height = 0;
  // The stream's interlacing tag (Y4mHeader::interlace), and for YUV4MPEG2
  // input the reader, whose frames may carry their own.
  char interlace = 0;
  const Y4mReader* y4m = nullptr;
  // Frames the filter only draws its notice on: no field is chosen for them.
  bool notice_frames = false;
  // Every input frame gives this many output frames (PlanFrame).
  int outputs_per_frame = 1;
  // The regions as the filter sees the frame when it keeps the bottom field
  // and when it keeps the top one (upside down).
  RegionList regions[2];
  std::unique_ptr<Deinterlacer> filter;
  std::unique_ptr<FrameWriter> map_writer;  // --map
  int threads = 1;
};

const RegionList& RegionsFor(const Session& session, Field keep);

// The output frames of an input frame whose own tag is `tag`, in order; the
// first session.outputs_per_frame entries count.
std::array<OutputPlan, 2> PlanFrame(const Options& options, const Session& session,
                                    const Y4mFrameTag& tag);

// Opens the input, reads its header and works out the frames the filter
// will see; false with a message when the input cannot be used.
bool OpenInput(const Options& options, Session* session, std::string* error);

// False with a message for a run that must not start: one that would write
// over its input, or whose frames the filter would not deinterlace.
bool CheckRun(const Options& options, const Session& session, std::string* error);

// One line each for values the filter will not use as given.
std::vector<std::string> Warnings(const Options& options, const Session& session);

enum class StartResult {
  kStarted,
  kRefused,     // with a message; every output is as it was
  kFailed,      // with a message, once an output was started
  kOutputGone,  // the reader of an output left before its header was written
};

// Builds the filter and the region lists, opens every output, and only then
// empties them and writes their headers.
StartResult StartRun(const Options& options, Session* session, std::string* error);

}  // namespace vantrel::cli
