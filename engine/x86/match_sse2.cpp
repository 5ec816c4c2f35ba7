// SSE2 twins of the block-matching primitives (engine/match.h).
#include <emmintrin.h>

#include "engine/x86/dsp_x86.h"

namespace vantrel {
namespace {

// Squared differences of one 8-byte line in four 32-bit pair sums.
inline __m128i LineSquares8(const uint8_t* candidate, const uint8_t* reference) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i c = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)candidate), zero);
  const __m128i r = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)reference), zero);
  const __m128i d = _mm_sub_epi16(r, c);  // d = reference[x] - candidate[x]
  return _mm_madd_epi16(d, d);            // d[x]^2 + d[x + 1]^2
}

// The same for a 16-byte line.
inline __m128i LineSquares16(const uint8_t* candidate, const uint8_t* reference) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i c = _mm_loadu_si128((const __m128i*)candidate);
  const __m128i r = _mm_loadu_si128((const __m128i*)reference);
  const __m128i ad = _mm_or_si128(_mm_subs_epu8(c, r), _mm_subs_epu8(r, c));  // |r - c|
  const __m128i lo = _mm_unpacklo_epi8(ad, zero);
  const __m128i hi = _mm_unpackhi_epi8(ad, zero);
  return _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi));
}

// [sum(m0), sum(m1), sum(m2), sum(m3)]: the per-line sums of four lines.
inline __m128i LineTotals(__m128i m0, __m128i m1, __m128i m2, __m128i m3) {
  const __m128i t01 = _mm_add_epi32(_mm_unpacklo_epi32(m0, m1), _mm_unpackhi_epi32(m0, m1));
  const __m128i t23 = _mm_add_epi32(_mm_unpacklo_epi32(m2, m3), _mm_unpackhi_epi32(m2, m3));
  return _mm_add_epi32(_mm_unpacklo_epi64(t01, t23), _mm_unpackhi_epi64(t01, t23));
}

// Running sums after lines 0, 1, 2, 3: lane k = s0 + .. + sk.
inline __m128i PrefixSums(__m128i s) {
  s = _mm_add_epi32(s, _mm_slli_si128(s, 4));
  return _mm_add_epi32(s, _mm_slli_si128(s, 8));
}

// Bit k set when running sum k is still below best (int32_t(sum) < best).
inline int BelowBest(__m128i running, int32_t best) {
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(_mm_set1_epi32(best), running)));
}

// The scalar kernels return the running sum at the first line where it
// reaches best, else the total: pick that lane.
uint32_t FirstReached(const __m128i* running, int lines, int below_bits) {
  alignas(16) uint32_t sums[8];
  for (int q = 0; q < lines / 4; ++q) _mm_store_si128((__m128i*)sums + q, running[q]);
  const int reached = ~below_bits & ((1 << lines) - 1);
  if (reached == 0) return sums[lines - 1];
  return sums[__builtin_ctz(unsigned(reached))];
}

}  // namespace

void DecimatePlane_sse2(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height) {
  const size_t w = width;
  const size_t out_w = w / 2;
  const __m128i even_bytes = _mm_set1_epi16(0x00FF);
  for (uint32_t r = 0; r < height / 4; ++r) {
    const uint8_t* line = src + 4 * size_t(r) * w;
    uint8_t* out = dst + r * out_w;
    size_t c = 0;
    for (; c + 16 <= out_w; c += 16) {
      // out[c] = line[2 * c]: keep the low byte of every 16-bit lane, pack.
      const __m128i a = _mm_and_si128(_mm_loadu_si128((const __m128i*)(line + 2 * c)), even_bytes);
      const __m128i b =
          _mm_and_si128(_mm_loadu_si128((const __m128i*)(line + 2 * c + 16)), even_bytes);
      _mm_storeu_si128((__m128i*)(out + c), _mm_packus_epi16(a, b));
    }
    for (; c < out_w; c += 8) {  // out_w is a multiple of 8
      const __m128i a = _mm_and_si128(_mm_loadu_si128((const __m128i*)(line + 2 * c)), even_bytes);
      _mm_storel_epi64((__m128i*)(out + c), _mm_packus_epi16(a, a));
    }
  }
}

uint32_t BlockCostCoarse_sse2(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                              ptrdiff_t stride) {
  __m128i m[4];
  for (int k = 0; k < 4; ++k) m[k] = LineSquares8(candidate + k * stride, reference + k * stride);
  const __m128i running = PrefixSums(LineTotals(m[0], m[1], m[2], m[3]));
  return FirstReached(&running, 4, BelowBest(running, best));
}

uint32_t BlockCost_sse2(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                        ptrdiff_t stride) {
  // Lines 0-3 first: most candidates of a search stop there.
  __m128i m[4];
  for (int k = 0; k < 4; ++k) m[k] = LineSquares16(candidate + k * stride, reference + k * stride);
  __m128i running[2];
  running[0] = PrefixSums(LineTotals(m[0], m[1], m[2], m[3]));
  const int below_first = BelowBest(running[0], best);
  if (below_first != 0xF) return FirstReached(running, 4, below_first);
  for (int k = 0; k < 4; ++k) {
    m[k] = LineSquares16(candidate + (k + 4) * stride, reference + (k + 4) * stride);
  }
  // Lines 4-7 continue from the total of lines 0-3.
  const __m128i carry = _mm_shuffle_epi32(running[0], 0xFF);
  running[1] = _mm_add_epi32(PrefixSums(LineTotals(m[0], m[1], m[2], m[3])), carry);
  return FirstReached(running, 8, 0xF | (BelowBest(running[1], best) << 4));
}

}  // namespace vantrel
