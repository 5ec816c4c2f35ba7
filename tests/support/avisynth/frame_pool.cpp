#include "avisynth/frame_pool.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

constexpr size_t kBaseAlignment = 64;

bool IsFree(const VideoFrameBuffer& b) { return AvsHostAccess::BufferRefcount(b) == 0; }
bool IsFree(const VideoFrame& f) { return AvsHostAccess::FrameRefcount(f) == 0; }

}  // namespace

void FramePool::AlignedDelete::operator()(BYTE* p) const {
  ::operator delete(p, std::align_val_t(alignment));
}

FramePool::FramePool(FrameLayout layout, Limits limits) : layout_(layout), limits_(limits) {}

// A frame still held here would point into freed memory on release, so the
// pool then leaves everything allocated and says so (LeakSanitizer will too).
FramePool::~FramePool() {
  if (!AnyoneHolds()) return;
  std::fprintf(stderr,
               "vantrel host: frames still referenced when their environment was destroyed; "
               "their memory is left allocated\n");
  for (auto& buffer : buffers_) buffer.release();
  for (auto& frame : frames_) frame.release();
}

bool FramePool::AnyoneHolds() const {
  for (const auto& frame : frames_) {
    if (!IsFree(*frame)) return true;
  }
  for (const auto& buffer : buffers_) {
    if (!IsFree(buffer->vfb)) return true;
  }
  return false;
}

PVideoFrame FramePool::NewFrame(const FrameShape& shape, int alignment) {
  const FrameGeometry g = LayOut(shape, layout_, alignment);
  std::lock_guard<std::mutex> lock(mutex_);
  Buffer& buffer = TakeBuffer(static_cast<size_t>(g.size), static_cast<size_t>(alignment));
  BYTE* base = buffer.memory.get();
  if (layout_ == FrameLayout::kHostLike) std::memset(base, kGuardByte, static_cast<size_t>(g.size));
  AvsHostAccess::InitBuffer(buffer.vfb, base, g.size);
  AvsHostAccess::Frame& frame = TakeFrameRecord();
  AvsHostAccess::InitFrame(
      frame, buffer.vfb,
      {g.offset, g.pitch, g.row_size, g.height, g.offset_u, g.offset_v, g.pitch_uv});
  frame.row_size_uv = g.chroma_row_size;
  frame.height_uv = g.chroma_height;
  PVideoFrame result(&frame);  // held before the lock goes, so no one sees it free
  Trim();
  return result;
}

FramePool::Buffer& FramePool::TakeBuffer(size_t bytes, size_t alignment) {
  const size_t align = std::max(kBaseAlignment, alignment);
  Buffer* best = nullptr;
  for (auto& buffer : buffers_) {
    const bool fits = buffer->capacity >= bytes && buffer->memory.get_deleter().alignment >= align;
    if (fits && IsFree(buffer->vfb) && (!best || buffer->capacity < best->capacity)) {
      best = buffer.get();
    }
  }
  if (!best) {
    auto fresh = std::make_unique<Buffer>();
    try {
      fresh->memory = {static_cast<BYTE*>(::operator new(bytes, std::align_val_t(align))),
                       AlignedDelete{align}};
    } catch (const std::bad_alloc&) {
      throw HostError("NewVideoFrame: out of memory allocating a frame of " +
                      std::to_string(bytes) + " bytes");
    }
    fresh->capacity = bytes;
    buffers_.push_back(std::move(fresh));
    best = buffers_.back().get();
  }
  best->last_use = ++clock_;
  return *best;
}

AvsHostAccess::Frame& FramePool::TakeFrameRecord() {
  for (auto& frame : frames_) {
    if (IsFree(*frame)) return *frame;
  }
  frames_.push_back(std::make_unique<AvsHostAccess::Frame>());
  return *frames_.back();
}

// Drops the least recently used free buffers until both limits hold, and
// spare frame records beyond their limit.
void FramePool::Trim() {
  for (;;) {
    size_t free_count = 0, free_bytes = 0;
    Buffer* oldest = nullptr;
    for (auto& buffer : buffers_) {
      if (!IsFree(buffer->vfb)) continue;
      ++free_count;
      free_bytes += buffer->capacity;
      if (!oldest || buffer->last_use < oldest->last_use) oldest = buffer.get();
    }
    if (free_count <= limits_.max_free_buffers && free_bytes <= limits_.max_free_bytes) break;
    buffers_.erase(std::find_if(buffers_.begin(), buffers_.end(),
                                [oldest](const auto& b) { return b.get() == oldest; }));
  }
  size_t spare = 0;
  frames_.erase(std::remove_if(
                    frames_.begin(), frames_.end(),
                    [&](const auto& f) { return IsFree(*f) && ++spare > limits_.max_free_frames; }),
                frames_.end());
}

FramePool::Stats FramePool::GetStats() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Stats stats;
  stats.buffers = buffers_.size();
  stats.frames = frames_.size();
  for (const auto& buffer : buffers_) {
    if (!IsFree(buffer->vfb)) continue;
    ++stats.free_buffers;
    stats.free_bytes += buffer->capacity;
  }
  return stats;
}

}  // namespace vantrel::host
