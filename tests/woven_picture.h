// The one test picture of the engine tests, checkasm and the benchmarks: a
// smooth textured scene (interpolation rebuilds it closely, and no two places
// look alike, so good motion matches exist) woven as a camera would: odd
// lines at one moment, even lines a field later, when the object in the
// middle third of the picture (or, in a pan, all of it) has moved by
// (dx, dy).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace vantrel::test {

inline uint8_t SceneSample(double row, double col, double phase) {
  const double v = 128 + 55 * std::sin(0.23 * col + 0.6 * std::sin(0.05 * row) + phase) +
                   45 * std::cos(0.19 * row + 0.11 * col - phase);
  return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

enum class Motion { kObject, kPan };

// Fills a luma plane of width x height (pitch width).
inline void WeavePicture(uint8_t* luma, uint32_t width, uint32_t height, int dx, int dy,
                         Motion motion = Motion::kObject, double phase = 0) {
  for (uint32_t r = 0; r < height; ++r) {
    for (uint32_t c = 0; c < width; ++c) {
      const bool object = r > height / 3 && r < height * 2 / 3 && c > width / 3 &&
                          c < width * 2 / 3;
      const bool moved = (r & 1) == 0 && (motion == Motion::kPan || object);
      luma[size_t(r) * width + c] =
          SceneSample(r + (moved ? dy : 0), c + (moved ? dx : 0), phase);
    }
  }
}

}  // namespace vantrel::test
