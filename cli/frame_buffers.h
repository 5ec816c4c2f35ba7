// The frames the tool reads into and the filter writes into: one block each,
// planes back to back at the size the filter sees. Buffers are recycled, so a
// run touches fresh memory only for its first few frames.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/frame_view.h"

namespace vantrel::cli {

struct FrameBuffer {
  struct Free {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t[], Free> bytes;
  FrameView view;  // upright, over `bytes`
};

class FrameBuffers {
 public:
  FrameBuffers(PixelFormat format, int32_t width, int32_t height)
      : format_(format), width_(width), height_(height) {}

  // A buffer no one else holds; null when memory runs out. It returns here
  // when the last holder lets it go.
  std::shared_ptr<FrameBuffer> Take();

 private:
  void Give(FrameBuffer* buffer);

  const PixelFormat format_;
  const int32_t width_;
  const int32_t height_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<FrameBuffer>> idle_;
};

}  // namespace vantrel::cli
