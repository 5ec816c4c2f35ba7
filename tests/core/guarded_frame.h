// Frames for the core tests, laid out as hosts lay them out: each plane with a
// pitch past its row size, the planes apart, every byte outside them a guard,
// and upside down on request (a negative pitch).
#pragma once

#include <cstdint>
#include <vector>

#include "core/frame_view.h"

namespace vantrel::test {

constexpr uint8_t kGuard = 0xA5;

class GuardedFrame {
 public:
  GuardedFrame(PixelFormat format, int32_t width, int32_t height, bool upside_down = false,
               int32_t extra_pitch = 24)
      : format_(format) {
    const FrameView shapes = PlaneShapes(format, width, height);
    const int count = shapes.plane_count;
    size_t at = 64;
    for (int i = 0; i < count; ++i) {
      PlaneView p = shapes.planes[i];
      p.pitch = p.row_size + extra_pitch;
      offsets_[i] = at;
      at += size_t(p.pitch) * size_t(p.height) + 40;
      view_.planes[i] = p;
    }
    view_.plane_count = count;
    bytes_.assign(at + 64, kGuard);
    for (int i = 0; i < view_.plane_count; ++i) {
      view_.planes[i].data = bytes_.data() + offsets_[i];
      if (upside_down) view_.planes[i] = UpsideDown(view_.planes[i]);
    }
  }

  const FrameView& view() const { return view_; }
  PixelFormat format() const { return format_; }

  // The planes' bytes line by line, top line first as the view sees them.
  std::vector<uint8_t> Tight() const {
    std::vector<uint8_t> out;
    for (int i = 0; i < view_.plane_count; ++i) {
      const PlaneView& p = view_.planes[i];
      for (int32_t y = 0; y < p.height; ++y) out.insert(out.end(), p.Line(y), p.Line(y) + p.row_size);
    }
    return out;
  }
  void Fill(const std::vector<uint8_t>& tight) {
    size_t k = 0;
    for (int i = 0; i < view_.plane_count; ++i) {
      const PlaneView& p = view_.planes[i];
      for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.row_size; ++x) p.Line(y)[x] = tight[k++];
    }
  }
  // True when no byte outside the planes was written.
  bool GuardsIntact() const {
    std::vector<bool> inside(bytes_.size());
    for (int i = 0; i < view_.plane_count; ++i) {
      const PlaneView& p = view_.planes[i];
      for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.row_size; ++x) inside[size_t(p.Line(y) + x - bytes_.data())] = true;
    }
    for (size_t k = 0; k < bytes_.size(); ++k)
      if (!inside[k] && bytes_[k] != kGuard) return false;
    return true;
  }

 private:
  PixelFormat format_;
  FrameView view_;
  size_t offsets_[3] = {};
  std::vector<uint8_t> bytes_;
};

}  // namespace vantrel::test
