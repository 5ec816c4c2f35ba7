#include "cli/padding.h"

#include <cstddef>
#include <cstring>

namespace vantrel::cli {

void ExtendPlane(uint8_t* data, int pitch, int width, int height, int padded_width,
                 int padded_height) {
  if (width <= 0 || height <= 0) return;
  if (padded_width > width) {
    for (int y = 0; y < height; ++y) {
      uint8_t* line = data + ptrdiff_t(y) * pitch;
      std::memset(line + width, line[width - 1], size_t(padded_width - width));
    }
  }
  const uint8_t* last = data + ptrdiff_t(height - 1) * pitch;
  for (int y = height; y < padded_height; ++y) {
    std::memcpy(data + ptrdiff_t(y) * pitch, last, size_t(padded_width));
  }
}

}  // namespace vantrel::cli
