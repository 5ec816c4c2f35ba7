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

void FillPadding(const PlaneView& plane, int32_t row_bytes, int32_t rows) {
  if (row_bytes <= 0 || rows <= 0) return;
  if (plane.row_size > row_bytes) {
    for (int32_t y = 0; y < rows; ++y) {
      uint8_t* line = plane.Line(y);
      std::memset(line + row_bytes, line[row_bytes - 1], size_t(plane.row_size - row_bytes));
    }
  }
  for (int32_t y = rows; y < plane.height; ++y) {
    std::memcpy(plane.Line(y), plane.Line(rows - 1), size_t(plane.row_size));
  }
}

}  // namespace vantrel
