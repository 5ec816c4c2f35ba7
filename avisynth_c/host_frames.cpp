#include "avisynth_c/host_frames.h"

namespace vantrel::avs_c {
namespace {

template <typename Pointer>
FrameView MakeView(const AvsCApi& api, const AVS_VideoFrame* frame, PixelFormat format,
                   bool yv12, Pointer pointer_of) {
  FrameView view;
  view.plane_count = PlaneCount(format);
  if (format != PixelFormat::kYuv420) {
    view.planes[0] = {pointer_of(AVS_DEFAULT_PLANE), api.avs_get_pitch_p(frame, AVS_DEFAULT_PLANE),
                      api.avs_get_row_size_p(frame, AVS_DEFAULT_PLANE),
                      api.avs_get_height_p(frame, AVS_DEFAULT_PLANE)};
    return view;
  }
  const int order[3] = {AVS_PLANAR_Y, yv12 ? AVS_PLANAR_V : AVS_PLANAR_U,
                        yv12 ? AVS_PLANAR_U : AVS_PLANAR_V};
  for (int i = 0; i < 3; ++i) {
    const int plane = order[i];
    view.planes[i] = {pointer_of(plane), api.avs_get_pitch_p(frame, plane),
                      api.avs_get_row_size_p(frame, plane), api.avs_get_height_p(frame, plane)};
  }
  return view;
}

}  // namespace

FrameView ReadView(const AvsCApi& api, const AVS_VideoFrame* frame, PixelFormat format,
                   bool yv12) {
  return MakeView(api, frame, format, yv12, [&](int plane) {
    return const_cast<uint8_t*>(api.avs_get_read_ptr_p(frame, plane));
  });
}

FrameView WriteView(const AvsCApi& api, const AVS_VideoFrame* frame, PixelFormat format,
                    bool yv12) {
  return MakeView(api, frame, format, yv12,
                  [&](int plane) { return api.avs_get_write_ptr_p(frame, plane); });
}

}  // namespace vantrel::avs_c
