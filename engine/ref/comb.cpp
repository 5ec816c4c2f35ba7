#include "engine/ref/comb.h"

#include <cstring>

#include "engine/comb.h"
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
// 4 .. height - 1 `pitch` apart and row `height` at last_row. On every
// decision row where some lane decides, calls on_decision(row, hits,
// decide[4]); stops, returning true, when that returns false.
template <typename OnDecision>
bool ScanGroup(const uint8_t* src, ptrdiff_t pitch, const uint8_t* last_row, uint32_t height,
               int32_t threshold, OnDecision&& on_decision) {
  GroupState st;
  for (uint32_t j = 0; j < kLanes; ++j) {
    st.s_above2[j] = CombSmooth(src[4 * pitch + j], src[4 * pitch + j + 2]);
    st.s_above1[j] = CombSmooth(src[5 * pitch + j], src[5 * pitch + j + 2]);
    st.f_above2[j] = 0;
    st.f_above1[j] = 0;
    st.history[j] = 1;
  }
  // One processed row; false once on_decision asks to stop.
  const auto process = [&](uint32_t r, const uint8_t* row) {
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
      if (any && !on_decision(r, hits, decide)) return false;
    }
    for (uint32_t j = 0; j < kLanes; ++j) {
      st.s_above2[j] = st.s_above1[j];
      st.s_above1[j] = s[j];
      st.f_above2[j] = st.f_above1[j];
      st.f_above1[j] = f[j];
    }
    return true;
  };
  for (uint32_t r = 6; r < height; ++r) {
    if (!process(r, src + ptrdiff_t(r) * pitch)) return true;
  }
  if (!process(height, last_row)) return true;
  return false;
}

// Each deciding lane marks its centre column and one column to either side.
void MarkGroup(uint8_t* marks, const uint8_t* decide) {
  for (uint32_t j = 0; j < kLanes; ++j) {
    if (decide[j]) std::memset(marks + j, 0xFF, 3);
  }
}

}  // namespace

bool DetectCombingByGroups(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                           uint32_t width, uint32_t height, int32_t comb_threshold) {
  const size_t w = width;
  const uint32_t blocks_x = width / 16;
  StartCombDetection(comb_mask, block_comb_score, width, height);
  const int32_t count_scale = CombCountScale(width * height);
  uint32_t combed_count = 0;
  const int32_t threshold = comb_threshold >> 1;
  const uint32_t groups = width / 4 - 1;
  for (uint32_t g = 0; g < groups; ++g) {
    const size_t x = 4 * size_t(g);
    const bool stopped = ScanGroup(
        src_y + x, ptrdiff_t(w), src_y + height * w + x, height, threshold,
        [&](uint32_t r, uint32_t hits, const uint8_t* decide) {
          combed_count += hits;
          if (CombLimitPassed(combed_count, count_scale)) return false;
          MarkGroup(comb_mask + (r - 4) * w + x, decide);
          uint8_t& score = block_comb_score[((r - 1) >> 4) * blocks_x + ((g + 1) >> 2)];
          score = uint8_t(score + hits);
          return true;
        });
    if (stopped) return true;
  }
  return false;
}

uint32_t ScanCombStrip(const CombStrip& s) {
  uint32_t total = 0;
  for (uint32_t x = 0; x < s.lanes && total < s.budget; x += kLanes) {
    ScanGroup(s.src + x, s.pitch, s.last_row + x, s.height, s.threshold,
              [&](uint32_t r, uint32_t hits, const uint8_t* decide) {
                MarkGroup(s.mask + ptrdiff_t(r - 4) * s.mask_pitch + x, decide);
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

}  // namespace vantrel
