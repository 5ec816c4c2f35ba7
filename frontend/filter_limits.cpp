#include "frontend/filter_limits.h"

#include <algorithm>
#include <climits>

#include "engine/engine.h"

namespace vantrel::frontend {

bool Deinterlaces(host::PixelType type, int32_t width, int32_t height) {
  return host::IsPlanar(type) && width % 16 == 0 && height % 16 == 0;
}

ArgumentRange RangeOf(Argument argument, int32_t width, int32_t height) {
  const EngineParams defaults;
  switch (argument) {
    case Argument::kMode: return {0, 4, defaults.mode};
    case Argument::kSearchRange: return {0, std::min(width, height), defaults.search_range};
    case Argument::kCombThreshold: return {0, 255, defaults.comb_threshold};
    case Argument::kMatchThreshold: return {0, 65535, defaults.match_threshold};
  }
  return {0, 0, 0};
}

RectFit FitOf(const Rect& r, int32_t width, int32_t height, int32_t frame_width,
              int32_t frame_height) {
  if (r.x1 >= r.x2 || r.y1 >= r.y2) return RectFit::kEmpty;
  if (r.x1 < 0 || r.y1 < 0 || r.x2 > frame_width || r.y2 > frame_height) return RectFit::kOutside;
  if (r.x1 >= width || r.y1 >= height) return RectFit::kPaddingOnly;
  if (r.x2 > width || r.y2 > height) return RectFit::kPartlyOutside;
  return RectFit::kInside;
}

Rect Flipped(const Rect& r, int32_t frame_height) {
  // Beyond 32 bits a line number is outside the frame either way.
  auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  return {r.x1, clamp(int64_t(frame_height) - r.y2), r.x2, clamp(int64_t(frame_height) - r.y1)};
}

}  // namespace vantrel::frontend
