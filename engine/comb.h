// Comb detector: finds where the two fields of the frame disagree, marks the
// even rows to rebuild, scores each 16 x 16 block and decides whether the
// whole frame is combed.
#pragma once

#include <cstdint>

namespace vantrel {

// Indexed by a lane's 5-bit flag history (bit 0 = newest processed row).
extern const uint8_t comb_decision_table[32];

// Returns 1 when the frame counts as combed throughout (the scan stops
// there, leaving partial marks and scores), else 0. Reads src_y rows
// 4 .. height, so row `height` (the `width` bytes after the luma plane) must
// be readable. Clears and fills comb_mask (width * height bytes) and
// block_comb_score ((width / 16) * (height / 16) bytes).
int32_t DetectCombing(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                      uint32_t width, uint32_t height, int32_t comb_threshold);

// Pieces of the per-lane arithmetic, shared with the SIMD tails and tests.
inline int32_t CombSmooth(uint8_t left, uint8_t right) { return (left + right) >> 2; }
int16_t CombMetric(int32_t above2, int32_t above1, int32_t current);

// The preset border of comb_mask and the whole-frame count scale.
void PresetCombMask(uint8_t* comb_mask, uint32_t width, uint32_t height);
inline int32_t CombCountScale(uint32_t luma_size) { return int32_t(268435456u / luma_size); }
inline bool CombLimitPassed(uint32_t combed_count, int32_t count_scale) {
  return int32_t(combed_count * uint32_t(count_scale)) > 67108864;
}

}  // namespace vantrel
