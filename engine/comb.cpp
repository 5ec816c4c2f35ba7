#include "engine/comb.h"

#include <cstring>

#include "engine/engine.h"
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

constexpr int kLanes = 4;

// Vertical state of one column group, carried down the whole height.
struct GroupState {
  int32_t s_above2[kLanes];
  int32_t s_above1[kLanes];
  int32_t f_above2[kLanes];
  int32_t f_above1[kLanes];
  uint32_t history[kLanes];
};

}  // namespace

int32_t DetectCombing(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                      uint32_t width, uint32_t height, int32_t comb_threshold) {
  const size_t w = width;
  const uint32_t luma_size = width * height;
  const uint32_t blocks_x = width / 16;
  std::memset(comb_mask, 0, luma_size);
  std::memset(block_comb_score, 0, size_t(blocks_x) * (height / 16));
  const int32_t count_scale = CombCountScale(luma_size);
  uint32_t combed_count = 0;
  PresetCombMask(comb_mask, width, height);

  const int32_t threshold = comb_threshold >> 1;
  const uint32_t groups = width / 4 - 1;
  for (uint32_t g = 0; g < groups; ++g) {
    const size_t x = 4 * size_t(g);
    GroupState st;
    for (int j = 0; j < kLanes; ++j) {
      st.s_above2[j] = CombSmooth(src_y[4 * w + x + j], src_y[4 * w + x + j + 2]);
      st.s_above1[j] = CombSmooth(src_y[5 * w + x + j], src_y[5 * w + x + j + 2]);
      st.f_above2[j] = 0;
      st.f_above1[j] = 0;
      st.history[j] = 1;
    }
    for (uint32_t r = 6; r <= height; ++r) {
      const uint8_t* row = src_y + r * w + x;
      uint32_t hits = 0;
      int32_t s[kLanes], f[kLanes];
      for (int j = 0; j < kLanes; ++j) {
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
        for (int j = 0; j < kLanes; ++j) {
          decide[j] = comb_decision_table[st.history[j]];
          any |= decide[j] != 0;
        }
        if (any) {
          combed_count += hits;
          if (CombLimitPassed(combed_count, count_scale)) return 1;
          uint8_t* marks = comb_mask + (r - 4) * w + x;
          for (int j = 0; j < kLanes; ++j) {
            if (decide[j]) std::memset(marks + j, 0xFF, 3);
          }
          uint8_t& score = block_comb_score[((r - 1) >> 4) * blocks_x + ((g + 1) >> 2)];
          score = uint8_t(score + hits);
        }
      }
      for (int j = 0; j < kLanes; ++j) {
        st.s_above2[j] = st.s_above1[j];
        st.s_above1[j] = s[j];
        st.f_above2[j] = st.f_above1[j];
        st.f_above1[j] = f[j];
      }
    }
  }
  return 0;
}

bool DeinterlaceEngine::DeinterlaceAdaptive() {
  const bool frame_combed =
      dsp_.detect_combing(comb_mask.get(), block_comb_score.get(), src_y, width, height,
                          params.comb_threshold) != 0;
  dsp_.interpolate_luma(dst_y, src_y, comb_mask.get(), width, height, frame_combed);
  dsp_.interpolate_chroma(dst_c0, dst_c1, src_c0, src_c1, chroma_width, chroma_height,
                          frame_combed);
  return frame_combed;
}

}  // namespace vantrel
