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

}  // namespace

std::optional<PixelFormat> FormatOf(int pixel_type) {
  switch (pixel_type) {
    case AVS_CS_YV12:
    case AVS_CS_I420: return kYuv420;
    case AVS_CS_YUY2: return kYuy2;
    case AVS_CS_BGR24: return kRgb24;
    case AVS_CS_BGR32: return kRgb32;
    default: return std::nullopt;
  }
}

HostPlanes HostPlaneOrder(int pixel_type) {
  if (pixel_type == AVS_CS_I420) return {{AVS_PLANAR_Y, AVS_PLANAR_U, AVS_PLANAR_V}};
  if (pixel_type & AVS_CS_PLANAR) return {{AVS_PLANAR_Y, AVS_PLANAR_V, AVS_PLANAR_U}};
  return {{0, 0, 0}};
}

std::string PixelTypeName(int pixel_type) {
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
  char hex[32];
  std::snprintf(hex, sizeof hex, "pixel type 0x%08X", unsigned(pixel_type));
  return hex;
}

std::string UnsupportedPixelTypeMessage(int pixel_type) {
  const int eight_bit = pixel_type & ~AVS_CS_SAMPLE_BITS_MASK;
  bool deep = false;
  for (const SampleSize& size : kSampleSizes) {
    deep |= size.bits > 8 && (pixel_type & AVS_CS_SAMPLE_BITS_MASK) == size.field;
  }
  const bool yv12_at_eight = eight_bit == AVS_CS_YV12 || eight_bit == AVS_CS_I420;
  std::string conversion;
  if (deep) conversion = "ConvertBits(8)";
  if (!yv12_at_eight) conversion += std::string(deep ? "." : "") + "ConvertToYV12(interlaced=true)";
  return std::string(kDeinterlaceFunction.name) + ": " + PixelTypeName(pixel_type) + " is not supported; convert with " +
         conversion;
}

}  // namespace vantrel
