#include "engine/interpolate.h"

#include <cstring>

#include "engine/dsp.h"

namespace vantrel {

static bool SamePlane(Plane dst, ConstPlane src) { return dst.data == src.data; }

static void CopyOddLines(Plane dst, ConstPlane src, size_t width, uint32_t height) {
  for (uint32_t y = 1; y < height; y += 2) std::memcpy(dst.Line(y), src.Line(y), width);
}

void CopyPlaneLines(Plane dst, ConstPlane src, uint32_t width, uint32_t height) {
  if (SamePlane(dst, src)) return;
  for (uint32_t y = 0; y < height; ++y) std::memcpy(dst.Line(y), src.Line(y), width);
}

void CopyFieldLines(Plane dst, ConstPlane src, uint32_t width, uint32_t height) {
  // In place, writing line 2k leaves every odd line as it was.
  for (uint32_t y = 0; y < height; y += 2) std::memcpy(dst.Line(y), src.Line(y + 1), width);
  if (!SamePlane(dst, src)) CopyOddLines(dst, src, width, height);
}

void InterpolateLuma(const EngineDsp& dsp, Plane dst, ConstPlane src, ConstPlane mask,
                     uint32_t width, uint32_t height, bool rebuild_all) {
  const size_t w = width;
  const uint32_t h = height;
  std::memcpy(dst.Line(0), src.Line(1), w);
  if (!SamePlane(dst, src)) CopyOddLines(dst, src, w, h);
  dsp.interpolate.average_line(dst.Line(2), src.Line(1), src.Line(3), w);
  dsp.interpolate.average_line(dst.Line(h - 2), src.Line(h - 3), src.Line(h - 1), w);
  for (uint32_t y = 4; y + 4 <= h; y += 2) {
    if (rebuild_all) {
      dsp.interpolate.four_tap_line(dst.Line(y), src.Line(y), src.pitch, w);
    } else {
      dsp.interpolate.masked_four_tap_line(dst.Line(y), src.Line(y), mask.Line(y), src.pitch, w);
    }
  }
}

static void InterpolateChromaPlane(const EngineDsp& dsp, Plane dst, ConstPlane src, size_t w,
                                   uint32_t h, bool rebuild_all) {
  for (uint32_t y = 2; y + 2 <= h; y += 2) {
    dsp.interpolate.chroma_line(dst.Line(y), src.Line(y), src.pitch, w, rebuild_all);
  }
}

void InterpolateChroma(const EngineDsp& dsp, Plane dst_c0, Plane dst_c1, ConstPlane src_c0,
                       ConstPlane src_c1, uint32_t chroma_width, uint32_t chroma_height,
                       bool rebuild_all) {
  const size_t w = chroma_width;
  const uint32_t h = chroma_height;
  std::memcpy(dst_c0.Line(0), src_c0.Line(1), w);
  std::memcpy(dst_c1.Line(0), src_c1.Line(1), w);
  if (!SamePlane(dst_c0, src_c0)) CopyOddLines(dst_c0, src_c0, w, h);
  if (!SamePlane(dst_c1, src_c1)) CopyOddLines(dst_c1, src_c1, w, h);
  InterpolateChromaPlane(dsp, dst_c0, src_c0, w, h, rebuild_all);
  InterpolateChromaPlane(dsp, dst_c1, src_c1, w, h, rebuild_all);
}

}  // namespace vantrel
