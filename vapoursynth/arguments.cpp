#include "vapoursynth/arguments.h"

#include <climits>


namespace vantrel::vs {

namespace {

bool IsYuv420P8(const VSVideoFormat& f) {
  return f.colorFamily == cfYUV && f.sampleType == stInteger && f.bitsPerSample == 8 &&
         f.subSamplingW == 1 && f.subSamplingH == 1;
}

// Changing the vertical chroma resolution of a whole interlaced frame mixes
// the two fields' colours, so such conversions go field by field.
std::string Conversion(const VSVideoFormat& f) {
  const std::string matrix = f.colorFamily == cfRGB ? ", matrix_s=\"709\"" : "";
  const bool vertical_chroma = f.colorFamily == cfRGB ||
                               (f.colorFamily == cfYUV && f.subSamplingH != 1);
  if (!vertical_chroma) return "core.resize.Bicubic(clip, format=vs.YUV420P8" + matrix + ")";
  return "core.std.SeparateFields(clip, tff=True).resize.Bicubic(format=vs.YUV420P8" + matrix +
         ").std.DoubleWeave(tff=True)[::2]";
}

// Reads one optional integer: false with *error set when it is there but
// outside low..high.
bool ReadInt(const VSMap* in, const VSAPI* vsapi, const char* key, int64_t low, int64_t high,
             std::optional<int64_t>* value, std::string* error) {
  int err = 0;
  const int64_t v = vsapi->mapGetInt(in, key, 0, &err);
  if (err) return true;  // not given
  if (v < low || v > high) {
    *error = "Deinterlace: " + std::string(key) + "=" + std::to_string(v) +
             " is outside its range " + std::to_string(low) + " to " + std::to_string(high);
    return false;
  }
  *value = v;
  return true;
}


}  // namespace

std::string ClipError(const VSVideoInfo& vi, const VSAPI* vsapi) {
  if (vi.format.colorFamily == cfUndefined) {
    return "Deinterlace: the clip's format changes from frame to frame; give it one format "
           "first: core.resize.Bicubic(clip, format=vs.YUV420P8)";
  }
  if (!IsYuv420P8(vi.format)) {
    char name[32] = "an unnamed format";
    vsapi->getVideoFormatName(&vi.format, name);
    return "Deinterlace: the clip is " + std::string(name) +
           ", but Vantrel deinterlaces 8-bit 4:2:0 (YUV420P8) only; convert it first: " +
           Conversion(vi.format);
  }
  if (vi.width <= 0 || vi.height <= 0) {
    return "Deinterlace: the clip's frame size changes from frame to frame; give it one size "
           "first (core.resize.Bicubic(clip, width=W, height=H))";
  }
  if (vi.width > INT_MAX - 15 || vi.height > INT_MAX - 15) {
    return "Deinterlace: frames of " + std::to_string(vi.width) + "x" +
           std::to_string(vi.height) + " are too large to pad to a multiple of 16";
  }
  return "";
}

bool ReadArguments(const VSMap* in, const VSAPI* vsapi, int width, int height,
                   Arguments* a, std::string* error) {
  // The filter sees the frame padded to a multiple of 16. The arguments that
  // no mode reads are not offered.
  const int w = PadToMultiple(width), h = PadToMultiple(height);
  for (const ParamInfo& info : kParams) {
    if (!info.read_by_a_mode) continue;
    const ParamRange range = RangeOf(info.param, w, h);
    std::optional<int64_t> v;
    if (!ReadInt(in, vsapi, info.name, range.low, range.high, &v, error)) return false;
    if (v) a->filter.*info.field = int32_t(*v);
  }
  std::optional<int64_t> field, double_rate;
  if (!ReadInt(in, vsapi, "field", -1, 1, &field, error) ||
      !ReadInt(in, vsapi, "double_rate", 0, 1, &double_rate, error)) {
    return false;
  }
  if (field) a->field = int(*field);
  if (double_rate) a->double_rate = *double_rate != 0;
  return true;
}

}  // namespace vantrel::vs
