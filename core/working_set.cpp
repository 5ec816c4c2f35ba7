#include "core/working_set.h"

#include <new>

namespace vantrel {

uint8_t* ScratchBuffer::Reserve(size_t bytes, AllocateFn allocate) {
  if (data_ && capacity_ >= bytes) return data_.get();
  data_.reset();
  capacity_ = 0;
  data_.reset(static_cast<uint8_t*>(allocate(bytes)));
  if (data_) capacity_ = bytes;
  return data_.get();
}

WorkingSetPool::Lease WorkingSetPool::Take() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::unique_ptr<WorkingSet> set;
  if (!idle_.empty()) {
    set = std::move(idle_.back());
    idle_.pop_back();
  } else {
    set.reset(new (std::nothrow) WorkingSet);
    if (!set) return Lease(this, nullptr);
  }
  set->allocate = allocate_;
  set->engine.SetAllocator(allocate_);
  return Lease(this, std::move(set));
}

void WorkingSetPool::Give(std::unique_ptr<WorkingSet> set) {
  std::lock_guard<std::mutex> lock(mutex_);
  try {
    idle_.push_back(std::move(set));
  } catch (const std::bad_alloc&) {
    // The set is freed instead; a later call makes a new one.
  }
}

void WorkingSetPool::SetAllocator(AllocateFn allocate) {
  std::lock_guard<std::mutex> lock(mutex_);
  allocate_ = allocate;
}

}  // namespace vantrel
