// SSE2 twins of the field interpolation kernels (engine/interpolate.h).
// Luma widths are multiples of 16 (whole vectors); chroma widths are only
// multiples of 8, so chroma lines end with an 8-byte half-vector step.
// CopyFieldLines has no twin: it is memcpy per line, which libc already runs
// with the widest vectors.
#include <emmintrin.h>

#include <cstring>

#include "engine/x86/dsp_x86.h"

namespace vantrel {
namespace {

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128((const __m128i*)p); }
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128((__m128i*)p, v); }

void CopyOddLines(uint8_t* dst, const uint8_t* src, size_t w, uint32_t h) {
  for (uint32_t y = 1; y < h; y += 2) std::memcpy(dst + y * w, src + y * w, w);
}

// dst[x] = (above[x] + below[x]) >> 1; pavgb rounds up, so take back the
// carried-in half where the sum is odd.
void AverageLine(uint8_t* dst, const uint8_t* above, const uint8_t* below, size_t w) {
  const __m128i one = _mm_set1_epi8(1);
  for (size_t x = 0; x < w; x += 16) {
    const __m128i a = Load(above + x), b = Load(below + x);
    const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), one);
    Store(dst + x, _mm_sub_epi8(_mm_avg_epu8(a, b), odd));
  }
}

// FourTapLuma on 8 samples widened to 16-bit lanes.
inline __m128i FourTap16(__m128i a, __m128i b, __m128i c, __m128i d) {
  const __m128i bc = _mm_add_epi16(b, c);
  const __m128i five = _mm_add_epi16(bc, _mm_slli_epi16(bc, 2));  // 5 * (b + c)
  const __m128i sum = _mm_subs_epu16(_mm_subs_epu16(five, a), d);  // stop at 0
  return _mm_srli_epi16(sum, 3);
}

// FourTapLuma on 16 samples of the lines a, b, c, d at column x.
inline __m128i FourTap(const uint8_t* a, const uint8_t* b, const uint8_t* c, const uint8_t* d,
                       size_t x) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i va = Load(a + x), vb = Load(b + x), vc = Load(c + x), vd = Load(d + x);
  const __m128i lo = FourTap16(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero),
                               _mm_unpacklo_epi8(vc, zero), _mm_unpacklo_epi8(vd, zero));
  const __m128i hi = FourTap16(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero),
                               _mm_unpackhi_epi8(vc, zero), _mm_unpackhi_epi8(vd, zero));
  return _mm_packus_epi16(lo, hi);  // saturate to 255
}

// Chroma rebuild of 8 samples in 16-bit lanes: v, or C where the comb test
// does not fire (unless rebuild_all).
inline __m128i Chroma16(__m128i above, __m128i centre, __m128i below, bool rebuild_all) {
  const __m128i three_b = _mm_add_epi16(below, _mm_slli_epi16(below, 1));
  const __m128i v = _mm_srli_epi16(_mm_add_epi16(above, three_b), 2);  // (A + 3B) >> 2
  if (rebuild_all) return v;
  const __m128i p = _mm_mullo_epi16(_mm_sub_epi16(above, centre),
                                    _mm_sub_epi16(below, centre));  // P = wrap16((A-C)(B-C))
  const __m128i ba = _mm_sub_epi16(below, above);
  const __m128i q = _mm_srai_epi16(_mm_mullo_epi16(ba, ba), 3);   // Q = wrap16((B-A)^2) >> 3
  const __m128i d = _mm_subs_epi16(p, q);                          // D = sat16(P - Q)
  const __m128i fires = _mm_cmpgt_epi16(_mm_srai_epi16(d, 1), _mm_set1_epi16(8));
  return _mm_or_si128(_mm_and_si128(fires, v), _mm_andnot_si128(fires, centre));
}

void InterpolateChromaPlane(uint8_t* dst, const uint8_t* src, size_t w, uint32_t h,
                            bool rebuild_all) {
  const __m128i zero = _mm_setzero_si128();
  for (uint32_t y = 2; y + 2 <= h; y += 2) {
    const uint8_t* above = src + (y - 1) * w;
    const uint8_t* centre = src + y * w;
    const uint8_t* below = src + (y + 1) * w;
    uint8_t* out = dst + y * w;
    size_t x = 0;
    for (; x + 16 <= w; x += 16) {
      const __m128i a = Load(above + x), c = Load(centre + x), b = Load(below + x);
      const __m128i lo = Chroma16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(c, zero),
                                  _mm_unpacklo_epi8(b, zero), rebuild_all);
      const __m128i hi = Chroma16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(c, zero),
                                  _mm_unpackhi_epi8(b, zero), rebuild_all);
      Store(out + x, _mm_packus_epi16(lo, hi));
    }
    if (x < w) {  // the 8-sample tail of a width that is not a multiple of 16
      const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)(above + x)), zero);
      const __m128i c = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)(centre + x)), zero);
      const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)(below + x)), zero);
      const __m128i v = Chroma16(a, c, b, rebuild_all);
      _mm_storel_epi64((__m128i*)(out + x), _mm_packus_epi16(v, v));
    }
  }
}

}  // namespace

void InterpolateLuma_sse2(uint8_t* dst, const uint8_t* src, const uint8_t* mask, uint32_t width,
                          uint32_t height, int rebuild_all) {
  const size_t w = width;
  const uint32_t h = height;
  std::memcpy(dst, src + w, w);
  if (dst != src) CopyOddLines(dst, src, w, h);
  AverageLine(dst + 2 * w, src + 1 * w, src + 3 * w, w);
  AverageLine(dst + (h - 2) * w, src + (h - 3) * w, src + (h - 1) * w, w);
  const __m128i zero = _mm_setzero_si128();
  for (uint32_t y = 4; y + 4 <= h; y += 2) {
    const uint8_t* a = src + (y - 3) * w;
    const uint8_t* b = src + (y - 1) * w;
    const uint8_t* c = src + (y + 1) * w;
    const uint8_t* d = src + (y + 3) * w;
    const uint8_t* s = src + y * w;
    uint8_t* out = dst + y * w;
    if (rebuild_all) {
      for (size_t x = 0; x < w; x += 16) Store(out + x, FourTap(a, b, c, d, x));
      continue;
    }
    const uint8_t* m = mask + y * w;
    for (size_t x = 0; x < w; x += 16) {
      const __m128i vm = Load(m + x);
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(vm, zero)) == 0xFFFF) {
        // No sample marked: the output is the source line.
        if (out != s) Store(out + x, Load(s + x));
        continue;
      }
      // out = (v & m) | (s & ~m)
      const __m128i v = FourTap(a, b, c, d, x);
      Store(out + x, _mm_or_si128(_mm_and_si128(v, vm), _mm_andnot_si128(vm, Load(s + x))));
    }
  }
}

void InterpolateChroma_sse2(uint8_t* dst_c0, uint8_t* dst_c1, const uint8_t* src_c0,
                            const uint8_t* src_c1, uint32_t chroma_width, uint32_t chroma_height,
                            int rebuild_all) {
  const size_t w = chroma_width;
  const uint32_t h = chroma_height;
  std::memcpy(dst_c0, src_c0 + w, w);
  std::memcpy(dst_c1, src_c1 + w, w);
  if (dst_c0 != src_c0) CopyOddLines(dst_c0, src_c0, w, h);
  if (dst_c1 != src_c1) CopyOddLines(dst_c1, src_c1, w, h);
  InterpolateChromaPlane(dst_c0, src_c0, w, h, rebuild_all != 0);
  InterpolateChromaPlane(dst_c1, src_c1, w, h, rebuild_all != 0);
}

}  // namespace vantrel
