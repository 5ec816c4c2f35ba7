// Frames for the core tests and the filter's fuzz target, laid out as hosts
// lay them out: each plane in an allocation of its own that ends with the
// plane's last byte (so the sanitizer build catches a read or write past it),
// lines `extra_pitch` bytes longer than the plane with a guard byte in
// between, and upside down on request (a negative pitch).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/frame_view.h"

namespace vantrel::test {

constexpr uint8_t kGuard = 0xA5;

class GuardedFrame {
 public:
  GuardedFrame(PixelFormat format, int32_t width, int32_t height, bool upside_down = false,
               int32_t extra_pitch = 24) {
    view_ = PlaneShapes(format, width, height);
    for (int i = 0; i < view_.plane_count(); ++i) {
      PlaneView& p = view_.planes[i];
      p.pitch = ptrdiff_t(p.row_bytes()) + extra_pitch;
      memory_[i].assign(size_t(p.pitch) * size_t(p.height - 1) + p.row_bytes(), kGuard);
      p.data = memory_[i].data();
      if (upside_down) p = UpsideDown(p);
    }
  }

  const FrameView& view() const { return view_; }

  // The planes' bytes line by line, top line first as the view sees them.
  std::vector<uint8_t> Tight() const {
    std::vector<uint8_t> out;
    for (int i = 0; i < view_.plane_count(); ++i) {
      const PlaneView& p = view_.planes[i];
      for (int32_t y = 0; y < p.height; ++y) out.insert(out.end(), p.Line(y), p.Line(y) + p.row_bytes());
    }
    return out;
  }
  void Fill(const std::vector<uint8_t>& tight) {
    size_t k = 0;
    for (int i = 0; i < view_.plane_count(); ++i) {
      const PlaneView& p = view_.planes[i];
      for (int32_t y = 0; y < p.height; ++y, k += p.row_bytes()) {
        std::memcpy(p.Line(y), &tight[k], p.row_bytes());
      }
    }
  }
  // True when no byte between the lines was written.
  bool GuardsIntact() const {
    for (int i = 0; i < view_.plane_count(); ++i) {
      const PlaneView& p = view_.planes[i];
      const size_t step = size_t(p.pitch < 0 ? -p.pitch : p.pitch);
      for (size_t k = 0; k < memory_[i].size(); ++k) {
        if (k % step >= p.row_bytes() && memory_[i][k] != kGuard) return false;
      }
    }
    return true;
  }

 private:
  FrameView view_;
  std::vector<uint8_t> memory_[3];
};

}  // namespace vantrel::test
