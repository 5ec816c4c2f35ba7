// The five pixel types the filter knows, recognised by their whole value, and
// the script error for every other clip: newer hosts set further bits for
// further formats, and a mask test would take several of them for 4:2:0.
#pragma once

#include <string>

namespace vantrel {

// YV12, I420, YUY2, RGB24 or RGB32, 8 bits.
bool IsKnownPixelType(int pixel_type);

// The host's name of the format ("YV16", "YUV420P10", "RGBP", ...), or its
// value in hex when the bits name no format.
std::string PixelTypeName(int pixel_type);

// What VantrelDeinterlace answers a clip of another type: its format and the
// conversion that makes it one the filter processes.
std::string UnsupportedPixelTypeMessage(int pixel_type);

}  // namespace vantrel
