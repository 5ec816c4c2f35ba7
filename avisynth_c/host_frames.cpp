#include "avisynth_c/host_frames.h"

#include "avisynth_shared/pixel_types.h"

namespace vantrel::avs_c {
namespace {

template <typename Pointer>
FrameView MakeView(const AvsCApi& api, const AVS_VideoFrame* frame, PixelFormat format,
                   int pixel_type, Pointer pointer_of) {
  FrameView view;
  view.format = format;
  const HostPlanes order = HostPlaneOrder(pixel_type);
  for (int i = 0; i < view.plane_count(); ++i) {
    const int plane = order.planes[i];
    view.planes[i] = {pointer_of(plane), api.avs_get_pitch_p(frame, plane),
                      api.avs_get_row_size_p(frame, plane) / format.SampleBytes(),
                      api.avs_get_height_p(frame, plane), format.SampleBytes()};
  }
  return view;
}

}  // namespace

FrameView ReadView(const AvsCApi& api, const AVS_VideoFrame* frame, PixelFormat format,
                   int pixel_type) {
  return MakeView(api, frame, format, pixel_type, [&](int plane) {
    return const_cast<uint8_t*>(api.avs_get_read_ptr_p(frame, plane));
  });
}

FrameView WriteView(const AvsCApi& api, const AVS_VideoFrame* frame, PixelFormat format,
                    int pixel_type) {
  return MakeView(api, frame, format, pixel_type,
                  [&](int plane) { return api.avs_get_write_ptr_p(frame, plane); });
}

}  // namespace vantrel::avs_c
