// Per-target helper of the Highway bodies (included once per target, like
// Highway's own -inl.h headers): the walk over a line in vectors.
#if defined(VANTREL_ENGINE_SIMD_LINES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef VANTREL_ENGINE_SIMD_LINES_INL_H_
#undef VANTREL_ENGINE_SIMD_LINES_INL_H_
#else
#define VANTREL_ENGINE_SIMD_LINES_INL_H_
#endif

#include <cstddef>
#include <cstdint>

#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace vantrel {
namespace HWY_NAMESPACE {
namespace {

// Calls body(d, x) for every vector of a line of `width` bytes (a multiple
// of 8): the target's full vectors, then 32-, 16- and 8-byte ones, so
// nothing is read or written past the line's end.
template <class Body>
HWY_INLINE void ForLine(size_t width, const Body& body) {
  namespace hn = hwy::HWY_NAMESPACE;
  size_t x = 0;
  const auto run = [&](auto d) {
    for (const size_t n = hn::Lanes(d); x + n <= width; x += n) body(d, x);
  };
  run(hn::ScalableTag<uint8_t>());
  if (HWY_MAX_BYTES > 32) run(hn::CappedTag<uint8_t, 32>());
  if (HWY_MAX_BYTES > 16) run(hn::CappedTag<uint8_t, 16>());
  run(hn::CappedTag<uint8_t, 8>());
}

}  // namespace
}  // namespace HWY_NAMESPACE
}  // namespace vantrel
HWY_AFTER_NAMESPACE();

#endif  // include guard toggle
