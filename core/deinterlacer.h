// The filter every face runs, on frames given as plane views: planar frames
// (YUV of any chroma layout the engine takes, or grey) whose sides are
// multiples of 16 are deinterlaced with the arguments clamped for their size,
// other frames get a notice drawn over a copy of the source, and planar
// frames then take the regions passed in. No host type appears here: each
// face maps its frames and arguments to these.
#pragma once

#include "core/frame_view.h"
#include "core/params.h"
#include "core/placement.h"
#include "core/regions.h"
#include "core/working_set.h"

namespace vantrel {

enum class [[nodiscard]] FrameResult {
  kDone,
  kNoMemory,  // a working buffer could not be had: the output is not the frame
  kRefused,   // the engine refused the frame: the output is not the frame
};

// What a face tells its user about a frame that did not come out.
const char* FrameFailure(FrameResult result);

class Deinterlacer {
 public:
  explicit Deinterlacer(const RequestedParams& requested, AllocateFn allocate = std::malloc);

  // Writes the processed frame into `out`, a frame of the same format and
  // plane sizes as `in` that does not overlap it; `in` is only read. Several
  // threads may process frames at once, each with its own views. With `map`
  // (planar frames only, of the same format), also draws there what was done
  // to the frame (frame_map.h).
  FrameResult Process(const FrameView& in, const FrameView& out, const RegionList& regions,
                      const FrameView* map = nullptr);

  // A planar picture of any size, keeping `keep`: one whose sides are not
  // multiples of 16 is padded (placement.h) into the working set's frames
  // and the result cropped back into `out`.
  FrameResult ProcessPicture(const FrameView& in, const FrameView& out, Field keep,
                             const RegionList& regions);

  const RequestedParams& requested() const { return requested_; }
  // The allocator of every buffer taken from now on (tests count or fail them).
  void SetAllocator(AllocateFn allocate) { sets_.SetAllocator(allocate); }

 private:
  FrameResult ProcessPlanar(WorkingSet& set, const FrameView& in, const FrameView& out,
                            const RegionList& regions, const FrameView* map);

  WorkingSetPool sets_;
  const RequestedParams requested_;
};

}  // namespace vantrel
