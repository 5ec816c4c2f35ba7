#include "cli/raw_io.h"

#include <cctype>

namespace vantrel::cli {
namespace {

struct PixelTypeInfo {
  PixelType type;
  const char* name;
  int32_t bytes_per_pixel;  // of the single plane; 0 for 4:2:0 planar
  bool even_width;
  bool even_height;
};

constexpr PixelTypeInfo kPixelTypes[] = {
    {PixelType::kI420, "i420", 0, true, true},   {PixelType::kYV12, "yv12", 0, true, true},
    {PixelType::kYUY2, "yuy2", 2, true, false},  {PixelType::kRGB24, "rgb24", 3, false, false},
    {PixelType::kRGB32, "rgb32", 4, false, false},
};

const PixelTypeInfo& InfoOf(PixelType type) {
  for (const PixelTypeInfo& info : kPixelTypes) {
    if (info.type == type) return info;
  }
  return kPixelTypes[0];
}

bool Refuse(std::string* error, const std::string& message) {
  *error = message;
  return false;
}

constexpr const char* kScaleDown = "; scale the video down first, e.g. ffmpeg -vf scale=1920:-2";

bool ParseSide(std::string_view text, std::string_view whole, const char* what, int32_t* out,
               std::string* error) {
  uint64_t v = 0;
  if (!ParseDecimal(text, &v)) {
    return Refuse(error, "frame size \"" + Printable(whole, 32) +
                             "\" is not WIDTHxHEIGHT in pixels, e.g. 720x576");
  }
  if (v == 0 || v > static_cast<uint64_t>(kMaxDimension)) {
    return Refuse(error, std::string(what) + " " + Printable(text, 32) + " is out of range (1 to " +
                             std::to_string(kMaxDimension) + ")" + (v == 0 ? "" : kScaleDown));
  }
  *out = static_cast<int32_t>(v);
  return true;
}

std::string SizeText(int32_t width, int32_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

bool ParsePixelType(std::string_view name, PixelType* type, std::string* error) {
  std::string lower;
  for (const char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const PixelTypeInfo& info : kPixelTypes) {
    if (lower == info.name) {
      *type = info.type;
      return true;
    }
  }
  return Refuse(error, "unknown pixel type \"" + Printable(name, 32) +
                           "\"; use i420, yv12, yuy2, rgb24 or rgb32");
}

const char* RawTypeName(PixelType type) { return InfoOf(type).name; }

PixelFormat FilterFormat(PixelType type) {
  switch (type) {
    case PixelType::kYUY2: return kYuy2;
    case PixelType::kRGB24: return kRgb24;
    case PixelType::kRGB32: return kRgb32;
    default: return kYuv420;
  }
}

bool ParseFrameSize(std::string_view text, int32_t* width, int32_t* height, std::string* error) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) {
    return Refuse(error, "frame size \"" + Printable(text, 32) +
                             "\" is not WIDTHxHEIGHT in pixels, e.g. 720x576");
  }
  return ParseSide(text.substr(0, x), text, "width", width, error) &&
         ParseSide(text.substr(x + 1), text, "height", height, error);
}

bool MakeRawFormat(PixelType type, int32_t width, int32_t height, FrameFormat* format,
                   std::string* error) {
  const PixelTypeInfo& info = InfoOf(type);
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) {
    return Refuse(error, "frame size " + SizeText(width, height) + " is out of range (1 to " +
                             std::to_string(kMaxDimension) + ")");
  }
  if ((info.even_width && width % 2 != 0) || (info.even_height && height % 2 != 0)) {
    return Refuse(error, std::string(info.name) + " needs an even " +
                             (info.even_height ? "width and height" : "width") + ", and " +
                             SizeText(width, height) + " is not");
  }
  FrameFormat f;
  f.width = width;
  f.height = height;
  if (info.bytes_per_pixel == 0) {
    f.plane_count = 3;
    f.planes[0] = PlaneShape{width, height};
    f.planes[1] = PlaneShape{width / 2, height / 2};
    f.planes[2] = f.planes[1];
  } else {
    f.plane_count = 1;
    // At most 4 * 32768: fits in 32 bits.
    f.planes[0] = PlaneShape{width * info.bytes_per_pixel, height};
  }
  for (int i = 0; i < f.plane_count; ++i) {
    f.frame_bytes += static_cast<uint64_t>(f.planes[i].row_bytes) *
                     static_cast<uint64_t>(f.planes[i].rows);
  }
  if (f.frame_bytes > kMaxFrameBytes) {
    return Refuse(error, "a " + std::string(info.name) + " frame of " + SizeText(width, height) +
                             " takes " + std::to_string(f.frame_bytes) +
                             " bytes, above the limit of " + std::to_string(kMaxFrameBytes) +
                             kScaleDown);
  }
  *format = f;
  return true;
}

bool RawReader::Open(const std::string& path, const FrameFormat& format) {
  std::string error;
  if (!in_.Open(path, &error)) {
    Fail(error);
    return false;
  }
  format_ = format;
  format_.frame_count = -1;
  const int64_t rest = in_.RemainingSize();
  const auto frame_bytes = static_cast<int64_t>(format_.frame_bytes);
  if (rest >= 0 && frame_bytes > 0 && rest % frame_bytes == 0) {
    format_.frame_count = rest / frame_bytes;
  }
  return true;
}

}  // namespace vantrel::cli
