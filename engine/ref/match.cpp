#include "engine/ref/match.h"

namespace vantrel {

void DecimateLine(uint8_t* dst, const uint8_t* src, size_t width) {
  for (size_t c = 0; c < width; ++c) dst[c] = src[2 * c];
}

template <int kCols, int kLines>
static inline uint32_t BlockSsd(const uint8_t* candidate, ptrdiff_t candidate_stride,
                                const uint8_t* reference, ptrdiff_t reference_stride,
                                int32_t best) {
  uint32_t sum = 0;
  for (int k = 0; k < kLines; ++k) {
    for (int x = 0; x < kCols; ++x) {
      const int32_t d = int32_t(reference[x]) - int32_t(candidate[x]);
      sum += uint32_t(d * d);
    }
    if (int32_t(sum) >= best) return sum;
    candidate += candidate_stride;
    reference += reference_stride;
  }
  return sum;
}

uint32_t BlockCostCoarse(const uint8_t* candidate, ptrdiff_t candidate_stride,
                         const uint8_t* reference, ptrdiff_t reference_stride, int32_t best) {
  return BlockSsd<8, 4>(candidate, candidate_stride, reference, reference_stride, best);
}

uint32_t BlockCost(const uint8_t* candidate, ptrdiff_t candidate_stride,
                   const uint8_t* reference, ptrdiff_t reference_stride, int32_t best) {
  return BlockSsd<16, 8>(candidate, candidate_stride, reference, reference_stride, best);
}

template <BlockCostFn Cost>
static WindowBest ScanWindow(const uint8_t* candidate, ptrdiff_t row_step,
                             ptrdiff_t candidate_stride, const uint8_t* reference,
                             ptrdiff_t reference_stride, int32_t rows, int32_t cols,
                             uint32_t start_best) {
  WindowBest best{start_best, 0, 0};
  for (int32_t i = 0; i < rows; ++i) {
    const uint8_t* line = candidate + i * row_step;
    for (int32_t j = 0; j < cols; ++j) {
      const uint32_t cost =
          Cost(line + j, candidate_stride, reference, reference_stride, int32_t(best.cost));
      if (cost < best.cost) best = {cost, i, j};
    }
  }
  return best;
}

WindowBest ScanCoarseWindow(const uint8_t* candidate, ptrdiff_t row_step,
                            ptrdiff_t candidate_stride, const uint8_t* reference,
                            ptrdiff_t reference_stride, int32_t rows, int32_t cols,
                            uint32_t start_best) {
  return ScanWindow<BlockCostCoarse>(candidate, row_step, candidate_stride, reference,
                                     reference_stride, rows, cols, start_best);
}

WindowBest ScanFineWindow(const uint8_t* candidate, ptrdiff_t row_step,
                          ptrdiff_t candidate_stride, const uint8_t* reference,
                          ptrdiff_t reference_stride, int32_t rows, int32_t cols,
                          uint32_t start_best) {
  return ScanWindow<BlockCost>(candidate, row_step, candidate_stride, reference,
                               reference_stride, rows, cols, start_best);
}

}  // namespace vantrel
