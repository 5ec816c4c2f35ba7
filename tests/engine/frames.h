// Frame buffers for engine tests: each allocated to its exact size, so a read
// or write past a plane's end is caught by the sanitizer build.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "engine/planes.h"
#include "woven_picture.h"

namespace vantrel::test {

struct Frame {
  Frame(uint32_t w, uint32_t h) : width(w), height(h), bytes(size_t(w) * h * 3 / 2) {}
  uint8_t* y() { return bytes.data(); }
  uint8_t* c0() { return bytes.data() + size_t(width) * height; }
  uint8_t* c1() { return c0() + size_t(width / 2) * (height / 2); }
  uint8_t& at(uint32_t row, uint32_t col) { return bytes[size_t(row) * width + col]; }
  uint8_t at(uint32_t row, uint32_t col) const { return bytes[size_t(row) * width + col]; }
  size_t luma_size() const { return size_t(width) * height; }
  size_t chroma_size() const { return size_t(width / 2) * (height / 2); }
  // The planes as the engine takes them (the classic layout: one block).
  FramePlanes planes() { return BlockPlanes(bytes.data(), width, height); }
  Plane luma() { return Plane{y(), ptrdiff_t(width)}; }

  uint32_t width;
  uint32_t height;
  std::vector<uint8_t> bytes;
};

inline void FillNoise(uint8_t* p, size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  for (size_t i = 0; i < n; ++i) p[i] = uint8_t(rng() >> 24);
}

// Fills the luma plane from f(row, col).
inline void FillLuma(Frame& f, const std::function<uint8_t(uint32_t, uint32_t)>& value) {
  for (uint32_t r = 0; r < f.height; ++r)
    for (uint32_t c = 0; c < f.width; ++c) f.at(r, c) = value(r, c);
}

// The woven picture (woven_picture.h) with noise for chroma.
inline Frame WovenMotion(uint32_t w, uint32_t h, int dx, int dy, uint32_t seed,
                         Motion motion = Motion::kObject) {
  Frame f(w, h);
  WeavePicture(f.y(), w, h, dx, dy, motion, seed * 0.7);
  FillNoise(f.c0(), 2 * f.chroma_size(), seed + 1);
  return f;
}

}  // namespace vantrel::test
