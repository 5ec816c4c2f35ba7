// A frame's format as data: its family, the bits of a sample and how far the
// chroma planes are subsampled. Every face maps its host's formats to one of
// these once (its own table of names); the core, the notices and the engine
// ask it for plane sizes instead of switching on names.
#pragma once

#include <cstdint>

#include "engine/planes.h"

namespace vantrel {

enum class Family : uint8_t {
  kYuv,    // planar: luma, then two chroma planes
  kGrey,   // planar: luma only
  kYuy2,   // packed, 2 bytes a pixel
  kRgb24,  // packed, 3 bytes a pixel, bottom line first
  kRgb32,  // packed, 4 bytes a pixel, bottom line first
};

struct PixelFormat {
  Family family = Family::kYuv;
  uint8_t bits = 8;     // of a sample; above 8 a sample takes 2 bytes
  uint8_t shift_w = 1;  // chroma width = luma width >> shift_w (YUV only)
  uint8_t shift_h = 1;  // chroma height = luma height >> shift_h

  // The formats the filter deinterlaces; packed ones get the convert notice.
  constexpr bool Planar() const { return family == Family::kYuv || family == Family::kGrey; }
  constexpr int PlaneCount() const { return family == Family::kYuv ? 3 : 1; }
  // Bytes of one sample of a planar format, of one pixel of a packed one.
  constexpr int SampleBytes() const {
    switch (family) {
      case Family::kYuy2: return 2;
      case Family::kRgb24: return 3;
      case Family::kRgb32: return 4;
      default: return bits > 8 ? 2 : 1;
    }
  }
  constexpr int32_t PlaneWidth(int plane, int32_t width) const {
    return plane == 0 ? width : width >> shift_w;
  }
  constexpr int32_t PlaneHeight(int plane, int32_t height) const {
    return plane == 0 ? height : height >> shift_h;
  }
  // Sizes whose chroma planes hold whole samples (YUY2: an even width).
  constexpr bool Fits(int32_t width, int32_t height) const {
    if (family == Family::kYuy2) return width % 2 == 0;
    if (family != Family::kYuv) return true;
    return width % (1 << shift_w) == 0 && height % (1 << shift_h) == 0;
  }
  constexpr int32_t MaxSample() const { return (1 << bits) - 1; }

  constexpr bool operator==(const PixelFormat& o) const {
    return family == o.family && bits == o.bits &&
           (family != Family::kYuv || (shift_w == o.shift_w && shift_h == o.shift_h));
  }
  constexpr bool operator!=(const PixelFormat& o) const { return !(*this == o); }
};

constexpr PixelFormat kYuv420{Family::kYuv, 8, 1, 1};
constexpr PixelFormat kYuv422{Family::kYuv, 8, 1, 0};
constexpr PixelFormat kYuv444{Family::kYuv, 8, 0, 0};
constexpr PixelFormat kYuv411{Family::kYuv, 8, 2, 0};
constexpr PixelFormat kGrey{Family::kGrey, 8, 0, 0};
constexpr PixelFormat kYuy2{Family::kYuy2, 8, 1, 0};
constexpr PixelFormat kRgb24{Family::kRgb24, 8, 0, 0};
constexpr PixelFormat kRgb32{Family::kRgb32, 8, 0, 0};

// The deepest samples the filter deinterlaces.
constexpr int kMaxBits = kMaxSampleBits;

// The chroma layouts the filter deinterlaces, as users name them.
constexpr PixelFormat kPlanarLayouts[] = {kYuv420, kYuv422, kYuv444, kYuv411, kGrey};

// The same layout at another depth.
constexpr PixelFormat WithBits(PixelFormat f, int bits) {
  f.bits = uint8_t(bits);
  return f;
}

// "4:2:0", "4:2:2", "4:4:4", "4:1:1", "grey", "YUY2", "RGB24", "RGB32", or
// "4:1:0"-style text for other subsamplings.
const char* LayoutName(PixelFormat format);

}  // namespace vantrel
