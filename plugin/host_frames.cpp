#include "plugin/host_frames.h"

namespace vantrel {

template <typename Pointer>
static FrameView MakeView(const PVideoFrame& frame, PixelFormat format, int pixel_type,
                          Pointer pointer_of) {
  // The 2.5 interface's frames know only 4:2:0 chroma (half the luma's
  // sides), but the host lays out every planar type with chroma planes of
  // its format's sizes at their own pitch (pitchUV): chroma sizes come from
  // the format, pitches from the frame.
  FrameView view = PlaneShapes(format, frame->GetRowSize() / format.SampleBytes(),
                               frame->GetHeight());
  const HostPlanes order = HostPlaneOrder(pixel_type);
  for (int i = 0; i < view.plane_count(); ++i) {
    view.planes[i].data = pointer_of(order.planes[i]);
    view.planes[i].pitch = frame->GetPitch(order.planes[i]);
  }
  return view;
}

FrameView ReadView(const PVideoFrame& frame, PixelFormat format, int pixel_type) {
  return MakeView(frame, format, pixel_type,
                  [&](int plane) { return const_cast<uint8_t*>(frame->GetReadPtr(plane)); });
}

FrameView WriteView(const PVideoFrame& frame, PixelFormat format, int pixel_type) {
  return MakeView(frame, format, pixel_type, [&](int plane) { return frame->GetWritePtr(plane); });
}

}  // namespace vantrel
