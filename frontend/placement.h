// Where a picture sits in the frame the filter works on. The filter keeps the
// odd lines and deinterlaces only sizes that are multiples of 16, so a picture
// is padded to the next multiple of 16 (its last column and last line
// repeated) and, to keep its even lines instead, turned upside down: for an
// even frame height that swaps the two fields. Every face of the filter
// places pictures this way, so they all give the same bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "host/script_host.h"

namespace vantrel::frontend {

// The field whose lines pass through unchanged: the odd lines (the filter's
// own choice) or the even ones.
enum class Field { kBottom, kTop };
enum class FieldOrder { kTopFirst, kBottomFirst };

// The two fields of a frame in the order they were shot; a double-rate run
// gives two frames per frame, keeping them in this order.
std::array<Field, 2> FieldsInTimeOrder(FieldOrder order);

inline int32_t PadTo16(int32_t size) { return (size + 15) / 16 * 16; }

// Line y of a picture plane inside a frame plane is at data + y * pitch; the
// pitch is negative when the picture is upside down.
struct PictureLines {
  uint8_t* data;
  ptrdiff_t pitch;
};
struct ConstPictureLines {
  const uint8_t* data;
  ptrdiff_t pitch;
};

// A picture plane starts at the frame plane's first line when the bottom
// field is kept, and at its last line, upside down, for the top field.
PictureLines PictureIn(const host::PlaneView& plane, Field keep);
ConstPictureLines PictureIn(const host::ConstPlaneView& plane, Field keep);

// Fills what a picture plane of row_bytes x rows, placed for `keep`, leaves
// of the frame plane: each picture line past its end with its last sample,
// then every other line with the picture's last line.
void FillPadding(const host::PlaneView& plane, int32_t row_bytes, int32_t rows, Field keep);

// Copies a plane upside down into one of the same size: a frame placed for
// one field becomes the frame placed for the other, padding included.
void CopyFlipped(const host::ConstPlaneView& from, const host::PlaneView& to);

}  // namespace vantrel::frontend
