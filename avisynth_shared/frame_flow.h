// What a VantrelDeinterlace filter does for each frame the host asks for, in
// both AviSynth faces: the child's frame, a new frame of the clip's format,
// the processor gate, views of both in the core's plane order, the core with
// the process-wide region list, and a frame the core could not make turned
// into the host's error. GetFrame may run on several threads at once.
//
// What differs between the faces is their trait `Face`:
//   Frame       a reference to a host frame, false when there is none
//   Result      what the face's GetFrame returns
//   Frame Source(int n)    the child's frame n; none when the host already
//                          holds the child's error
//   Frame NewFrame(int n)  a new frame of the clip; none when the face has
//                          given the host its error
//   FrameView ReadView(const Frame&, PixelFormat, int pixel_type)
//   FrameView WriteView(const Frame&, PixelFormat, int pixel_type)
//                          the frame's planes in the core's order
//   Result Deliver(Frame&) the frame as the host's answer (none: the
//                          error given stands)
//   Result Raise(const std::string& message)  the host's error for the frame
// The flow itself raises nothing but memory errors; the C face catches
// those at its boundary, the 2.5 face's Raise throws through the host.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "avisynth_shared/pixel_types.h"
#include "avisynth_shared/regions.h"
#include "avisynth_shared/script_functions.h"
#include "core/deinterlacer.h"
#include "engine/cpu.h"

namespace vantrel {

class FrameFlow {
 public:
  FrameFlow(int pixel_type, const RequestedParams& requested, const CpuFeatures& cpu,
            AllocateFn allocate = std::malloc);

  template <typename Face>
  typename Face::Result Serve(Face& face, int n);

  const RequestedParams& requested() const { return core_.requested(); }
  // Lets tests count the buffer allocations or make them fail on demand.
  void SetAllocator(AllocateFn allocate) { core_.SetAllocator(allocate); }

 private:
  Deinterlacer core_;
  const int pixel_type_;
  const std::optional<PixelFormat> format_;
  const bool processes_;  // the processor gate, probed once
};

// Both views have every plane, at the same sizes.
bool SameShape(const FrameView& a, const FrameView& b);

template <typename Face>
typename Face::Result FrameFlow::Serve(Face& face, int n) {
  typename Face::Frame src = face.Source(n);
  // VantrelDeinterlace refuses other clips; a filter built around that check
  // passes their frames on rather than guess at their layout.
  if (!src || !format_) return face.Deliver(src);
  typename Face::Frame dst = face.NewFrame(n);
  if (!dst || !processes_) return face.Deliver(dst);

  const FrameView in = face.ReadView(src, *format_, pixel_type_);
  const FrameView out = face.WriteView(dst, *format_, pixel_type_);
  // A child whose frames do not match the clip's format cannot be read safely.
  if (!SameShape(in, out)) return face.Deliver(src);
  const FrameResult result = core_.Process(in, out, ProcessRegionList());
  if (result != FrameResult::kDone) {
    // The new frame holds no picture: better the host's error than a frame
    // that only looks processed.
    return face.Raise(FrameFailedMessage(n, result));
  }
  return face.Deliver(dst);
}

}  // namespace vantrel
