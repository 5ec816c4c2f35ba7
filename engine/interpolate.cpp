#include "engine/interpolate.h"

#include <cstring>

#include "engine/dsp.h"
#include "engine/lane_ops.h"

namespace vantrel {

void CopyFieldLines(uint8_t* plane, uint32_t width, uint32_t height) {
  const size_t w = width;
  for (uint32_t k = 0; k < height / 2; ++k) {
    std::memcpy(plane + (2 * k) * w, plane + (2 * k + 1) * w, w);
  }
}

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

static void CopyOddLines(uint8_t* dst, const uint8_t* src, size_t w, uint32_t h) {
  for (uint32_t y = 1; y < h; y += 2) std::memcpy(dst + y * w, src + y * w, w);
}

void InterpolateLuma(const EngineDsp& dsp, uint8_t* dst, const uint8_t* src,
                     const uint8_t* mask, uint32_t width, uint32_t height, int rebuild_all) {
  const size_t w = width;
  const uint32_t h = height;
  std::memcpy(dst, src + w, w);
  if (dst != src) CopyOddLines(dst, src, w, h);
  dsp.interpolate.average_line(dst + 2 * w, src + 1 * w, src + 3 * w, w);
  dsp.interpolate.average_line(dst + (h - 2) * w, src + (h - 3) * w, src + (h - 1) * w, w);
  const ptrdiff_t pitch = ptrdiff_t(w);
  for (uint32_t y = 4; y + 4 <= h; y += 2) {
    if (rebuild_all) {
      dsp.interpolate.four_tap_line(dst + y * w, src + y * w, pitch, w);
    } else {
      dsp.interpolate.masked_four_tap_line(dst + y * w, src + y * w, mask + y * w, pitch, w);
    }
  }
}

void InterpolateLuma(uint8_t* dst, const uint8_t* src, const uint8_t* mask, uint32_t width,
                     uint32_t height, int rebuild_all) {
  InterpolateLuma(ScalarEngineDsp(), dst, src, mask, width, height, rebuild_all);
}

static void InterpolateChromaPlane(const EngineDsp& dsp, uint8_t* dst, const uint8_t* src,
                                   size_t w, uint32_t h, bool rebuild_all) {
  for (uint32_t y = 2; y + 2 <= h; y += 2) {
    dsp.interpolate.chroma_line(dst + y * w, src + y * w, ptrdiff_t(w), w, rebuild_all);
  }
}

void InterpolateChroma(const EngineDsp& dsp, uint8_t* dst_c0, uint8_t* dst_c1,
                       const uint8_t* src_c0, const uint8_t* src_c1, uint32_t chroma_width,
                       uint32_t chroma_height, int rebuild_all) {
  const size_t w = chroma_width;
  const uint32_t h = chroma_height;
  std::memcpy(dst_c0, src_c0 + w, w);
  std::memcpy(dst_c1, src_c1 + w, w);
  if (dst_c0 != src_c0) CopyOddLines(dst_c0, src_c0, w, h);
  if (dst_c1 != src_c1) CopyOddLines(dst_c1, src_c1, w, h);
  InterpolateChromaPlane(dsp, dst_c0, src_c0, w, h, rebuild_all != 0);
  InterpolateChromaPlane(dsp, dst_c1, src_c1, w, h, rebuild_all != 0);
}

void InterpolateChroma(uint8_t* dst_c0, uint8_t* dst_c1, const uint8_t* src_c0,
                       const uint8_t* src_c1, uint32_t chroma_width, uint32_t chroma_height,
                       int rebuild_all) {
  InterpolateChroma(ScalarEngineDsp(), dst_c0, dst_c1, src_c0, src_c1, chroma_width,
                    chroma_height, rebuild_all);
}

}  // namespace vantrel
