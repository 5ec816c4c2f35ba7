// The field interpolation line kernels of engine/ref/interpolate.h, written
// once with Highway and compiled for every target, for 8-bit samples and for
// 16-bit ones (9 to 16 bits). Each reads and writes exactly the columns
// 0 .. width - 1 of its lines (ForLine).

#include <type_traits>

#define HWY_TARGET_INCLUDE "engine/simd/interpolate.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "engine/simd/body-inl.h"
#include "engine/ref/interpolate.h"  // ChromaLine: the last 4 bytes of a line

VANTREL_SIMD_BEGIN
namespace {

// The line `lines` lines from p, whose lines are `pitch` bytes apart.
template <typename T>
HWY_INLINE T* LineAt(T* p, ptrdiff_t pitch, ptrdiff_t lines) {
  using Byte = std::conditional_t<std::is_const<T>::value, const char, char>;
  return reinterpret_cast<T*>(reinterpret_cast<Byte*>(p) + lines * pitch);
}

// (a + b) >> 1 per lane: AverageRound rounds up, so take back the carried
// half where the sum is odd.
template <class V>
HWY_INLINE V FloorAverage(V a, V b) {
  const hn::DFromV<V> d;
  return hn::Sub(hn::AverageRound(a, b), hn::And(hn::Xor(a, b), hn::Set(d, 1)));
}

// The lanes of v as lanes twice as wide: the even-numbered ones, and the
// odd ones. Working on both halves this way needs no shuffles.
template <class V>
HWY_INLINE auto Evens(V v) {
  const hn::RepartitionToWide<hn::DFromV<V>> dw;
  return hn::And(hn::BitCast(dw, v), hn::Set(dw, hwy::LimitsMax<hn::TFromV<V>>()));
}
template <class V>
HWY_INLINE auto Odds(V v) {
  const hn::RepartitionToWide<hn::DFromV<V>> dw;
  return hn::ShiftRight<8 * sizeof(hn::TFromV<V>)>(hn::BitCast(dw, v));
}
// Lanes of d back from wide lanes that hold values d's lanes can hold.
template <class D, class VW>
HWY_INLINE hn::VFromD<D> Join(D d, VW evens, VW odds) {
  return hn::BitCast(d, hn::Or(evens, hn::ShiftLeft<8 * sizeof(hn::TFromD<D>)>(odds)));
}

// FourTapLuma clamped at vmax: min(max, max(0, 5 * (b + c) - a - d) >> 3),
// for samples whose 5 * (b + c) fits the lanes (up to 12 bits in 16-bit
// lanes). Subtracting a + d once with saturation at 0 equals subtracting a
// and then d that way, as neither is negative.
template <class V16>
HWY_INLINE V16 FourTap16(V16 a, V16 b, V16 c, V16 d, V16 vmax) {
  const hn::DFromV<V16> d16;
  const V16 five = hn::Mul(hn::Add(b, c), hn::Set(d16, 5));
  return hn::Min(hn::ShiftRight<3>(hn::SaturatedSub(five, hn::Add(a, d))), vmax);
}

// The same in 32-bit lanes, where no saturating subtraction exists:
// max(0, x - y) = max(x, y) - y; and 5s = 4s + s, as a 32-bit multiply is
// slow on x86 (emulated on SSSE3).
template <class V32>
HWY_INLINE V32 FourTap32(V32 a, V32 b, V32 c, V32 d, V32 vmax) {
  const V32 s = hn::Add(b, c);
  const V32 five = hn::Add(hn::ShiftLeft<2>(s), s);
  const V32 ad = hn::Add(a, d);
  return hn::Min(hn::ShiftRight<3>(hn::Sub(hn::Max(five, ad), ad)), vmax);
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

// ChromaCombFires from the samples A, C, B (0 .. 255 in 16-bit lanes).
template <class V16>
HWY_INLINE V16 ChromaFiresOf(V16 above, V16 centre, V16 below) {
  const hn::RebindToSigned<hn::DFromV<V16>> di;
  const auto a = hn::BitCast(di, above), c = hn::BitCast(di, centre), b = hn::BitCast(di, below);
  return hn::BitCast(hn::DFromV<V16>(), ChromaFires16(hn::Sub(a, c), hn::Sub(b, c), hn::Sub(b, a)));
}

#if HWY_ARCH_X86
// x86 multiplies pairs of unsigned bytes by signed bytes and adds each pair
// into a 16-bit lane in one instruction (pmaddubsw), which Highway 1.0.3
// does not offer. The filters built on it need neither widening nor
// narrowing shuffles; their portable form (Evens and Odds, on ARM), built for x86,
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
  const auto vmax = hn::Set(hn::RepartitionToWide<D8>(), 255);
  const auto evens = FourTap16(Evens(a), Evens(b), Evens(c), Evens(d), vmax);
  const auto odds = FourTap16(Odds(a), Odds(b), Odds(c), Odds(d), vmax);
  return Join(d8, evens, odds);
#endif
}

// Samples up to this keep 5 * (b + c) within 16-bit lanes (12 bits do).
constexpr uint16_t kMaxIn16BitLanes = 65535 / 10;

// FourTapLine16's value at column x: in 16-bit lanes, or for
// kWide in 32-bit ones.
template <bool kWide, class D>
HWY_INLINE hn::VFromD<D> FourTapWords(D d16, const uint16_t* src, ptrdiff_t pitch, size_t x,
                                      uint16_t max) {
  const auto a = hn::LoadU(d16, LineAt(src, pitch, -3) + x);
  const auto b = hn::LoadU(d16, LineAt(src, pitch, -1) + x);
  const auto c = hn::LoadU(d16, LineAt(src, pitch, 1) + x);
  const auto d = hn::LoadU(d16, LineAt(src, pitch, 3) + x);
  if constexpr (kWide) {
    const auto vmax = hn::Set(hn::RepartitionToWide<D>(), max);
    const auto evens = FourTap32(Evens(a), Evens(b), Evens(c), Evens(d), vmax);
    const auto odds = FourTap32(Odds(a), Odds(b), Odds(c), Odds(d), vmax);
    return Join(d16, evens, odds);
  } else {
    return FourTap16(a, b, c, d, hn::Set(d16, max));
  }
}

// Calls run(tap), tap(d, x) giving the four-tap value of src's 16-bit
// samples at column x, in the narrowest lanes that hold it exactly.
template <class Run>
HWY_INLINE void WithWordsTap(const uint16_t* src, ptrdiff_t pitch, uint16_t max, const Run& run) {
  if (max <= kMaxIn16BitLanes) {
    run([&](auto d, size_t x) { return FourTapWords<false>(d, src, pitch, x, max); });
  } else {
    run([&](auto d, size_t x) { return FourTapWords<true>(d, src, pitch, x, max); });
  }
}

// The comb mask's bytes for the lanes of d: 0x00 / 0xFF bytes become lanes
// of all zeros / all ones.
template <class D, class V8>
HWY_INLINE hn::VFromD<D> MaskLanes(D d, V8 mask) {
  if constexpr (sizeof(hn::TFromD<D>) == 1) {
    return mask;
  } else {
    const hn::RebindToSigned<D> di;
    return hn::BitCast(d, hn::PromoteTo(di, hn::BitCast(hn::Rebind<int8_t, D>(), mask)));
  }
}

// The masked four-tap line for samples of type T; tap(d, x) gives the
// filtered vector at column x.
template <typename T, class Tap>
HWY_INLINE void MaskedFourTapLineOf(T* dst, const T* src, const uint8_t* mask, size_t width,
                                    const Tap& tap) {
  ForLine<T>(width, [&](auto d, size_t x) {
    const hn::Rebind<uint8_t, decltype(d)> d8;
    const auto m8 = hn::LoadU(d8, mask + x);
    // No sample marked: the output is the source (and in place, already is).
    if (hn::AllTrue(d8, hn::Eq(m8, hn::Zero(d8)))) {
      if (dst != src) hn::StoreU(hn::LoadU(d, src + x), d, dst + x);
      return;
    }
    // dst = (v & m) | (src & ~m)
    const auto v = tap(d, x);
    const auto m = MaskLanes(d, m8);
    hn::StoreU(hn::Or(hn::And(v, m), hn::AndNot(m, hn::LoadU(d, src + x))), d, dst + x);
  });
}

template <typename T>
void AverageLineOf(T* dst, const T* above, const T* below, size_t width) {
  ForLine<T>(width, [&](auto d, size_t x) {
    hn::StoreU(FloorAverage(hn::LoadU(d, above + x), hn::LoadU(d, below + x)), d, dst + x);
  });
}

void FourTapLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width) {
  ForLine(width, [&](auto d, size_t x) { hn::StoreU(FourTap(d, src, pitch, x), d, dst + x); });
}

void MaskedFourTapLine(uint8_t* dst, const uint8_t* src, const uint8_t* mask, ptrdiff_t pitch,
                       size_t width) {
  MaskedFourTapLineOf(dst, src, mask, width,
                      [&](auto d, size_t x) { return FourTap(d, src, pitch, x); });
}

void ChromaLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width,
                bool rebuild_all) {
  const size_t done = ForLine(width, [&](auto d, size_t x) {
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
    const auto even_fires = ChromaFiresOf(Evens(a), Evens(c), Evens(b));
    const auto odd_fires = ChromaFiresOf(Odds(a), Odds(c), Odds(b));
    const auto fires = hn::BitCast(d, hn::Or(hn::And(even_fires, hn::Set(d16, 0x00FF)),
                                             hn::And(odd_fires, hn::Set(d16, 0xFF00))));
    hn::StoreU(hn::IfThenElse(hn::MaskFromVec(fires), v, c), d, dst + x);  // v or C
#endif
  });
  // A line 4 bytes past whole 8-byte vectors (4:1:1 chroma): the scalar
  // kernel gives the same bytes.
  if (done < width) vantrel::ChromaLine(dst + done, src + done, pitch, width - done, rebuild_all);
}

void FourTapLine16(uint16_t* dst, const uint16_t* src, ptrdiff_t pitch, size_t width,
                   uint16_t max) {
  WithWordsTap(src, pitch, max, [&](const auto& tap) {
    ForLine<uint16_t>(width, [&](auto d, size_t x) { hn::StoreU(tap(d, x), d, dst + x); });
  });
}

void MaskedFourTapLine16(uint16_t* dst, const uint16_t* src, const uint8_t* mask,
                         ptrdiff_t pitch, size_t width, uint16_t max) {
  WithWordsTap(src, pitch, max,
               [&](const auto& tap) { MaskedFourTapLineOf(dst, src, mask, width, tap); });
}

void ChromaLine16(uint16_t* dst, const uint16_t* src, ptrdiff_t pitch, size_t width,
                  bool rebuild_all, uint32_t shift) {
  ForLine<uint16_t>(width, [&](auto d, size_t x) {
    const auto a = hn::LoadU(d, LineAt(src, pitch, -1) + x);
    const auto b = hn::LoadU(d, LineAt(src, pitch, 1) + x);
    // (A + 3B) >> 2 = ((A + B) >> 1 + B) >> 1, as in the portable 8-bit form.
    const auto v = FloorAverage(FloorAverage(a, b), b);
    if (rebuild_all) {
      hn::StoreU(v, d, dst + x);
      return;
    }
    // The 8-bit test on the samples cut to 8 bits: min(255, s >> shift).
    const auto cut = [&](decltype(a) s) {
      return hn::Min(hn::ShiftRightSame(s, int(shift)), hn::Set(d, 255));
    };
    const auto c = hn::LoadU(d, src + x);
    const auto fires = ChromaFiresOf(cut(a), cut(c), cut(b));
    hn::StoreU(hn::IfThenElse(hn::MaskFromVec(fires), v, c), d, dst + x);
  });
}

void CutLine(uint8_t* dst, const uint16_t* src, size_t width, uint32_t shift) {
  ForLine<uint16_t>(width, [&](auto d, size_t x) {
    const hn::Rebind<uint8_t, decltype(d)> d8;
    const hn::RebindToSigned<decltype(d)> di;
    // min(255, src >> shift): a shift of at least 1 leaves every lane below
    // 2^15, where the signed pack saturates to 255 as the min would.
    const auto cut = hn::ShiftRightSame(hn::LoadU(d, src + x), int(shift));
    hn::StoreU(hn::DemoteTo(d8, hn::BitCast(di, cut)), d8, dst + x);
  });
}

}  // namespace

extern const InterpolateKernels kInterpolateKernels = {
    AverageLineOf<uint8_t>,  FourTapLine,   MaskedFourTapLine,   ChromaLine,
    AverageLineOf<uint16_t>, FourTapLine16, MaskedFourTapLine16, ChromaLine16, CutLine};

VANTREL_SIMD_END
