// Where a picture sits in the frame the filter works on. The filter keeps the
// odd lines and deinterlaces only sizes that are multiples of 16, so a picture
// is padded to the next multiple of 16 (its last column and last line
// repeated) and, to keep its even lines instead, given to the filter upside
// down: for an even frame height that swaps the two fields. Every face places
// pictures this way, so they all give the same bytes.
#pragma once

#include <array>
#include <cstdint>

#include "core/frame_view.h"

namespace vantrel {

// The field whose lines pass through unchanged: the odd lines (the filter's
// own choice) or the even ones.
enum class Field { kBottom, kTop };
enum class FieldOrder { kTopFirst, kBottomFirst };

// The two fields of a frame in the order they were shot; a double-rate run
// gives two frames per frame, keeping them in this order.
std::array<Field, 2> FieldsInTimeOrder(FieldOrder order);

// The frame as the filter sees it when it is to keep `keep`.
FrameView Placed(const FrameView& frame, Field keep);

// Fills what a picture of width x height samples at the top left of the
// plane leaves of it: each picture line past its end with its last sample,
// then every line below with the picture's last line.
void FillPadding(const PlaneView& plane, int32_t width, int32_t height);
// The same for every plane of a frame, the picture width x height luma
// samples (each chroma plane's share of it at its own size).
void FillPadding(const FrameView& frame, int32_t width, int32_t height);

}  // namespace vantrel
