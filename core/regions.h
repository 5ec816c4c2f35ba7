// Rectangles of the luma plane that take back the source picture (sub) or
// the processed picture (add), applied in the order they were added. The
// list is an argument of every frame: the AviSynth plugin passes its one list
// for the whole process, the tool a list for each field it keeps.
#pragma once

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

struct RegionList {
  static constexpr int32_t kCapacity = 100;
  int32_t count = 0;
  Region regions[kCapacity];
};

// Appends when there is room; a full list ignores the call.
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
