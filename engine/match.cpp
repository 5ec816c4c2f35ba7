#include "engine/match.h"

namespace vantrel {

void DecimatePlane(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height) {
  const size_t w = width;
  const size_t out_w = w / 2;
  for (uint32_t r = 0; r < height / 4; ++r) {
    const uint8_t* line = src + 4 * size_t(r) * w;
    uint8_t* out = dst + r * out_w;
    for (size_t c = 0; c < out_w; ++c) out[c] = line[2 * c];
  }
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

}  // namespace vantrel
