#include "core/params.h"

#include <algorithm>

namespace vantrel {

namespace {
constexpr int32_t kSmallerSide = -1;
}

const ParamInfo kParams[kParamCount] = {
    {Param::kMode, "mode", &EngineParams::mode, 0, 4, true},
    {Param::kSearchRange, "search_range", &EngineParams::search_range, 0, kSmallerSide, true},
    {Param::kCombThreshold, "comb_threshold", &EngineParams::comb_threshold, 0, 255, true},
    {Param::kMatchThreshold, "match_threshold", &EngineParams::match_threshold, 0, 65535, true},
    // No mode reads it, and every frame gets the default.
    {Param::kPixelThreshold, "pixel_threshold", &EngineParams::pixel_threshold, 257, 257, false},
};

const ParamInfo& InfoOf(Param param) { return kParams[int(param)]; }

int32_t DefaultOf(Param param) {
  static const EngineParams defaults;
  return defaults.*InfoOf(param).field;
}

ParamRange RangeOf(Param param, int32_t width, int32_t height) {
  const ParamInfo& info = InfoOf(param);
  return {info.low, info.high == kSmallerSide ? std::min(width, height) : info.high};
}

EngineParams BuildEngineParams(const RequestedParams& requested, int32_t width, int32_t height) {
  EngineParams p;
  for (const ParamInfo& info : kParams) {
    const int32_t value = requested.*info.field;
    p.*info.field = RangeOf(info.param, width, height).Holds(value) ? value : DefaultOf(info.param);
  }
  p.use_comb_mask = requested.use_comb_mask;
  p.use_output_reference = requested.use_output_reference;
  return p;
}

}  // namespace vantrel
