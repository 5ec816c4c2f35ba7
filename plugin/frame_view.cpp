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

size_t BlockBytes(const FrameView& view) {
  size_t total = 0;
  for (int i = 0; i < view.plane_count; ++i) total += view.planes[i].bytes();
  return total;
}

bool IsContiguous(const FrameView& view) {
  const uint8_t* next = view.planes[0].data;
  for (int i = 0; i < view.plane_count; ++i) {
    const PlaneView& p = view.planes[i];
    if (p.data != next || p.pitch != p.row_size) return false;
    next += p.bytes();
  }
  return true;
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

void GatherBlock(const FrameView& from, uint8_t* block) {
  for (int i = 0; i < from.plane_count; ++i) {
    const PlaneView& p = from.planes[i];
    CopyPlane(p, BufferPlane(block, p.row_size, p.height));
    block += p.bytes();
  }
}

void ScatterBlock(const uint8_t* block, const FrameView& to) {
  for (int i = 0; i < to.plane_count; ++i) {
    const PlaneView& p = to.planes[i];
    CopyPlane(BufferPlane(const_cast<uint8_t*>(block), p.row_size, p.height), p);
    block += p.bytes();
  }
}

}  // namespace vantrel
