#include "engine/comb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "engine/dsp.h"
#include "engine/ref/comb.h"
#include "frames.h"

namespace vantrel {
namespace {

using test::Frame;

struct CombResult {
  bool combed;
  std::vector<uint8_t> mask;
  std::vector<uint8_t> scores;
};

CombResult Detect(Frame& f, int32_t threshold = 48) {
  CombResult r;
  r.mask.assign(f.luma_size(), 0x55);
  r.scores.assign((f.width / 16) * (f.height / 16), 0x55);
  r.combed = DetectCombingByGroups(r.mask.data(), r.scores.data(), f.y(), f.width, f.height,
                                   threshold);
  return r;
}

bool IsPreset(uint32_t w, uint32_t h, uint32_t row, uint32_t col) {
  if (row == 0 && col == 0) return true;
  if (col + 4 < w) return false;
  return row + 1 < h || col + 1 < w;
}

// Every mask byte is 0xFF exactly where `marked` says or the preset is.
void ExpectMask(const CombResult& r, uint32_t w, uint32_t h,
                const std::function<bool(uint32_t, uint32_t)>& marked) {
  int wrong = 0;
  for (uint32_t row = 0; row < h; ++row)
    for (uint32_t col = 0; col < w; ++col) {
      const uint8_t want = (IsPreset(w, h, row, col) || marked(row, col)) ? 0xFF : 0x00;
      if (r.mask[row * w + col] != want && ++wrong < 5)
        ADD_FAILURE() << "mask at row " << row << " col " << col << " is "
                      << int(r.mask[row * w + col]);
    }
  EXPECT_EQ(wrong, 0);
}

Frame Alternating(uint32_t w, uint32_t h) {
  Frame f(w, h);
  test::FillLuma(f, [](uint32_t row, uint32_t) { return uint8_t(row % 2 ? 255 : 0); });
  test::FillNoise(f.c0(), 2 * f.chroma_size(), 5);  // row `height` is read from here
  return f;
}

TEST(EngineComb, DecisionTableMarksOwnFlagWithTwoNeighbours) {
  for (uint32_t h = 0; h < 32; ++h) {
    const bool own = h & 4;
    const bool below = (h & 1) && (h & 2), above = (h & 8) && (h & 16);
    const bool mixed = (h & 2) && (h & 16);
    EXPECT_EQ(comb_decision_table[h], own && (below || above || mixed) ? 1 : 0) << h;
  }
}

TEST(EngineComb, MetricOfASingleOddLine) {
  EXPECT_EQ(CombMetric(10, 60, 12), 2400);
  EXPECT_EQ(CombMetric(0, 127, 0), 16129);
  EXPECT_EQ(CombMetric(0, 0, 100), -625);
}

TEST(EngineComb, UniformFrameAndSingleEdgeFlagNothing) {
  Frame uniform(64, 48);
  std::fill(uniform.bytes.begin(), uniform.bytes.end(), 90);
  test::FillNoise(uniform.c0(), 64, 3);  // whatever row `height` holds
  Frame edge(64, 48);
  test::FillLuma(edge, [](uint32_t row, uint32_t) { return uint8_t(row < 21 ? 0 : 200); });
  for (Frame* f : {&uniform, &edge}) {
    for (int32_t threshold : {0, 48, 255}) {
      const CombResult r = Detect(*f, threshold);
      EXPECT_FALSE(r.combed);
      ExpectMask(r, 64, 48, [](uint32_t, uint32_t) { return false; });
      for (uint8_t s : r.scores) EXPECT_EQ(s, 0);
    }
  }
}

TEST(EngineComb, AlternatingLinesAtSmallestSizeNeverCountAsCombed) {
  Frame f = Alternating(16, 16);
  const CombResult r = Detect(f);
  EXPECT_FALSE(r.combed);
  EXPECT_EQ(r.scores[0], 60);
  ExpectMask(r, 16, 16, [](uint32_t row, uint32_t col) {
    return row >= 4 && row <= 12 && row % 2 == 0 && col <= 13;
  });
}

TEST(EngineComb, AlternatingLinesStopInTheSeventhGroupAt32x16) {
  Frame f = Alternating(32, 16);
  const CombResult r = Detect(f);
  EXPECT_TRUE(r.combed);
  // Groups 0-5 counted 120 hits; group 6 (x = 24) added 4 at rows 8 and 10
  // and passed 128 at row 12: its row-12 hits are neither marked nor scored.
  EXPECT_EQ(r.scores[0], 60);
  EXPECT_EQ(r.scores[1], 68);
  ExpectMask(r, 32, 16, [](uint32_t row, uint32_t col) {
    if (row < 4 || row % 2) return false;
    if (col <= 25) return row <= 12;
    return col <= 29 && row <= 6;
  });
}

TEST(EngineComb, AlternatingLinesStopHalfWayAcross720x576) {
  for (bool inverted : {false, true}) {
    Frame f = Alternating(720, 576);
    if (inverted)
      for (size_t i = 0; i < f.luma_size(); ++i) f.bytes[i] = uint8_t(255 - f.bytes[i]);
    const CombResult r = Detect(f);
    EXPECT_TRUE(r.combed);
    ExpectMask(r, 720, 576, [](uint32_t row, uint32_t col) {
      if (row < 4 || row % 2) return false;
      if (row <= 562) return col <= 365;
      return row <= 572 && col <= 361;
    });
  }
}

TEST(EngineComb, ThresholdIsHalvedBeforeTheComparison) {
  // Lines alternating 0 and 8: S alternates 0 and 4, F = 16 on every row and
  // V = 64 once the 1-2-1 sum is full. V > T needs T <= 63: thresholds 126
  // and 127 flag every lane, 128 flags none.
  Frame f(64, 32);
  test::FillLuma(f, [](uint32_t row, uint32_t) { return uint8_t(row % 2 ? 8 : 0); });
  for (int32_t threshold : {126, 127}) EXPECT_TRUE(Detect(f, threshold).combed) << threshold;
  for (int32_t threshold : {128, 129, 255}) {
    const CombResult r = Detect(f, threshold);
    EXPECT_FALSE(r.combed) << threshold;
    ExpectMask(r, 64, 32, [](uint32_t, uint32_t) { return false; });
  }
}

TEST(EngineComb, BottomRowIsReadFromTheFirstChromaPlane) {
  // Bright rows 26, 27, 29 and 30 at the bottom of a dark frame: whether row
  // `height` (the first chroma bytes) is dark or bright decides the marks on
  // row height - 4, and nothing else.
  auto run = [](uint8_t chroma_value) {
    Frame f(32, 32);
    test::FillLuma(f, [](uint32_t row, uint32_t) {
      return uint8_t(row == 26 || row == 27 || row == 29 || row == 30 ? 255 : 0);
    });
    std::fill(f.c0(), f.c0() + f.chroma_size(), chroma_value);
    return Detect(f, 48).mask;
  };
  const auto dark = run(0), bright = run(255);
  int differing = 0;
  for (uint32_t row = 0; row < 32; ++row)
    for (uint32_t col = 0; col < 32; ++col) {
      if (dark[row * 32 + col] == bright[row * 32 + col]) continue;
      EXPECT_EQ(row, 28u) << "col " << col;
      ++differing;
    }
  EXPECT_GT(differing, 0);
}

// The strip driver with each table this machine has (the scalar table scans
// strips of one group) against the group-by-group scan above: the same
// verdict, and for a frame that is not combed the same marks and scores.
class EngineCombStrips : public ::testing::Test {
 protected:
  void SetUp() override {
    const uint32_t targets = CompiledTargets() & DetectCpuFeatures().targets;
    tables_.push_back(ScalarEngineDsp());
    for (uint32_t t = 1; t != 0 && t <= targets; t <<= 1) {
      if (!(targets & t)) continue;
      tables_.emplace_back();
      InitEngineDsp(&tables_.back(), t);
    }
  }
  // Returns the reference's verdict.
  bool ExpectSameAsGroupScan(Frame& f, int32_t threshold = 48) {
    const CombResult want = Detect(f, threshold);
    for (const EngineDsp& dsp : tables_) {
      CombResult got;
      got.mask.assign(f.luma_size(), 0x55);
      got.scores.assign((f.width / 16) * (f.height / 16), 0x55);
      std::vector<uint8_t> scratch(CombScratchBytes(dsp, f.width));
      // Row `height` is the first chroma bytes, as in the classic layout.
      got.combed = DetectCombing(dsp, scratch.data(), got.mask.data(), got.scores.data(),
                                 f.luma(), f.c0(), f.width, f.height, threshold);
      const std::string what = std::string(TargetName(dsp.target)) + " at " +
                               std::to_string(f.width) + "x" + std::to_string(f.height);
      EXPECT_EQ(got.combed, want.combed) << what;
      if (want.combed) continue;
      EXPECT_EQ(got.mask, want.mask) << what;
      EXPECT_EQ(got.scores, want.scores) << what;
    }
    return want.combed;
  }
  std::vector<EngineDsp> tables_;
};

TEST_F(EngineCombStrips, PicturesOfEveryWidthGiveTheSameResults) {
  // Widths narrower than a strip, with strip tails, and the usual frames.
  for (auto size : {std::pair<uint32_t, uint32_t>{16, 16}, {32, 16}, {48, 32}, {80, 48},
                    {720, 576}, {1920, 1088}}) {
    Frame woven = test::WovenMotion(size.first, size.second, 7, 4, 2);
    EXPECT_FALSE(ExpectSameAsGroupScan(woven));
    Frame noise(size.first, size.second);
    test::FillNoise(noise.bytes.data(), noise.bytes.size(), 3);
    for (int32_t threshold : {0, 48, 255}) ExpectSameAsGroupScan(noise, threshold);
    Frame combed = Alternating(size.first, size.second);
    ExpectSameAsGroupScan(combed);
  }
}

// Hits that total one below, and then exactly at, the smallest count that
// makes the frame combed: the order in which strips count must not matter.
TEST_F(EngineCombStrips, HitsOneBelowAndAtTheLimit) {
  for (auto size : {std::pair<uint32_t, uint32_t>{128, 128}, {720, 576}}) {
    const uint32_t w = size.first, h = size.second;
    const uint32_t limit = uint32_t(kCombLimit) / uint32_t(CombCountScale(w * h)) + 1;
    // A dot: two samples two columns apart on an odd row, just strong
    // enough that only the lane between them flags: one hit.
    const auto dot = [](Frame& f, uint32_t row) { f.at(row, 8) = f.at(row, 10) = 115; };
    Frame f(w, h);
    // 0/255 rows at the top, as many as stay below the limit ...
    uint32_t rows = 2 * (limit / (w - 4)) + 8, hits = 0;
    do {
      rows -= 2;
      std::fill(f.bytes.begin(), f.bytes.end(), 100);
      for (uint32_t r = 0; r < rows; ++r) std::memset(&f.at(r, 0), r % 2 ? 255 : 0, w);
      const CombResult r = Detect(f);
      hits = r.combed ? limit : std::accumulate(r.scores.begin(), r.scores.end(), 0u);
    } while (hits >= limit);
    // ... then lines (3 hits and more) and dots, 8 rows apart so that each
    // counts on its own, make up the rest.
    uint32_t row = rows + 15;
    for (uint32_t missing = limit - 1 - hits; missing > 0; row += 8) {
      ASSERT_LE(row + 9, h) << "no room for the last hits";
      const uint32_t line = std::min(missing, w - 4);
      if (line >= 3) {
        std::memset(&f.at(row, 2), 200, line - 2);
        missing -= line;
      } else {
        dot(f, row);
        missing -= 1;
      }
    }
    EXPECT_FALSE(ExpectSameAsGroupScan(f));
    const CombResult below = Detect(f);
    EXPECT_EQ(std::accumulate(below.scores.begin(), below.scores.end(), 0u), limit - 1);
    dot(f, row);
    EXPECT_TRUE(ExpectSameAsGroupScan(f));
  }
}

}  // namespace
}  // namespace vantrel
