#include "plugin/pixel_types.h"

#include <cstdio>

#include "sdk/avisynth.h"

namespace vantrel {
namespace {

using VI = VideoInfo;

struct Named {
  int pixel_type;
  const char* name;
};

constexpr Named kSingles[] = {
    {VI::CS_BGR24, "RGB24"}, {VI::CS_BGR32, "RGB32"}, {VI::CS_YUY2, "YUY2"},
    {VI::CS_YV12, "YV12"},   {VI::CS_I420, "I420"},   {VI::CS_YV24, "YV24"},
    {VI::CS_YV16, "YV16"},   {VI::CS_YV411, "YV411"}, {VI::CS_YUV9, "YUV9"},
    {VI::CS_BGR48, "RGB48"}, {VI::CS_BGR64, "RGB64"},
};

struct SampleSize {
  int field;
  int bits;
};

constexpr SampleSize kSampleSizes[] = {
    {VI::CS_Sample_Bits_8, 8},   {VI::CS_Sample_Bits_10, 10}, {VI::CS_Sample_Bits_12, 12},
    {VI::CS_Sample_Bits_14, 14}, {VI::CS_Sample_Bits_16, 16}, {VI::CS_Sample_Bits_32, 32},
};

constexpr Named kSubsamplings[] = {
    {VI::CS_Sub_Width_1 | VI::CS_Sub_Height_1, "444"},
    {VI::CS_Sub_Width_2 | VI::CS_Sub_Height_1, "422"},
    {VI::CS_Sub_Width_2 | VI::CS_Sub_Height_2, "420"},
};

// Float samples are written S in the names; the 8-bit member of a family
// usually goes without a size.
std::string Depth(int bits) { return bits == 32 ? "S" : std::to_string(bits); }

}  // namespace

std::string PixelTypeName(int pixel_type) {
  for (const Named& single : kSingles) {
    if (pixel_type == single.pixel_type) return single.name;
  }
  for (const SampleSize& size : kSampleSizes) {
    const std::string sized = size.bits == 8 ? "" : Depth(size.bits);
    if (pixel_type == (VI::CS_GENERIC_Y | size.field)) return "Y" + std::to_string(size.bits);
    if (pixel_type == (VI::CS_GENERIC_RGBP | size.field)) return "RGBP" + sized;
    if (pixel_type == (VI::CS_GENERIC_RGBAP | size.field)) return "RGBAP" + sized;
    for (const Named& sub : kSubsamplings) {
      const int planar = VI::CS_PLANAR | VI::CS_VPlaneFirst | sub.pixel_type | size.field;
      if (size.bits > 8 && pixel_type == (planar | VI::CS_YUV)) {
        return std::string("YUV") + sub.name + "P" + sized;
      }
      if (pixel_type == (planar | VI::CS_YUVA)) {
        return std::string("YUVA") + sub.name + (size.bits == 8 ? "" : "P" + sized);
      }
    }
  }
  char hex[32];
  std::snprintf(hex, sizeof hex, "pixel type 0x%08X", unsigned(pixel_type));
  return hex;
}

std::string UnsupportedPixelTypeMessage(int pixel_type) {
  const int eight_bit = pixel_type & ~VI::CS_Sample_Bits_Mask;
  bool deep = false;
  for (const SampleSize& size : kSampleSizes) {
    deep |= size.bits > 8 && (pixel_type & VI::CS_Sample_Bits_Mask) == size.field;
  }
  const bool yv12_at_eight = eight_bit == VI::CS_YV12 || eight_bit == VI::CS_I420;
  std::string conversion;
  if (deep) conversion = "ConvertBits(8)";
  if (!yv12_at_eight) conversion += std::string(deep ? "." : "") + "ConvertToYV12(interlaced=true)";
  return "VantrelDeinterlace: " + PixelTypeName(pixel_type) + " is not supported; convert with " +
         conversion;
}

}  // namespace vantrel
