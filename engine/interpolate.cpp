#include "engine/interpolate.h"

#include <cstring>

#include "engine/dsp.h"

namespace vantrel {
namespace {

bool SamePlane(Plane dst, ConstPlane src) { return dst.data == src.data; }

void CopyOddLines(Plane dst, ConstPlane src, size_t row_bytes, uint32_t height) {
  for (uint32_t y = 1; y < height; y += 2) std::memcpy(dst.Line(y), src.Line(y), row_bytes);
}

template <typename T>
T* At(Plane p, ptrdiff_t y) {
  return reinterpret_cast<T*>(p.Line(y));
}
template <typename T>
const T* At(ConstPlane p, ptrdiff_t y) {
  return reinterpret_cast<const T*>(p.Line(y));
}

// The line kernels of one sample type, called the same way by the drivers.
template <typename T>
struct LineKernels;

template <>
struct LineKernels<uint8_t> {
  const InterpolateKernels& k;
  void Average(uint8_t* d, const uint8_t* a, const uint8_t* b, size_t w) const {
    k.average_line(d, a, b, w);
  }
  void FourTap(uint8_t* d, const uint8_t* s, ptrdiff_t pitch, size_t w) const {
    k.four_tap_line(d, s, pitch, w);
  }
  void Masked(uint8_t* d, const uint8_t* s, const uint8_t* m, ptrdiff_t pitch, size_t w) const {
    k.masked_four_tap_line(d, s, m, pitch, w);
  }
  void Chroma(uint8_t* d, const uint8_t* s, ptrdiff_t pitch, size_t w, bool all) const {
    k.chroma_line(d, s, pitch, w, all);
  }
};

template <>
struct LineKernels<uint16_t> {
  const InterpolateKernels& k;
  uint16_t max;
  uint32_t shift;  // bits - 8
  void Average(uint16_t* d, const uint16_t* a, const uint16_t* b, size_t w) const {
    k.average_line16(d, a, b, w);
  }
  void FourTap(uint16_t* d, const uint16_t* s, ptrdiff_t pitch, size_t w) const {
    k.four_tap_line16(d, s, pitch, w, max);
  }
  void Masked(uint16_t* d, const uint16_t* s, const uint8_t* m, ptrdiff_t pitch, size_t w) const {
    k.masked_four_tap_line16(d, s, m, pitch, w, max);
  }
  void Chroma(uint16_t* d, const uint16_t* s, ptrdiff_t pitch, size_t w, bool all) const {
    k.chroma_line16(d, s, pitch, w, all, shift);
  }
};

template <typename T>
void Luma(const LineKernels<T>& k, Plane dst, ConstPlane src, ConstPlane mask, uint32_t width,
          uint32_t h, bool rebuild_all) {
  const size_t w = width, bytes = w * sizeof(T);
  std::memcpy(dst.Line(0), src.Line(1), bytes);
  if (!SamePlane(dst, src)) CopyOddLines(dst, src, bytes, h);
  k.Average(At<T>(dst, 2), At<T>(src, 1), At<T>(src, 3), w);
  k.Average(At<T>(dst, h - 2), At<T>(src, h - 3), At<T>(src, h - 1), w);
  for (uint32_t y = 4; y + 4 <= h; y += 2) {
    if (rebuild_all) {
      k.FourTap(At<T>(dst, y), At<T>(src, y), src.pitch, w);
    } else {
      k.Masked(At<T>(dst, y), At<T>(src, y), mask.Line(y), src.pitch, w);
    }
  }
}

template <typename T>
void ChromaPlane(const LineKernels<T>& k, Plane dst, ConstPlane src, size_t w, uint32_t h,
                 bool rebuild_all) {
  std::memcpy(dst.Line(0), src.Line(1), w * sizeof(T));
  if (!SamePlane(dst, src)) CopyOddLines(dst, src, w * sizeof(T), h);
  for (uint32_t y = 2; y + 2 <= h; y += 2) {
    k.Chroma(At<T>(dst, y), At<T>(src, y), src.pitch, w, rebuild_all);
  }
}

}  // namespace

void CopyPlaneLines(Plane dst, ConstPlane src, uint32_t row_bytes, uint32_t height) {
  if (SamePlane(dst, src)) return;
  for (uint32_t y = 0; y < height; ++y) std::memcpy(dst.Line(y), src.Line(y), row_bytes);
}

void CopyFieldLines(Plane dst, ConstPlane src, uint32_t row_bytes, uint32_t height) {
  // In place, writing line 2k leaves every odd line as it was.
  for (uint32_t y = 0; y < height; y += 2) std::memcpy(dst.Line(y), src.Line(y + 1), row_bytes);
  if (!SamePlane(dst, src)) CopyOddLines(dst, src, row_bytes, height);
}

void InterpolateLuma(const EngineDsp& dsp, Plane dst, ConstPlane src, ConstPlane mask,
                     uint32_t width, uint32_t height, bool rebuild_all) {
  Luma(LineKernels<uint8_t>{dsp.interpolate}, dst, src, mask, width, height, rebuild_all);
}

void InterpolateLuma(const EngineDsp& dsp, Deep deep, Plane dst, ConstPlane src, ConstPlane mask,
                     uint32_t width, uint32_t height, bool rebuild_all) {
  Luma(LineKernels<uint16_t>{dsp.interpolate, deep.max, deep.shift}, dst, src, mask, width,
       height, rebuild_all);
}

void InterpolateChroma(const EngineDsp& dsp, Plane dst_c0, Plane dst_c1, ConstPlane src_c0,
                       ConstPlane src_c1, uint32_t chroma_width, uint32_t chroma_height,
                       bool rebuild_all) {
  const LineKernels<uint8_t> k{dsp.interpolate};
  ChromaPlane(k, dst_c0, src_c0, chroma_width, chroma_height, rebuild_all);
  ChromaPlane(k, dst_c1, src_c1, chroma_width, chroma_height, rebuild_all);
}

void InterpolateChroma(const EngineDsp& dsp, Deep deep, Plane dst_c0, Plane dst_c1,
                       ConstPlane src_c0, ConstPlane src_c1, uint32_t chroma_width,
                       uint32_t chroma_height, bool rebuild_all) {
  const LineKernels<uint16_t> k{dsp.interpolate, deep.max, deep.shift};
  ChromaPlane(k, dst_c0, src_c0, chroma_width, chroma_height, rebuild_all);
  ChromaPlane(k, dst_c1, src_c1, chroma_width, chroma_height, rebuild_all);
}

void CutPlane(const EngineDsp& dsp, Plane dst, ConstPlane src, uint32_t width, uint32_t height,
              uint32_t shift) {
  for (uint32_t y = 0; y < height; ++y) {
    dsp.interpolate.cut_line(dst.Line(y), At<uint16_t>(src, y), width, shift);
  }
}

}  // namespace vantrel
