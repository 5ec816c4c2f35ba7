// What every fuzz target shares: a reader of the fuzzer's bytes that never
// runs out (it yields zeros past the end, so every input decodes to some
// case), the failure report, and the seeds each target starts from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vantrel::fuzz {

// Called when a target finds a result that is wrong rather than a crash.
// The libFuzzer build aborts so the input is saved; the replay driver also
// says which input it was.
[[noreturn]] void Failed(const char* target, const std::string& what);

#define FUZZ_CHECK(target, cond, what)                               \
  do {                                                               \
    if (!(cond)) ::vantrel::fuzz::Failed(target, std::string(what)); \
  } while (0)

// Inputs each target starts from; the replay driver mutates them and the
// fuzz script writes them out as the first corpus.
std::vector<std::string> Seeds();

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
  }

  int32_t I32() { return int32_t(U32()); }

  // A value in [lo, hi]; hi - lo must fit in 32 bits.
  int64_t Range(int64_t lo, int64_t hi) {
    const uint64_t span = uint64_t(hi - lo) + 1;
    const uint64_t raw = span <= 256 ? Byte() : (span <= 65536 ? (uint32_t(Byte()) << 8) | Byte()
                                                                 : U32());
    return lo + int64_t(raw % span);
  }

  bool Bool() { return Byte() & 1; }

  // Everything not consumed yet.
  const uint8_t* rest() const { return data_ + (pos_ < size_ ? pos_ : size_); }
  size_t rest_size() const { return pos_ < size_ ? size_ - pos_ : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A small generator for filling large buffers from a few input bytes.
class Noise {
 public:
  explicit Noise(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint8_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return uint8_t(state_ >> 32);
  }

 private:
  uint64_t state_;
};

}  // namespace vantrel::fuzz
