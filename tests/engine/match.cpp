#include "engine/match.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/dsp.h"
#include "engine/ref/match.h"
#include "frames.h"

namespace vantrel {
namespace {

TEST(EngineMatch, DecimationPicksEveryFourthLineAndEvenColumn) {
  std::vector<uint8_t> src(32 * 16);
  for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 7 + 1);
  std::vector<uint8_t> dst(16 * 4);
  DecimatePlane(ScalarEngineDsp(), {dst.data(), 16}, {src.data(), 32}, 32, 16);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 16; ++c) EXPECT_EQ(dst[r * 16 + c], src[(4 * r) * 32 + 2 * c]);
  // Other lines and odd columns never matter.
  auto other = src;
  for (size_t i = 0; i < other.size(); ++i)
    if ((i / 32) % 4 || (i % 2)) other[i] ^= 0x5A;
  std::vector<uint8_t> dst2(dst.size());
  DecimatePlane(ScalarEngineDsp(), {dst2.data(), 16}, {other.data(), 32}, 32, 16);
  EXPECT_EQ(dst, dst2);
}

struct Blocks {
  Blocks(int width, int lines, uint8_t cand, uint8_t ref) : stride(width + 3) {
    candidate.assign(size_t(stride) * lines, cand);
    reference.assign(size_t(stride) * lines, ref);
  }
  uint32_t Cost(BlockCostFn cost, int32_t best) const {
    return cost(candidate.data(), stride, reference.data(), stride, best);
  }
  ptrdiff_t stride;
  std::vector<uint8_t> candidate, reference;
};

TEST(EngineMatch, FullCostsWhenBelowBest) {
  Blocks coarse(8, 4, 0, 255), fine(16, 8, 0, 255);
  EXPECT_EQ(coarse.Cost(BlockCostCoarse, 0x200000), 2080800u);
  EXPECT_EQ(fine.Cost(BlockCost, 0x800000), 8323200u);
  Blocks same(16, 8, 77, 77);
  EXPECT_EQ(same.Cost(BlockCost, 1), 0u);
  EXPECT_EQ(same.Cost(BlockCostCoarse, 1), 0u);
}

TEST(EngineMatch, EarlyExitReturnsThePartialSum) {
  // Only lines read before the exit may count: later lines differ wildly.
  Blocks coarse(8, 4, 100, 120);
  for (int k = 1; k < 4; ++k)
    for (int x = 0; x < 8; ++x) coarse.reference[k * coarse.stride + x] = 255;
  EXPECT_EQ(coarse.Cost(BlockCostCoarse, 1000), 3200u);
  EXPECT_EQ(coarse.Cost(BlockCostCoarse, 0), 3200u);
  // 3200 + 8 * 155^2 = 195400 reaches a best of 195400 after line 1 exactly.
  EXPECT_EQ(coarse.Cost(BlockCostCoarse, 195400), 195400u);

  Blocks fine(16, 8, 10, 13);
  // 16 * 9 = 144 per line: best 300 stops after line 2 (432), best 0 after line 1.
  EXPECT_EQ(fine.Cost(BlockCost, 300), 432u);
  EXPECT_EQ(fine.Cost(BlockCost, 0), 144u);
  EXPECT_EQ(fine.Cost(BlockCost, 1153), 1152u);
  // Swapping the blocks changes nothing.
  EXPECT_EQ(BlockCost(fine.reference.data(), fine.stride, fine.candidate.data(), fine.stride, 300),
            432u);
}

TEST(EngineMatch, EachBlockHasItsOwnStride) {
  // A candidate read with stride 2 * width takes one field of 16 lines, in
  // either direction; the reference is a tight 16 x 8 block.
  const int w = 32;
  std::vector<uint8_t> cand(w * 16, 0), ref(16 * 8, 0);
  for (int y = 1; y < 16; y += 2)
    for (int x = 0; x < w; ++x) cand[y * w + x] = 200;  // odd lines only
  EXPECT_EQ(BlockCost(cand.data(), 2 * w, ref.data(), 16, 0x800000), 0u);
  EXPECT_EQ(BlockCost(cand.data() + 14 * w, -2 * w, ref.data(), 16, 0x800000), 0u);
  EXPECT_EQ(BlockCost(cand.data() + w, 2 * w, ref.data(), 16, 0x800000), 128u * 200 * 200);
  EXPECT_EQ(BlockCost(ref.data() + 7 * 16, -16, cand.data() + 15 * w, -2 * w, 0x800000),
            128u * 200 * 200);
}

}  // namespace
}  // namespace vantrel
