#include "engine/ref/interpolate.h"

#include <cstring>

#include "engine/lane_ops.h"

namespace vantrel {

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
  for (size_t x = 0; x < width; ++x) dst[x] = uint8_t((above[x] + below[x]) >> 1);
}

void FourTapLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width) {
  const uint8_t *a = src - 3 * pitch, *b = src - pitch, *c = src + pitch, *d = src + 3 * pitch;
  for (size_t x = 0; x < width; ++x) dst[x] = FourTapLuma(a[x], b[x], c[x], d[x]);
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
  const uint8_t* above = src - pitch;
  const uint8_t* below = src + pitch;
  for (size_t x = 0; x < width; ++x) {
    const uint8_t v = uint8_t((above[x] + 3 * below[x]) >> 2);
    const bool take = rebuild_all || ChromaCombFires(above[x], src[x], below[x]);
    dst[x] = take ? v : src[x];
  }
}

}  // namespace vantrel
