// Notices drawn into frames the filter does not process, telling the viewer
// what to change in the script.
#pragma once

#include "core/frame_view.h"

namespace vantrel {

enum class NoticeVariant { kRgb24, kRgb32, kYuy2, kPlanar };

extern const char kConvertNotice[];
extern const char kSizeNotice[];

// Copies the source into the output, then draws the variant's text: black
// glyphs, and white ones 2 pixels right and down over them. Only luma bytes
// change in YUY2 and planar frames. A frame too large for a canvas keeps the
// plain copy; false when the canvas's memory could not be had.
bool DrawNotice(NoticeVariant variant, const FrameView& src, const FrameView& dst);

}  // namespace vantrel
