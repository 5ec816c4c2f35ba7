#include "vapoursynth/arguments.h"

#include <algorithm>
#include <climits>

namespace vantrel::vs {

namespace {

// "4:2:0, 4:2:2, 4:4:4, 4:1:1": the chroma layouts the filter takes.
std::string YuvLayouts() {
  std::string text;
  for (const PixelFormat& layout : kPlanarLayouts) {
    if (layout.family != Family::kYuv) continue;
    text += (text.empty() ? "" : ", ") + std::string(LayoutName(layout));
  }
  return text;
}

// The core's format of VapourSynth's; nullopt, with what the filter takes
// instead, for one it does not take.
std::optional<PixelFormat> FilterFormat(const VSVideoFormat& f, std::string* takes) {
  if (f.colorFamily != cfYUV && f.colorFamily != cfGray) {
    *takes = "YUV and grey clips";
  } else if (f.sampleType != stInteger) {
    *takes = "integer samples";
  } else if (f.bitsPerSample > kMaxBits) {
    *takes = "samples of up to " + std::to_string(kMaxBits) + " bits";
  } else {
    const PixelFormat format{f.colorFamily == cfYUV ? Family::kYuv : Family::kGrey,
                             uint8_t(f.bitsPerSample), uint8_t(f.subSamplingW),
                             uint8_t(f.subSamplingH)};
    for (const PixelFormat& layout : kPlanarLayouts) {
      if (WithBits(layout, format.bits) == format) return format;
    }
    *takes = "the chroma layouts " + YuvLayouts();
  }
  return std::nullopt;
}

// What to convert a clip to: the layout that holds all of its chroma in the
// fewest samples (4:4:4 for RGB), in integer samples the core takes.
PixelFormat Target(const VSVideoFormat& f) {
  const int bits = f.sampleType == stInteger ? std::min(f.bitsPerSample, kMaxBits) : kMaxBits;
  if (f.colorFamily == cfGray) return WithBits(kGrey, bits);
  const int w = f.colorFamily == cfYUV ? f.subSamplingW : 0;
  const int h = f.colorFamily == cfYUV ? f.subSamplingH : 0;
  PixelFormat best = kYuv444;
  for (const PixelFormat& layout : kPlanarLayouts) {
    if (layout.family == Family::kYuv && layout.shift_w <= w && layout.shift_h <= h &&
        layout.shift_w + layout.shift_h > best.shift_w + best.shift_h) {
      best = layout;
    }
  }
  return WithBits(best, bits);
}

// VapourSynth's name of a format the filter takes: YUV422P8, GRAY8, ...
std::string PresetName(PixelFormat f) {
  if (f.family == Family::kGrey) return "GRAY" + std::to_string(f.bits);
  std::string name = "YUV";
  for (const char* c = LayoutName(f); *c; ++c) {
    if (*c != ':') name += *c;
  }
  return name + "P" + std::to_string(f.bits);
}

// Changing the vertical chroma resolution of a whole interlaced frame mixes
// the two fields' colours, so such conversions go field by field.
std::string Conversion(const VSVideoFormat& f) {
  const PixelFormat target = Target(f);
  std::string format = "format=vs." + PresetName(target);
  if (f.colorFamily == cfRGB) format += ", matrix_s=\"709\"";
  if (f.colorFamily != cfYUV || f.subSamplingH == target.shift_h) {
    return "core.resize.Bicubic(clip, " + format + ")";
  }
  return "core.std.SeparateFields(clip, tff=True).resize.Bicubic(" + format +
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

std::string ClipError(const VSVideoInfo& vi, const VSAPI* vsapi, PixelFormat* format) {
  if (vi.format.colorFamily == cfUndefined) {
    return "Deinterlace: the clip's format changes from frame to frame; give it one format "
           "first: core.resize.Bicubic(clip, format=vs.YUV420P8)";
  }
  std::string takes;
  const std::optional<PixelFormat> taken = FilterFormat(vi.format, &takes);
  if (!taken) {
    char name[32] = "an unnamed format";
    vsapi->getVideoFormatName(&vi.format, name);
    return "Deinterlace: the clip is " + std::string(name) + ", but Vantrel deinterlaces " +
           takes + " only; convert it first: " + Conversion(vi.format);
  }
  if (vi.width <= 0 || vi.height <= 0) {
    return "Deinterlace: the clip's frame size changes from frame to frame; give it one size "
           "first (core.resize.Bicubic(clip, width=W, height=H))";
  }
  if (vi.width > INT_MAX - 15 || vi.height > INT_MAX - 15) {
    return "Deinterlace: frames of " + std::to_string(vi.width) + "x" +
           std::to_string(vi.height) + " are too large to pad to a multiple of 16";
  }
  *format = *taken;
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
