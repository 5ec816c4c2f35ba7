// --pad: frames grow to the next multiple of 16 by repeating their last
// column and line, so sizes such as 1920 x 1080 can be deinterlaced.
#pragma once

#include <cstdint>

namespace vantrel::cli {

inline int32_t PadTo16(int32_t size) { return (size + 15) / 16 * 16; }

// The plane holds `width` x `height` samples at the top left of a
// `padded_width` x `padded_height` area (both with `pitch`); fills the rest
// from the last column, then from the last line.
void ExtendPlane(uint8_t* data, int pitch, int width, int height, int padded_width,
                 int padded_height);

}  // namespace vantrel::cli
