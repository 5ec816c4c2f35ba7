// Frames as the filter sees them: planes with their own pitches, luma first,
// then the chroma plane the classic layout stores first (V for YV12, U for
// I420), then the other. A pitch may be negative: the picture then lies upside
// down in memory, which is how a face asks for the other field to be kept.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/engine.h"

namespace vantrel {

// The frame types the filter knows; 4:2:0 is YV12 or I420 (their chroma
// planes come in memory order either way).
enum class PixelFormat { kYuv420, kYuy2, kRgb24, kRgb32 };

struct PlaneView {
  uint8_t* data = nullptr;
  ptrdiff_t pitch = 0;
  int32_t row_size = 0;  // bytes
  int32_t height = 0;

  uint8_t* Line(int32_t y) const { return data + ptrdiff_t(y) * pitch; }
  size_t bytes() const { return size_t(row_size) * size_t(height); }
};

struct FrameView {
  PlaneView planes[3];
  int plane_count = 0;  // 3 for 4:2:0, 1 for packed frames
};

inline int PlaneCount(PixelFormat format) { return format == PixelFormat::kYuv420 ? 3 : 1; }

// The sizes of the frame's planes (no memory): width is in pixels; 4:2:0
// needs even sizes, YUY2 an even width.
FrameView PlaneShapes(PixelFormat format, int32_t width, int32_t height);
// The planes laid out back to back in `block`, pitch = row size.
FrameView BlockView(PixelFormat format, uint8_t* block, int32_t width, int32_t height);
size_t BlockBytes(PixelFormat format, int32_t width, int32_t height);

// The same planes, each upside down: line y is the plane's line height-1-y.
PlaneView UpsideDown(const PlaneView& plane);
FrameView UpsideDown(const FrameView& frame);

// Line-by-line copies honouring every pitch; both views of the same shape.
void CopyPlane(const PlaneView& from, const PlaneView& to);
void CopyFrame(const FrameView& from, const FrameView& to);

// The engine's view of a 4:2:0 frame.
FramePlanes EnginePlanes(const FrameView& frame);

}  // namespace vantrel
