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
#include <cstring>
#include <vector>

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

// The faces' picture, sample by sample (plane 0: luma or a packed
// frame's plane, 1: U, 2: V; x and `width` in bytes): the scene, whose middle
// ninth moved by 3 + n between the fields of frame n, over eight flat lines
// at the bottom whose comb mark on line height - 4 the detector's last row
// decides: V's first lines (100) give it, U's (140) do not. A face that
// hands the core the wrong chroma plane first gives other bytes.
inline uint8_t FaceSample(int n, int plane, int x, int y, int width, int height) {
  if (plane != 0) return y < 4 ? (plane == 2 ? 100 : 140) : SceneSample(y, x, plane);
  const int from_bottom = height - y;
  if (from_bottom <= 8) return from_bottom == 1 || from_bottom == 3 ? 112 : 100;
  const bool moved = y % 2 == 0 && 3 * y > height && 3 * y < 2 * height && 3 * x > width &&
                     3 * x < 2 * width;
  return SceneSample(y, x + (moved ? 3 + n : 0), 0);
}

// The same picture at `bits` bits, byte by byte (x and `width` in bytes):
// above 8 bits each sample is the 8-bit one scaled up over low bits that vary
// from sample to sample, in 2 bytes in memory order, so that a face that
// drops, swaps or miscounts bytes gives other bytes.
inline uint8_t FaceByte(int n, int plane, int x, int y, int width, int height, int bits) {
  if (bits <= 8) return FaceSample(n, plane, x, y, width, height);
  const int shift = bits - 8, at = x / 2;
  const uint16_t sample = uint16_t(FaceSample(n, plane, at, y, width / 2, height) << shift |
                                   ((at * 7 + y * 3 + plane) & ((1 << shift) - 1)));
  uint8_t bytes[2];
  std::memcpy(bytes, &sample, sizeof bytes);
  return bytes[x % 2];
}

// Frame n of that picture as a tight frame, planes Y, U, V of a planar
// `format` (core/format.h's PixelFormat; a template keeps the engine's tests
// free of the core).
template <typename Format>
std::vector<uint8_t> FaceFrame(const Format& f, int width, int height, int n = 0) {
  std::vector<uint8_t> frame;
  const int bytes = f.SampleBytes();
  for (int p = 0; p < f.PlaneCount(); ++p)
    for (int y = 0; y < f.PlaneHeight(p, height); ++y)
      for (int x = 0; x < f.PlaneWidth(p, width) * bytes; ++x)
        frame.push_back(FaceByte(n, p, x, y, width * bytes, height, f.bits));
  return frame;
}

}  // namespace vantrel::test
