#include "plugin/frame_view.h"

#include <cstring>

namespace vantrel {

static bool IsPlanar420(int pixel_type) {
  return pixel_type == VideoInfo::CS_YV12 || pixel_type == VideoInfo::CS_I420;
}

template <typename Ptr>
static FrameView MakeView(const PVideoFrame& frame, int pixel_type, Ptr pointer_of) {
  FrameView view;
  if (!IsPlanar420(pixel_type)) {
    view.planes[0] = {pointer_of(0), frame->GetPitch(), frame->GetRowSize(), frame->GetHeight()};
    view.plane_count = 1;
    return view;
  }
  const bool i420 = pixel_type == VideoInfo::CS_I420;
  const int order[3] = {PLANAR_Y, i420 ? PLANAR_U : PLANAR_V, i420 ? PLANAR_V : PLANAR_U};
  for (int i = 0; i < 3; ++i) {
    const int plane = order[i];
    view.planes[i] = {pointer_of(plane), frame->GetPitch(plane), frame->GetRowSize(plane),
                      frame->GetHeight(plane)};
  }
  view.plane_count = 3;
  return view;
}

FrameView ReadView(const PVideoFrame& frame, int pixel_type) {
  return MakeView(frame, pixel_type,
                  [&](int plane) { return const_cast<uint8_t*>(frame->GetReadPtr(plane)); });
}

FrameView WriteView(const PVideoFrame& frame, int pixel_type) {
  return MakeView(frame, pixel_type, [&](int plane) { return frame->GetWritePtr(plane); });
}

FramePlanes EnginePlanes(const FrameView& view) {
  const auto plane = [&](int i) { return Plane{view.planes[i].data, view.planes[i].pitch}; };
  return FramePlanes{plane(0), plane(1), plane(2)};
}

void CopyPlane(const PlaneView& from, const PlaneView& to) {
  const size_t row = size_t(from.row_size);
  if (from.pitch == to.pitch && ptrdiff_t(row) == from.pitch) {
    std::memcpy(to.data, from.data, from.bytes());
    return;
  }
  for (int y = 0; y < from.height; ++y) {
    std::memcpy(to.data + y * to.pitch, from.data + y * from.pitch, row);
  }
}

void CopyFrame(const FrameView& from, const FrameView& to) {
  for (int i = 0; i < from.plane_count; ++i) CopyPlane(from.planes[i], to.planes[i]);
}

PlaneView BufferPlane(uint8_t* data, int row_size, int height) {
  return {data, row_size, row_size, height};
}

}  // namespace vantrel
