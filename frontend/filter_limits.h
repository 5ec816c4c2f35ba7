// What the filter does with what it is given, for faces that check before
// they run it: the frames it deinterlaces, the ranges in which it uses its
// arguments, and the region rectangles it applies.
#pragma once

#include <cstdint>

#include "host/pixel_type.h"

namespace vantrel::frontend {

// True when the filter deinterlaces frames of this type and size; into any
// other frame it draws a notice.
bool Deinterlaces(host::PixelType type, int32_t width, int32_t height);

enum class Argument { kMode, kSearchRange, kCombThreshold, kMatchThreshold };

struct ArgumentRange {
  int32_t low;
  int32_t high;
  int32_t fallback;  // what the filter uses instead of a value outside
};

// The range for frames of width x height (the search range depends on it).
ArgumentRange RangeOf(Argument argument, int32_t width, int32_t height);

inline bool InRange(const ArgumentRange& range, int32_t value) {
  return value >= range.low && value <= range.high;
}

// A region rectangle in luma samples; x2 and y2 are exclusive.
struct Rect {
  int32_t x1, y1, x2, y2;
};

enum class RectFit {
  kInside,
  kPartlyOutside,  // applied, but partly to padding that is cropped away
  kPaddingOnly,    // applied only to padding: it changes nothing that is kept
  kOutside,        // skipped: it reaches past the frame or starts before it
  kEmpty,          // covers nothing, or is inverted
};

// How a rectangle given in picture coordinates meets a picture of
// width x height that the filter sees padded to frame_width x frame_height.
RectFit FitOf(const Rect& rect, int32_t width, int32_t height, int32_t frame_width,
              int32_t frame_height);

// The rectangle for a frame of frame_height lines turned upside down: it
// covers the same picture, and one the filter skips stays skipped.
Rect Flipped(const Rect& rect, int32_t frame_height);

}  // namespace vantrel::frontend
