#include "avisynth_shared/pixel_types.h"

#include <cstdio>

#include "avisynth_shared/script_functions.h"

// The values are the same in both of the host's interfaces; the C
// interface's header has them as plain constants.
#include "sdk/avisynth_c.h"

namespace vantrel {
namespace {

struct Named {
  int pixel_type;
  const char* name;
};

constexpr Named kSingles[] = {
    {AVS_CS_BGR24, "RGB24"}, {AVS_CS_BGR32, "RGB32"}, {AVS_CS_YUY2, "YUY2"},
    {AVS_CS_YV12, "YV12"},   {AVS_CS_I420, "I420"},   {AVS_CS_YV24, "YV24"},
    {AVS_CS_YV16, "YV16"},   {AVS_CS_YV411, "YV411"}, {AVS_CS_YUV9, "YUV9"},
    {AVS_CS_BGR48, "RGB48"}, {AVS_CS_BGR64, "RGB64"},
};

struct SampleSize {
  int field;
  int bits;
};

constexpr SampleSize kSampleSizes[] = {
    {AVS_CS_SAMPLE_BITS_8, 8},   {AVS_CS_SAMPLE_BITS_10, 10}, {AVS_CS_SAMPLE_BITS_12, 12},
    {AVS_CS_SAMPLE_BITS_14, 14}, {AVS_CS_SAMPLE_BITS_16, 16}, {AVS_CS_SAMPLE_BITS_32, 32},
};

constexpr Named kSubsamplings[] = {
    {AVS_CS_SUB_WIDTH_1 | AVS_CS_SUB_HEIGHT_1, "444"},
    {AVS_CS_SUB_WIDTH_2 | AVS_CS_SUB_HEIGHT_1, "422"},
    {AVS_CS_SUB_WIDTH_2 | AVS_CS_SUB_HEIGHT_2, "420"},
};

// Float samples are written S in the names; the 8-bit member of a family
// usually goes without a size.
std::string Depth(int bits) { return bits == 32 ? "S" : std::to_string(bits); }

std::optional<std::string> NameOf(int pixel_type) {
  for (const Named& single : kSingles) {
    if (pixel_type == single.pixel_type) return single.name;
  }
  for (const SampleSize& size : kSampleSizes) {
    const std::string sized = size.bits == 8 ? "" : Depth(size.bits);
    if (pixel_type == (AVS_CS_GENERIC_Y | size.field)) return "Y" + std::to_string(size.bits);
    if (pixel_type == (AVS_CS_GENERIC_RGBP | size.field)) return "RGBP" + sized;
    if (pixel_type == (AVS_CS_GENERIC_RGBAP | size.field)) return "RGBAP" + sized;
    for (const Named& sub : kSubsamplings) {
      const int planar = AVS_CS_PLANAR | AVS_CS_VPLANEFIRST | sub.pixel_type | size.field;
      if (size.bits > 8 && pixel_type == (planar | AVS_CS_YUV)) {
        return std::string("YUV") + sub.name + "P" + sized;
      }
      if (pixel_type == (planar | AVS_CS_YUVA)) {
        return std::string("YUVA") + sub.name + (size.bits == 8 ? "" : "P" + sized);
      }
    }
  }
  return std::nullopt;
}

// The pixel types the filter takes besides the planar families below (and
// the packed ones it answers with the notice).
struct Mapped {
  int pixel_type;
  PixelFormat format;
};

constexpr Mapped kMapped[] = {
    {AVS_CS_I420, kYuv420}, {AVS_CS_YV411, kYuv411}, {AVS_CS_YUY2, kYuy2},
    {AVS_CS_BGR24, kRgb24}, {AVS_CS_BGR32, kRgb32},  // the notice
};

// The planar families the filter takes at every integer depth the core
// takes: YV12, YV16, YV24 and Y8 are their 8-bit members.
constexpr Mapped kFamilies[] = {
    {AVS_CS_GENERIC_YUV420, kYuv420},
    {AVS_CS_GENERIC_YUV422, kYuv422},
    {AVS_CS_GENERIC_YUV444, kYuv444},
    {AVS_CS_GENERIC_Y, kGrey},
};

bool Deinterlaced(int type) {
  const std::optional<PixelFormat> format = FormatOf(type);
  return format && format->Planar();
}

constexpr int kRgbPlanes = AVS_CS_PLANAR | AVS_CS_BGR;
constexpr int kLayoutBits = AVS_CS_PLANAR | AVS_CS_INTERLEAVED | AVS_CS_YUV | AVS_CS_BGR |
                            AVS_CS_SUB_WIDTH_MASK | AVS_CS_SUB_HEIGHT_MASK;

// Each conversion gives the type it makes of `type`, or AVS_CS_UNKNOWN when
// it does not apply.
int WithoutAlpha(int type) {
  if ((type & AVS_CS_PLANAR) && (type & AVS_CS_YUVA)) return (type & ~AVS_CS_YUVA) | AVS_CS_YUV;
  if ((type & (kRgbPlanes | AVS_CS_INTERLEAVED | 3)) == (kRgbPlanes | AVS_CS_RGBA_TYPE)) {
    return (type & ~AVS_CS_RGBA_TYPE) | AVS_CS_RGB_TYPE;
  }
  return AVS_CS_UNKNOWN;
}

// Planar or packed RGB: 4:4:4 keeps every sample.
int RgbToYuv444(int type) {
  return type & AVS_CS_BGR ? AVS_CS_GENERIC_YUV444 | (type & AVS_CS_SAMPLE_BITS_MASK)
                           : AVS_CS_UNKNOWN;
}

// 4:1:0 to the layout of the same chroma width.
int Yuv410To411(int type) {
  return (type & kLayoutBits) == (AVS_CS_YUV9 & kLayoutBits)
             ? (type & ~AVS_CS_SUB_HEIGHT_MASK) | AVS_CS_SUB_HEIGHT_1
             : AVS_CS_UNKNOWN;
}

// Any other layout (and a value that names none) to the classic one.
int OtherToYv12(int type) {
  return Deinterlaced(type & ~AVS_CS_SAMPLE_BITS_MASK) ? AVS_CS_UNKNOWN : AVS_CS_YV12;
}

// Float samples to the deepest integers the filter takes.
static_assert(kMaxBits == 16, "the depth conversion names 16 bits");
int IntegerSamples(int type) {
  return (type & AVS_CS_SAMPLE_BITS_MASK) == AVS_CS_SAMPLE_BITS_32
             ? (type & ~AVS_CS_SAMPLE_BITS_MASK) | AVS_CS_SAMPLE_BITS_16
             : AVS_CS_UNKNOWN;
}

struct Conversion {
  const char* script;
  int (*to)(int type);
};

// Tried in this order, each when the type is still not one the filter
// deinterlaces: the layout before the depth, so that a matrix works on
// every bit the source has (ConvertToYUV444 takes every depth, ConvertToYV24
// 8 bits only).
constexpr Conversion kConversions[] = {
    {"RemoveAlphaPlane()", WithoutAlpha},
    {"ConvertToYUV444(matrix=\"Rec709\")", RgbToYuv444},
    {"ConvertToYV411()", Yuv410To411},
    {"ConvertToYV12(interlaced=true)", OtherToYv12},
    {"ConvertBits(16)", IntegerSamples},
};

}  // namespace

std::optional<PixelFormat> FormatOf(int pixel_type) {
  for (const Mapped& m : kMapped) {
    if (pixel_type == m.pixel_type) return m.format;
  }
  for (const Mapped& family : kFamilies) {
    for (const SampleSize& size : kSampleSizes) {
      if (size.bits <= kMaxBits && pixel_type == (family.pixel_type | size.field)) {
        return WithBits(family.format, size.bits);
      }
    }
  }
  return std::nullopt;
}

HostPlanes HostPlaneOrder(int pixel_type) {
  if (pixel_type & AVS_CS_UPLANEFIRST) return {{AVS_PLANAR_Y, AVS_PLANAR_U, AVS_PLANAR_V}};
  if (pixel_type & AVS_CS_PLANAR) return {{AVS_PLANAR_Y, AVS_PLANAR_V, AVS_PLANAR_U}};
  return {{0, 0, 0}};
}

std::string PixelTypeName(int pixel_type) {
  if (const std::optional<std::string> name = NameOf(pixel_type)) return *name;
  char hex[32];
  std::snprintf(hex, sizeof hex, "pixel type 0x%08X", unsigned(pixel_type));
  return hex;
}

std::string UnsupportedPixelTypeMessage(int pixel_type) {
  std::string conversion;
  // Bits that name no format say nothing of what to convert.
  int type = NameOf(pixel_type) ? pixel_type : AVS_CS_UNKNOWN;
  for (const Conversion& c : kConversions) {
    if (Deinterlaced(type)) break;
    const int converted = c.to(type);
    if (converted == AVS_CS_UNKNOWN) continue;
    conversion += (conversion.empty() ? "" : ".") + std::string(c.script);
    type = converted;
  }
  return std::string(kDeinterlaceFunction.name) + ": " + PixelTypeName(pixel_type) +
         " is not supported; convert with " + conversion;
}

}  // namespace vantrel
