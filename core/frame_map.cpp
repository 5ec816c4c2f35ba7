#include "core/frame_map.h"

#include <algorithm>
#include <cstring>

namespace vantrel {
namespace {

enum Mark : uint8_t { kNone = 0, kRebuilt = 1, kRepaired = 2 };

// Every even line is replaced in modes 1 and 2 and in a frame combed
// throughout; otherwise lines 0, 2 and height-2 always are, and the others
// where the detector marked them.
bool WholeLineRebuilt(const FrameFacts& f, int32_t y) {
  if (f.mode == 1 || f.mode == 2 || f.combed_throughout) return true;
  return y < 4 || y > int32_t(f.height) - 4;
}

// The marks of the rectangle [x1, x2) x [y1, y2), one byte per luma sample.
void MarkRect(const FrameFacts& f, const PlaneView& marks, int32_t x1, int32_t y1, int32_t x2,
              int32_t y2) {
  for (int32_t y = y1; y < y2; ++y) {
    uint8_t* row = marks.Line(y);
    const bool rebuilt_field = f.mode != 0 && y % 2 == 0;
    if (!rebuilt_field || WholeLineRebuilt(f, y)) {
      std::memset(row + x1, rebuilt_field ? kRebuilt : kNone, size_t(x2 - x1));
    } else {
      // The mask holds 0x00 or 0xFF only.
      const uint8_t* mask = f.comb_mask + ptrdiff_t(y) * f.comb_mask_pitch;
      for (int32_t x = x1; x < x2; ++x) row[x] = uint8_t(mask[x] & kRebuilt);
    }
    if (!rebuilt_field || !f.block_match) continue;
    const uint32_t first = uint32_t(y / 16) * f.blocks_x;
    for (int32_t bx = x1 / 16; bx * 16 < x2; ++bx) {
      if (!f.Repaired(first + uint32_t(bx))) continue;
      const int32_t from = std::max(x1, bx * 16), to = std::min(x2, bx * 16 + 16);
      std::memset(row + from, kRepaired, size_t(to - from));
    }
  }
}

// The value of a mark, chosen with masks rather than branches, so that the
// loops over a line vectorise.
uint8_t Pick(uint8_t mark, uint8_t none, uint8_t rebuilt, uint8_t repaired) {
  const uint8_t is_none = uint8_t(-int(mark == kNone));
  const uint8_t is_rebuilt = uint8_t(-int(mark == kRebuilt));
  return uint8_t((none & is_none) | (rebuilt & is_rebuilt) | (repaired & ~(is_none | is_rebuilt)));
}

template <typename T>
T* Row(const PlaneView& p, int32_t y) {
  return reinterpret_cast<T*>(p.Line(y));
}

// Map values are 8-bit; a deeper map takes them to its scale.
template <typename T>
T Scaled(uint8_t value, int shift) {
  return T(value << shift);
}

template <typename T>
void FillRect(const PlaneView& plane, int32_t x1, int32_t y1, int32_t x2, int32_t y2, T value) {
  for (int32_t y = y1; y < y2; ++y) std::fill(Row<T>(plane, y) + x1, Row<T>(plane, y) + x2, value);
}

// A chroma sample takes the strongest mark among the luma samples it covers.
template <typename T>
void DrawChroma(const PlaneView& marks, const FrameView& map, int shift) {
  const PlaneView& u = map.planes[1];
  const PlaneView& v = map.planes[2];
  const int sw = map.format.shift_w, sh = map.format.shift_h;
  const int32_t width = u.width;
  const T none = Scaled<T>(128, shift);
  const T rebuilt_u = Scaled<T>(kRebuiltColour.u, shift), repaired_u = Scaled<T>(kRepairedColour.u, shift);
  const T rebuilt_v = Scaled<T>(kRebuiltColour.v, shift), repaired_v = Scaled<T>(kRepairedColour.v, shift);
  for (int32_t cy = 0; cy < u.height; ++cy) {
    T* ur = Row<T>(u, cy);
    T* vr = Row<T>(v, cy);
    for (int32_t cx = 0; cx < width; ++cx) ur[cx] = kNone;
    for (int32_t dy = 0; dy < 1 << sh; ++dy) {
      const uint8_t* row = marks.Line((cy << sh) + dy);
      for (int32_t cx = 0; cx < width; ++cx) {
        for (int32_t dx = 0; dx < 1 << sw; ++dx) ur[cx] = std::max<T>(ur[cx], row[(cx << sw) + dx]);
      }
    }
    for (int32_t cx = 0; cx < width; ++cx) {
      const uint8_t m = uint8_t(ur[cx]);
      ur[cx] = m == kNone ? none : m == kRebuilt ? rebuilt_u : repaired_u;
      vr[cx] = m == kNone ? none : m == kRebuilt ? rebuilt_v : repaired_v;
    }
  }
}

// Sizes are read into locals: a byte store could alias the views, which
// would keep the loops from being vectorised. A deeper map's line holds its
// marks in its first bytes, so it is drawn from the right, each sample
// written after the marks it covers were read.
template <typename T>
void DrawLuma(const PlaneView& map, const PlaneView& source, int shift) {
  const int32_t width = map.width;
  for (int32_t y = 0; y < map.height; ++y) {
    const uint8_t* marks = map.Line(y);
    T* row = Row<T>(map, y);
    const T* src = Row<T>(source, y);
    if (sizeof(T) == 1) {
      for (int32_t x = 0; x < width; ++x) {
        row[x] = Pick(marks[x], DimmedLuma(uint8_t(src[x])), kRebuiltColour.y, kRepairedColour.y);
      }
      continue;
    }
    for (int32_t x = width; x-- > 0;) {
      const uint8_t dimmed = DimmedLuma(uint8_t(std::min(255, src[x] >> shift)));
      row[x] = Scaled<T>(Pick(marks[x], dimmed, kRebuiltColour.y, kRepairedColour.y), shift);
    }
  }
}

template <typename T>
void DrawBorder(const FrameView& map, int shift) {
  const PlaneView& y = map.planes[0];
  // Even, so that it covers whole 4:2:0 chroma samples.
  const int32_t side = std::min(y.width, y.height);
  const int32_t t = std::min(std::max<int32_t>(4, side / 48 & ~1), side / 2);
  const MapColour c = kCombedColour;
  const auto frame = [](const PlaneView& p, int32_t tw, int32_t th, T value) {
    FillRect<T>(p, 0, 0, p.width, th, value);
    FillRect<T>(p, 0, p.height - th, p.width, p.height, value);
    FillRect<T>(p, 0, th, tw, p.height - th, value);
    FillRect<T>(p, p.width - tw, th, p.width, p.height - th, value);
  };
  frame(y, t, t, Scaled<T>(c.y, shift));
  if (map.plane_count() < 3) return;
  const int32_t tw = t >> map.format.shift_w, th = t >> map.format.shift_h;
  frame(map.planes[1], tw, th, Scaled<T>(c.u, shift));
  frame(map.planes[2], tw, th, Scaled<T>(c.v, shift));
}

template <typename T>
void Draw(const FrameFacts& facts, const PlaneView& source_luma, const FrameView& map) {
  const int shift = map.format.bits - 8;
  if (map.plane_count() == 3) DrawChroma<T>(map.planes[0], map, shift);
  DrawLuma<T>(map.planes[0], source_luma, shift);
  if (facts.combed_throughout) DrawBorder<T>(map, shift);
}

}  // namespace

void DrawFrameMap(const FrameFacts& facts, const PlaneView& source_luma,
                  const RegionList& regions, const FrameView& map) {
  // The map's luma plane holds the marks until they are drawn.
  const PlaneView& marks = map.planes[0];
  const int32_t w = marks.width, h = marks.height;
  MarkRect(facts, marks, 0, 0, w, h);
  const int32_t count = regions.Count();
  for (int32_t i = 0; i < count; ++i) {
    const Region& r = regions[i];
    if (!RegionFits(r, w, h)) continue;
    if (r.kind == kSubRegion) {
      FillRect<uint8_t>(marks, r.x1, r.y1, r.x2, r.y2, kNone);
    } else {
      MarkRect(facts, marks, r.x1, r.y1, r.x2, r.y2);
    }
  }
  if (map.format.SampleBytes() == 2) {
    Draw<uint16_t>(facts, source_luma, map);
  } else {
    Draw<uint8_t>(facts, source_luma, map);
  }
}

}  // namespace vantrel
