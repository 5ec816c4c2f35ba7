// The host's frames as the filter core sees them: planes with the host's own
// pointers and pitches, chroma in the order the classic layout stores it, and
// frame references that go back to the host when they go out of scope.
#pragma once

#include "core/frame_view.h"
#include "sdk/avisynth_c.h"

namespace vantrel::avs_c {

class FrameRef {
 public:
  FrameRef(const AvsCApi& api, AVS_VideoFrame* frame) : api_(api), frame_(frame) {}
  ~FrameRef() {
    if (frame_) api_.avs_release_video_frame(frame_);
  }
  FrameRef(FrameRef&& other) noexcept : api_(other.api_), frame_(other.Release()) {}
  FrameRef(const FrameRef&) = delete;
  FrameRef& operator=(const FrameRef&) = delete;

  AVS_VideoFrame* get() const { return frame_; }
  explicit operator bool() const { return frame_ != nullptr; }
  // Hands the reference on (to the host, as get_frame's result).
  AVS_VideoFrame* Release() {
    AVS_VideoFrame* frame = frame_;
    frame_ = nullptr;
    return frame;
  }

 private:
  const AvsCApi& api_;
  AVS_VideoFrame* frame_;
};

// Views of a host frame of a clip of `pixel_type`, in the core's `format`;
// the read view is never written through. A plane the host withholds has
// null data.
FrameView ReadView(const AvsCApi& api, const AVS_VideoFrame* frame, PixelFormat format,
                   int pixel_type);
FrameView WriteView(const AvsCApi& api, const AVS_VideoFrame* frame, PixelFormat format,
                    int pixel_type);

}  // namespace vantrel::avs_c
