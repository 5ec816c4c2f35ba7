#include "core/regions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <memory>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

struct Planes {
  Planes(int width, int height)
      : w(width), h(height), out(size_t(w) * h, 1), source(size_t(w) * h, 2),
        processed(size_t(w) * h, 0) {}
  void Apply(const RegionList& list) {
    ApplyRegions(list, {out.data(), w, w, h}, {source.data(), w, w, h}, processed.data());
  }
  // 1 where the output kept the processed picture, 2 where it took the source.
  int At(int x, int y) const { return out[size_t(y) * w + x]; }
  int w, h;
  std::vector<uint8_t> out, source, processed;
};

TEST(CoreRegions, LaterRegionsDecideWhereTheyOverlap) {
  Planes sub_then_add(720, 576), add_then_sub(720, 576);
  RegionList a, b;
  AppendRegion(a, kSubRegion, 0, 0, 720, 576);
  AppendRegion(a, kAddRegion, 100, 100, 200, 200);
  AppendRegion(b, kAddRegion, 100, 100, 200, 200);
  AppendRegion(b, kSubRegion, 0, 0, 720, 576);
  sub_then_add.Apply(a);
  add_then_sub.Apply(b);
  for (int y = 0; y < 576; y += 3)
    for (int x = 0; x < 720; x += 3) {
      const bool square = x >= 100 && x < 200 && y >= 100 && y < 200;
      ASSERT_EQ(sub_then_add.At(x, y), square ? 1 : 2) << x << "," << y;
      ASSERT_EQ(add_then_sub.At(x, y), 2);
    }
  EXPECT_EQ(sub_then_add.At(199, 199), 1);
  EXPECT_EQ(sub_then_add.At(200, 199), 2);
}

TEST(CoreRegions, RectanglesThatDoNotFitAreSkipped) {
  struct Case {
    Region r;
    bool applied;
  };
  const Case cases[] = {
      {{0, 0, 64, 32, kSubRegion}, true},    {{0, 0, 65, 32, kSubRegion}, false},
      {{0, 0, 64, 33, kSubRegion}, false},   {{10, 5, 10, 9, kSubRegion}, false},
      {{10, 5, 20, 5, kSubRegion}, false},   {{20, 5, 10, 9, kSubRegion}, false},
      {{-1, 0, 10, 10, kSubRegion}, false},  {{0, -4, 10, 10, kSubRegion}, false},
      {{63, 31, 64, 32, kSubRegion}, true},
  };
  for (const Case& c : cases) {
    Planes p(64, 32);
    RegionList list;
    AppendRegion(list, c.r.kind, c.r.x1, c.r.y1, c.r.x2, c.r.y2);
    p.Apply(list);
    int restored = 0;
    for (uint8_t v : p.out) restored += v == 2;
    const int area = (c.r.x2 - c.r.x1) * (c.r.y2 - c.r.y1);
    EXPECT_EQ(restored, c.applied ? area : 0) << c.r.x1 << "," << c.r.y1 << "," << c.r.x2 << ","
                                              << c.r.y2;
  }
}

TEST(CoreRegions, TheListHoldsExactlyAHundred) {
  RegionList list;
  for (int i = 0; i < 100; ++i) AppendRegion(list, kAddRegion, 0, 0, i, 1);
  AppendRegion(list, kSubRegion, 0, 0, 64, 32);
  EXPECT_EQ(list.Count(), 100);
  EXPECT_EQ(list[99].x2, 99);
  Planes p(64, 32);
  p.Apply(list);
  for (uint8_t v : p.out) ASSERT_EQ(v, 1) << "the 101st region must not apply";
}

// Script functions append while frame threads read: a reader sees whole
// regions only (a region not yet written would read as zeros).
TEST(CoreRegions, ReadersSeeOnlyWholeRegionsWhileOthersAppend) {
  std::vector<std::unique_ptr<RegionList>> lists;
  std::atomic<const RegionList*> current{nullptr};
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done.load()) {
      const RegionList* list = current.load();
      // The newest region first: the one an append may be writing.
      const int32_t n = list ? list->Count() : 0;
      for (int32_t i = n; i-- > 0;) ASSERT_EQ((*list)[i].x2, (*list)[i].x1 + 1) << i;
    }
  });
  for (int round = 0; round < 20000; ++round) {
    lists.push_back(std::make_unique<RegionList>());
    current = lists.back().get();
    for (int32_t i = 0; i < RegionList::kCapacity; ++i) {
      AppendRegion(*lists.back(), kAddRegion, i + 1, 0, i + 2, 1);
    }
  }
  done = true;
  reader.join();
}

TEST(CoreRegions, ProcessedPictureIsTakenBeforeAnyRegion) {
  Planes p(32, 16);
  RegionList list;
  AppendRegion(list, kSubRegion, 0, 0, 32, 16);
  AppendRegion(list, kAddRegion, 0, 0, 8, 8);  // must bring back 1, not the sub's 2
  p.Apply(list);
  EXPECT_EQ(p.At(3, 3), 1);
  EXPECT_EQ(p.At(9, 3), 2);
  for (uint8_t v : p.processed) EXPECT_EQ(v, 1);
}

TEST(CoreRegions, RegionsHonourBothPitches) {
  // The output with a wider pitch, the source upside down.
  const int w = 32, h = 16, pitch = 48;
  std::vector<uint8_t> out(size_t(pitch) * h, 9), source(size_t(w) * h), processed(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      out[y * pitch + x] = 1;
      source[y * w + x] = uint8_t(100 + h - 1 - y);
    }
  RegionList list;
  AppendRegion(list, kSubRegion, 4, 2, 32, 16);
  const PlaneView upside_down{source.data() + (h - 1) * w, -w, w, h};
  ApplyRegions(list, {out.data(), pitch, w, h}, upside_down, processed.data());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < pitch; ++x) {
      const int want = x >= w ? 9 : (x >= 4 && y >= 2 ? 100 + y : 1);
      ASSERT_EQ(out[y * pitch + x], want) << x << "," << y;
    }
}

// The region step on a 4 x 6 plane whose lines are 10, 20, ..., as the filter
// sees it, or upside down with the region turned with it.
std::vector<uint8_t> SubRegionOf(const Region& r, bool upside_down) {
  constexpr int kW = 4, kH = 6;
  std::vector<uint8_t> source(kW * kH), out(kW * kH, 0), scratch(kW * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) source[size_t(y * kW + x)] = uint8_t(y * 10 + x);
  PlaneView in{source.data(), kW, kW, kH}, to{out.data(), kW, kW, kH};
  if (upside_down) in = UpsideDown(in), to = UpsideDown(to);
  RegionList list;
  const Region placed = upside_down ? UpsideDown(r, kH) : r;
  AppendRegion(list, kSubRegion, placed.x1, placed.y1, placed.x2, placed.y2);
  ApplyRegions(list, to, in, scratch.data());
  return out;
}

TEST(CoreRegions, ARegionTurnedWithItsFrameTakesTheSameSamplesAndIsSkippedAlike) {
  const Region rects[] = {{1, 0, 3, 2, 0},          {0, 0, 4, 6, 0},       {0, 5, 4, 6, 0},
                          {0, 4, 4, 7, 0},          {0, -1, 4, 3, 0},      {2, 3, 1, 5, 0},
                          {0, 3, 4, 3, 0},          {0, INT_MIN, 4, 2, 0}, {0, 1, 4, INT_MAX, 0},
                          {0, INT_MIN, 4, INT_MIN, 0}};
  for (const Region& r : rects) {
    const std::vector<uint8_t> plain = SubRegionOf(r, false);
    EXPECT_EQ(SubRegionOf(r, true), plain) << r.x1 << "," << r.y1 << "," << r.x2 << "," << r.y2;
    const bool skipped = plain == std::vector<uint8_t>(plain.size(), 0);
    const RectFit fit = FitOf(r, 4, 6, 4, 6);
    EXPECT_EQ(skipped, fit == RectFit::kOutside || fit == RectFit::kEmpty) << r.y1 << "," << r.y2;
  }
  EXPECT_EQ(FitOf({0, 0, 4, 7, 0}, 4, 6, 4, 8), RectFit::kPartlyOutside);
  EXPECT_EQ(FitOf({0, 6, 4, 8, 0}, 4, 6, 4, 8), RectFit::kPaddingOnly);
}

}  // namespace
}  // namespace vantrel
