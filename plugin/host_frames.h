// The host's frames as the filter core sees them: planes with the host's own
// pointers and pitches, chroma in the order the classic layout stores it.
#pragma once

#include "avisynth_shared/pixel_types.h"
#include "core/frame_view.h"
#include "sdk/avisynth.h"

namespace vantrel {

// Views of a host frame of a clip of `pixel_type`, in the core's `format`;
// the read view is never written through.
FrameView ReadView(const PVideoFrame& frame, PixelFormat format, int pixel_type);
FrameView WriteView(const PVideoFrame& frame, PixelFormat format, int pixel_type);

}  // namespace vantrel
