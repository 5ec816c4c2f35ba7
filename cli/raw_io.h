// Raw frames: a fixed size and pixel type given by the user, no headers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/frame_io.h"
#include "core/frame_view.h"

namespace vantrel::cli {

// Frame sizes in bytes: i420/yv12 W*H*3/2 (W and H even, planes Y U V or
// Y V U), yuy2 W*2*H (W even), rgb24 W*3*H, rgb32 W*4*H (one plane each).
enum class PixelType { kI420, kYV12, kYUY2, kRGB24, kRGB32 };

// The filter's format of the frames: I420 and YV12 both store the planes in
// the order the filter takes them (luma, then the chroma plane stored first).
PixelFormat FilterFormat(PixelType type);

// "i420", "yv12", "yuy2", "rgb24" or "rgb32", in any case.
bool ParsePixelType(std::string_view name, PixelType* type, std::string* error);
// The name as the command line spells it: "i420" ... "rgb32".
const char* RawTypeName(PixelType type);

// "720x576" -> 720, 576; each from 1 to kMaxDimension.
bool ParseFrameSize(std::string_view text, int32_t* width, int32_t* height, std::string* error);

// The layout of one frame; refuses sizes the pixel type cannot have and
// frames above kMaxFrameBytes. The frame rate is left unknown.
bool MakeRawFormat(PixelType type, int32_t width, int32_t height, FrameFormat* format,
                   std::string* error);

class RawReader : public FrameReader {
 public:
  // Opens a path or "-" for frames of `format` (from MakeRawFormat).
  bool Open(const std::string& path, const FrameFormat& format);
};

class RawWriter : public FrameWriter {
 public:
  explicit RawWriter(const FrameFormat& format) { format_ = format; }
  WriteStatus WriteHeader() override { return WriteStatus::kOk; }
};

}  // namespace vantrel::cli
