#include "engine/interpolate.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/dsp.h"
#include "engine/ref/interpolate.h"
#include "frames.h"

namespace vantrel {
namespace {

using test::Frame;

// A plane over a buffer of lines `pitch` apart.
Plane PlaneIn(std::vector<uint8_t>& bytes, uint32_t pitch) {
  return Plane{bytes.data(), ptrdiff_t(pitch)};
}

void Luma(std::vector<uint8_t>& dst, std::vector<uint8_t>& src, std::vector<uint8_t>* mask,
          uint32_t w, uint32_t h, bool rebuild_all) {
  const ConstPlane m = mask ? PlaneIn(*mask, w) : ConstPlane{};
  InterpolateLuma(ScalarEngineDsp(), PlaneIn(dst, w), PlaneIn(src, w), m, w, h,
                  rebuild_all);
}

void Chroma(std::vector<uint8_t>& dst0, std::vector<uint8_t>& dst1, std::vector<uint8_t>& src0,
            std::vector<uint8_t>& src1, uint32_t w, uint32_t h, bool rebuild_all) {
  InterpolateChroma(ScalarEngineDsp(), PlaneIn(dst0, w), PlaneIn(dst1, w),
                    PlaneIn(src0, w), PlaneIn(src1, w), w, h, rebuild_all);
}

// One column is enough for the vertical filters; use 16 columns so every
// line is whole groups.
std::vector<uint8_t> ColumnPlane(uint32_t h, const std::vector<uint8_t>& lines) {
  std::vector<uint8_t> p(size_t(16) * h);
  for (uint32_t y = 0; y < h; ++y)
    for (int x = 0; x < 16; ++x) p[y * 16 + x] = lines[y];
  return p;
}

TEST(EngineInterpolate, FourTapArithmeticSaturatesAt16BitLanes) {
  EXPECT_EQ(FourTapLuma(0, 255, 255, 0), 255);     // 318 before packing
  EXPECT_EQ(FourTapLuma(255, 0, 0, 255), 0);       // stops at 0
  EXPECT_EQ(FourTapLuma(255, 0, 255, 255), 95);    // (1275 - 255 - 255) / 8
  EXPECT_EQ(FourTapLuma(20, 40, 60, 80), 50);      // a ramp is reproduced
  EXPECT_EQ(FourTapLuma(255, 1, 0, 0), 0);         // 5 - 255 stops at 0 first
}

TEST(EngineInterpolate, RampIsReproducedExceptLineZero) {
  std::vector<uint8_t> lines(16);
  for (uint32_t y = 0; y < 16; ++y) lines[y] = uint8_t(10 * (y + 1));
  auto src = ColumnPlane(16, lines);
  std::vector<uint8_t> dst(src.size());
  Luma(dst, src, nullptr, 16, 16, true);
  for (uint32_t y = 0; y < 16; ++y) {
    EXPECT_EQ(dst[y * 16 + 5], y == 0 ? 20 : lines[y]) << "line " << y;
  }
}

TEST(EngineInterpolate, AlternatingKeptFieldAveragesEverywhere) {
  std::vector<uint8_t> lines(16, 0);
  for (uint32_t y = 1; y < 16; y += 2) lines[y] = ((y - 1) / 2) % 2 == 0 ? 200 : 50;
  auto plane = ColumnPlane(16, lines);
  Luma(plane, plane, nullptr, 16, 16, true);
  EXPECT_EQ(plane[0], 200);
  for (uint32_t y = 2; y <= 14; y += 2) EXPECT_EQ(plane[y * 16 + 3], 125) << "line " << y;
  for (uint32_t y = 1; y < 16; y += 2) EXPECT_EQ(plane[y * 16 + 3], lines[y]);
}

TEST(EngineInterpolate, MaskSelectsSamplesAndEdgeLinesAlwaysRebuilt) {
  const uint32_t w = 32, h = 32;
  std::vector<uint8_t> src(w * h), mask(w * h, 0);
  test::FillNoise(src.data(), src.size(), 7);
  mask[10 * w + 13] = 0xFF;  // one marked sample in the group at columns 8 .. 15
  std::vector<uint8_t> out(src.size()), all(src.size());
  Luma(out, src, &mask, w, h, false);
  Luma(all, src, &mask, w, h, true);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const size_t i = y * w + x;
      const bool rebuilt = y == 0 || y == 2 || y == h - 2 || (y == 10 && x == 13);
      if (y % 2 == 1) {
        EXPECT_EQ(out[i], src[i]);
      } else if (rebuilt) {
        EXPECT_EQ(out[i], all[i]) << y << "," << x;
      } else {
        EXPECT_EQ(out[i], src[i]) << y << "," << x;
      }
    }
  }
  EXPECT_EQ(out[0], src[w]);  // line 0 is a copy of line 1
}

TEST(EngineInterpolate, ChromaCombTestThresholdAndWrap) {
  EXPECT_FALSE(ChromaCombFires(100, 104, 100));  // D = 16
  EXPECT_TRUE(ChromaCombFires(100, 105, 100));   // D = 25
  EXPECT_TRUE(ChromaCombFires(40, 200, 40));
  EXPECT_FALSE(ChromaCombFires(255, 0, 255));    // 65025 reads as -511
  EXPECT_FALSE(ChromaCombFires(100, 100, 100));
}

TEST(EngineInterpolate, ChromaRebuildsOnlyWhereTheTestFires) {
  const uint32_t w = 8, h = 8;
  std::vector<uint8_t> c0(w * h, 100), c1(w * h, 100);
  c0[2 * w + 0] = 104;
  c0[2 * w + 1] = 105;
  c0[4 * w + 2] = 200;
  c0[3 * w + 2] = 40;
  c0[5 * w + 2] = 40;
  c1[2 * w + 0] = 0;
  c1[1 * w + 0] = 255;
  c1[3 * w + 0] = 255;
  auto o0 = c0, o1 = c1;
  Chroma(o0, o1, o0, o1, w, h, false);
  EXPECT_EQ(o0[2 * w + 0], 104);
  EXPECT_EQ(o0[2 * w + 1], 100);
  EXPECT_EQ(o0[4 * w + 2], 40);
  EXPECT_EQ(o1[2 * w + 0], 0);
  for (uint32_t x = 0; x < w; ++x) {
    EXPECT_EQ(o0[x], c0[w + x]);  // line 0 copies line 1 in every case
    EXPECT_EQ(o1[x], c1[w + x]);
  }
}

TEST(EngineInterpolate, ChromaRebuildAllWeighsLineBelowThreeTimes) {
  const uint32_t w = 8, h = 8;
  std::vector<uint8_t> c(w * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) c[y * w + x] = (y % 4 == 1) ? 0 : ((y % 4 == 3) ? 255 : 77);
  auto o0 = c, o1 = c;
  Chroma(o0, o1, c, c, w, h, true);
  EXPECT_EQ(o0[2 * w + 3], 191);  // above 0, below 255
  EXPECT_EQ(o0[4 * w + 3], 63);   // above 255, below 0
  EXPECT_EQ(o1[6 * w + 3], 191);
  EXPECT_EQ(o0[0 * w + 3], 0);
}

TEST(EngineInterpolate, CopyFieldLinesDoublesTheKeptField) {
  std::vector<uint8_t> lines(16);
  for (uint32_t y = 0; y < 16; ++y) lines[y] = uint8_t(y * 11 + 3);
  auto plane = ColumnPlane(16, lines);
  CopyFieldLines(PlaneIn(plane, 16), PlaneIn(plane, 16), 16, 16);
  for (uint32_t y = 0; y < 16; ++y) EXPECT_EQ(plane[y * 16 + 9], lines[y | 1]) << "line " << y;
}

TEST(EngineInterpolate, InPlaceEqualsSeparateBuffer) {
  for (uint32_t h : {16u, 32u, 48u}) {
    Frame f(48, h);
    test::FillNoise(f.bytes.data(), f.bytes.size(), h);
    std::vector<uint8_t> mask(f.luma_size());
    test::FillNoise(mask.data(), mask.size(), 99);
    for (auto& m : mask) m = (m & 1) ? 0xFF : 0;
    const ConstPlane m{mask.data(), 48};
    for (const bool all : {false, true}) {
      Frame in_place = f, separate(48, h);
      const FramePlanes a = in_place.planes(), b = separate.planes(), from = f.planes();
      InterpolateLuma(ScalarEngineDsp(), a.y, a.y, m, 48, h, all);
      InterpolateLuma(ScalarEngineDsp(), b.y, from.y, m, 48, h, all);
      InterpolateChroma(ScalarEngineDsp(), a.c0, a.c1, a.c0, a.c1, 24, h / 2,
                        all);
      InterpolateChroma(ScalarEngineDsp(), b.c0, b.c1, from.c0, from.c1, 24,
                        h / 2, all);
      EXPECT_EQ(in_place.bytes, separate.bytes) << "height " << h << " rebuild_all " << all;
    }
  }
}

// The 16-bit kernels' other properties are checked against the 8-bit ones
// in checkasm; the cut has none to compare with.
TEST(EngineInterpolate, CutSaturatesSamplesAboveTheDepth) {
  const uint16_t words[] = {0xFFFF, 1023, 1024, 0x8000, 3, 4, 1020, 1019};
  for (const EngineDsp* dsp : {&ScalarEngineDsp(), &DefaultEngineDsp()}) {
    std::vector<uint8_t> cut(8);
    dsp->interpolate.cut_line(cut.data(), words, 8, 2);
    EXPECT_EQ(cut, (std::vector<uint8_t>{255, 255, 255, 255, 0, 1, 255, 254}));
  }
}

}  // namespace
}  // namespace vantrel
