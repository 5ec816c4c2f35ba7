#include "core/regions.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

namespace vantrel {

void RegionList::Append(const Region& region) {
  static std::mutex appending;
  std::lock_guard<std::mutex> lock(appending);
  const int32_t n = count_.load(std::memory_order_relaxed);
  if (n >= kCapacity) return;
  regions_[n] = region;
  count_.store(n + 1, std::memory_order_release);
}

void AppendRegion(RegionList& list, uint8_t kind, int32_t x1, int32_t y1, int32_t x2,
                  int32_t y2) {
  list.Append({x1, y1, x2, y2, kind});
}

bool RegionFits(const Region& r, int32_t width, int32_t height) {
  // Negative starts are skipped too: the copy would begin outside the plane.
  return r.x2 <= width && r.y2 <= height && r.x1 <= r.x2 && r.y1 < r.y2 && r.x1 >= 0 &&
         r.y1 >= 0;
}

void CopyLumaRect(const PlaneView& dst, const PlaneView& src, const Region& r) {
  if (!RegionFits(r, dst.width, dst.height)) return;
  const size_t sample = size_t(dst.sample_bytes);
  const size_t from = size_t(r.x1) * sample, bytes = size_t(r.x2 - r.x1) * sample;
  for (int32_t y = r.y1; y < r.y2; ++y) std::memcpy(dst.Line(y) + from, src.Line(y) + from, bytes);
}

void ApplyRegions(const RegionList& list, const PlaneView& out, const PlaneView& source,
                  uint8_t* processed) {
  PlaneView kept = out;
  kept.data = processed;
  kept.pitch = ptrdiff_t(out.row_bytes());
  CopyPlane(out, kept);
  const int32_t count = list.Count();
  for (int32_t i = 0; i < count; ++i) {
    const Region& r = list[i];
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
