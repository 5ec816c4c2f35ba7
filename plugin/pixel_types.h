// The script error for clips of a pixel type the filter does not know (it
// knows five, recognised by their whole value in host_frames.cpp: newer hosts
// set further bits for further formats, and a mask test would take several of
// them for 4:2:0).
#pragma once

#include <string>

namespace vantrel {

// The host's name of the format ("YV16", "YUV420P10", "RGBP", ...), or its
// value in hex when the bits name no format.
std::string PixelTypeName(int pixel_type);

// What VantrelDeinterlace answers a clip of another type: its format and the
// conversion that makes it one the filter processes.
std::string UnsupportedPixelTypeMessage(int pixel_type);

}  // namespace vantrel
