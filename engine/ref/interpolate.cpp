#include "engine/ref/interpolate.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "engine/lane_ops.h"

namespace vantrel {

namespace {

// The line `lines` lines from p, whose lines are `pitch` bytes apart.
template <typename T>
T* LineAt(T* p, ptrdiff_t pitch, ptrdiff_t lines) {
  using Byte = std::conditional_t<std::is_const<T>::value, const char, char>;
  return reinterpret_cast<T*>(reinterpret_cast<Byte*>(p) + lines * pitch);
}

template <typename T>
void AverageLineOf(T* dst, const T* above, const T* below, size_t width) {
  for (size_t x = 0; x < width; ++x) dst[x] = T((above[x] + below[x]) >> 1);
}

template <typename T, typename Tap>
void FourTapLineOf(T* dst, const T* src, ptrdiff_t pitch, size_t width, const Tap& tap) {
  const T *a = LineAt(src, pitch, -3), *b = LineAt(src, pitch, -1);
  const T *c = LineAt(src, pitch, 1), *d = LineAt(src, pitch, 3);
  for (size_t x = 0; x < width; ++x) dst[x] = tap(a[x], b[x], c[x], d[x]);
}

// The test runs on the samples cut to 8 bits (shifted right by `shift`, 0
// for 8-bit samples).
template <typename T>
void ChromaLineOf(T* dst, const T* src, ptrdiff_t pitch, size_t width, bool rebuild_all,
                  uint32_t shift) {
  const T* above = LineAt(src, pitch, -1);
  const T* below = LineAt(src, pitch, 1);
  const auto rebuilt = [&](size_t x) { return T((above[x] + 3 * below[x]) >> 2); };
  if (rebuild_all) {
    for (size_t x = 0; x < width; ++x) dst[x] = rebuilt(x);
    return;
  }
  const auto cut = [shift](T v) { return PackUSat8(v >> shift); };
  for (size_t x = 0; x < width; ++x) {
    const bool fires = ChromaCombFires(cut(above[x]), cut(src[x]), cut(below[x]));
    dst[x] = fires ? rebuilt(x) : src[x];
  }
}

// FourTapLuma in 32-bit lanes (5 * (b + c) reaches 655350), clamped to max.
uint16_t FourTapSample16(uint16_t a, uint16_t b, uint16_t c, uint16_t d, uint16_t max) {
  const uint32_t five = 5 * (uint32_t(b) + c);
  const uint32_t sum = SubSatU32(SubSatU32(five, a), d);
  return uint16_t(std::min<uint32_t>(sum >> 3, max));
}

}  // namespace

uint8_t FourTapLuma(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  // 5 * (b + c) - a - d in unsigned 16-bit lanes that stop at 0, >> 3, packed.
  const uint16_t five = uint16_t(5 * (b + c));
  const uint16_t sum = SubSatU16(SubSatU16(five, a), d);
  return PackUSat8(sum >> 3);
}

bool ChromaCombFires(uint8_t above, uint8_t centre, uint8_t below) {
  const int32_t a = above, c = centre, b = below;
  const int16_t p = Wrap16((a - c) * (b - c));
  const int16_t q = SraS16(Wrap16((b - a) * (b - a)), 3);
  const int16_t d = SatS16(int32_t(p) - q);
  return SraS16(d, 1) > 8;
}

void AverageLine(uint8_t* dst, const uint8_t* above, const uint8_t* below, size_t width) {
  AverageLineOf(dst, above, below, width);
}

void FourTapLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width) {
  FourTapLineOf(dst, src, pitch, width,
                [](uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return FourTapLuma(a, b, c, d); });
}

static bool GroupUnmarked(const uint8_t* mask) {
  uint64_t bits;
  std::memcpy(&bits, mask, 8);
  return bits == 0;
}

void MaskedFourTapLine(uint8_t* dst, const uint8_t* src, const uint8_t* mask, ptrdiff_t pitch,
                       size_t width) {
  const uint8_t *a = src - 3 * pitch, *b = src - pitch, *c = src + pitch, *d = src + 3 * pitch;
  for (size_t x0 = 0; x0 < width; x0 += 8) {
    if (GroupUnmarked(mask + x0)) {
      if (dst != src) std::memcpy(dst + x0, src + x0, 8);
      continue;
    }
    for (size_t x = x0; x < x0 + 8; ++x) {
      const uint8_t v = FourTapLuma(a[x], b[x], c[x], d[x]);
      dst[x] = uint8_t((v & mask[x]) | (src[x] & ~mask[x]));
    }
  }
}

void ChromaLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width,
                bool rebuild_all) {
  ChromaLineOf(dst, src, pitch, width, rebuild_all, 0);
}

void AverageLine16(uint16_t* dst, const uint16_t* above, const uint16_t* below, size_t width) {
  AverageLineOf(dst, above, below, width);
}

void FourTapLine16(uint16_t* dst, const uint16_t* src, ptrdiff_t pitch, size_t width,
                   uint16_t max) {
  FourTapLineOf(dst, src, pitch, width, [max](uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    return FourTapSample16(a, b, c, d, max);
  });
}

void MaskedFourTapLine16(uint16_t* dst, const uint16_t* src, const uint8_t* mask,
                         ptrdiff_t pitch, size_t width, uint16_t max) {
  const uint16_t *a = LineAt(src, pitch, -3), *b = LineAt(src, pitch, -1);
  const uint16_t *c = LineAt(src, pitch, 1), *d = LineAt(src, pitch, 3);
  for (size_t x = 0; x < width; ++x) {
    const uint16_t v = FourTapSample16(a[x], b[x], c[x], d[x], max);
    const uint16_t m = SignExtend8(mask[x]);
    dst[x] = uint16_t((v & m) | (src[x] & ~m));
  }
}

void ChromaLine16(uint16_t* dst, const uint16_t* src, ptrdiff_t pitch, size_t width,
                  bool rebuild_all, uint32_t shift) {
  ChromaLineOf(dst, src, pitch, width, rebuild_all, shift);
}

void CutLine(uint8_t* dst, const uint16_t* src, size_t width, uint32_t shift) {
  for (size_t x = 0; x < width; ++x) dst[x] = PackUSat8(src[x] >> shift);
}

}  // namespace vantrel
