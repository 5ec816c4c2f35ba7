// The frame types the host makes frames of, shared by everything that names
// one (the tool's raw frames included), without the interface header.
#ifndef VANTREL_HOST_PIXEL_TYPE_H
#define VANTREL_HOST_PIXEL_TYPE_H

namespace vantrel::host {

// I420 and YV12 are 4:2:0 planar (U before V, and V before U); the others
// are packed. kOther stands for anything else a clip may carry.
enum class PixelType { kI420, kYV12, kYUY2, kRGB24, kRGB32, kOther };

// "I420", "YV12", "YUY2", "RGB24", "RGB32" or "other".
const char* PixelTypeName(PixelType type);

inline bool IsPlanar(PixelType type) {
  return type == PixelType::kI420 || type == PixelType::kYV12;
}

}  // namespace vantrel::host

#endif  // VANTREL_HOST_PIXEL_TYPE_H
