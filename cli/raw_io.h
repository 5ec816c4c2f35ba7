// Raw frames: a fixed size and pixel type given by the user, no headers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/formats.h"
#include "cli/frame_io.h"

namespace vantrel::cli {

// --pixel-type: one of formats.h's raw names, in any case.
bool ParsePixelType(std::string_view name, RawType* type, std::string* error);

// "720x576" -> 720, 576; each from 1 to kMaxDimension.
bool ParseFrameSize(std::string_view text, int32_t* width, int32_t* height, std::string* error);

// The layout of one frame; refuses sizes the pixel type cannot have and
// frames above kMaxFrameBytes. The frame rate is left unknown.
bool MakeRawFormat(const RawType& type, int32_t width, int32_t height, FrameFormat* format,
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
