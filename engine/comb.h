// Comb detector: finds where the two fields of the frame disagree, marks the
// even rows to rebuild, scores each 16 x 16 block and decides whether the
// whole frame is combed. The driver lays the frame out in strips for the
// table's strip kernel (engine/ref/comb.h has the scalar one).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/planes.h"

namespace vantrel {

struct EngineDsp;
struct CombStrip;

// The whole-frame verdict: the frame is combed once combed_count *
// count_scale passes kCombLimit, count_scale being kCombScaleNumerator /
// luma_size (so the limit is about a quarter of the frame's samples).
constexpr uint32_t kCombScaleNumerator = 268435456;  // 2^28
constexpr int32_t kCombLimit = 67108864;             // 2^26

// Lanes of one column group; lane j of the group at column x is centred on
// column x + j + 1.
constexpr uint32_t kCombGroupLanes = 4;

// True when the frame counts as combed throughout (the scan stops there,
// leaving partial marks and scores that nothing reads). Reads src_y rows
// 4 .. height - 1 and, as row `height`, the `width` bytes at last_row, in
// bands of 16 rows, each from left to right in strips. Writes all of
// comb_mask (width * height bytes, pitch width) and block_comb_score
// ((width / 16) * (height / 16) bytes). `scratch` holds
// CombScratchBytes(dsp, width) bytes: the strips' layout and their state
// from one band to the next.
// With `ready`, src_y's rows are made as the scan needs them: before each
// band, ready->make(ready->context, rows) must make rows 0 .. rows - 1, so
// that a frame found combed throughout makes only the rows scanned so far.
struct RowsReady {
  void (*make)(void* context, uint32_t rows);
  void* context;
};
bool DetectCombing(const EngineDsp& dsp, void* scratch, uint8_t* comb_mask,
                   uint8_t* block_comb_score, ConstPlane src_y, const uint8_t* last_row,
                   uint32_t width, uint32_t height, int32_t comb_threshold,
                   const RowsReady* ready = nullptr);
size_t CombScratchBytes(const EngineDsp& dsp, uint32_t width);

// The largest strip the driver lays out, and the block columns it can touch.
constexpr uint32_t kCombStripMaxLanes = 32;
constexpr uint32_t kCombStripMaxColumns = kCombStripMaxLanes / 16 + 1;

// Lays out the strip that starts at lane `first` for a kernel of `lanes`
// lanes; lanes before `counted_from` (relative) were counted by the strip
// before. column_lanes must hold kCombStripMaxColumns * lanes entries, state
// kCombStateBytesPerLane * lanes bytes (64-byte aligned).
CombStrip CombStripAt(uint8_t* comb_mask, uint8_t* block_comb_score, ConstPlane src_y,
                      const uint8_t* last_row, uint32_t width, uint32_t height,
                      int32_t comb_threshold, uint32_t lanes, uint32_t first,
                      uint32_t counted_from, uint16_t* column_lanes, void* state);

// Clears comb_mask and block_comb_score and presets the mask's border (for
// the group-by-group reference scan).
void StartCombDetection(uint8_t* comb_mask, uint8_t* block_comb_score, uint32_t width,
                        uint32_t height);
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
