#include "engine/match.h"

#include <gtest/gtest.h>

#include <vector>

#include "frames.h"

namespace vantrel {
namespace {

TEST(EngineMatch, DecimationPicksEveryFourthLineAndEvenColumn) {
  std::vector<uint8_t> src(32 * 16);
  for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 7 + 1);
  std::vector<uint8_t> dst(16 * 4);
  DecimatePlane(dst.data(), src.data(), 32, 16);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 16; ++c) EXPECT_EQ(dst[r * 16 + c], src[(4 * r) * 32 + 2 * c]);
  // Other lines and odd columns never matter.
  auto other = src;
  for (size_t i = 0; i < other.size(); ++i)
    if ((i / 32) % 4 || (i % 2)) other[i] ^= 0x5A;
  std::vector<uint8_t> dst2(dst.size());
  DecimatePlane(dst2.data(), other.data(), 32, 16);
  EXPECT_EQ(dst, dst2);
}

struct Blocks {
  Blocks(int width, int lines, uint8_t cand, uint8_t ref) : stride(width + 3) {
    candidate.assign(size_t(stride) * lines, cand);
    reference.assign(size_t(stride) * lines, ref);
  }
  ptrdiff_t stride;
  std::vector<uint8_t> candidate, reference;
};

TEST(EngineMatch, FullCostsWhenBelowBest) {
  Blocks coarse(8, 4, 0, 255), fine(16, 8, 0, 255);
  EXPECT_EQ(BlockCostCoarse(coarse.candidate.data(), coarse.reference.data(), 0x200000,
                            coarse.stride),
            2080800u);
  EXPECT_EQ(BlockCost(fine.candidate.data(), fine.reference.data(), 0x800000, fine.stride),
            8323200u);
  Blocks same(16, 8, 77, 77);
  EXPECT_EQ(BlockCost(same.candidate.data(), same.reference.data(), 1, same.stride), 0u);
  EXPECT_EQ(BlockCostCoarse(same.candidate.data(), same.reference.data(), 1, same.stride), 0u);
}

TEST(EngineMatch, EarlyExitReturnsThePartialSum) {
  // Only lines read before the exit may count: later lines differ wildly.
  Blocks coarse(8, 4, 100, 120);
  for (int k = 1; k < 4; ++k)
    for (int x = 0; x < 8; ++x) coarse.reference[k * coarse.stride + x] = 255;
  EXPECT_EQ(BlockCostCoarse(coarse.candidate.data(), coarse.reference.data(), 1000,
                            coarse.stride),
            3200u);
  EXPECT_EQ(BlockCostCoarse(coarse.candidate.data(), coarse.reference.data(), 0, coarse.stride),
            3200u);
  // 3200 + 8 * 155^2 = 195400 reaches a best of 195400 after line 1 exactly.
  EXPECT_EQ(BlockCostCoarse(coarse.candidate.data(), coarse.reference.data(), 195400,
                            coarse.stride),
            195400u);

  Blocks fine(16, 8, 10, 13);
  // 16 * 9 = 144 per line: best 300 stops after line 2 (432), best 0 after line 1.
  EXPECT_EQ(BlockCost(fine.candidate.data(), fine.reference.data(), 300, fine.stride), 432u);
  EXPECT_EQ(BlockCost(fine.candidate.data(), fine.reference.data(), 0, fine.stride), 144u);
  EXPECT_EQ(BlockCost(fine.candidate.data(), fine.reference.data(), 1153, fine.stride), 1152u);
  // Swapping the blocks changes nothing.
  EXPECT_EQ(BlockCost(fine.reference.data(), fine.candidate.data(), 300, fine.stride), 432u);
}

TEST(EngineMatch, StrideSeparatesTheBlockLines) {
  // A 16 x 8 block read with stride 2 * width takes one field of 16 lines.
  const int w = 32;
  std::vector<uint8_t> cand(w * 16, 0), ref(w * 16, 0);
  for (int y = 1; y < 16; y += 2)
    for (int x = 0; x < w; ++x) cand[y * w + x] = 200;  // odd lines only
  EXPECT_EQ(BlockCost(cand.data(), ref.data(), 0x800000, 2 * w), 0u);
  EXPECT_EQ(BlockCost(cand.data() + w, ref.data(), 0x800000, 2 * w), 128u * 200 * 200);
}

}  // namespace
}  // namespace vantrel
