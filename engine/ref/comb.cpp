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
  int16_t s_above2[kLanes];
  int16_t s_above1[kLanes];
  int16_t f_above2[kLanes];
  int16_t f_above1[kLanes];
  uint16_t history[kLanes];
};
static_assert(sizeof(GroupState) <= kCombStateBytesPerLane * kLanes, "state of a strip's group");

// Rows 4 and 5: the two rows above the first processed row.
void StartGroup(GroupState& st, const uint8_t* src, ptrdiff_t pitch) {
  for (uint32_t j = 0; j < kLanes; ++j) {
    st.s_above2[j] = int16_t(CombSmooth(src[4 * pitch + j], src[4 * pitch + j + 2]));
    st.s_above1[j] = int16_t(CombSmooth(src[5 * pitch + j], src[5 * pitch + j + 2]));
    st.f_above2[j] = 0;
    st.f_above1[j] = 0;
    st.history[j] = 1;
  }
}

// Processed rows `from` .. `to` of the group whose lane j smooths columns j
// and j + 2 of `src`, rows 4 .. height - 1 `pitch` apart and row `height`
// at last_row. On every decision row calls on_decision(row, hits,
// decide[4], any lane decides); stops, returning true, when that returns
// false.
template <typename OnDecision>
bool ScanRows(GroupState& st, const uint8_t* src, ptrdiff_t pitch, const uint8_t* last_row,
              uint32_t height, int32_t threshold, uint32_t from, uint32_t to,
              OnDecision&& on_decision) {
  for (uint32_t r = from; r <= to; ++r) {
    const uint8_t* row = r < height ? src + ptrdiff_t(r) * pitch : last_row;
    uint32_t hits = 0;
    int16_t s[kLanes], f[kLanes];
    for (uint32_t j = 0; j < kLanes; ++j) {
      s[j] = int16_t(CombSmooth(row[j], row[j + 2]));
      f[j] = CombMetric(st.s_above2[j], st.s_above1[j], s[j]);
      const int16_t v = SatS16(SatS16(SatS16(2 * st.f_above1[j]) + st.f_above2[j]) + f[j]);
      const uint32_t flag = v > threshold ? 1 : 0;
      st.history[j] = uint16_t(((st.history[j] << 1) & 0x1F) | flag);
      hits += flag;
    }
    if ((r & 1) == 0) {
      uint8_t decide[kLanes];
      bool any = false;
      for (uint32_t j = 0; j < kLanes; ++j) {
        decide[j] = comb_decision_table[st.history[j]];
        any |= decide[j] != 0;
      }
      if (!on_decision(r, hits, decide, any)) return true;
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

// The bytes each deciding lane marks: its centre column and one column to
// either side.
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
    GroupState st;
    StartGroup(st, src_y + x, ptrdiff_t(w));
    const bool stopped = ScanRows(
        st, src_y + x, ptrdiff_t(w), src_y + height * w + x, height, threshold, 6, height,
        [&](uint32_t r, uint32_t hits, const uint8_t* decide, bool any) {
          if (!any) return true;
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

uint32_t ScanCombStrip(const CombStrip& s, uint32_t band) {
  const uint32_t from = band == 0 ? 6 : kCombBandRows * band + 1;
  const uint32_t to = kCombBandRows * (band + 1);
  uint32_t total = 0;
  // Right to left: a group writes its own columns and ORs its marks into
  // the next group's first two, which are then already written.
  for (uint32_t x = s.lanes; x > 0;) {
    x -= kLanes;
    GroupState& st = static_cast<GroupState*>(s.state)[x / kLanes];
    if (band == 0) StartGroup(st, s.src + x, s.pitch);
    ScanRows(st, s.src + x, s.pitch, s.last_row + x, s.height, s.threshold, from, to,
             [&](uint32_t r, uint32_t hits, const uint8_t* decide, bool any) {
               // Row m = r - 4 takes the marks, row m + 1 is never marked.
               uint8_t* marks = s.mask + ptrdiff_t(r - 4) * s.mask_pitch + x;
               std::memset(marks, 0, kLanes);
               std::memset(marks + s.mask_pitch, 0, kLanes);
               if (!any) return true;
               MarkGroup(marks, decide);
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
