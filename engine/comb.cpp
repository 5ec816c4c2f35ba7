#include "engine/comb.h"

#include <algorithm>
#include <cstring>

#include "engine/dsp.h"
#include "engine/lane_ops.h"

namespace vantrel {

const uint8_t comb_decision_table[32] = {
    0, 0, 0, 0, 0, 0, 0, 1,  // 7
    0, 0, 0, 0, 0, 0, 0, 1,  // 15
    0, 0, 0, 0, 0, 0, 1, 1,  // 22, 23
    0, 0, 0, 0, 1, 1, 1, 1,  // 28 .. 31
};

int16_t CombMetric(int32_t a, int32_t b, int32_t c) {
  // Exact in 16 bits: S lies in 0 .. 127.
  return int16_t((a - b) * (c - b) - (((c - a) * (c - a)) >> 4));
}

void PresetCombMask(uint8_t* comb_mask, uint32_t width, uint32_t height) {
  const size_t w = width;
  comb_mask[0] = 0xFF;
  for (uint32_t r = 0; r + 1 < height; ++r) std::memset(comb_mask + r * w + w - 4, 0xFF, 4);
  std::memset(comb_mask + (height - 1) * w + w - 4, 0xFF, 3);
}

namespace {

constexpr uint32_t kLanes = kCombGroupLanes;

// Vertical state of one column group, carried down the whole height.
struct GroupState {
  int32_t s_above2[kLanes];
  int32_t s_above1[kLanes];
  int32_t f_above2[kLanes];
  int32_t f_above1[kLanes];
  uint32_t history[kLanes];
};

// Scans the group whose lane j smooths columns j and j + 2 of `src`, rows
// 4 .. height. On every decision row where some lane decides, calls
// on_decision(row, hits, decide[4]); stops, returning true, when that
// returns false.
template <typename OnDecision>
bool ScanGroup(const uint8_t* src, size_t w, uint32_t height, int32_t threshold,
               OnDecision&& on_decision) {
  GroupState st;
  for (uint32_t j = 0; j < kLanes; ++j) {
    st.s_above2[j] = CombSmooth(src[4 * w + j], src[4 * w + j + 2]);
    st.s_above1[j] = CombSmooth(src[5 * w + j], src[5 * w + j + 2]);
    st.f_above2[j] = 0;
    st.f_above1[j] = 0;
    st.history[j] = 1;
  }
  for (uint32_t r = 6; r <= height; ++r) {
    const uint8_t* row = src + r * w;
    uint32_t hits = 0;
    int32_t s[kLanes], f[kLanes];
    for (uint32_t j = 0; j < kLanes; ++j) {
      s[j] = CombSmooth(row[j], row[j + 2]);
      f[j] = CombMetric(st.s_above2[j], st.s_above1[j], s[j]);
      const int16_t v = SatS16(SatS16(SatS16(2 * st.f_above1[j]) + st.f_above2[j]) + f[j]);
      const uint32_t flag = v > threshold ? 1 : 0;
      st.history[j] = ((st.history[j] << 1) & 0x1F) | flag;
      hits += flag;
    }
    if ((r & 1) == 0) {
      uint8_t decide[kLanes];
      bool any = false;
      for (uint32_t j = 0; j < kLanes; ++j) {
        decide[j] = comb_decision_table[st.history[j]];
        any |= decide[j] != 0;
      }
      if (any && !on_decision(r, hits, decide)) return true;
    }
    for (uint32_t j = 0; j < kLanes; ++j) {
      st.s_above2[j] = st.s_above1[j];
      st.s_above1[j] = s[j];
      st.f_above2[j] = st.f_above1[j];
      st.f_above1[j] = f[j];
    }
  }
  return false;
}

// Each deciding lane marks its centre column and one column to either side.
void MarkGroup(uint8_t* marks, const uint8_t* decide) {
  for (uint32_t j = 0; j < kLanes; ++j) {
    if (decide[j]) std::memset(marks + j, 0xFF, 3);
  }
}

// Clears the outputs and presets the border; returns count_scale.
int32_t StartDetection(uint8_t* comb_mask, uint8_t* block_comb_score, uint32_t width,
                       uint32_t height) {
  const uint32_t luma_size = width * height;
  std::memset(comb_mask, 0, luma_size);
  std::memset(block_comb_score, 0, size_t(width / 16) * (height / 16));
  PresetCombMask(comb_mask, width, height);
  return CombCountScale(luma_size);
}

}  // namespace

int32_t DetectCombing(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                      uint32_t width, uint32_t height, int32_t comb_threshold) {
  const size_t w = width;
  const uint32_t blocks_x = width / 16;
  const int32_t count_scale = StartDetection(comb_mask, block_comb_score, width, height);
  uint32_t combed_count = 0;
  const int32_t threshold = comb_threshold >> 1;
  const uint32_t groups = width / 4 - 1;
  for (uint32_t g = 0; g < groups; ++g) {
    const size_t x = 4 * size_t(g);
    const bool stopped = ScanGroup(
        src_y + x, w, height, threshold, [&](uint32_t r, uint32_t hits, const uint8_t* decide) {
          combed_count += hits;
          if (CombLimitPassed(combed_count, count_scale)) return false;
          MarkGroup(comb_mask + (r - 4) * w + x, decide);
          uint8_t& score = block_comb_score[((r - 1) >> 4) * blocks_x + ((g + 1) >> 2)];
          score = uint8_t(score + hits);
          return true;
        });
    if (stopped) return 1;
  }
  return 0;
}

uint32_t ScanCombStrip(const CombStrip& s) {
  uint32_t total = 0;
  for (uint32_t x = 0; x < s.lanes && total < s.budget; x += kLanes) {
    ScanGroup(s.src + x, s.pitch, s.height, s.threshold,
              [&](uint32_t r, uint32_t hits, const uint8_t* decide) {
                MarkGroup(s.mask + (r - 4) * s.pitch + x, decide);
                for (uint32_t k = 0; k < s.columns; ++k) {
                  if (s.column_lanes[k * s.lanes + x] == 0) continue;
                  uint8_t& score = s.scores[((r - 1) >> 4) * s.score_pitch + k];
                  score = uint8_t(score + hits);
                  total += hits;
                }
                return true;
              });
  }
  return total;
}

CombStrip CombStripAt(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                      uint32_t width, uint32_t height, int32_t comb_threshold, uint32_t lanes,
                      uint32_t first, uint32_t counted_from, uint16_t* column_lanes,
                      uint32_t budget) {
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
  return CombStrip{src_y + first,
                   comb_mask + first,
                   width,
                   height,
                   int16_t(threshold),
                   lanes,
                   columns,
                   column_lanes,
                   block_comb_score + first_column,
                   size_t(width / 16),
                   budget};
}

int32_t DetectCombing(const EngineDsp& dsp, uint8_t* comb_mask, uint8_t* block_comb_score,
                      const uint8_t* src_y, uint32_t width, uint32_t height,
                      int32_t comb_threshold) {
  const uint32_t lanes = dsp.comb.strip_lanes;
  const uint32_t all_lanes = width - 4;
  if (all_lanes < lanes || lanes > kCombStripMaxLanes) {
    return DetectCombing(comb_mask, block_comb_score, src_y, width, height, comb_threshold);
  }
  const int32_t count_scale = StartDetection(comb_mask, block_comb_score, width, height);
  uint16_t column_lanes[kCombStripMaxColumns * kCombStripMaxLanes];
  // The count only grows, so "passes after some decision row" is "passes
  // after some strip": the verdict does not depend on the order of counting.
  const uint32_t passing = CombFirstPassingCount(count_scale);
  uint32_t combed_count = 0;
  for (uint32_t next = 0; next < all_lanes; next += lanes) {
    // The last strip moves left to end on the last lane; the lanes it shares
    // with the strip before are marked again (the same bytes) but not counted.
    const uint32_t first = std::min(next, all_lanes - lanes);
    const CombStrip strip =
        CombStripAt(comb_mask, block_comb_score, src_y, width, height, comb_threshold, lanes,
                    first, next - first, column_lanes, passing - combed_count);
    combed_count += dsp.comb.strip(strip);
    if (combed_count >= passing) return 1;
  }
  return 0;
}

}  // namespace vantrel
