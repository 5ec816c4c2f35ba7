#include "plugin/host_frames.h"

#include <algorithm>
#include <cstdlib>

namespace vantrel {

// A plane is used only where it lies inside its frame's buffer, rows apart:
// a child frame of another layout than its clip (one whose chroma planes
// are smaller, or absent) then gives no view instead of reads past them.
static bool InBuffer(const VideoFrame& frame, int plane, const PlaneView& view) {
  const int64_t first = frame.GetOffset(plane);
  const int64_t last = first + int64_t(view.pitch) * (view.height - 1);
  const int64_t row = int64_t(view.row_bytes());
  return std::llabs(view.pitch) >= row && std::min(first, last) >= 0 &&
         std::max(first, last) + row <= frame.GetFrameBuffer()->GetDataSize();
}

template <typename Pointer>
static FrameView MakeView(const PVideoFrame& frame, PixelFormat format, int pixel_type,
                          Pointer pointer_of) {
  // The 2.5 interface's frames know only 4:2:0 chroma (half the luma's
  // sides); the host lays out every planar type with the chroma planes of
  // its format at their own pitch: chroma sizes come from the format,
  // pitches from the frame.
  FrameView view = PlaneShapes(format, frame->GetRowSize() / format.SampleBytes(),
                               frame->GetHeight());
  const HostPlanes order = HostPlaneOrder(pixel_type);
  for (int i = 0; i < view.plane_count(); ++i) {
    PlaneView& plane = view.planes[i];
    plane.pitch = frame->GetPitch(order.planes[i]);
    plane.data = InBuffer(*frame, order.planes[i], plane) ? pointer_of(order.planes[i]) : nullptr;
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
