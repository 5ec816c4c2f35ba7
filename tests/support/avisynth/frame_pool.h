// Frames and buffers for one environment, recycled under a mutex.
//
// Plugins release frames through the inline code of the interface header and
// never call back, so the pool finds free frames and buffers by their counts
// (0) when it is next asked for one. Free buffers beyond a small number or
// size are returned to the system, so idle memory stays bounded.
#ifndef VANTREL_HOST_FRAME_POOL_H
#define VANTREL_HOST_FRAME_POOL_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "avisynth/frame_geometry.h"
#include "avisynth/host_access.h"

namespace vantrel::host {

// Outside the class so it can be a default argument.
struct FramePoolLimits {
  size_t max_free_buffers = 8;
  size_t max_free_bytes = size_t{256} << 20;
  size_t max_free_frames = 32;
};

class FramePool {
 public:
  using Limits = FramePoolLimits;
  struct Stats {
    size_t buffers = 0;       // held by the pool, used or not
    size_t free_buffers = 0;  // of those, not referenced by any frame
    size_t free_bytes = 0;
    size_t frames = 0;  // frame records held, used or not
  };

  explicit FramePool(FrameLayout layout, Limits limits = {});
  ~FramePool();
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  // A writable frame (count 1, buffer count 1). alignment must already be
  // normalized. Throws HostError when memory runs out.
  PVideoFrame NewFrame(const FrameShape& shape, int alignment);

  Stats GetStats() const;

 private:
  struct AlignedDelete {
    size_t alignment;
    void operator()(BYTE* p) const;
  };
  struct Buffer {
    std::unique_ptr<BYTE, AlignedDelete> memory;
    size_t capacity = 0;
    uint64_t last_use = 0;
    VideoFrameBuffer vfb;
  };

  Buffer& TakeBuffer(size_t bytes, size_t alignment);
  AvsHostAccess::Frame& TakeFrameRecord();
  void Trim();
  bool AnyoneHolds() const;

  const FrameLayout layout_;
  const Limits limits_;
  mutable std::mutex mutex_;
  uint64_t clock_ = 0;
  std::vector<std::unique_ptr<Buffer>> buffers_;
  std::vector<std::unique_ptr<AvsHostAccess::Frame>> frames_;
};

}  // namespace vantrel::host

#endif  // VANTREL_HOST_FRAME_POOL_H
