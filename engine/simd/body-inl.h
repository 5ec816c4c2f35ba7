// What every Highway body in engine/simd/ includes after foreach_target.h:
// Highway itself, the kernel table's types, and per target the helpers the
// bodies share. A body reads
//
//   #define HWY_TARGET_INCLUDE "engine/simd/stem.cpp"
//   #include "hwy/foreach_target.h"
//   #include "engine/simd/body-inl.h"
//
//   VANTREL_SIMD_BEGIN
//   namespace {
//   ... kernels ...
//   }  // namespace
//   extern const StemKernels kStemKernels = {...};  // found by engine/dsp.cpp
//   VANTREL_SIMD_END
//
// Every name in a body has internal linkage but its kernel set, so no wide
// copy of a shared function can reach code outside the dispatch.
#include <cstddef>
#include <cstdint>

#include "engine/dsp.h"
#include "hwy/highway.h"

#ifndef VANTREL_ENGINE_SIMD_BODY_MACROS_
#define VANTREL_ENGINE_SIMD_BODY_MACROS_
// The namespace of the target being compiled, under Highway's target
// attributes.
#define VANTREL_SIMD_BEGIN \
  HWY_BEFORE_NAMESPACE();  \
  namespace vantrel {      \
  namespace HWY_NAMESPACE {
#define VANTREL_SIMD_END \
  }                      \
  }                      \
  HWY_AFTER_NAMESPACE();
#endif

#if defined(VANTREL_ENGINE_SIMD_BODY_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef VANTREL_ENGINE_SIMD_BODY_INL_H_
#undef VANTREL_ENGINE_SIMD_BODY_INL_H_
#else
#define VANTREL_ENGINE_SIMD_BODY_INL_H_
#endif

VANTREL_SIMD_BEGIN

namespace hn = hwy::HWY_NAMESPACE;

namespace {

// Calls body(d, x) for every vector of a line of `width` samples of type T:
// the target's full vectors, then 32-, 16- and 8-byte ones, so nothing is
// read or written past the line's end. Returns the samples it covered, all
// of them when the line is a whole number of 8 bytes.
template <typename T = uint8_t, class Body>
HWY_INLINE size_t ForLine(size_t width, const Body& body) {
  size_t x = 0;
  const auto run = [&](auto d) {
    for (const size_t n = hn::Lanes(d); x + n <= width; x += n) body(d, x);
  };
  run(hn::ScalableTag<T>());
  if (HWY_MAX_BYTES > 32) run(hn::CappedTag<T, 32 / sizeof(T)>());
  if (HWY_MAX_BYTES > 16) run(hn::CappedTag<T, 16 / sizeof(T)>());
  run(hn::CappedTag<T, 8 / sizeof(T)>());
  return x;
}

}  // namespace

VANTREL_SIMD_END

#endif  // include guard toggle
