#include "core/frame_view.h"

#include <cstring>

namespace vantrel {

size_t BlockBytes(PixelFormat format, int32_t width, int32_t height) {
  const size_t w = size_t(width), h = size_t(height);
  switch (format) {
    case PixelFormat::kYuv420: return w * h + 2 * (w / 2) * (h / 2);
    case PixelFormat::kYuy2: return 2 * w * h;
    case PixelFormat::kRgb24: return 3 * w * h;
    case PixelFormat::kRgb32: return 4 * w * h;
  }
  return 0;
}

FrameView PlaneShapes(PixelFormat format, int32_t width, int32_t height) {
  FrameView view;
  view.plane_count = PlaneCount(format);
  if (format != PixelFormat::kYuv420) {
    const int32_t row = int32_t(BlockBytes(format, width, 1));
    view.planes[0] = {nullptr, row, row, height};
    return view;
  }
  view.planes[0] = {nullptr, width, width, height};
  view.planes[1] = view.planes[2] = {nullptr, width / 2, width / 2, height / 2};
  return view;
}

FrameView BlockView(PixelFormat format, uint8_t* block, int32_t width, int32_t height) {
  FrameView view = PlaneShapes(format, width, height);
  for (int i = 0; i < view.plane_count; ++i) {
    view.planes[i].data = block;
    block += view.planes[i].bytes();
  }
  return view;
}

PlaneView UpsideDown(const PlaneView& p) {
  return {p.data + ptrdiff_t(p.height - 1) * p.pitch, -p.pitch, p.row_size, p.height};
}

FrameView UpsideDown(const FrameView& frame) {
  FrameView view = frame;
  for (int i = 0; i < frame.plane_count; ++i) view.planes[i] = UpsideDown(frame.planes[i]);
  return view;
}

void CopyPlane(const PlaneView& from, const PlaneView& to) {
  const size_t row = size_t(from.row_size);
  if (from.pitch == to.pitch && ptrdiff_t(row) == from.pitch) {
    std::memcpy(to.data, from.data, from.bytes());
    return;
  }
  for (int32_t y = 0; y < from.height; ++y) std::memcpy(to.Line(y), from.Line(y), row);
}

void CopyFrame(const FrameView& from, const FrameView& to) {
  for (int i = 0; i < from.plane_count; ++i) CopyPlane(from.planes[i], to.planes[i]);
}

FramePlanes EnginePlanes(const FrameView& frame) {
  const auto plane = [&](int i) { return Plane{frame.planes[i].data, frame.planes[i].pitch}; };
  return FramePlanes{plane(0), plane(1), plane(2)};
}

}  // namespace vantrel
