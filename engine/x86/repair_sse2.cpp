// SSE2 window scans of the motion search (engine/repair.h).
//
// As in repair_avx2.cpp, with 8 candidates per group: for block column pair
// (2p, 2p + 1), the 8 bytes at column j + 2p of a candidate line, widened
// to 16-bit lanes, hold the pair of candidates j, j + 2, j + 4, j + 6 in
// its 32-bit lanes; one multiply-add against the broadcast reference pair
// adds d(2p)^2 + d(2p + 1)^2 to all four, and the load one byte further
// does the odd candidates. A group stops after a block line once none of its
// running sums is below the best; the winners are picked in scan order with
// complete costs. Leftovers take the one-candidate path. Every load stays
// within the window's candidates.
#include <emmintrin.h>

#include "engine/x86/dsp_x86.h"

namespace vantrel {
namespace {

// r[l][2p] | r[l][2p + 1] << 16 in every lane.
template <int kCols, int kLines>
struct ReferencePairs {
  __m128i pair[kLines][kCols / 2];
};

template <int kCols, int kLines>
void LoadReferencePairs(ReferencePairs<kCols, kLines>* ref, const uint8_t* reference,
                        ptrdiff_t stride) {
  for (int l = 0; l < kLines; ++l) {
    const uint8_t* r = reference + l * stride;
    for (int p = 0; p < kCols / 2; ++p) {
      ref->pair[l][p] = _mm_set1_epi32(int32_t(r[2 * p]) | (int32_t(r[2 * p + 1]) << 16));
    }
  }
}

inline __m128i LoadWidened8(const uint8_t* p) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)p), _mm_setzero_si128());
}

// Full costs of candidates 0 .. 7 at `cand` into costs[], or false when
// none of them can beat `best` (checked after every line, the last too).
template <int kCols, int kLines>
bool Costs8(const uint8_t* cand, ptrdiff_t stride, const ReferencePairs<kCols, kLines>& ref,
            __m128i best, uint32_t* costs) {
  __m128i even = _mm_setzero_si128(), odd = _mm_setzero_si128();
  for (int l = 0; l < kLines; ++l) {
    const uint8_t* line = cand + l * stride;
#pragma GCC unroll 8
    for (int p = 0; p < kCols / 2; ++p) {
      // lane k: (c[2k + 2p], c[2k + 2p + 1]), then the same one column on
      const __m128i de = _mm_sub_epi16(ref.pair[l][p], LoadWidened8(line + 2 * p));
      const __m128i dd = _mm_sub_epi16(ref.pair[l][p], LoadWidened8(line + 2 * p + 1));
      even = _mm_add_epi32(even, _mm_madd_epi16(de, de));  // sum += d^2 + d'^2
      odd = _mm_add_epi32(odd, _mm_madd_epi16(dd, dd));
    }
    const __m128i below = _mm_or_si128(_mm_cmpgt_epi32(best, even), _mm_cmpgt_epi32(best, odd));
    if (_mm_movemask_epi8(below) == 0) return false;
  }
  _mm_storeu_si128((__m128i*)costs, _mm_unpacklo_epi32(even, odd));        // 0 1 2 3
  _mm_storeu_si128((__m128i*)(costs + 4), _mm_unpackhi_epi32(even, odd));  // 4 5 6 7
  return true;
}

// Full cost of one candidate (its first `kLines` lines).
template <int kCols, int kLines>
uint32_t SingleCost(const uint8_t* cand, const uint8_t* reference, ptrdiff_t stride) {
  __m128i acc = _mm_setzero_si128();
  for (int l = 0; l < kLines; ++l) {
    for (int x = 0; x < kCols; x += 8) {
      // d = reference - candidate; sum += d^2
      const __m128i d = _mm_sub_epi16(LoadWidened8(reference + l * stride + x),
                                      LoadWidened8(cand + l * stride + x));
      acc = _mm_add_epi32(acc, _mm_madd_epi16(d, d));
    }
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
  uint32_t costs[8];
  for (int32_t i = 0; i < rows; ++i) {
    const uint8_t* line = candidate + i * row_step;
    int32_t j = 0;
    for (; j + 8 <= cols; j += 8) {
      if (Costs8(line + j, stride, ref, _mm_set1_epi32(BestLane(best.cost)), costs)) {
        Pick(costs, 8, i, j, &best);
      }
    }
    for (; j < cols; ++j) {
      const uint32_t cost = SingleCost<kCols, kLines>(line + j, reference, stride);
      if (cost < best.cost) best = {cost, i, j};
    }
  }
  return best;
}

}  // namespace

WindowBest ScanCoarseWindow_sse2(const uint8_t* candidate, ptrdiff_t row_step,
                                 const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                                 int32_t cols, uint32_t start_best) {
  return Scan<8, 4>(candidate, row_step, reference, stride, rows, cols, start_best);
}

WindowBest ScanFineWindow_sse2(const uint8_t* candidate, ptrdiff_t row_step,
                               const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                               int32_t cols, uint32_t start_best) {
  return Scan<16, 8>(candidate, row_step, reference, stride, rows, cols, start_best);
}

}  // namespace vantrel
