// Notices drawn into frames the filter does not process, telling the viewer
// what to change in the script.
#pragma once

#include "core/frame_view.h"

namespace vantrel {

// Frozen: scripts and the users' guides quote these texts as they stand,
// misspelling included (docs/development.md).
extern const char kConvertNotice[];
extern const char kSizeNotice[];

// Copies the source into the output, then draws the format's text (the
// convert notice on packed frames, the size notice on planar ones): black
// glyphs, and white ones 2 pixels right and down over them. Only luma
// changes in YUY2 and planar frames. A frame too large for a canvas keeps
// the plain copy; false when the canvas's memory could not be had.
bool DrawNotice(const FrameView& src, const FrameView& dst);

}  // namespace vantrel
