#include <gtest/gtest.h>

#include "core/params.h"

namespace vantrel {
namespace {

EngineParams Build(RequestedParams r, int w = 720, int h = 576) { return BuildEngineParams(r, w, h); }

TEST(CoreParams, ModeOutsideZeroToThreeBecomesFour) {
  for (int mode : {0, 1, 2, 3}) {
    RequestedParams r;
    r.mode = mode;
    EXPECT_EQ(Build(r).mode, mode);
  }
  for (int mode : {4, 5, 100, -1, INT32_MIN}) {
    RequestedParams r;
    r.mode = mode;
    EXPECT_EQ(Build(r).mode, 4) << mode;
  }
}

TEST(CoreParams, RangesReadAsUnsignedFallBackToDefaults) {
  struct Case {
    int32_t RequestedParams::*field;
    int32_t EngineParams::*result;
    int32_t value;
    int32_t expected;
  };
  const Case cases[] = {
      {&RequestedParams::search_range, &EngineParams::search_range, 576, 576},
      {&RequestedParams::search_range, &EngineParams::search_range, 577, 16},
      {&RequestedParams::search_range, &EngineParams::search_range, 0, 0},
      {&RequestedParams::search_range, &EngineParams::search_range, -1, 16},
      {&RequestedParams::comb_threshold, &EngineParams::comb_threshold, 255, 255},
      {&RequestedParams::comb_threshold, &EngineParams::comb_threshold, 256, 48},
      {&RequestedParams::comb_threshold, &EngineParams::comb_threshold, -1, 48},
      {&RequestedParams::comb_threshold, &EngineParams::comb_threshold, 0, 0},
      {&RequestedParams::match_threshold, &EngineParams::match_threshold, 65535, 65535},
      {&RequestedParams::match_threshold, &EngineParams::match_threshold, 65536, 8192},
      {&RequestedParams::match_threshold, &EngineParams::match_threshold, -1, 8192},
      {&RequestedParams::match_threshold, &EngineParams::match_threshold, 0, 0},
      {&RequestedParams::pixel_threshold, &EngineParams::pixel_threshold, 0, 257},
      {&RequestedParams::pixel_threshold, &EngineParams::pixel_threshold, 100, 257},
      {&RequestedParams::pixel_threshold, &EngineParams::pixel_threshold, 1000, 257},
  };
  for (const Case& c : cases) {
    RequestedParams r;
    r.*c.field = c.value;
    EXPECT_EQ(Build(r).*c.result, c.expected) << "value " << c.value;
  }
}

TEST(CoreParams, SearchRangeBoundIsTheSmallerSide) {
  RequestedParams r;
  r.search_range = 480;
  EXPECT_EQ(Build(r, 480, 720).search_range, 480);
  EXPECT_EQ(Build(r, 720, 479).search_range, 16);
}

TEST(CoreParams, FlagsAreCarriedAsRequested) {
  RequestedParams r;
  r.use_comb_mask = true;
  r.use_output_reference = false;
  const EngineParams p = Build(r);
  EXPECT_TRUE(p.use_comb_mask);
  EXPECT_FALSE(p.use_output_reference);
}

}  // namespace
}  // namespace vantrel
