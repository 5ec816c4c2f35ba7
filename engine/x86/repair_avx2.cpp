// AVX2 window scans of the motion search (engine/repair.h).
//
// A window row is scanned 16 candidates at a time with full sums: for block
// column pair (2p, 2p + 1), the bytes at column j + 2p of a candidate line,
// widened to 16-bit lanes, hold the pair of every even candidate j in one
// 32-bit lane, so one multiply-add against the broadcast reference pair
// adds d(2p)^2 + d(2p + 1)^2 to eight candidates at once; the load one byte
// further does the odd candidates. After each block line a group stops when
// none of its running sums is below the best (a candidate that is not
// strictly below never wins). Winners are then picked in scan order, so the
// result is the first strict minimum of the scalar scan, with its complete
// cost. Leftovers (fewer than 8 candidates) take the one-candidate path.
// Every load stays within the window's candidates.
#include <immintrin.h>

#include "engine/x86/dsp_x86.h"

namespace vantrel {
namespace {

// The reference block's column pairs, each broadcast to all lanes:
// r[l][2p] | r[l][2p + 1] << 16.
template <int kCols, int kLines>
struct ReferencePairs {
  __m256i pair[kLines][kCols / 2];
};

template <int kCols, int kLines>
void LoadReferencePairs(ReferencePairs<kCols, kLines>* ref, const uint8_t* reference,
                        ptrdiff_t stride) {
  for (int l = 0; l < kLines; ++l) {
    const uint8_t* r = reference + l * stride;
    const __m128i bytes = kCols == 16 ? _mm_loadu_si128((const __m128i*)r)
                                      : _mm_loadl_epi64((const __m128i*)r);
    // Widened, 32-bit lane p holds exactly the pair; broadcast each lane.
    const __m256i wide = _mm256_cvtepu8_epi16(bytes);
    for (int p = 0; p < kCols / 2; ++p) {
      ref->pair[l][p] = _mm256_permutevar8x32_epi32(wide, _mm256_set1_epi32(p));
    }
  }
}

// Any lane of `even` or `odd` below best (signed; sums stay below 2^31).
inline bool AnyBelow(__m256i best, __m256i even, __m256i odd) {
  const __m256i below =
      _mm256_or_si256(_mm256_cmpgt_epi32(best, even), _mm256_cmpgt_epi32(best, odd));
  return !_mm256_testz_si256(below, below);
}
inline bool AnyBelow(__m128i best, __m128i even, __m128i odd) {
  const __m128i below = _mm_or_si128(_mm_cmpgt_epi32(best, even), _mm_cmpgt_epi32(best, odd));
  return !_mm_testz_si128(below, below);
}

// Full costs of candidates 0 .. 15 at `cand` into costs[], or false when
// none of them can beat `best` (checked after every line, the last too).
template <int kCols, int kLines>
bool Costs16(const uint8_t* cand, ptrdiff_t stride, const ReferencePairs<kCols, kLines>& ref,
             __m256i best, uint32_t* costs) {
  __m256i even = _mm256_setzero_si256(), odd = _mm256_setzero_si256();
  for (int l = 0; l < kLines; ++l) {
    const uint8_t* line = cand + l * stride;
#pragma GCC unroll 8
    for (int p = 0; p < kCols / 2; ++p) {
      // lane k: (c[2k + 2p], c[2k + 2p + 1]), then the same one column on
      const __m256i we = _mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)(line + 2 * p)));
      const __m256i wo =
          _mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)(line + 2 * p + 1)));
      const __m256i de = _mm256_sub_epi16(ref.pair[l][p], we);  // d = reference - candidate
      const __m256i dd = _mm256_sub_epi16(ref.pair[l][p], wo);
      even = _mm256_add_epi32(even, _mm256_madd_epi16(de, de));  // sum += d^2 + d'^2
      odd = _mm256_add_epi32(odd, _mm256_madd_epi16(dd, dd));
    }
    if (!AnyBelow(best, even, odd)) return false;
  }
  // even holds candidates 0, 2, .., 14 and odd 1, 3, .., 15: interleave.
  const __m256i lo = _mm256_unpacklo_epi32(even, odd);  // 0 1 2 3 | 8 9 10 11
  const __m256i hi = _mm256_unpackhi_epi32(even, odd);  // 4 5 6 7 | 12 13 14 15
  _mm256_storeu_si256((__m256i*)costs, _mm256_permute2x128_si256(lo, hi, 0x20));
  _mm256_storeu_si256((__m256i*)(costs + 8), _mm256_permute2x128_si256(lo, hi, 0x31));
  return true;
}

// The same for candidates 0 .. 7 with 8-byte loads.
template <int kCols, int kLines>
bool Costs8(const uint8_t* cand, ptrdiff_t stride, const ReferencePairs<kCols, kLines>& ref,
            __m128i best, uint32_t* costs) {
  __m128i even = _mm_setzero_si128(), odd = _mm_setzero_si128();
  for (int l = 0; l < kLines; ++l) {
    const uint8_t* line = cand + l * stride;
#pragma GCC unroll 8
    for (int p = 0; p < kCols / 2; ++p) {
      const __m128i r = _mm256_castsi256_si128(ref.pair[l][p]);
      const __m128i we = _mm_cvtepu8_epi16(_mm_loadl_epi64((const __m128i*)(line + 2 * p)));
      const __m128i wo = _mm_cvtepu8_epi16(_mm_loadl_epi64((const __m128i*)(line + 2 * p + 1)));
      const __m128i de = _mm_sub_epi16(r, we);
      const __m128i dd = _mm_sub_epi16(r, wo);
      even = _mm_add_epi32(even, _mm_madd_epi16(de, de));
      odd = _mm_add_epi32(odd, _mm_madd_epi16(dd, dd));
    }
    if (!AnyBelow(best, even, odd)) return false;
  }
  _mm_storeu_si128((__m128i*)costs, _mm_unpacklo_epi32(even, odd));        // 0 1 2 3
  _mm_storeu_si128((__m128i*)(costs + 4), _mm_unpackhi_epi32(even, odd));  // 4 5 6 7
  return true;
}

// Full cost of one candidate.
template <int kCols, int kLines>
uint32_t SingleCost(const uint8_t* cand, const uint8_t* reference, ptrdiff_t stride) {
  if (kCols == 16) {
    __m256i acc = _mm256_setzero_si256();
    for (int l = 0; l < kLines; ++l) {
      const __m256i c = _mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)(cand + l * stride)));
      const __m256i r =
          _mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)(reference + l * stride)));
      const __m256i d = _mm256_sub_epi16(r, c);              // d = reference - candidate
      acc = _mm256_add_epi32(acc, _mm256_madd_epi16(d, d));  // sum += d^2
    }
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
    return uint32_t(_mm_cvtsi128_si32(s));
  }
  __m128i acc = _mm_setzero_si128();
  for (int l = 0; l < kLines; ++l) {
    const __m128i c = _mm_cvtepu8_epi16(_mm_loadl_epi64((const __m128i*)(cand + l * stride)));
    const __m128i r =
        _mm_cvtepu8_epi16(_mm_loadl_epi64((const __m128i*)(reference + l * stride)));
    const __m128i d = _mm_sub_epi16(r, c);              // d = reference - candidate
    acc = _mm_add_epi32(acc, _mm_madd_epi16(d, d));  // sum += d^2
  }
  acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0x4E));
  acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0xB1));
  return uint32_t(_mm_cvtsi128_si32(acc));
}

// Keeps the first cost strictly below the best, in scan order.
inline void Pick(const uint32_t* costs, int n, int32_t row, int32_t col, WindowBest* best) {
  for (int k = 0; k < n; ++k) {
    if (costs[k] < best->cost) *best = {costs[k], row, col + k};
  }
}

// The best as a signed lane value: sums never reach 2^31, so a larger
// unsigned best compares like INT32_MAX.
inline int32_t BestLane(uint32_t best) { return best > 0x7FFFFFFFu ? 0x7FFFFFFF : int32_t(best); }

template <int kCols, int kLines>
WindowBest Scan(const uint8_t* candidate, ptrdiff_t row_step, const uint8_t* reference,
                ptrdiff_t stride, int32_t rows, int32_t cols, uint32_t start_best) {
  WindowBest best{start_best, 0, 0};
  // The cost kernels compare signed: a start above INT32_MAX reads as
  // negative, so the first candidate stops after one line and wins with
  // that partial sum (never beaten again by its own complete cost).
  if (start_best > 0x7FFFFFFFu && rows > 0 && cols > 0) {
    best.cost = SingleCost<kCols, 1>(candidate, reference, stride);
  }
  ReferencePairs<kCols, kLines> ref;
  if (cols >= 8) LoadReferencePairs(&ref, reference, stride);
  alignas(32) uint32_t costs[16];
  for (int32_t i = 0; i < rows; ++i) {
    const uint8_t* line = candidate + i * row_step;
    int32_t j = 0;
    for (; j + 16 <= cols; j += 16) {
      if (Costs16(line + j, stride, ref, _mm256_set1_epi32(BestLane(best.cost)), costs)) {
        Pick(costs, 16, i, j, &best);
      }
    }
    if (j + 8 <= cols) {
      if (Costs8(line + j, stride, ref, _mm_set1_epi32(BestLane(best.cost)), costs)) {
        Pick(costs, 8, i, j, &best);
      }
      j += 8;
    }
    for (; j < cols; ++j) {
      const uint32_t cost = SingleCost<kCols, kLines>(line + j, reference, stride);
      if (cost < best.cost) best = {cost, i, j};
    }
  }
  return best;
}

}  // namespace

WindowBest ScanCoarseWindow_avx2(const uint8_t* candidate, ptrdiff_t row_step,
                                 const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                                 int32_t cols, uint32_t start_best) {
  return Scan<8, 4>(candidate, row_step, reference, stride, rows, cols, start_best);
}

WindowBest ScanFineWindow_avx2(const uint8_t* candidate, ptrdiff_t row_step,
                               const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                               int32_t cols, uint32_t start_best) {
  return Scan<16, 8>(candidate, row_step, reference, stride, rows, cols, start_best);
}

}  // namespace vantrel
