// AviSynth's pixel types as both AviSynth faces meet them: the ones the
// filter takes, recognised by their whole value (newer hosts set further bits
// for further formats, and a mask test would take several of them for one
// layout), and the script error for every other.
#pragma once

#include <optional>
#include <string>

#include "core/frame_view.h"

namespace vantrel {

// The core's format for one of the pixel types VantrelDeinterlace takes.
std::optional<PixelFormat> FormatOf(int pixel_type);

// The host's plane numbers (PLANAR_Y, ...; the same values in both
// interfaces) in the core's order: luma, then the chroma plane the classic
// layout stores first (V, but U for I420), then the other; a packed frame's
// one plane is the default plane, 0.
struct HostPlanes {
  int planes[3];
};
HostPlanes HostPlaneOrder(int pixel_type);

// The host's name of the format ("YV16", "YUV420P10", "RGBP", ...), or its
// value in hex when the bits name no format.
std::string PixelTypeName(int pixel_type);

// What VantrelDeinterlace answers a clip of another type: its format and the
// conversions that make it the nearest one the filter deinterlaces.
std::string UnsupportedPixelTypeMessage(int pixel_type);

}  // namespace vantrel
