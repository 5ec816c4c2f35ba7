// What one frame is processed with besides its planes: an engine and the
// scratch plane of the region step. Sets are kept between frames, so a filter
// allocates them once and not per frame, and a set serves one frame at a
// time, so several threads may ask one filter for frames at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/engine.h"

namespace vantrel {

using AllocateFn = DeinterlaceEngine::AllocateFn;

// A byte buffer that only grows.
class ScratchBuffer {
 public:
  // At least `bytes` bytes, reusing what is held when it is large enough;
  // null when the allocation fails (the buffer then holds nothing).
  uint8_t* Reserve(size_t bytes, AllocateFn allocate);

 private:
  DeinterlaceEngine::Buffer<uint8_t> data_;
  size_t capacity_ = 0;
};

struct WorkingSet {
  // The pool's allocator, for the scratch buffers and the engine alike.
  AllocateFn allocate = nullptr;
  DeinterlaceEngine engine;
  ScratchBuffer processed_luma;
  // A picture and its result padded to a multiple of 16 (ProcessPicture).
  ScratchBuffer padded_in;
  ScratchBuffer padded_out;
};

class WorkingSetPool {
 public:
  // Gives its set back to the pool when it goes.
  class Lease {
   public:
    Lease(WorkingSetPool* pool, std::unique_ptr<WorkingSet> set)
        : pool_(pool), set_(std::move(set)) {}
    Lease(Lease&&) = default;
    ~Lease() {
      if (set_) pool_->Give(std::move(set_));
    }
    explicit operator bool() const { return set_ != nullptr; }
    WorkingSet& operator*() const { return *set_; }
    WorkingSet* operator->() const { return set_.get(); }

   private:
    WorkingSetPool* pool_;
    std::unique_ptr<WorkingSet> set_;
  };

  explicit WorkingSetPool(AllocateFn allocate) : allocate_(allocate) {}

  // An idle set, or a new one when every set is in use; an empty lease when
  // memory runs out.
  Lease Take();
  // The allocator of the buffers of every set taken from now on.
  void SetAllocator(AllocateFn allocate);

 private:
  void Give(std::unique_ptr<WorkingSet> set);

  std::mutex mutex_;
  std::vector<std::unique_ptr<WorkingSet>> idle_;
  AllocateFn allocate_;
};

}  // namespace vantrel
