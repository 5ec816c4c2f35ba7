#include "engine/comb.h"

#include <algorithm>
#include <cstring>

#include "engine/dsp.h"

namespace vantrel {

void StartCombDetection(uint8_t* comb_mask, uint8_t* block_comb_score, uint32_t width,
                        uint32_t height) {
  const size_t w = width;
  std::memset(comb_mask, 0, w * height);
  std::memset(block_comb_score, 0, size_t(width / 16) * (height / 16));
  // The last four columns of every row are always rebuilt (the byte at row
  // 0, column 0 and those of the last row are read by no kernel).
  comb_mask[0] = 0xFF;
  for (uint32_t r = 0; r + 1 < height; ++r) std::memset(comb_mask + r * w + w - 4, 0xFF, 4);
  std::memset(comb_mask + (height - 1) * w + w - 4, 0xFF, 3);
}

CombStrip CombStripAt(uint8_t* comb_mask, uint8_t* block_comb_score, ConstPlane src_y,
                      const uint8_t* last_row, uint32_t width, uint32_t height,
                      int32_t comb_threshold, uint32_t lanes, uint32_t first,
                      uint32_t counted_from, uint16_t* column_lanes, uint32_t budget) {
  // Group g scores toward block column (g + 1) >> 2, so lane l (of group
  // l / 4) toward (l + 4) >> 4.
  const uint32_t first_column = (first + counted_from + 4) >> 4;
  uint32_t columns = 0;
  for (uint32_t k = 0; k < kCombStripMaxColumns; ++k) {
    for (uint32_t i = 0; i < lanes; ++i) {
      const bool counted = i >= counted_from && (first + i + 4) >> 4 == first_column + k;
      column_lanes[k * lanes + i] = counted ? 0xFFFF : 0;
      if (counted) columns = k + 1;
    }
  }
  // V lies in -20160 .. 32767 (F >= -5040), so a threshold held in 16 bits
  // flags exactly the lanes the full one does.
  const int32_t threshold = std::clamp(comb_threshold >> 1, -32768, 32767);
  CombStrip strip;
  strip.src = src_y.data + first;
  strip.pitch = src_y.pitch;
  strip.last_row = last_row + first;
  strip.mask = comb_mask + first;
  strip.mask_pitch = ptrdiff_t(width);
  strip.height = height;
  strip.threshold = int16_t(threshold);
  strip.lanes = lanes;
  strip.columns = columns;
  strip.column_lanes = column_lanes;
  strip.scores = block_comb_score + first_column;
  strip.score_pitch = width / 16;
  strip.budget = budget;
  return strip;
}

bool DetectCombing(const EngineDsp& dsp, uint8_t* comb_mask, uint8_t* block_comb_score,
                   ConstPlane src_y, const uint8_t* last_row, uint32_t width, uint32_t height,
                   int32_t comb_threshold) {
  const uint32_t all_lanes = width - 4;
  // A frame narrower than the table's strip takes the scalar kernel, whose
  // strip is one group.
  const bool fits = dsp.comb.strip_lanes <= all_lanes && dsp.comb.strip_lanes <= kCombStripMaxLanes;
  const CombKernels& comb = fits ? dsp.comb : ScalarEngineDsp().comb;
  const uint32_t lanes = comb.strip_lanes;
  StartCombDetection(comb_mask, block_comb_score, width, height);
  uint16_t column_lanes[kCombStripMaxColumns * kCombStripMaxLanes];
  // The count only grows, so "passes after some decision row" is "passes
  // after some strip": the verdict does not depend on the order of counting.
  const uint32_t passing = CombFirstPassingCount(CombCountScale(width * height));
  uint32_t combed_count = 0;
  for (uint32_t next = 0; next < all_lanes; next += lanes) {
    // The last strip moves left to end on the last lane; the lanes it shares
    // with the strip before are marked again (the same bytes) but not counted.
    const uint32_t first = std::min(next, all_lanes - lanes);
    const CombStrip strip =
        CombStripAt(comb_mask, block_comb_score, src_y, last_row, width, height, comb_threshold,
                    lanes, first, next - first, column_lanes, passing - combed_count);
    combed_count += comb.strip(strip);
    if (combed_count >= passing) return true;
  }
  return false;
}

}  // namespace vantrel
