// The frame formats the tool reads and writes: one row each, with every name
// it goes by (YUV4MPEG2 colour tags, raw --pixel-type names), the core's
// format and the order in which the filter takes the file's planes. Readers,
// writers, messages and the help all take names and plane shapes from here,
// so a format (another depth, say) is one more row.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/frame_io.h"
#include "core/format.h"

namespace vantrel::cli {

// The file's plane that is the filter's plane i. The filter takes luma, then
// the chroma plane the classic layout stores first (V), then the other.
using PlaneOrder = std::array<int, 3>;
inline constexpr PlaneOrder kAsStored = {0, 1, 2};
inline constexpr PlaneOrder kVThenU = {0, 2, 1};  // for files that store U first

struct ToolFormat {
  PixelFormat format;
  PlaneOrder filter_planes;
  // The ffmpeg -pix_fmt that converts to a planar format, for the messages;
  // null for packed formats, which the filter does not deinterlace.
  const char* ffmpeg;
  std::array<const char*, 4> y4m_tags;   // the text after C; null past the last
  std::array<const char*, 2> raw_names;  // lower case; null past the last
};

// A header without a C tag holds 4:2:0, as this tag says.
inline constexpr std::string_view kY4mDefaultTag = "420";

// The row of a header's colour tag (none: kY4mDefaultTag); null for a tag
// the tool does not take.
const ToolFormat* FindY4mFormat(const std::optional<std::string>& colorspace);
// Why the tool does not take colour tag `tag` and how to convert the video.
std::string Y4mTagRefusal(std::string_view tag);
// The C tag a YUV4MPEG2 stream of `format` carries: none for the default.
std::optional<std::string> Y4mTagOf(PixelFormat format);

// A --pixel-type as typed: its row and its name in lower case.
struct RawType {
  const ToolFormat* row = nullptr;
  const char* name = "";
};
std::optional<RawType> FindRawType(std::string_view name);

// Names from the table for messages and the help, e.g. "i420, yv12 or yuy2".
enum class NameKind {
  kRawTypes,
  kPlanarRawTypes,  // those the filter deinterlaces
  kPackedRawTypes,  // those it only draws its notice on
  kY4mTags,         // "C420jpeg", ...
  kLayouts,         // "4:2:0", ... of the planar formats
  kDeepLayouts,     // those of them with samples of more than 8 bits
};
std::string NameList(NameKind kind, const char* separator, const char* last_separator);

// The frame layout of `format` at a size it fits: plane shapes from the
// core's, in the file's order (chroma planes are alike, so any order).
FrameFormat FileFrameFormat(PixelFormat format, int32_t width, int32_t height);

// What a size must be for `format`, e.g. "an even width and height", and the
// ffmpeg crop that makes any size such, e.g. "crop=2*trunc(iw/2):ih"; "" for
// both when every size fits.
std::string SizeRule(PixelFormat format);
std::string CropToFit(PixelFormat format);

// Why this build cannot take `format`'s samples as files store them, or "".
std::string SampleOrderRefusal(PixelFormat format);

// How to turn frames of `from` into frames the filter deinterlaces: what
// follows "convert it" in a message (": ffmpeg ... -pix_fmt yuv422p", or with
// the fields kept apart where the vertical chroma resolution changes) and,
// for raw frames, the pixel type to give then.
struct Conversion {
  std::string advice;
  const char* raw_name;
};
Conversion ConversionFrom(PixelFormat from);

}  // namespace vantrel::cli
