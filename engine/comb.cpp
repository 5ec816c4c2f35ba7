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

namespace {

// The table whose strips fit the frame: a frame narrower than a strip takes
// the scalar kernel, whose strip is one group.
const CombKernels& KernelsFor(const EngineDsp& dsp, uint32_t width) {
  const uint32_t all_lanes = width - 4;
  const bool fits = dsp.comb.strip_lanes <= all_lanes && dsp.comb.strip_lanes <= kCombStripMaxLanes;
  return fits ? dsp.comb : ScalarEngineDsp().comb;
}

constexpr size_t kStateAlign = 64;

// The scratch of one strip: its layout, which lanes count toward which
// block column, and its state.
struct StripScratch {
  CombStrip strip;
  alignas(kStateAlign) uint16_t column_lanes[kCombStripMaxColumns * kCombStripMaxLanes];
  alignas(kStateAlign) uint8_t state[kCombStateBytesPerLane * kCombStripMaxLanes];
};

uint32_t StripCount(uint32_t width, uint32_t lanes) { return (width - 4 + lanes - 1) / lanes; }

// Mask rows the detector never marks: 0x00 but for the preset.
void ClearRow(uint8_t* row, uint32_t width, uint32_t preset) {
  std::memset(row, 0, width);
  std::memset(row + width - 4, 0xFF, preset);
}

}  // namespace

size_t CombScratchBytes(const EngineDsp& dsp, uint32_t width) {
  return StripCount(width, KernelsFor(dsp, width).strip_lanes) * sizeof(StripScratch) +
         kStateAlign;
}

CombStrip CombStripAt(uint8_t* comb_mask, uint8_t* block_comb_score, ConstPlane src_y,
                      const uint8_t* last_row, uint32_t width, uint32_t height,
                      int32_t comb_threshold, uint32_t lanes, uint32_t first,
                      uint32_t counted_from, uint16_t* column_lanes, void* state) {
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
  strip.state = state;
  return strip;
}

bool DetectCombing(const EngineDsp& dsp, void* scratch, uint8_t* comb_mask,
                   uint8_t* block_comb_score, ConstPlane src_y, const uint8_t* last_row,
                   uint32_t width, uint32_t height, int32_t comb_threshold,
                   const RowsReady* ready) {
  const CombKernels& comb = KernelsFor(dsp, width);
  const uint32_t lanes = comb.strip_lanes;
  const uint32_t all_lanes = width - 4;
  const uint32_t count = StripCount(width, lanes);
  const uintptr_t at = reinterpret_cast<uintptr_t>(scratch);
  StripScratch* const strips =
      reinterpret_cast<StripScratch*>((at + kStateAlign - 1) / kStateAlign * kStateAlign);
  for (uint32_t s = 0; s < count; ++s) {
    // The last strip moves left to end on the last lane; the lanes it shares
    // with the strip before are marked again (the same bytes) but not counted.
    const uint32_t next = s * lanes;
    const uint32_t first = std::min(next, all_lanes - lanes);
    strips[s].strip = CombStripAt(comb_mask, block_comb_score, src_y, last_row, width, height,
                                  comb_threshold, lanes, first, next - first,
                                  strips[s].column_lanes, strips[s].state);
  }
  const size_t w = width;
  std::memset(block_comb_score, 0, size_t(width / 16) * (height / 16));
  // Rows 0, 1, height - 2 and height - 1 are never marked; the strips write
  // all others but their last four columns, always rebuilt (the byte at
  // row 0, column 0 and those of the last row are read by no kernel).
  ClearRow(comb_mask, width, 4);
  comb_mask[0] = 0xFF;
  ClearRow(comb_mask + w, width, 4);
  ClearRow(comb_mask + (height - 2) * w, width, 4);
  ClearRow(comb_mask + (height - 1) * w, width, 3);
  // The count only grows, so "passes after some decision row" is "passes
  // after some strip": the verdict does not depend on the order of counting.
  const uint32_t passing = CombFirstPassingCount(CombCountScale(width * height));
  uint32_t combed_count = 0;
  for (uint32_t band = 0; band < height / kCombBandRows; ++band) {
    // Band k scans rows up to 16k + 16.
    if (ready) ready->make(ready->context, std::min(height, kCombBandRows * (band + 1) + 1));
    // Mask rows this band writes: 2 .. 13 for band 0, 16 band - 2 on.
    const uint32_t top = band == 0 ? 2 : kCombBandRows * band - 2;
    const uint32_t bottom = kCombBandRows * band + 14;
    for (uint32_t r = top; r < bottom; ++r) std::memset(comb_mask + r * w + w - 4, 0xFF, 4);
    // Right to left: a strip ORs its spill into its right neighbour's
    // columns after that has written them.
    for (uint32_t s = count; s-- > 0;) {
      combed_count += comb.strip(strips[s].strip, band);
      if (combed_count >= passing) return true;
    }
  }
  return false;
}

}  // namespace vantrel
