// AVX2 twins of the field interpolation kernels (engine/interpolate.h).
// Whole 32-byte vectors cover the interior of a line; a luma line (multiple
// of 16) may end with one 16-byte step, a chroma line (multiple of 8) with a
// 16-byte and an 8-byte step. Nothing is read or written past a line's end.
// CopyFieldLines has no twin: it is memcpy per line, which libc already runs
// with the widest vectors (a hand-written loop measured 0.7x-1.0x).
#include <immintrin.h>

#include <cstring>

#include "engine/x86/dsp_x86.h"

namespace vantrel {
namespace {

inline __m256i Load(const uint8_t* p) { return _mm256_loadu_si256((const __m256i*)p); }
inline void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256((__m256i*)p, v); }
inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128((const __m128i*)p); }
inline void Store16(uint8_t* p, __m128i v) { _mm_storeu_si128((__m128i*)p, v); }

void CopyOddLines(uint8_t* dst, const uint8_t* src, size_t w, uint32_t h) {
  for (uint32_t y = 1; y < h; y += 2) std::memcpy(dst + y * w, src + y * w, w);
}

// (a + b) >> 1 per byte: pavgb rounds up, so take back the carried-in half
// where the sum is odd.
inline __m256i FloorAverage(__m256i a, __m256i b) {
  const __m256i odd = _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1));
  return _mm256_sub_epi8(_mm256_avg_epu8(a, b), odd);
}
inline __m128i FloorAverage16(__m128i a, __m128i b) {
  const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1));
  return _mm_sub_epi8(_mm_avg_epu8(a, b), odd);
}

void AverageLine(uint8_t* dst, const uint8_t* above, const uint8_t* below, size_t w) {
  size_t x = 0;
  for (; x + 32 <= w; x += 32) Store(dst + x, FloorAverage(Load(above + x), Load(below + x)));
  if (x < w) Store16(dst + x, FloorAverage16(Load16(above + x), Load16(below + x)));
}

// FourTapLuma in 16-bit lanes from byte pairs: pmaddubsw of (b, c) with
// (5, 5) is 5 * (b + c) and of (a, d) with (1, 1) is a + d, both exact.
// Subtracting a and then d with saturation at 0 equals subtracting a + d
// once: max(0, max(0, x - a) - d) = max(0, x - a - d) for a, d >= 0.
inline __m256i FourTap16(__m256i ad, __m256i bc) {
  const __m256i five = _mm256_maddubs_epi16(bc, _mm256_set1_epi8(5));   // 5 * (b + c)
  const __m256i outer = _mm256_maddubs_epi16(ad, _mm256_set1_epi8(1));  // a + d
  return _mm256_srli_epi16(_mm256_subs_epu16(five, outer), 3);          // max(0, ..) >> 3
}
inline __m128i FourTap16Half(__m128i ad, __m128i bc) {
  const __m128i five = _mm_maddubs_epi16(bc, _mm_set1_epi8(5));
  const __m128i outer = _mm_maddubs_epi16(ad, _mm_set1_epi8(1));
  return _mm_srli_epi16(_mm_subs_epu16(five, outer), 3);
}

// FourTapLuma on 32 samples at column x. Unpack and pack both work within
// 128-bit halves, so the bytes come back in order.
inline __m256i FourTap(const uint8_t* a, const uint8_t* b, const uint8_t* c, const uint8_t* d,
                       size_t x) {
  const __m256i va = Load(a + x), vb = Load(b + x), vc = Load(c + x), vd = Load(d + x);
  const __m256i lo = FourTap16(_mm256_unpacklo_epi8(va, vd), _mm256_unpacklo_epi8(vb, vc));
  const __m256i hi = FourTap16(_mm256_unpackhi_epi8(va, vd), _mm256_unpackhi_epi8(vb, vc));
  return _mm256_packus_epi16(lo, hi);  // saturate to 255
}
inline __m128i FourTapHalf(const uint8_t* a, const uint8_t* b, const uint8_t* c,
                           const uint8_t* d, size_t x) {
  const __m128i va = Load16(a + x), vb = Load16(b + x), vc = Load16(c + x), vd = Load16(d + x);
  const __m128i lo = FourTap16Half(_mm_unpacklo_epi8(va, vd), _mm_unpacklo_epi8(vb, vc));
  const __m128i hi = FourTap16Half(_mm_unpackhi_epi8(va, vd), _mm_unpackhi_epi8(vb, vc));
  return _mm_packus_epi16(lo, hi);
}

void FourTapLine(uint8_t* out, const uint8_t* a, const uint8_t* b, const uint8_t* c,
                 const uint8_t* d, size_t w) {
  size_t x = 0;
  for (; x + 32 <= w; x += 32) Store(out + x, FourTap(a, b, c, d, x));
  if (x < w) Store16(out + x, FourTapHalf(a, b, c, d, x));
}

// The masked line: out = (v & m) | (s & ~m); a vector whose mask is all
// zero is the source line and needs no filtering.
void MaskedLine(uint8_t* out, const uint8_t* s, const uint8_t* m, const uint8_t* a,
                const uint8_t* b, const uint8_t* c, const uint8_t* d, size_t w) {
  const bool in_place = out == s;
  size_t x = 0;
  for (; x + 32 <= w; x += 32) {
    const __m256i vm = Load(m + x);
    if (_mm256_testz_si256(vm, vm)) {
      if (!in_place) Store(out + x, Load(s + x));
      continue;
    }
    const __m256i v = FourTap(a, b, c, d, x);
    Store(out + x, _mm256_or_si256(_mm256_and_si256(v, vm), _mm256_andnot_si256(vm, Load(s + x))));
  }
  if (x < w) {
    const __m128i vm = Load16(m + x);
    if (_mm_testz_si128(vm, vm)) {
      if (!in_place) Store16(out + x, Load16(s + x));
      return;
    }
    const __m128i v = FourTapHalf(a, b, c, d, x);
    Store16(out + x, _mm_or_si128(_mm_and_si128(v, vm), _mm_andnot_si128(vm, Load16(s + x))));
  }
}

// Chroma in 16-bit lanes from interleaved byte pairs, each formula one
// pmaddubsw: v = (A + 3B) >> 2 from (A, B) with (1, 3); B - A from (A, B)
// with (-1, 1); A - C and B - C from (A, C) and (B, C) with (1, -1).
struct ChromaPairs {
  __m256i ab, ac, bc;
};

// v for 16 samples: (A + 3B) >> 2.
inline __m256i ChromaValue(__m256i ab) {
  return _mm256_srli_epi16(_mm256_maddubs_epi16(ab, _mm256_set1_epi16(0x0301)), 2);
}

// 0xFFFF in the lanes where the comb test fires.
inline __m256i ChromaFires(const ChromaPairs& p) {
  const __m256i plus_minus = _mm256_set1_epi16(int16_t(0xFF01));  // (1, -1)
  const __m256i a_c = _mm256_maddubs_epi16(p.ac, plus_minus);
  const __m256i b_c = _mm256_maddubs_epi16(p.bc, plus_minus);
  const __m256i b_a = _mm256_maddubs_epi16(p.ab, _mm256_set1_epi16(0x01FF));  // (-1, 1)
  const __m256i prod = _mm256_mullo_epi16(a_c, b_c);                    // P = wrap16((A-C)(B-C))
  const __m256i q = _mm256_srai_epi16(_mm256_mullo_epi16(b_a, b_a), 3);  // Q = wrap16((B-A)^2) >> 3
  const __m256i d = _mm256_subs_epi16(prod, q);                          // D = sat16(P - Q)
  // (D >> 1) > 8 holds exactly when D > 17.
  return _mm256_cmpgt_epi16(d, _mm256_set1_epi16(17));
}

// The same on 8 samples (16-bit lanes of a 128-bit register).
inline __m128i ChromaHalf(__m128i a, __m128i c, __m128i b, bool rebuild_all) {
  const __m128i ab = _mm_unpacklo_epi8(a, b);
  const __m128i v = _mm_srli_epi16(_mm_maddubs_epi16(ab, _mm_set1_epi16(0x0301)), 2);
  if (rebuild_all) return v;
  const __m128i plus_minus = _mm_set1_epi16(int16_t(0xFF01));
  const __m128i a_c = _mm_maddubs_epi16(_mm_unpacklo_epi8(a, c), plus_minus);
  const __m128i b_c = _mm_maddubs_epi16(_mm_unpacklo_epi8(b, c), plus_minus);
  const __m128i b_a = _mm_maddubs_epi16(ab, _mm_set1_epi16(0x01FF));
  const __m128i q = _mm_srai_epi16(_mm_mullo_epi16(b_a, b_a), 3);
  const __m128i d = _mm_subs_epi16(_mm_mullo_epi16(a_c, b_c), q);
  const __m128i fires = _mm_cmpgt_epi16(d, _mm_set1_epi16(17));
  const __m128i centre = _mm_unpacklo_epi8(c, _mm_setzero_si128());
  return _mm_or_si128(_mm_and_si128(fires, v), _mm_andnot_si128(fires, centre));
}

void ChromaLine(uint8_t* out, const uint8_t* above, const uint8_t* centre, const uint8_t* below,
                size_t w, bool rebuild_all) {
  size_t x = 0;
  for (; x + 32 <= w; x += 32) {
    const __m256i a = Load(above + x), c = Load(centre + x), b = Load(below + x);
    const ChromaPairs lo{_mm256_unpacklo_epi8(a, b), _mm256_unpacklo_epi8(a, c),
                         _mm256_unpacklo_epi8(b, c)};
    const ChromaPairs hi{_mm256_unpackhi_epi8(a, b), _mm256_unpackhi_epi8(a, c),
                         _mm256_unpackhi_epi8(b, c)};
    const __m256i v = _mm256_packus_epi16(ChromaValue(lo.ab), ChromaValue(hi.ab));
    if (rebuild_all) {
      Store(out + x, v);
      continue;
    }
    // Pack the lane masks to bytes in the same order and pick v or C.
    const __m256i fires = _mm256_packs_epi16(ChromaFires(lo), ChromaFires(hi));
    Store(out + x, _mm256_blendv_epi8(c, v, fires));
  }
  for (; x + 8 <= w; x += 8) {  // 16-byte and 8-byte tails, 8 samples per step
    const __m128i a = _mm_loadl_epi64((const __m128i*)(above + x));
    const __m128i c = _mm_loadl_epi64((const __m128i*)(centre + x));
    const __m128i b = _mm_loadl_epi64((const __m128i*)(below + x));
    const __m128i v = ChromaHalf(a, c, b, rebuild_all);
    _mm_storel_epi64((__m128i*)(out + x), _mm_packus_epi16(v, v));
  }
}

void InterpolateChromaPlane(uint8_t* dst, const uint8_t* src, size_t w, uint32_t h,
                            bool rebuild_all) {
  for (uint32_t y = 2; y + 2 <= h; y += 2) {
    ChromaLine(dst + y * w, src + (y - 1) * w, src + y * w, src + (y + 1) * w, w, rebuild_all);
  }
}

}  // namespace

void InterpolateLuma_avx2(uint8_t* dst, const uint8_t* src, const uint8_t* mask, uint32_t width,
                          uint32_t height, int rebuild_all) {
  const size_t w = width;
  const uint32_t h = height;
  std::memcpy(dst, src + w, w);
  if (dst != src) CopyOddLines(dst, src, w, h);
  AverageLine(dst + 2 * w, src + 1 * w, src + 3 * w, w);
  AverageLine(dst + (h - 2) * w, src + (h - 3) * w, src + (h - 1) * w, w);
  for (uint32_t y = 4; y + 4 <= h; y += 2) {
    const uint8_t* a = src + (y - 3) * w;
    const uint8_t* b = src + (y - 1) * w;
    const uint8_t* c = src + (y + 1) * w;
    const uint8_t* d = src + (y + 3) * w;
    if (rebuild_all) {
      FourTapLine(dst + y * w, a, b, c, d, w);
    } else {
      MaskedLine(dst + y * w, src + y * w, mask + y * w, a, b, c, d, w);
    }
  }
}

void InterpolateChroma_avx2(uint8_t* dst_c0, uint8_t* dst_c1, const uint8_t* src_c0,
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
