// Comb detector: finds where the two fields of the frame disagree, marks the
// even rows to rebuild, scores each 16 x 16 block and decides whether the
// whole frame is combed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

struct EngineDsp;

// Indexed by a lane's 5-bit flag history (bit 0 = newest processed row).
extern const uint8_t comb_decision_table[32];

// The whole-frame verdict: the frame is combed once combed_count *
// count_scale passes kCombLimit, count_scale being kCombScaleNumerator /
// luma_size (so the limit is about a quarter of the frame's samples).
constexpr uint32_t kCombScaleNumerator = 268435456;  // 2^28
constexpr int32_t kCombLimit = 67108864;             // 2^26

// Lanes of one column group; lane j of the group at column x is centred on
// column x + j + 1.
constexpr uint32_t kCombGroupLanes = 4;

// Returns 1 when the frame counts as combed throughout (the scan stops
// there, leaving partial marks and scores), else 0. Reads src_y rows
// 4 .. height, so row `height` (the `width` bytes after the luma plane) must
// be readable. Clears and fills comb_mask (width * height bytes) and
// block_comb_score ((width / 16) * (height / 16) bytes).
int32_t DetectCombing(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                      uint32_t width, uint32_t height, int32_t comb_threshold);

// The same with the table's strip kernel: the verdict, and for a frame that
// is not combed every mark and score, equal DetectCombing's. A combed
// frame's partial buffers differ (nothing reads them).
int32_t DetectCombing(const EngineDsp& dsp, uint8_t* comb_mask, uint8_t* block_comb_score,
                      const uint8_t* src_y, uint32_t width, uint32_t height,
                      int32_t comb_threshold);

// A vertical strip of `lanes` consecutive lanes (whole groups) scanned from
// row 4 to row `height`; lane 0 smooths columns 0 and 2 of `src`.
struct CombStrip {
  const uint8_t* src;   // src_y + the strip's first column
  uint8_t* mask;        // comb_mask + the same column: marks are OR-ed in
  size_t pitch;         // the plane's width
  uint32_t height;
  int16_t threshold;    // comb_threshold >> 1, held in 16 bits
  uint32_t lanes;
  // Lane l's hits count toward block column k (0 .. columns - 1) when
  // column_lanes[k * lanes + l] is 0xFFFF; a lane counted by the strip
  // before has 0 everywhere.
  uint32_t columns;
  const uint16_t* column_lanes;
  uint8_t* scores;      // block_comb_score of block row 0, block column k = 0
  size_t score_pitch;   // blocks per row
  // The strip may stop early once it has counted this many hits: the frame
  // is then combed, and its partial marks and scores are not read.
  uint32_t budget;
};

// The largest strip the driver lays out, and the block columns it can touch.
constexpr uint32_t kCombStripMaxLanes = 32;
constexpr uint32_t kCombStripMaxColumns = kCombStripMaxLanes / 16 + 1;

// Lays out the strip that starts at lane `first` for a kernel of `lanes`
// lanes; lanes before `counted_from` (relative) were counted by the strip
// before. column_lanes must hold kCombStripMaxColumns * lanes entries.
CombStrip CombStripAt(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                      uint32_t width, uint32_t height, int32_t comb_threshold, uint32_t lanes,
                      uint32_t first, uint32_t counted_from, uint16_t* column_lanes,
                      uint32_t budget);

// Strip kernel (scalar version): ORs the strip's marks into its mask and adds
// its counted hits to the scores (modulo 256); returns the hits it counted,
// all of them unless it stopped on reaching the budget (the scalar kernel
// checks after each group, the SIMD ones after each block row). Reads rows
// 4 .. height of columns 0 .. lanes + 1; marks rows 4 .. height - 4 of
// columns 0 .. lanes + 1.
uint32_t ScanCombStrip(const CombStrip& strip);

// Pieces of the per-lane arithmetic, shared with the tests.
inline int32_t CombSmooth(uint8_t left, uint8_t right) { return (left + right) >> 2; }
int16_t CombMetric(int32_t above2, int32_t above1, int32_t current);

// The preset border of comb_mask and the whole-frame count scale.
void PresetCombMask(uint8_t* comb_mask, uint32_t width, uint32_t height);
inline int32_t CombCountScale(uint32_t luma_size) {
  return int32_t(kCombScaleNumerator / luma_size);
}
inline bool CombLimitPassed(uint32_t combed_count, int32_t count_scale) {
  return int32_t(combed_count * uint32_t(count_scale)) > kCombLimit;
}
// The smallest count that passes the limit (none for frames too large to
// have a scale).
inline uint32_t CombFirstPassingCount(int32_t count_scale) {
  return count_scale > 0 ? uint32_t(kCombLimit / count_scale) + 1 : UINT32_MAX;
}

}  // namespace vantrel
