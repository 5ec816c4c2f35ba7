#include "core/regions.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace vantrel {

void AppendRegion(RegionList& list, uint8_t kind, int32_t x1, int32_t y1, int32_t x2,
                  int32_t y2) {
  if (list.count >= RegionList::kCapacity) return;
  list.regions[list.count++] = {x1, y1, x2, y2, kind};
}

bool RegionFits(const Region& r, int32_t row_size, int32_t height) {
  // Negative starts are skipped too: the copy would begin outside the plane.
  return r.x2 <= row_size && r.y2 <= height && r.x1 <= r.x2 && r.y1 < r.y2 && r.x1 >= 0 &&
         r.y1 >= 0;
}

void CopyLumaRect(const PlaneView& dst, const PlaneView& src, const Region& r) {
  if (!RegionFits(r, dst.row_size, dst.height)) return;
  const size_t width = size_t(r.x2 - r.x1);
  for (int32_t y = r.y1; y < r.y2; ++y) std::memcpy(dst.Line(y) + r.x1, src.Line(y) + r.x1, width);
}

void ApplyRegions(const RegionList& list, const PlaneView& out, const PlaneView& source,
                  uint8_t* processed) {
  const PlaneView kept{processed, out.row_size, out.row_size, out.height};
  CopyPlane(out, kept);
  for (int32_t i = 0; i < list.count; ++i) {
    const Region& r = list.regions[i];
    CopyLumaRect(out, r.kind != kSubRegion ? kept : source, r);
  }
}

RectFit FitOf(const Region& r, int32_t width, int32_t height, int32_t frame_width,
              int32_t frame_height) {
  if (r.x1 >= r.x2 || r.y1 >= r.y2) return RectFit::kEmpty;
  if (!RegionFits(r, frame_width, frame_height)) return RectFit::kOutside;
  if (r.x1 >= width || r.y1 >= height) return RectFit::kPaddingOnly;
  if (r.x2 > width || r.y2 > height) return RectFit::kPartlyOutside;
  return RectFit::kInside;
}

Region UpsideDown(const Region& r, int32_t frame_height) {
  // Beyond 32 bits a line number is outside the frame either way.
  auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  return {r.x1, clamp(int64_t(frame_height) - r.y2), r.x2, clamp(int64_t(frame_height) - r.y1),
          r.kind};
}

}  // namespace vantrel
