// The field interpolation line kernels of engine/interpolate.h, written once
// with Highway and compiled for every target. Each reads and writes exactly
// the columns 0 .. width - 1 of its lines (ForLine).
#include <cstddef>
#include <cstdint>

#include "engine/dsp.h"
#include "engine/simd/targets.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/simd/interpolate.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

#include "engine/simd/lines-inl.h"

HWY_BEFORE_NAMESPACE();
namespace vantrel {
namespace HWY_NAMESPACE {
// Highway's one-lane fallback target would only be a slower scalar kernel.
#if HWY_TARGET != HWY_SCALAR
namespace {

namespace hn = hwy::HWY_NAMESPACE;

// The bytes of v as 16-bit lanes: the even-numbered bytes, and the odd ones.
// Working on both halves this way needs no shuffles.
template <class D8, class V8>
HWY_INLINE auto Evens(D8, V8 v) {
  const hn::RepartitionToWide<D8> d16;
  return hn::And(hn::BitCast(d16, v), hn::Set(d16, 0x00FF));
}
template <class D8, class V8>
HWY_INLINE auto Odds(D8, V8 v) {
  const hn::RepartitionToWide<D8> d16;
  return hn::ShiftRight<8>(hn::BitCast(d16, v));
}
// Bytes back from lanes that hold 0 .. 255.
template <class D8, class V16>
HWY_INLINE auto Join(D8 d8, V16 evens, V16 odds) {
  return hn::BitCast(d8, hn::Or(evens, hn::ShiftLeft<8>(odds)));
}

// (a + b) >> 1 per byte: AverageRound rounds up, so take back the carried
// half where the sum is odd.
template <class V8>
HWY_INLINE V8 FloorAverage(V8 a, V8 b) {
  const hn::DFromV<V8> d8;
  return hn::Sub(hn::AverageRound(a, b), hn::And(hn::Xor(a, b), hn::Set(d8, 1)));
}

// FourTapLuma in 16-bit lanes: min(255, max(0, 5 * (b + c) - a - d) >> 3).
// Subtracting a + d once with saturation at 0 equals subtracting a and then
// d that way, as neither is negative.
template <class V16>
HWY_INLINE V16 FourTap16(V16 a, V16 b, V16 c, V16 d) {
  const hn::DFromV<V16> d16;
  const V16 five = hn::Mul(hn::Add(b, c), hn::Set(d16, 5));
  return hn::Min(hn::ShiftRight<3>(hn::SaturatedSub(five, hn::Add(a, d))), hn::Set(d16, 255));
}

template <class D8>
HWY_INLINE hn::VFromD<D8> FourTap(D8 d8, const uint8_t* src, ptrdiff_t pitch, size_t x) {
  const auto a = hn::LoadU(d8, src - 3 * pitch + x), b = hn::LoadU(d8, src - pitch + x);
  const auto c = hn::LoadU(d8, src + pitch + x), d = hn::LoadU(d8, src + 3 * pitch + x);
  const auto evens = FourTap16(Evens(d8, a), Evens(d8, b), Evens(d8, c), Evens(d8, d));
  const auto odds = FourTap16(Odds(d8, a), Odds(d8, b), Odds(d8, c), Odds(d8, d));
  return Join(d8, evens, odds);
}

void AverageLine(uint8_t* dst, const uint8_t* above, const uint8_t* below, size_t width) {
  ForLine(width, [&](auto d, size_t x) {
    hn::StoreU(FloorAverage(hn::LoadU(d, above + x), hn::LoadU(d, below + x)), d, dst + x);
  });
}

void FourTapLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width) {
  ForLine(width, [&](auto d, size_t x) { hn::StoreU(FourTap(d, src, pitch, x), d, dst + x); });
}

void MaskedFourTapLine(uint8_t* dst, const uint8_t* src, const uint8_t* mask, ptrdiff_t pitch,
                       size_t width) {
  ForLine(width, [&](auto d, size_t x) {
    const auto m = hn::LoadU(d, mask + x);
    // No sample marked: the output is the source (and in place, already is).
    if (hn::AllTrue(d, hn::Eq(m, hn::Zero(d)))) {
      if (dst != src) hn::StoreU(hn::LoadU(d, src + x), d, dst + x);
      return;
    }
    // dst = (v & m) | (src & ~m)
    const auto v = FourTap(d, src, pitch, x);
    hn::StoreU(hn::Or(hn::And(v, m), hn::AndNot(m, hn::LoadU(d, src + x))), d, dst + x);
  });
}

// ChromaCombFires in 16-bit lanes, as 0 / 0xFFFF.
template <class V16>
HWY_INLINE V16 ChromaFires16(V16 above, V16 centre, V16 below) {
  const hn::DFromV<V16> du;
  const hn::RebindToSigned<decltype(du)> di;
  const auto a = hn::BitCast(di, above), c = hn::BitCast(di, centre), b = hn::BitCast(di, below);
  const auto p = hn::Mul(hn::Sub(a, c), hn::Sub(b, c));  // P = wrap16((A - C)(B - C))
  const auto ba = hn::Sub(b, a);
  const auto q = hn::ShiftRight<3>(hn::Mul(ba, ba));    // Q = wrap16((B - A)^2) >> 3
  const auto d = hn::SaturatedSub(p, q);                // D = sat16(P - Q)
  // (D >> 1) > 8 holds exactly when D > 17.
  return hn::BitCast(du, hn::VecFromMask(di, hn::Gt(d, hn::Set(di, 17))));
}

void ChromaLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width,
                bool rebuild_all) {
  ForLine(width, [&](auto d, size_t x) {
    const auto a = hn::LoadU(d, src - pitch + x), b = hn::LoadU(d, src + pitch + x);
    // (A + 3B) >> 2 = ((A + B) >> 1 + B) >> 1: when A + B is odd, A + 3B is
    // odd too, and the half dropped first cannot carry into the result.
    const auto v = FloorAverage(FloorAverage(a, b), b);
    if (rebuild_all) {
      hn::StoreU(v, d, dst + x);
      return;
    }
    const auto c = hn::LoadU(d, src + x);
    const auto even_fires = ChromaFires16(Evens(d, a), Evens(d, c), Evens(d, b));
    const auto odd_fires = ChromaFires16(Odds(d, a), Odds(d, c), Odds(d, b));
    const hn::RepartitionToWide<decltype(d)> d16;
    const auto fires = hn::BitCast(d, hn::Or(hn::And(even_fires, hn::Set(d16, 0x00FF)),
                                             hn::And(odd_fires, hn::Set(d16, 0xFF00))));
    hn::StoreU(hn::IfThenElse(hn::MaskFromVec(fires), v, c), d, dst + x);
  });
}

}  // namespace

void FillInterpolate(EngineDsp* dsp) {
  dsp->average_line = AverageLine;
  dsp->four_tap_line = FourTapLine;
  dsp->masked_four_tap_line = MaskedFourTapLine;
  dsp->chroma_line = ChromaLine;
}

#endif  // HWY_TARGET != HWY_SCALAR
}  // namespace HWY_NAMESPACE
}  // namespace vantrel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vantrel {
const FillKernelsFn kInterpolateTargets[kTargetCount] = VANTREL_TARGET_ENTRIES(FillInterpolate);
}  // namespace vantrel
#endif
