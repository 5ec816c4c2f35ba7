// Frames seen as planes with their own pitches, in the order the engine takes
// them: luma, then the chroma plane the classic layout stores first (V for
// YV12, U for I420), then the other.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/planes.h"
#include "sdk/avisynth.h"

namespace vantrel {

struct PlaneView {
  uint8_t* data = nullptr;
  ptrdiff_t pitch = 0;
  int row_size = 0;
  int height = 0;

  size_t bytes() const { return size_t(row_size) * size_t(height); }
};

struct FrameView {
  PlaneView planes[3];
  int plane_count = 0;  // 1 for packed frames, 3 for planar ones
};

// Views of a host frame. The read view of a frame is never written through.
FrameView ReadView(const PVideoFrame& frame, int pixel_type);
FrameView WriteView(const PVideoFrame& frame, int pixel_type);

// The three planes of a planar view, as the engine takes them.
FramePlanes EnginePlanes(const FrameView& view);

// Plane-by-plane, line-by-line copies honouring every pitch.
void CopyPlane(const PlaneView& from, const PlaneView& to);
void CopyFrame(const FrameView& from, const FrameView& to);

// A plane view over a contiguous buffer.
PlaneView BufferPlane(uint8_t* data, int row_size, int height);

}  // namespace vantrel
