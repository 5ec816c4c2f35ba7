#include "engine/motion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/engine.h"
#include "engine_view.h"
#include "frames.h"

namespace vantrel {
namespace {

using test::Frame;

// An engine sized for src/dst with both decimated planes built and every
// record clear, as mode 4 leaves it before the first block.
struct RepairBench {
  RepairBench(uint32_t w, uint32_t h, uint32_t seed) : src(w, h), dst(w, h), engine(e) {
    test::FillNoise(src.bytes.data(), src.bytes.size(), seed);
    dst.bytes = src.bytes;
    EXPECT_TRUE(e.Init(w, h));
    engine.params().match_threshold = 8192;
  }
  void Prepare() { engine.PrepareRepair(src.planes(), dst.planes()); }
  // Makes block b's even lines equal the source's lines at (dx, dy).
  void PlantVector(uint32_t b, int dx, int dy) {
    const BlockOrigin o = engine.origin(b);
    for (int k = 0; k < 8; ++k)
      std::memcpy(&dst.at(o.y + 2 * k, o.x), &src.at(o.y + dy + 2 * k, o.x + dx), 16);
  }
  Frame src, dst;
  DeinterlaceEngine e;
  test::EngineView engine;
};

TEST(EngineRepair, FindsAPlantedVectorAndCopiesItsLines) {
  RepairBench t(64, 64, 1);
  t.PlantVector(5, 8, 4);
  t.Prepare();
  t.engine.RepairBlock(5, 16);
  const BlockMatch m = t.engine.match(5);
  EXPECT_EQ(m.dx, 8);
  EXPECT_EQ(m.dy, 4);
  EXPECT_EQ(m.cost, 0u);
}

TEST(EngineRepair, AgreeingNeighboursShrinkTheSearchToFour) {
  struct Case {
    const char* name;
    BlockMatch left, above, diagonal;
    bool narrowed;
  };
  const BlockMatch good{100, 1, 1};
  const Case cases[] = {
      {"all agree", good, good, good, true},
      {"spread 63", {100, 7, 3}, {100, 1, 1}, {100, 1, 1}, true},
      {"spread 64", {100, 8, 0}, {100, 0, 0}, {100, 0, 0}, false},
      {"zero cost", good, {0, 1, 1}, good, false},
      {"cost at threshold", good, good, {8192, 1, 1}, false},
  };
  for (const Case& c : cases) {
    RepairBench t(64, 64, 2);
    t.PlantVector(5, 8, 4);  // out of reach of the neighbour range
    t.Prepare();
    t.engine.match(4) = c.left;
    t.engine.match(1) = c.above;
    t.engine.match(0) = c.diagonal;
    const Frame before = t.dst;
    t.engine.RepairBlock(5, 16);
    const BlockMatch m = t.engine.match(5);
    if (c.narrowed) {
      EXPECT_FALSE(m.dx == 8 && m.dy == 4) << c.name;
      EXPECT_GE(m.cost, 8192u) << c.name;
      EXPECT_EQ(t.dst.bytes, before.bytes) << c.name << ": a failed match copies nothing";
    } else {
      EXPECT_EQ(m.dx, 8) << c.name;
      EXPECT_EQ(m.dy, 4) << c.name;
    }
  }
}

TEST(EngineRepair, FirstRowAndColumnNeverUseTheNeighbourRange) {
  RepairBench t(64, 64, 3);
  t.PlantVector(4, 8, 4);  // first column, second row
  t.Prepare();
  for (uint32_t b = 0; b < t.engine.block_count(); ++b) t.engine.match(b) = {100, 0, 0};
  t.engine.RepairBlock(4, 16);
  EXPECT_EQ(t.engine.match(4).dx, 8);
  EXPECT_EQ(t.engine.match(4).dy, 4);
}

TEST(EngineRepair, NarrowFineSearchRefinesTheCoarseVector) {
  RepairBench t(64, 64, 4);
  t.PlantVector(5, 9, 6);
  t.Prepare();
  t.engine.match(5) = {0, 8, 4};
  t.engine.SearchFine(5, 2, 2);
  EXPECT_EQ(t.engine.match(5).dx, 9);
  EXPECT_EQ(t.engine.match(5).dy, 6);
  EXPECT_EQ(t.engine.match(5).cost, 0u);
}

TEST(EngineRepair, OddFineRangeStaysOnEvenLines) {
  RepairBench found(64, 64, 5);
  found.PlantVector(5, -3, 2);
  found.Prepare();
  found.engine.SearchFine(5, 3, 3);
  EXPECT_EQ(found.engine.match(5).dx, -3);
  EXPECT_EQ(found.engine.match(5).dy, 2);

  RepairBench odd(64, 64, 6);
  odd.PlantVector(5, 1, -3);
  odd.Prepare();
  odd.engine.SearchFine(5, 3, 3);
  EXPECT_EQ(odd.engine.match(5).dy % 2, 0);
  EXPECT_GT(odd.engine.match(5).cost, 0u);
}

TEST(EngineRepair, EqualCostsKeepTheFirstCandidate) {
  RepairBench t(64, 64, 7);
  std::fill(t.src.bytes.begin(), t.src.bytes.end(), 50);
  t.dst.bytes = t.src.bytes;
  t.Prepare();
  t.engine.SearchFine(5, 2, 2);
  EXPECT_EQ(t.engine.match(5).dx, -2);
  EXPECT_EQ(t.engine.match(5).dy, -2);
  t.engine.SearchCoarse(5, 2, 1);
  EXPECT_EQ(t.engine.match(5).dx, -4);
  EXPECT_EQ(t.engine.match(5).dy, -4);
  EXPECT_EQ(t.engine.match(5).cost, 0u);
}

TEST(EngineRepair, WindowsStayInsideThePlaneAtEveryEdge) {
  for (auto size : {std::pair<uint32_t, uint32_t>{64, 64}, {48, 32}, {16, 32}, {32, 16}}) {
    const uint32_t w = size.first, h = size.second;
    RepairBench t(w, h, w + h);
    test::FillNoise(t.dst.bytes.data(), t.dst.bytes.size(), 11);
    // Make every block a good match somewhere so that copies happen.
    t.engine.params().match_threshold = 65535 * 16;
    t.Prepare();
    for (uint32_t b = 0; b < t.engine.block_count(); ++b) {
      const Frame before = t.dst;
      t.engine.RepairBlock(b, int32_t(std::min(w, h)));
      const BlockMatch m = t.engine.match(b);
      const BlockOrigin o = t.engine.origin(b);
      EXPECT_GE(o.x + m.dx, 0);
      EXPECT_LE(o.x + m.dx, int32_t(w) - 16);
      EXPECT_GE(o.y + m.dy, 0);
      EXPECT_LE(o.y + m.dy, int32_t(h) - 16);
      EXPECT_EQ(m.dy % 2, 0);
      for (uint32_t row = 0; row < h; ++row)
        for (uint32_t col = 0; col < w; ++col) {
          const bool inside = row >= uint32_t(o.y) && row < uint32_t(o.y) + 16 && row % 2 == 0 &&
                              col >= uint32_t(o.x) && col < uint32_t(o.x) + 16;
          if (!inside) {
            ASSERT_EQ(t.dst.at(row, col), before.at(row, col)) << row << "," << col;
          }
        }
    }
  }
}

TEST(EngineRepair, ZeroThresholdRepairsNothing) {
  RepairBench t(64, 64, 8);
  t.e.SetSearchShortcuts(false);  // the records of the full search
  t.PlantVector(5, 8, 4);
  t.engine.params().match_threshold = 0;
  t.Prepare();
  const Frame before = t.dst;
  for (uint32_t b = 0; b < t.engine.block_count(); ++b) t.engine.RepairBlock(b, 16);
  EXPECT_EQ(t.dst.bytes, before.bytes);
  // With no coarse result accepted the fine search is centred on the block.
  EXPECT_EQ(t.engine.match(5).cost, 0u);
  EXPECT_EQ(t.engine.match(5).dx, 8);
}

// The search's shortcuts may change only the records of blocks that are not
// repaired: every frame equals the full search's, every repaired (or never
// searched) block gets the full search's record, and every other record
// fails the neighbour test in both. Thresholds and ranges at their ends,
// blocks at every edge.
TEST(EngineRepair, ShortcutsRepairExactlyAsTheFullSearch) {
  int repaired = 0;
  for (auto size : {std::pair<uint32_t, uint32_t>{16, 16}, {48, 32}, {96, 64}, {176, 144}}) {
    const uint32_t w = size.first, h = size.second;
    const Frame pictures[] = {test::WovenMotion(w, h, 5, 4, 21),
                              test::WovenMotion(w, h, -7, 2, 22, test::Motion::kPan),
                              test::WovenMotion(w, h, 13, -10, 23)};
    for (const Frame& in : pictures) {
      for (const int32_t threshold : {0, 1, 300, 8192, 65535}) {
        for (const int32_t range : {0, 1, 2, 3, 4, 5, 7, 16, 17, 32}) {
          EngineParams p;
          p.match_threshold = threshold;
          p.search_range = range;
          DeinterlaceEngine full(ScalarEngineDsp()), fast;
          full.SetSearchShortcuts(false);
          ASSERT_TRUE(full.Init(w, h));
          ASSERT_TRUE(fast.Init(w, h));
          Frame full_src = in, full_out(w, h), fast_src = in, fast_out(w, h);
          ASSERT_TRUE(full.Process(full_src.planes(), full_out.planes(), p));
          ASSERT_TRUE(fast.Process(fast_src.planes(), fast_out.planes(), p));
          const std::string what = std::to_string(w) + "x" + std::to_string(h) + " threshold " +
                                   std::to_string(threshold) + " range " + std::to_string(range);
          ASSERT_EQ(fast_out.bytes, full_out.bytes) << what;
          const test::EngineView a(full), b(fast);
          for (uint32_t k = 0; k < a.block_count(); ++k) {
            const BlockMatch want = a.match(k), got = b.match(k);
            const bool searched = a.score(k) > kRepairScore;
            if (!searched || want.cost < uint32_t(threshold)) {
              repaired += searched;
              ASSERT_EQ(got.cost, want.cost) << what << " block " << k;
              ASSERT_EQ(got.dx, want.dx) << what << " block " << k;
              ASSERT_EQ(got.dy, want.dy) << what << " block " << k;
            } else {
              ASSERT_GE(got.cost, uint32_t(threshold)) << what << " block " << k;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(repaired, 1000);
}

}  // namespace
}  // namespace vantrel
