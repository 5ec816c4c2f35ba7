// The field interpolation line kernels of engine/interpolate.h, written once
// with Highway and compiled for every target. Each reads and writes exactly
// the columns 0 .. width - 1 of its lines (ForLine).

#define HWY_TARGET_INCLUDE "engine/simd/interpolate.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "engine/simd/body-inl.h"

VANTREL_SIMD_BEGIN
namespace {

// (a + b) >> 1 per byte: AverageRound rounds up, so take back the carried
// half where the sum is odd.
template <class V8>
HWY_INLINE V8 FloorAverage(V8 a, V8 b) {
  const hn::DFromV<V8> d8;
  return hn::Sub(hn::AverageRound(a, b), hn::And(hn::Xor(a, b), hn::Set(d8, 1)));
}

// ChromaCombFires in 16-bit lanes, as 0 / 0xFFFF, from A - C, B - C and
// B - A (signed, exact).
template <class V16>
HWY_INLINE V16 ChromaFires16(V16 a_c, V16 b_c, V16 b_a) {
  const hn::DFromV<V16> d;
  const auto p = hn::Mul(a_c, b_c);                     // P = wrap16((A - C)(B - C))
  const auto q = hn::ShiftRight<3>(hn::Mul(b_a, b_a));  // Q = wrap16((B - A)^2) >> 3
  // (D >> 1) > 8 holds exactly when D = sat16(P - Q) > 17.
  return hn::VecFromMask(d, hn::Gt(hn::SaturatedSub(p, q), hn::Set(d, 17)));
}

#if HWY_ARCH_X86
// x86 multiplies pairs of unsigned bytes by signed bytes and adds each pair
// into a 16-bit lane in one instruction (pmaddubsw), which Highway 1.0.3
// does not offer. The filters built on it need neither widening nor
// narrowing shuffles; their portable form (below, for ARM), built for x86,
// ran the luma filters up to 2x slower at SSSE3 and SSE4 and up to 1.35x at
// AVX2 and AVX-512 (checkasm --bench on an AMD EPYC Zen 4).

// pmaddubsw on a vector of any width: lane k = w0 * byte 2k + w1 * byte 2k+1.
template <class V8>
HWY_INLINE auto PairMulAdd(V8 pairs, int8_t w0, int8_t w1) {
  using V16 = hn::VFromD<hn::RepartitionToWide<hn::DFromV<V8>>>;
  const int16_t w = int16_t(uint16_t(uint8_t(w1) << 8 | uint8_t(w0)));
  if constexpr (sizeof(pairs.raw) == 16) {
    return V16{_mm_maddubs_epi16(pairs.raw, _mm_set1_epi16(w))};
#if HWY_TARGET <= HWY_AVX2
  } else if constexpr (sizeof(pairs.raw) == 32) {
    return V16{_mm256_maddubs_epi16(pairs.raw, _mm256_set1_epi16(w))};
#endif
#if HWY_TARGET <= HWY_AVX3
  } else {
    return V16{_mm512_maddubs_epi16(pairs.raw, _mm512_set1_epi16(w))};
#endif
  }
}

// The lanes of lo, then of hi, packed to bytes within each 128-bit block:
// with unsigned saturation (0 .. 255), or for kMask signed, so that 0 / -1
// lanes become 0x00 / 0xFF bytes.
template <bool kMask = false, class V16>
HWY_INLINE auto PackBlocks(V16 lo, V16 hi) {
  using V8 = hn::VFromD<hn::Repartition<uint8_t, hn::DFromV<V16>>>;
  if constexpr (sizeof(lo.raw) == 16) {
    return V8{kMask ? _mm_packs_epi16(lo.raw, hi.raw) : _mm_packus_epi16(lo.raw, hi.raw)};
#if HWY_TARGET <= HWY_AVX2
  } else if constexpr (sizeof(lo.raw) == 32) {
    return V8{kMask ? _mm256_packs_epi16(lo.raw, hi.raw) : _mm256_packus_epi16(lo.raw, hi.raw)};
#endif
#if HWY_TARGET <= HWY_AVX3
  } else {
    return V8{kMask ? _mm512_packs_epi16(lo.raw, hi.raw) : _mm512_packus_epi16(lo.raw, hi.raw)};
#endif
  }
}

// FourTapLuma of whole 128-bit blocks: (b, c) and (a, d) side by side give
// 5 * (b + c) and a + d in one step each; max(0, ..) >> 3, and the pack
// saturates to 255, block by block as the interleave left them.
template <class D8, class V8>
HWY_INLINE V8 FourTapBlocks(D8 d8, V8 a, V8 b, V8 c, V8 d) {
  const auto lo = hn::ShiftRight<3>(hn::SaturatedSub(PairMulAdd(hn::InterleaveLower(d8, b, c), 5, 5),
                                                     PairMulAdd(hn::InterleaveLower(d8, a, d), 1, 1)));
  const auto hi = hn::ShiftRight<3>(hn::SaturatedSub(PairMulAdd(hn::InterleaveUpper(d8, b, c), 5, 5),
                                                     PairMulAdd(hn::InterleaveUpper(d8, a, d), 1, 1)));
  return PackBlocks(lo, hi);
}

// The chroma rebuild of whole 128-bit blocks, as the four-tap filter: each
// formula one multiply-add of byte pairs, (A, B) by (1, 3) for v and by
// (-1, 1), (A, C) and (B, C) by (1, -1) for the differences of the test.
// load(k) reads the vector of line k (-1 above, 0, 1 below).
template <class D8, class Load>
HWY_INLINE hn::VFromD<D8> ChromaBlocks(D8 d8, const Load& load, bool rebuild_all) {
  const hn::RepartitionToWide<D8> d16;
  const hn::RebindToSigned<decltype(d16)> di;
  const auto a = load(-1), b = load(1);
  const auto v = PackBlocks(hn::ShiftRight<2>(PairMulAdd(hn::InterleaveLower(d8, a, b), 1, 3)),
                            hn::ShiftRight<2>(PairMulAdd(hn::InterleaveUpper(d8, a, b), 1, 3)));
  if (rebuild_all) return v;  // (A + 3B) >> 2
  const auto c = load(0);
  const auto fires = [&](auto ab, auto ac, auto bc) {
    return ChromaFires16(hn::BitCast(di, PairMulAdd(ac, 1, -1)),
                         hn::BitCast(di, PairMulAdd(bc, 1, -1)),
                         hn::BitCast(di, PairMulAdd(ab, -1, 1)));
  };
  const auto lo = fires(hn::InterleaveLower(d8, a, b), hn::InterleaveLower(d8, a, c),
                        hn::InterleaveLower(d8, b, c));
  const auto hi = fires(hn::InterleaveUpper(d8, a, b), hn::InterleaveUpper(d8, a, c),
                        hn::InterleaveUpper(d8, b, c));
  return hn::IfThenElse(hn::MaskFromVec(PackBlocks<true>(lo, hi)), v, c);  // v or C
}

#else  // the portable form

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

// FourTapLuma in 16-bit lanes: min(255, max(0, 5 * (b + c) - a - d) >> 3).
// Subtracting a + d once with saturation at 0 equals subtracting a and then
// d that way, as neither is negative.
template <class V16>
HWY_INLINE V16 FourTap16(V16 a, V16 b, V16 c, V16 d) {
  const hn::DFromV<V16> d16;
  const V16 five = hn::Mul(hn::Add(b, c), hn::Set(d16, 5));
  return hn::Min(hn::ShiftRight<3>(hn::SaturatedSub(five, hn::Add(a, d))), hn::Set(d16, 255));
}

// ChromaCombFires from the samples A, C, B (0 .. 255 in 16-bit lanes).
template <class V16>
HWY_INLINE V16 ChromaFiresOf(V16 above, V16 centre, V16 below) {
  const hn::RebindToSigned<hn::DFromV<V16>> di;
  const auto a = hn::BitCast(di, above), c = hn::BitCast(di, centre), b = hn::BitCast(di, below);
  return hn::BitCast(hn::DFromV<V16>(), ChromaFires16(hn::Sub(a, c), hn::Sub(b, c), hn::Sub(b, a)));
}

#endif  // HWY_ARCH_X86

template <class D8>
HWY_INLINE hn::VFromD<D8> FourTap(D8 d8, const uint8_t* src, ptrdiff_t pitch, size_t x) {
  const auto a = hn::LoadU(d8, src - 3 * pitch + x), b = hn::LoadU(d8, src - pitch + x);
  const auto c = hn::LoadU(d8, src + pitch + x), d = hn::LoadU(d8, src + 3 * pitch + x);
#if HWY_ARCH_X86
  if constexpr (hn::MaxLanes(d8) >= 16) {
    return FourTapBlocks(d8, a, b, c, d);
  } else {  // 8 bytes: the lower half of one block
    const hn::Twice<D8> dt;
    return hn::LowerHalf(d8, FourTapBlocks(dt, hn::ZeroExtendVector(dt, a), hn::ZeroExtendVector(dt, b),
                                           hn::ZeroExtendVector(dt, c), hn::ZeroExtendVector(dt, d)));
  }
#else
  const auto evens = FourTap16(Evens(d8, a), Evens(d8, b), Evens(d8, c), Evens(d8, d));
  const auto odds = FourTap16(Odds(d8, a), Odds(d8, b), Odds(d8, c), Odds(d8, d));
  return Join(d8, evens, odds);
#endif
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

void ChromaLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width,
                bool rebuild_all) {
  ForLine(width, [&](auto d, size_t x) {
#if HWY_ARCH_X86
    if constexpr (hn::MaxLanes(d) >= 16) {
      const auto load = [&](ptrdiff_t line) { return hn::LoadU(d, src + line * pitch + x); };
      hn::StoreU(ChromaBlocks(d, load, rebuild_all), d, dst + x);
    } else {  // 8 bytes: the lower half of one block
      const hn::Twice<decltype(d)> dt;
      const auto load = [&](ptrdiff_t line) {
        return hn::ZeroExtendVector(dt, hn::LoadU(d, src + line * pitch + x));
      };
      hn::StoreU(hn::LowerHalf(d, ChromaBlocks(dt, load, rebuild_all)), d, dst + x);
    }
#else
    const auto a = hn::LoadU(d, src - pitch + x), b = hn::LoadU(d, src + pitch + x);
    const auto c = hn::LoadU(d, src + x);
    // (A + 3B) >> 2 = ((A + B) >> 1 + B) >> 1: when A + B is odd, A + 3B is
    // odd too, and the half dropped first cannot carry into the result.
    const auto v = FloorAverage(FloorAverage(a, b), b);
    if (rebuild_all) {
      hn::StoreU(v, d, dst + x);
      return;
    }
    const hn::RepartitionToWide<decltype(d)> d16;
    const auto even_fires = ChromaFiresOf(Evens(d, a), Evens(d, c), Evens(d, b));
    const auto odd_fires = ChromaFiresOf(Odds(d, a), Odds(d, c), Odds(d, b));
    const auto fires = hn::BitCast(d, hn::Or(hn::And(even_fires, hn::Set(d16, 0x00FF)),
                                             hn::And(odd_fires, hn::Set(d16, 0xFF00))));
    hn::StoreU(hn::IfThenElse(hn::MaskFromVec(fires), v, c), d, dst + x);  // v or C
#endif
  });
}

}  // namespace

extern const InterpolateKernels kInterpolateKernels = {AverageLine, FourTapLine,
                                                       MaskedFourTapLine, ChromaLine};

VANTREL_SIMD_END
