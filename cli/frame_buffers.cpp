#include "cli/frame_buffers.h"

#include <cstdlib>
#include <new>

namespace vantrel::cli {

void FrameBuffer::Free::operator()(uint8_t* p) const { std::free(p); }

std::shared_ptr<FrameBuffer> FrameBuffers::Take() {
  std::unique_ptr<FrameBuffer> buffer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      buffer = std::move(idle_.back());
      idle_.pop_back();
    }
  }
  if (!buffer) {
    buffer.reset(new (std::nothrow) FrameBuffer);
    if (!buffer) return nullptr;
    const size_t bytes = BlockBytes(format_, width_, height_);
    buffer->bytes.reset(static_cast<uint8_t*>(std::malloc(bytes)));
    if (!buffer->bytes) return nullptr;
    buffer->view = BlockView(format_, buffer->bytes.get(), width_, height_);
  }
  FrameBuffer* raw = buffer.release();
  try {
    return std::shared_ptr<FrameBuffer>(raw, [this](FrameBuffer* b) { Give(b); });
  } catch (const std::bad_alloc&) {
    delete raw;
    return nullptr;
  }
}

void FrameBuffers::Give(FrameBuffer* buffer) {
  std::unique_ptr<FrameBuffer> owned(buffer);
  std::lock_guard<std::mutex> lock(mutex_);
  try {
    idle_.push_back(std::move(owned));
  } catch (const std::bad_alloc&) {
    // Freed instead; a later Take makes a new one.
  }
}

}  // namespace vantrel::cli
