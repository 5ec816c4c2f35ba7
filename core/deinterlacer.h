// The filter every face runs, on frames given as plane views: 4:2:0 frames
// whose sides are multiples of 16 are deinterlaced with the arguments clamped
// for their size, other frames get a notice drawn over a copy of the source,
// and 4:2:0 frames then take the regions passed in. No host type appears
// here: each face maps its frames and arguments to these.
#pragma once

#include "core/frame_view.h"
#include "core/params.h"
#include "core/regions.h"
#include "core/working_set.h"

namespace vantrel {

enum class FrameResult {
  kDone,
  kNoMemory,  // a working buffer could not be had: the output is not the frame
};

class Deinterlacer {
 public:
  explicit Deinterlacer(const RequestedParams& requested, AllocateFn allocate = std::malloc);

  // Writes the processed frame into `out`, a frame of the same format and
  // plane sizes as `in` that does not overlap it; `in` is only read. Several
  // threads may process frames at once, each with its own views. With `map`
  // (4:2:0 only), also draws there what was done to the frame (frame_map.h).
  FrameResult Process(PixelFormat format, const FrameView& in, const FrameView& out,
                      const RegionList& regions, const FrameView* map = nullptr);

  const RequestedParams& requested() const { return requested_; }
  // The allocator of every buffer taken from now on (tests count or fail them).
  void SetAllocator(AllocateFn allocate) { sets_.SetAllocator(allocate); }

 private:
  FrameResult Process420(const FrameView& in, const FrameView& out, const RegionList& regions,
                         const FrameView* map);

  WorkingSetPool sets_;
  const RequestedParams requested_;
};

}  // namespace vantrel
