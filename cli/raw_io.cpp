#include "cli/raw_io.h"

#include <cctype>

namespace vantrel::cli {
namespace {

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

bool ParsePixelType(std::string_view name, RawType* type, std::string* error) {
  if (const std::optional<RawType> found = FindRawType(name)) {
    *type = *found;
    return true;
  }
  // FFmpeg's big-endian names: point to the little-endian twin.
  const size_t n = name.size();
  if (n > 2 && std::tolower(static_cast<unsigned char>(name[n - 2])) == 'b' &&
      std::tolower(static_cast<unsigned char>(name[n - 1])) == 'e') {
    const std::string twin = std::string(name.substr(0, n - 2)) + "le";
    if (const std::optional<RawType> found = FindRawType(twin)) {
      return Refuse(error, "pixel type \"" + Printable(name, 32) +
                               "\" stores its samples big-endian, and the tool reads them "
                               "little-endian; convert the video: ffmpeg ... -pix_fmt " +
                               found->row->ffmpeg + ", and give --pixel-type " + found->name);
    }
  }
  return Refuse(error, "unknown pixel type \"" + Printable(name, 32) + "\"; use " +
                           NameList(NameKind::kRawTypes, ", ", " or "));
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

bool MakeRawFormat(const RawType& type, int32_t width, int32_t height, FrameFormat* format,
                   std::string* error) {
  const PixelFormat pixels = type.row->format;
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) {
    return Refuse(error, "frame size " + SizeText(width, height) + " is out of range (1 to " +
                             std::to_string(kMaxDimension) + ")");
  }
  if (const std::string why = SampleOrderRefusal(pixels); !why.empty()) return Refuse(error, why);
  if (!pixels.Fits(width, height)) {
    return Refuse(error, std::string(type.name) + " needs " + SizeRule(pixels) + ", and " +
                             SizeText(width, height) +
                             " is not; crop or scale the video, e.g. ffmpeg -vf " +
                             CropToFit(pixels));
  }
  const FrameFormat f = FileFrameFormat(pixels, width, height);
  if (f.frame_bytes > kMaxFrameBytes) {
    return Refuse(error, "a " + std::string(type.name) + " frame of " + SizeText(width, height) +
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
