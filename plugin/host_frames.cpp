#include "plugin/host_frames.h"

namespace vantrel {

template <typename Pointer>
static FrameView MakeView(const PVideoFrame& frame, PixelFormat format, bool yv12,
                          Pointer pointer_of) {
  FrameView view;
  view.plane_count = PlaneCount(format);
  if (format != PixelFormat::kYuv420) {
    view.planes[0] = {pointer_of(0), frame->GetPitch(), frame->GetRowSize(), frame->GetHeight()};
    return view;
  }
  const int order[3] = {PLANAR_Y, yv12 ? PLANAR_V : PLANAR_U, yv12 ? PLANAR_U : PLANAR_V};
  for (int i = 0; i < 3; ++i) {
    const int plane = order[i];
    view.planes[i] = {pointer_of(plane), frame->GetPitch(plane), frame->GetRowSize(plane),
                      frame->GetHeight(plane)};
  }
  return view;
}

FrameView ReadView(const PVideoFrame& frame, PixelFormat format, bool yv12) {
  return MakeView(frame, format, yv12,
                  [&](int plane) { return const_cast<uint8_t*>(frame->GetReadPtr(plane)); });
}

FrameView WriteView(const PVideoFrame& frame, PixelFormat format, bool yv12) {
  return MakeView(frame, format, yv12, [&](int plane) { return frame->GetWritePtr(plane); });
}

}  // namespace vantrel
