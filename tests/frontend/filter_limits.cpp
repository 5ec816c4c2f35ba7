// The ranges and region rules the faces check against are the filter's own:
// each is held against the plugin's code.
#include "frontend/filter_limits.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "plugin/filter.h"
#include "plugin/regions.h"

namespace vantrel::frontend {
namespace {

TEST(FrontendLimits, ArgumentsInRangeAreExactlyThoseTheFilterUses) {
  struct Case {
    Argument argument;
    int32_t EngineParams::*field;
  };
  const Case cases[] = {{Argument::kMode, &EngineParams::mode},
                        {Argument::kSearchRange, &EngineParams::search_range},
                        {Argument::kCombThreshold, &EngineParams::comb_threshold},
                        {Argument::kMatchThreshold, &EngineParams::match_threshold}};
  for (const auto& size : {std::pair{720, 576}, std::pair{480, 720}}) {
    for (const Case& c : cases) {
      const ArgumentRange range = RangeOf(c.argument, size.first, size.second);
      for (const int64_t v : {int64_t(INT32_MIN), int64_t(-1), int64_t(range.low),
                              int64_t(range.high), int64_t(range.high) + 1, int64_t(INT32_MAX)}) {
        RequestedParams requested;
        requested.*c.field = int32_t(v);
        const int32_t used = BuildEngineParams(requested, size.first, size.second).*c.field;
        EXPECT_EQ(used, InRange(range, int32_t(v)) ? int32_t(v) : range.fallback)
            << "argument " << int(c.argument) << " value " << v;
      }
    }
  }
}

// The filter's region step on a 4 x 6 plane whose lines are 10, 20, ...
std::vector<uint8_t> Apply(const Rect& r, bool flipped) {
  constexpr int kW = 4, kH = 6;
  std::vector<uint8_t> source(kW * kH), out(kW * kH, 0), scratch(kW * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) source[size_t(y * kW + x)] = uint8_t((flipped ? kH - 1 - y : y) * 10 + x);
  RegionList list;
  const Rect placed = flipped ? Flipped(r, kH) : r;
  AppendRegion(list, kSubRegion, placed.x1, placed.y1, placed.x2, placed.y2);
  ApplyRegions(list, out.data(), kW, kW, kH, source.data(), scratch.data());
  if (flipped) {
    std::vector<uint8_t> back(out.size());
    for (int y = 0; y < kH; ++y)
      std::copy_n(out.begin() + (kH - 1 - y) * kW, kW, back.begin() + y * kW);
    return back;
  }
  return out;
}

TEST(FrontendLimits, AFlippedRegionTakesTheSameSamplesAndIsSkippedAlike) {
  const Rect rects[] = {{1, 0, 3, 2},          {0, 0, 4, 6},       {0, 5, 4, 6},
                        {0, 4, 4, 7},          {0, -1, 4, 3},      {2, 3, 1, 5},
                        {0, 3, 4, 3},          {0, INT_MIN, 4, 2}, {0, 1, 4, INT_MAX},
                        {0, INT_MIN, 4, INT_MIN}};
  for (const Rect& r : rects) {
    const std::vector<uint8_t> plain = Apply(r, false);
    EXPECT_EQ(Apply(r, true), plain) << r.x1 << "," << r.y1 << "," << r.x2 << "," << r.y2;
    const bool skipped = plain == std::vector<uint8_t>(plain.size(), 0);
    const RectFit fit = FitOf(r, 4, 6, 4, 6);
    EXPECT_EQ(skipped, fit == RectFit::kOutside || fit == RectFit::kEmpty) << r.y1 << "," << r.y2;
  }
  EXPECT_EQ(FitOf({0, 0, 4, 7}, 4, 6, 4, 8), RectFit::kPartlyOutside);
  EXPECT_EQ(FitOf({0, 6, 4, 8}, 4, 6, 4, 8), RectFit::kPaddingOnly);
}

}  // namespace
}  // namespace vantrel::frontend
