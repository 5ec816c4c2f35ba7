// The host's frames as the filter core sees them: planes with the host's own
// pointers and pitches, chroma in the order the classic layout stores it.
#pragma once

#include <optional>

#include "core/frame_view.h"
#include "sdk/avisynth.h"

namespace vantrel {

// The core's format for one of the five pixel types VantrelDeinterlace takes.
std::optional<PixelFormat> FormatOf(int pixel_type);

// Views of a host frame; the read view is never written through.
FrameView ReadView(const PVideoFrame& frame, PixelFormat format, bool yv12);
FrameView WriteView(const PVideoFrame& frame, PixelFormat format, bool yv12);

}  // namespace vantrel
