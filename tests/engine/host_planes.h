// Frames laid out as hosts hand them over, for the engine tests and the
// engine's fuzz target: one block (luma, c0, c1 back to back, pitch = width),
// or each plane at the very end of an allocation of its own, its lines `pad`
// bytes longer than the plane and, upside down, line 0 last in memory (a
// negative pitch). Every byte starts as `fill`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/planes.h"

namespace vantrel::test {

class HostPlanes {
 public:
  HostPlanes(uint32_t w, uint32_t h, uint8_t fill) : fill_(fill) {
    SetSizes(w, h);
    store_[0].assign(width_[0] * height_[0] + 2 * width_[1] * height_[1], fill);
    view = BlockPlanes(store_[0].data(), w, h);
  }
  HostPlanes(uint32_t w, uint32_t h, uint32_t pad, bool upside_down, uint8_t fill)
      : fill_(fill) {
    SetSizes(w, h);
    Plane* planes[3] = {&view.y, &view.c0, &view.c1};
    for (int i = 0; i < 3; ++i) {
      step_[i] = width_[i] + pad;
      store_[i].assign(step_[i] * (height_[i] - 1) + width_[i], fill);
      const ptrdiff_t pitch = ptrdiff_t(step_[i]), last = ptrdiff_t(height_[i]) - 1;
      *planes[i] = upside_down ? Plane{store_[i].data() + pitch * last, -pitch}
                               : Plane{store_[i].data(), pitch};
    }
  }

  // From and to a tight frame: luma, c0, c1, no bytes between the lines.
  void Load(const uint8_t* tight) {
    for (int i = 0; i < 3; ++i) {
      for (size_t y = 0; y < height_[i]; ++y, tight += width_[i])
        std::memcpy(plane(i).Line(ptrdiff_t(y)), tight, width_[i]);
    }
  }
  std::vector<uint8_t> Tight() const {
    std::vector<uint8_t> tight;
    for (int i = 0; i < 3; ++i) {
      for (size_t y = 0; y < height_[i]; ++y) {
        const uint8_t* line = plane(i).Line(ptrdiff_t(y));
        tight.insert(tight.end(), line, line + width_[i]);
      }
    }
    return tight;
  }
  // True when every byte between the lines still holds the fill.
  bool PaddingIntact() const {
    for (int i = 0; i < 3; ++i) {
      if (step_[i] == 0) continue;  // one block: nothing between the lines
      for (size_t k = 0; k < store_[i].size(); ++k)
        if (k % step_[i] >= width_[i] && store_[i][k] != fill_) return false;
    }
    return true;
  }

  FramePlanes view;

 private:
  void SetSizes(uint32_t w, uint32_t h) {
    for (int i = 0; i < 3; ++i) {
      width_[i] = i == 0 ? w : w / 2;
      height_[i] = i == 0 ? h : h / 2;
    }
  }
  Plane plane(int i) const { return i == 0 ? view.y : i == 1 ? view.c0 : view.c1; }

  uint8_t fill_;
  std::vector<uint8_t> store_[3];
  size_t width_[3] = {}, height_[3] = {}, step_[3] = {};
};

}  // namespace vantrel::test
