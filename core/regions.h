// Rectangles of the luma plane that take back the source picture (sub) or
// the processed picture (add), applied in the order they were added. The
// list is an argument of every frame: the AviSynth plugin passes its one list
// for the whole process, the tool a list for each field it keeps.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/frame_view.h"

namespace vantrel {

struct Region {
  int32_t x1;
  int32_t y1;
  int32_t x2;  // exclusive
  int32_t y2;  // exclusive
  uint8_t kind;
};

constexpr uint8_t kSubRegion = 0;
constexpr uint8_t kAddRegion = 1;

// Script functions append to a list that frame threads read at the same
// time: an entry is written before the count that publishes it, so a reader
// sees the list before or after an append, never a half-written region.
class RegionList {
 public:
  static constexpr int32_t kCapacity = 100;

  RegionList() = default;
  RegionList(const RegionList&) = delete;
  RegionList& operator=(const RegionList&) = delete;

  int32_t Count() const { return count_.load(std::memory_order_acquire); }
  // Entries below Count() only.
  const Region& operator[](int32_t i) const { return regions_[i]; }

  // Appends when there is room; a full list ignores the call. Appends from
  // several threads are taken one at a time.
  void Append(const Region& region);
  // Empties the list (tests start each case from an empty one).
  void Clear() { count_.store(0, std::memory_order_release); }

 private:
  std::atomic<int32_t> count_{0};
  Region regions_[kCapacity];
};

void AppendRegion(RegionList& list, uint8_t kind, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// True when the rectangle lies inside a plane of row_size x height and is
// neither empty in height nor inverted: the rectangles the filter applies.
bool RegionFits(const Region& region, int32_t row_size, int32_t height);

// Copies the rectangle from src to dst (planes of the same size) when it fits.
void CopyLumaRect(const PlaneView& dst, const PlaneView& src, const Region& region);

// Keeps the processed luma (out) in `processed` (row_size x height bytes),
// then lets each region restore its rectangle from `source` or from it.
void ApplyRegions(const RegionList& list, const PlaneView& out, const PlaneView& source,
                  uint8_t* processed);

// How a rectangle given in picture coordinates meets a picture of
// width x height that the filter sees padded to frame_width x frame_height.
enum class RectFit {
  kInside,
  kPartlyOutside,  // applied, but partly to padding that is cropped away
  kPaddingOnly,    // applied only to padding: it changes nothing that is kept
  kOutside,        // skipped: it reaches past the frame or starts before it
  kEmpty,          // covers nothing, or is inverted
};
RectFit FitOf(const Region& region, int32_t width, int32_t height, int32_t frame_width,
              int32_t frame_height);

// The rectangle for a frame of frame_height lines turned upside down: it
// covers the same picture, and one the filter skips stays skipped.
Region UpsideDown(const Region& region, int32_t frame_height);

}  // namespace vantrel
