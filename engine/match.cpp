#include "engine/match.h"

#include "engine/dsp.h"

namespace vantrel {

void DecimateLine(uint8_t* dst, const uint8_t* src, size_t width) {
  for (size_t c = 0; c < width; ++c) dst[c] = src[2 * c];
}

void DecimatePlane(const EngineDsp& dsp, uint8_t* dst, const uint8_t* src, uint32_t width,
                   uint32_t height) {
  const size_t w = width;
  const size_t out_w = w / 2;
  for (uint32_t r = 0; r < height / 4; ++r) {
    dsp.match.decimate_line(dst + r * out_w, src + 4 * size_t(r) * w, out_w);
  }
}

void DecimatePlane(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height) {
  DecimatePlane(ScalarEngineDsp(), dst, src, width, height);
}

template <int kCols, int kLines>
static inline uint32_t BlockSsd(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                                ptrdiff_t stride) {
  uint32_t sum = 0;
  for (int k = 0; k < kLines; ++k) {
    for (int x = 0; x < kCols; ++x) {
      const int32_t d = int32_t(reference[x]) - int32_t(candidate[x]);
      sum += uint32_t(d * d);
    }
    if (int32_t(sum) >= best) return sum;
    candidate += stride;
    reference += stride;
  }
  return sum;
}

uint32_t BlockCostCoarse(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                         ptrdiff_t stride) {
  return BlockSsd<8, 4>(candidate, reference, best, stride);
}

uint32_t BlockCost(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                   ptrdiff_t stride) {
  return BlockSsd<16, 8>(candidate, reference, best, stride);
}

template <uint32_t (*Cost)(const uint8_t*, const uint8_t*, int32_t, ptrdiff_t)>
static WindowBest ScanWindow(const uint8_t* candidate, ptrdiff_t row_step,
                             const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                             int32_t cols, uint32_t start_best) {
  WindowBest best{start_best, 0, 0};
  for (int32_t i = 0; i < rows; ++i) {
    const uint8_t* line = candidate + i * row_step;
    for (int32_t j = 0; j < cols; ++j) {
      const uint32_t cost = Cost(line + j, reference, int32_t(best.cost), stride);
      if (cost < best.cost) best = {cost, i, j};
    }
  }
  return best;
}

WindowBest ScanCoarseWindow(const uint8_t* candidate, ptrdiff_t row_step,
                            const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                            int32_t cols, uint32_t start_best) {
  return ScanWindow<BlockCostCoarse>(candidate, row_step, reference, stride, rows, cols,
                                     start_best);
}

WindowBest ScanFineWindow(const uint8_t* candidate, ptrdiff_t row_step,
                          const uint8_t* reference, ptrdiff_t stride, int32_t rows, int32_t cols,
                          uint32_t start_best) {
  return ScanWindow<BlockCost>(candidate, row_step, reference, stride, rows, cols, start_best);
}

}  // namespace vantrel
