#include "frontend/placement.h"

#include <cstring>

namespace vantrel::frontend {

std::array<Field, 2> FieldsInTimeOrder(FieldOrder order) {
  if (order == FieldOrder::kTopFirst) return {Field::kTop, Field::kBottom};
  return {Field::kBottom, Field::kTop};
}

namespace {

template <typename Lines, typename Byte>
Lines Place(Byte* data, int pitch, int height, Field keep) {
  if (keep == Field::kBottom) return {data, pitch};
  return {data + ptrdiff_t(height - 1) * pitch, -ptrdiff_t(pitch)};
}

}  // namespace

PictureLines PictureIn(const host::PlaneView& plane, Field keep) {
  return Place<PictureLines>(plane.data, plane.pitch, plane.height, keep);
}

ConstPictureLines PictureIn(const host::ConstPlaneView& plane, Field keep) {
  return Place<ConstPictureLines>(plane.data, plane.pitch, plane.height, keep);
}

void FillPadding(const host::PlaneView& plane, int32_t row_bytes, int32_t rows, Field keep) {
  if (row_bytes <= 0 || rows <= 0) return;
  const int32_t first = keep == Field::kBottom ? 0 : plane.height - rows;
  auto line = [&](int32_t y) { return plane.data + ptrdiff_t(y) * plane.pitch; };
  if (plane.row_size > row_bytes) {
    for (int32_t y = first; y < first + rows; ++y) {
      std::memset(line(y) + row_bytes, line(y)[row_bytes - 1], size_t(plane.row_size - row_bytes));
    }
  }
  // The picture's last line: its bottom, or its top when it is upside down.
  const int32_t last = keep == Field::kBottom ? rows - 1 : first;
  for (int32_t y = 0; y < plane.height; ++y) {
    if (y < first || y >= first + rows) std::memcpy(line(y), line(last), size_t(plane.row_size));
  }
}

void CopyFlipped(const host::ConstPlaneView& from, const host::PlaneView& to) {
  for (int y = 0; y < to.height; ++y) {
    std::memcpy(to.data + ptrdiff_t(y) * to.pitch,
                from.data + ptrdiff_t(from.height - 1 - y) * from.pitch, size_t(to.row_size));
  }
}

}  // namespace vantrel::frontend
