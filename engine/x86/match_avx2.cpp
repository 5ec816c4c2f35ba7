// AVX2 twins of the block-matching primitives (engine/match.h).
#include <immintrin.h>

#include "engine/x86/dsp_x86.h"

namespace vantrel {
namespace {

// Two 16-byte lines in one register: `first` low, `second` high.
inline __m256i LoadLinePair(const uint8_t* first, const uint8_t* second) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128((const __m128i*)first)),
                                 _mm_loadu_si128((const __m128i*)second), 1);
}

// Squared differences of two 16-byte lines: pair sums of the first line in
// the low half, of the second in the high half.
inline __m256i LinePairSquares(__m256i c, __m256i r) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i ad = _mm256_or_si256(_mm256_subs_epu8(c, r), _mm256_subs_epu8(r, c));  // |r - c|
  const __m256i lo = _mm256_unpacklo_epi8(ad, zero);
  const __m256i hi = _mm256_unpackhi_epi8(ad, zero);
  return _mm256_add_epi32(_mm256_madd_epi16(lo, lo), _mm256_madd_epi16(hi, hi));
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

// The running sum at the first line where it reaches best, else the total.
uint32_t FirstReached(const __m128i* running, int lines, int below_bits) {
  alignas(16) uint32_t sums[8];
  for (int q = 0; q < lines / 4; ++q) _mm_store_si128((__m128i*)sums + q, running[q]);
  const int reached = ~below_bits & ((1 << lines) - 1);
  if (reached == 0) return sums[lines - 1];
  return sums[__builtin_ctz(unsigned(reached))];
}

// One 8-byte line from each of four lines: lines 0, 1 low, lines 2, 3 high.
inline __m256i LoadQuad8(const uint8_t* p, ptrdiff_t stride) {
  const __m128i l01 = _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i*)p),
                                         _mm_loadl_epi64((const __m128i*)(p + stride)));
  const __m128i l23 = _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i*)(p + 2 * stride)),
                                         _mm_loadl_epi64((const __m128i*)(p + 3 * stride)));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(l01), l23, 1);
}

}  // namespace

void DecimatePlane_avx2(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height) {
  const size_t w = width;
  const size_t out_w = w / 2;
  const __m256i even_bytes = _mm256_set1_epi16(0x00FF);
  for (uint32_t r = 0; r < height / 4; ++r) {
    const uint8_t* line = src + 4 * size_t(r) * w;
    uint8_t* out = dst + r * out_w;
    size_t c = 0;
    for (; c + 32 <= out_w; c += 32) {
      // out[c] = line[2 * c]: keep the low byte of every 16-bit lane, pack;
      // the in-lane pack leaves the quarters in order 0 2 1 3.
      const __m256i a =
          _mm256_and_si256(_mm256_loadu_si256((const __m256i*)(line + 2 * c)), even_bytes);
      const __m256i b =
          _mm256_and_si256(_mm256_loadu_si256((const __m256i*)(line + 2 * c + 32)), even_bytes);
      const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
      _mm256_storeu_si256((__m256i*)(out + c), packed);
    }
    const __m128i even_bytes128 = _mm256_castsi256_si128(even_bytes);
    for (; c + 16 <= out_w; c += 16) {
      const __m128i a =
          _mm_and_si128(_mm_loadu_si128((const __m128i*)(line + 2 * c)), even_bytes128);
      const __m128i b =
          _mm_and_si128(_mm_loadu_si128((const __m128i*)(line + 2 * c + 16)), even_bytes128);
      _mm_storeu_si128((__m128i*)(out + c), _mm_packus_epi16(a, b));
    }
    for (; c < out_w; c += 8) {  // out_w is a multiple of 8
      const __m128i a =
          _mm_and_si128(_mm_loadu_si128((const __m128i*)(line + 2 * c)), even_bytes128);
      _mm_storel_epi64((__m128i*)(out + c), _mm_packus_epi16(a, a));
    }
  }
}

uint32_t BlockCostCoarse_avx2(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                              ptrdiff_t stride) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i c = LoadQuad8(candidate, stride);
  const __m256i r = LoadQuad8(reference, stride);
  const __m256i ad = _mm256_or_si256(_mm256_subs_epu8(c, r), _mm256_subs_epu8(r, c));  // |r - c|
  // Low bytes of each half hold lines 0 and 2, high bytes lines 1 and 3.
  const __m256i lo = _mm256_unpacklo_epi8(ad, zero);
  const __m256i hi = _mm256_unpackhi_epi8(ad, zero);
  const __m256i pairs = _mm256_hadd_epi32(_mm256_madd_epi16(lo, lo), _mm256_madd_epi16(hi, hi));
  const __m256i lines = _mm256_hadd_epi32(pairs, pairs);  // [s0 s1 s0 s1 | s2 s3 s2 s3]
  const __m128i totals =
      _mm_unpacklo_epi64(_mm256_castsi256_si128(lines), _mm256_extracti128_si256(lines, 1));
  const __m128i running = PrefixSums(totals);
  return FirstReached(&running, 4, BelowBest(running, best));
}

// Running sums after each of four lines from two line-pair registers.
inline __m128i FourLineSums(__m256i lines01, __m256i lines23) {
  // [s0 s2 s0 s2 | s1 s3 s1 s3] after two rounds of pairwise adds.
  const __m256i h = _mm256_hadd_epi32(lines01, lines23);
  const __m256i t = _mm256_hadd_epi32(h, h);
  return PrefixSums(_mm_unpacklo_epi32(_mm256_castsi256_si128(t), _mm256_extracti128_si256(t, 1)));
}

uint32_t BlockCost_avx2(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                        ptrdiff_t stride) {
  __m256i m[4];
  for (int k = 0; k < 2; ++k) {
    const uint8_t* c = candidate + 2 * k * stride;
    const uint8_t* r = reference + 2 * k * stride;
    m[k] = LinePairSquares(LoadLinePair(c, c + stride), LoadLinePair(r, r + stride));
  }
  // Lines 0-3 first: most candidates of a search stop there.
  __m128i running[2];
  running[0] = FourLineSums(m[0], m[1]);
  const int below_first = BelowBest(running[0], best);
  if (below_first != 0xF) return FirstReached(running, 4, below_first);
  for (int k = 2; k < 4; ++k) {
    const uint8_t* c = candidate + 2 * k * stride;
    const uint8_t* r = reference + 2 * k * stride;
    m[k] = LinePairSquares(LoadLinePair(c, c + stride), LoadLinePair(r, r + stride));
  }
  // Lines 4-7 continue from the total of lines 0-3.
  const __m128i carry = _mm_shuffle_epi32(running[0], 0xFF);
  running[1] = _mm_add_epi32(FourLineSums(m[2], m[3]), carry);
  return FirstReached(running, 8, 0xF | (BelowBest(running[1], best) << 4));
}

}  // namespace vantrel
