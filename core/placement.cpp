#include "core/placement.h"

#include <cstring>

namespace vantrel {

std::array<Field, 2> FieldsInTimeOrder(FieldOrder order) {
  if (order == FieldOrder::kTopFirst) return {Field::kTop, Field::kBottom};
  return {Field::kBottom, Field::kTop};
}

FrameView Placed(const FrameView& frame, Field keep) {
  return keep == Field::kBottom ? frame : UpsideDown(frame);
}

void FillPadding(const PlaneView& plane, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return;
  const size_t sample = size_t(plane.sample_bytes);
  if (plane.width > width) {
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* line = plane.Line(y);
      const uint8_t* last = line + size_t(width - 1) * sample;
      if (sample == 1) {
        std::memset(line + width, *last, size_t(plane.width - width));
        continue;
      }
      for (uint8_t* at = line + size_t(width) * sample; at < line + plane.row_bytes(); at += sample) {
        std::memcpy(at, last, sample);
      }
    }
  }
  for (int32_t y = height; y < plane.height; ++y) {
    std::memcpy(plane.Line(y), plane.Line(height - 1), plane.row_bytes());
  }
}

void FillPadding(const FrameView& frame, int32_t width, int32_t height) {
  for (int i = 0; i < frame.plane_count(); ++i) {
    FillPadding(frame.planes[i], frame.format.PlaneWidth(i, width),
                frame.format.PlaneHeight(i, height));
  }
}

}  // namespace vantrel
