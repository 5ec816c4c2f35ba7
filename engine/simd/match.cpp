// The block-matching kernels of engine/ref/match.h, written once with Highway and
// compiled for every target: decimation, the two block costs and the two
// window scans.
//
// A window row is scanned a vector of candidates at a time with full sums.
// For block column pair (2p, 2p + 1), the bytes at column j + 2p of a
// candidate line, widened to 16-bit lanes, hold candidate j's pair for every
// even j in one 32-bit lane, so one widening multiply-add against the
// broadcast reference pair adds d(2p)^2 + d(2p + 1)^2 to half the
// candidates; the load one byte further does the odd ones. After each block
// line a group stops once none of its running sums is below the best (a
// candidate that is not strictly below never wins). Winners are then picked
// in scan order, so the result is the scalar scan's first strict minimum
// with its complete cost. Every load stays within the window's candidates.

#define HWY_TARGET_INCLUDE "engine/simd/match.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "engine/simd/body-inl.h"

VANTREL_SIMD_BEGIN
namespace {

void DecimateLine(uint8_t* dst, const uint8_t* src, size_t width) {
  ForLine(width, [&](auto d, size_t c) {
    // dst[c] = src[2c]: the even bytes of two vectors.
    const size_t n = hn::Lanes(d);
    hn::StoreU(hn::ConcatEven(d, hn::LoadU(d, src + 2 * c + n), hn::LoadU(d, src + 2 * c)), d,
               dst + c);
  });
}

// Squared differences of one block line as 32-bit lanes of pair sums.
template <int kCols>
HWY_INLINE auto LineSquares(const uint8_t* candidate, const uint8_t* reference) {
  const hn::CappedTag<int16_t, kCols> d16;
  const hn::Rebind<uint8_t, decltype(d16)> d8;
  const hn::RepartitionToWide<decltype(d16)> d32;
  auto sum0 = hn::Zero(d32), sum1 = hn::Zero(d32);
  for (size_t x = 0; x < kCols; x += hn::Lanes(d16)) {
    // d = reference - candidate; sum += d^2
    const auto d = hn::Sub(hn::PromoteTo(d16, hn::LoadU(d8, reference + x)),
                           hn::PromoteTo(d16, hn::LoadU(d8, candidate + x)));
    sum0 = hn::ReorderWidenMulAccumulate(d32, d, d, sum0, sum1);
  }
  return hn::Add(sum0, sum1);
}

// Halves a vector until it has four 32-bit lanes, adding the halves.
template <class V>
HWY_INLINE auto FoldTo128(V v) {
  const hn::DFromV<V> d;
  if constexpr (hn::MaxLanes(d) > 4) {
    const hn::Half<decltype(d)> dh;
    return FoldTo128(hn::Add(hn::LowerHalf(dh, v), hn::UpperHalf(dh, v)));
  } else {
    return v;
  }
}

// [sum(v0), sum(v1), sum(v2), sum(v3)]: the totals of four lines.
template <class V>
HWY_INLINE auto LineTotals(V v0, V v1, V v2, V v3) {
  const hn::DFromV<V> d;
  const hn::Repartition<int64_t, decltype(d)> d64;
  const V t01 = hn::Add(hn::InterleaveLower(d, v0, v1), hn::InterleaveUpper(d, v0, v1));
  const V t23 = hn::Add(hn::InterleaveLower(d, v2, v3), hn::InterleaveUpper(d, v2, v3));
  const auto lo = hn::InterleaveLower(d64, hn::BitCast(d64, t01), hn::BitCast(d64, t23));
  const auto hi = hn::InterleaveUpper(d64, hn::BitCast(d64, t01), hn::BitCast(d64, t23));
  return FoldTo128(hn::Add(hn::BitCast(d, lo), hn::BitCast(d, hi)));
}

// BlockCostCoarse (8 x 4) / BlockCost (16 x 8): the running sum at the first line where it
// reaches best, else the total. Four lines are summed at a time and their
// running sums compared together.
template <int kCols, int kLines>
uint32_t BlockSsd(const uint8_t* candidate, ptrdiff_t candidate_stride, const uint8_t* reference,
                  ptrdiff_t reference_stride, int32_t best) {
  const hn::Full128<int32_t> d;
  const ptrdiff_t cs = candidate_stride, rs = reference_stride;
  auto carry = hn::Zero(d);
  for (int l = 0; l < kLines; l += 4) {
    const uint8_t* c = candidate + l * cs;
    const uint8_t* r = reference + l * rs;
    const auto totals = LineTotals(LineSquares<kCols>(c, r),
                                   LineSquares<kCols>(c + cs, r + rs),
                                   LineSquares<kCols>(c + 2 * cs, r + 2 * rs),
                                   LineSquares<kCols>(c + 3 * cs, r + 3 * rs));
    // Running sums after each of the four lines.
    auto running = hn::Add(totals, hn::ShiftLeftLanes<1>(d, totals));
    running = hn::Add(carry, hn::Add(running, hn::ShiftLeftLanes<2>(d, running)));
    const auto below = hn::Lt(running, hn::Set(d, best));
    if (!hn::AllTrue(d, below)) {
      return uint32_t(hn::ExtractLane(running, size_t(hn::FindFirstTrue(d, hn::Not(below)))));
    }
    carry = hn::Broadcast<3>(running);
  }
  return uint32_t(hn::GetLane(carry));
}

// Complete cost of one candidate (its first kLines lines).
template <int kCols, int kLines>
uint32_t FullCost(const uint8_t* candidate, ptrdiff_t candidate_stride, const uint8_t* reference,
                  ptrdiff_t reference_stride) {
  auto sum = LineSquares<kCols>(candidate, reference);
  for (int l = 1; l < kLines; ++l) {
    sum = hn::Add(sum, LineSquares<kCols>(candidate + l * candidate_stride,
                                          reference + l * reference_stride));
  }
  const hn::DFromV<decltype(sum)> d32;
  return uint32_t(hn::GetLane(hn::SumOfLanes(d32, sum)));
}

// The complete cost of one candidate when it may be below best, else its
// first line's sum (which is not): most candidates are ruled out there.
template <int kCols, int kLines>
uint32_t CostBelow(const uint8_t* candidate, ptrdiff_t candidate_stride, const uint8_t* reference,
                   ptrdiff_t reference_stride, uint32_t best) {
  auto sum = LineSquares<kCols>(candidate, reference);
  const hn::DFromV<decltype(sum)> d32;
  const uint32_t first = uint32_t(hn::GetLane(hn::SumOfLanes(d32, sum)));
  if (first >= best) return first;
  for (int l = 1; l < kLines; ++l) {
    sum = hn::Add(sum, LineSquares<kCols>(candidate + l * candidate_stride,
                                          reference + l * reference_stride));
  }
  return uint32_t(hn::GetLane(hn::SumOfLanes(d32, sum)));
}

// The reference block's column pairs: r[l][2p] | r[l][2p + 1] << 16, the
// 32-bit lanes of a line widened to 16 bits (every target is little-endian).
template <int kCols, int kLines>
struct ReferencePairs {
  explicit ReferencePairs(const uint8_t* reference, ptrdiff_t stride) {
    const hn::CappedTag<uint16_t, kCols> d16;
    const hn::Rebind<uint8_t, decltype(d16)> d8;
    for (int l = 0; l < kLines; ++l) {
      for (size_t x = 0; x < kCols; x += hn::Lanes(d16)) {
        hn::StoreU(hn::PromoteTo(d16, hn::LoadU(d8, reference + l * stride + x)), d16,
                   reinterpret_cast<uint16_t*>(pair[l]) + x);
      }
    }
  }
  int32_t pair[kLines][kCols / 2];
};

// Running sums of candidates 0 .. Lanes(d16) - 1 at `candidate`, a line at
// a time: 2k in the even sums' lane k, 2k + 1 in the odd ones'.
template <class D16, int kCols, int kLines>
struct GroupSums {
  using D32 = hn::RepartitionToWide<D16>;
  GroupSums(const uint8_t* candidate_, ptrdiff_t stride_,
            const ReferencePairs<kCols, kLines>& ref_)
      : candidate(candidate_), stride(stride_), ref(ref_) {}
  HWY_INLINE void AddLine(int l) {
    const D16 d16;
    const hn::Rebind<uint8_t, D16> d8;
    const D32 d32;
    const uint8_t* line = candidate + l * stride;
    for (int p = 0; p < kCols / 2; ++p) {
      // lane pair k: (c[2k + 2p], c[2k + 2p + 1]), then the same one column on
      const auto r = hn::BitCast(d16, hn::Set(d32, ref.pair[l][p]));
      const auto de = hn::Sub(r, hn::PromoteTo(d16, hn::LoadU(d8, line + 2 * p)));
      const auto dd = hn::Sub(r, hn::PromoteTo(d16, hn::LoadU(d8, line + 2 * p + 1)));
      even0 = hn::ReorderWidenMulAccumulate(d32, de, de, even0, even1);  // sum += d^2 + d'^2
      odd0 = hn::ReorderWidenMulAccumulate(d32, dd, dd, odd0, odd1);
    }
  }
  // Whether some running sum is below best (a candidate that is not can
  // never win).
  HWY_INLINE bool AnyBelow(int32_t best) const {
    const D32 d32;
    const auto best_v = hn::Set(d32, best);
    return !hn::AllFalse(d32, hn::Or(hn::Lt(hn::RearrangeToOddPlusEven(even0, even1), best_v),
                                     hn::Lt(hn::RearrangeToOddPlusEven(odd0, odd1), best_v)));
  }
  // The lines from `l` on, checked after each: false as soon as none can
  // beat best; true when the sums are the complete costs.
  HWY_INLINE bool Finish(int l, int32_t best) {
    for (; l < kLines; ++l) {
      AddLine(l);
      if (!AnyBelow(best)) return false;
    }
    return true;
  }
  // After Finish: the group's first strict minimum, when it is below best,
  // becomes the best (candidate k of the group at column at + k of `row`).
  HWY_INLINE void Pick(int32_t row, int32_t at, WindowBest& best) const {
    const D32 d32;
    const auto even = hn::RearrangeToOddPlusEven(even0, even1);
    const auto odd = hn::RearrangeToOddPlusEven(odd0, odd1);
    // Costs stay below 2^31, so signed lanes order them as unsigned ones.
    const auto low = hn::MinOfLanes(d32, hn::Min(even, odd));
    const uint32_t cost = uint32_t(hn::GetLane(low));
    if (cost >= best.cost) return;
    // The first candidate at that cost: 2k of the even sums or 2k + 1 of the
    // odd ones, whichever comes first.
    const intptr_t e = hn::FindFirstTrue(d32, hn::Eq(even, low));
    const intptr_t o = hn::FindFirstTrue(d32, hn::Eq(odd, low));
    const bool even_first = e >= 0 && (o < 0 || e <= o);
    best = {cost, row, at + int32_t(even_first ? 2 * e : 2 * o + 1)};
  }
  const uint8_t* candidate;
  ptrdiff_t stride;
  const ReferencePairs<kCols, kLines>& ref;
  hn::VFromD<D32> even0 = hn::Zero(D32()), even1 = even0, odd0 = even0, odd1 = even0;
};

// The best as a signed lane value: sums never reach 2^31, so a larger
// unsigned best compares like INT32_MAX.
int32_t BestLane(uint32_t best) { return best > 0x7FFFFFFFu ? 0x7FFFFFFF : int32_t(best); }

template <int kCols, int kLines>
WindowBest Scan(const uint8_t* candidate, ptrdiff_t row_step, ptrdiff_t candidate_stride,
                const uint8_t* reference, ptrdiff_t reference_stride, int32_t rows, int32_t cols,
                uint32_t start_best) {
  WindowBest best{start_best, 0, 0};
  // The cost kernels compare signed: a start above INT32_MAX reads as
  // negative, so the first candidate stops after one line and wins with
  // that partial sum (never beaten again by its own complete cost).
  if (start_best > 0x7FFFFFFFu && rows > 0 && cols > 0) {
    best.cost = FullCost<kCols, 1>(candidate, candidate_stride, reference, reference_stride);
  }
  // Too narrow for a group: one candidate at a time, each summed in full.
  // Mostly the narrow windows around a good coarse match, where most
  // candidates pass their first line: a branch there costs more than the
  // lines it can skip.
  if (cols < 8) {
    for (int32_t i = 0; i < rows; ++i) {
      for (int32_t j = 0; j < cols; ++j) {
        const uint32_t cost = FullCost<kCols, kLines>(
            candidate + i * row_step + j, candidate_stride, reference, reference_stride);
        if (cost < best.cost) best = {cost, i, j};
      }
    }
    return best;
  }
  const ReferencePairs<kCols, kLines> ref(reference, reference_stride);
  // Groups of 16 candidates (8 with 128-bit vectors), then of 8, then single
  // candidates. Wider groups lose more to the early exit than they gain: on
  // AVX-512 the 32-candidate group scanned a 33 x 17 window more slowly.
  // Groups of 16 in a row take their first line side by side, where most of
  // them end: both sums and both checks come before the first branch. That
  // the second is checked against a best the first may then lower only lets
  // it go on longer.
  const hn::CappedTag<int16_t, 16> d16;
  using Sums16 = GroupSums<decltype(d16), kCols, kLines>;
  const int32_t n = int32_t(hn::Lanes(d16));
  const auto line_of = [&](int32_t i) { return candidate + i * row_step; };
  // Row i from column j on, past its groups of 16.
  const auto rest = [&](int32_t i, int32_t j) {
    if (HWY_MAX_BYTES > 16) {
      for (; j + 8 <= cols; j += 8) {
        GroupSums<hn::CappedTag<int16_t, 8>, kCols, kLines> a(line_of(i) + j, candidate_stride,
                                                              ref);
        if (a.Finish(0, BestLane(best.cost))) a.Pick(i, j, best);
      }
    }
    for (; j < cols; ++j) {
      const uint32_t cost = CostBelow<kCols, kLines>(line_of(i) + j, candidate_stride, reference,
                                                     reference_stride, best.cost);
      if (cost < best.cost) best = {cost, i, j};
    }
  };
  for (int32_t i = 0; i < rows; ++i) {
    int32_t j = 0;
    for (; j + 2 * n <= cols; j += 2 * n) {
      Sums16 a(line_of(i) + j, candidate_stride, ref);
      Sums16 b(line_of(i) + j + n, candidate_stride, ref);
      a.AddLine(0);
      b.AddLine(0);
      const bool a_live = a.AnyBelow(BestLane(best.cost));
      const bool b_live = b.AnyBelow(BestLane(best.cost));
      if (a_live && a.Finish(1, BestLane(best.cost))) a.Pick(i, j, best);
      if (b_live && b.Finish(1, BestLane(best.cost))) b.Pick(i, j + n, best);
    }
    for (; j + n <= cols; j += n) {
      Sums16 a(line_of(i) + j, candidate_stride, ref);
      if (a.Finish(0, BestLane(best.cost))) a.Pick(i, j, best);
    }
    rest(i, j);
  }
  return best;
}

}  // namespace

// The coarse stage's 8 x 4 blocks and the fine stage's 16 x 8.
extern const MatchKernels kMatchKernels = {DecimateLine, BlockSsd<8, 4>, BlockSsd<16, 8>,
                                           Scan<8, 4>, Scan<16, 8>};

VANTREL_SIMD_END
