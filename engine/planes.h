// Views of the planes the engine reads and writes: a pointer and a pitch per
// plane, so that a host's frames are used where they lie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vantrel {

// The deepest samples the engine takes; above 8 bits a sample is a 16-bit
// word in the machine's order.
constexpr int kMaxSampleBits = 16;

// Line y of a plane starts at data + y * pitch; pitch is in bytes and may be
// negative (a picture stored upside down) or larger than the width.
template <typename Byte>
struct PlaneOf {
  Byte* data = nullptr;
  ptrdiff_t pitch = 0;

  // A signed line number, so that a negative pitch never meets unsigned
  // arithmetic.
  Byte* Line(ptrdiff_t y) const { return data + y * pitch; }

  // A plane to be written may always be read.
  template <typename B = Byte, typename = std::enable_if_t<!std::is_const<B>::value>>
  operator PlaneOf<const B>() const {
    return {data, pitch};
  }
};
using Plane = PlaneOf<uint8_t>;
using ConstPlane = PlaneOf<const uint8_t>;

// A 4:2:0 frame: luma, then the two chroma planes in the order the classic
// frame layout stores them (c0 first: V for YV12, U for I420).
struct FramePlanes {
  Plane y, c0, c1;
};

struct ConstFramePlanes {
  ConstPlane y, c0, c1;

  ConstFramePlanes() = default;
  ConstFramePlanes(ConstPlane y_, ConstPlane c0_, ConstPlane c1_) : y(y_), c0(c0_), c1(c1_) {}
  // Implicit, as for a plane.
  ConstFramePlanes(const FramePlanes& f) : y(f.y), c0(f.c0), c1(f.c1) {}
};

// The planes of a frame stored as one block: width x height luma, then c0 and
// c1 of width/2 x height/2, each with a pitch equal to its width.
inline FramePlanes BlockPlanes(uint8_t* block, uint32_t width, uint32_t height) {
  const ptrdiff_t w = ptrdiff_t(width), h = ptrdiff_t(height);
  uint8_t* c0 = block + w * h;
  uint8_t* c1 = c0 + (w / 2) * (h / 2);
  return FramePlanes{{block, w}, {c0, w / 2}, {c1, w / 2}};
}

}  // namespace vantrel
