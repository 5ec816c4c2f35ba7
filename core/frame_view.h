// Frames as the filter sees them: planes with their own pitches, luma first,
// then the chroma plane the classic layout stores first (V, but U for I420),
// then the other. A pitch may be negative: the picture then lies upside down
// in memory, which is how a face asks for the other field to be kept.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "engine/engine.h"

namespace vantrel {

struct PlaneView {
  uint8_t* data = nullptr;
  ptrdiff_t pitch = 0;       // bytes from one line to the next
  int32_t width = 0;         // samples (pixels of a packed plane)
  int32_t height = 0;
  int32_t sample_bytes = 1;  // of one sample (one pixel of a packed plane)

  // Through a byte pointer, so that a wider sample cannot mis-step.
  uint8_t* Line(int32_t y) const { return data + ptrdiff_t(y) * pitch; }
  size_t row_bytes() const { return size_t(width) * size_t(sample_bytes); }
  size_t bytes() const { return row_bytes() * size_t(height); }
};

struct FrameView {
  PixelFormat format;
  PlaneView planes[3];

  int plane_count() const { return format.PlaneCount(); }
  int32_t width() const { return planes[0].width; }
  int32_t height() const { return planes[0].height; }
};

// The sizes of the frame's planes (no memory); the format must fit the size.
FrameView PlaneShapes(PixelFormat format, int32_t width, int32_t height);
// The planes laid out back to back in `block`, pitch = row size.
FrameView BlockView(PixelFormat format, uint8_t* block, int32_t width, int32_t height);
size_t BlockBytes(PixelFormat format, int32_t width, int32_t height);

// The same planes, each upside down: line y is the plane's line height-1-y.
PlaneView UpsideDown(const PlaneView& plane);
FrameView UpsideDown(const FrameView& frame);

// The top-left width x height of the frame (each plane at its own size).
FrameView Cropped(const FrameView& frame, int32_t width, int32_t height);

// Line-by-line copies honouring every pitch; both views of the same shape.
void CopyPlane(const PlaneView& from, const PlaneView& to);
void CopyFrame(const FrameView& from, const FrameView& to);

// The engine's view of a planar frame (a grey frame has no chroma planes).
FramePlanes EnginePlanes(const FrameView& frame);
ChromaSize EngineChroma(const FrameView& frame);

}  // namespace vantrel
