#include "plugin/regions.h"

#include <gtest/gtest.h>

#include <vector>

#include "harness.h"

namespace vantrel {
namespace {

struct Planes {
  Planes(int width, int height)
      : w(width), h(height), out(size_t(w) * h, 1), source(size_t(w) * h, 2),
        processed(size_t(w) * h, 0) {}
  void Apply(const RegionList& list) {
    ApplyRegions(list, out.data(), w, w, h, source.data(), processed.data());
  }
  // 1 where the output kept the processed picture, 2 where it took the source.
  int At(int x, int y) const { return out[size_t(y) * w + x]; }
  int w, h;
  std::vector<uint8_t> out, source, processed;
};

TEST(PluginRegions, LaterRegionsDecideWhereTheyOverlap) {
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

TEST(PluginRegions, RectanglesThatDoNotFitAreSkipped) {
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

TEST(PluginRegions, TheListHoldsExactlyAHundred) {
  RegionList list;
  for (int i = 0; i < 100; ++i) AppendRegion(list, kAddRegion, 0, 0, i, 1);
  AppendRegion(list, kSubRegion, 0, 0, 64, 32);
  EXPECT_EQ(list.count, 100);
  EXPECT_EQ(list.regions[99].x2, 99);
  Planes p(64, 32);
  p.Apply(list);
  for (uint8_t v : p.out) ASSERT_EQ(v, 1) << "the 101st region must not apply";
}

TEST(PluginRegions, ProcessedPictureIsTakenBeforeAnyRegion) {
  Planes p(32, 16);
  RegionList list;
  AppendRegion(list, kSubRegion, 0, 0, 32, 16);
  AppendRegion(list, kAddRegion, 0, 0, 8, 8);  // must bring back 1, not the sub's 2
  p.Apply(list);
  EXPECT_EQ(p.At(3, 3), 1);
  EXPECT_EQ(p.At(9, 3), 2);
  for (uint8_t v : p.processed) EXPECT_EQ(v, 1);
}

TEST(PluginRegions, RegionsHonourTheOutputPitch) {
  const int w = 32, h = 16, pitch = 48;
  std::vector<uint8_t> out(size_t(pitch) * h, 9), source(size_t(w) * h, 2), processed(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out[y * pitch + x] = 1;
  RegionList list;
  AppendRegion(list, kSubRegion, 4, 2, 32, 16);
  ApplyRegions(list, out.data(), pitch, w, h, source.data(), processed.data());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < pitch; ++x) {
      const int want = x >= w ? 9 : (x >= 4 && y >= 2 ? 2 : 1);
      ASSERT_EQ(out[y * pitch + x], want) << x << "," << y;
    }
}

}  // namespace
}  // namespace vantrel
