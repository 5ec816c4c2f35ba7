// The comb detector's strip kernel (engine/ref/comb.h), written once with Highway
// and compiled for every target: one 16-bit lane per comb lane, a vector of
// consecutive lanes (several column groups) scanned at once a band of rows
// at a time with its vertical state in registers, saved in the strip's
// state between bands. The strips' layout and the block columns their lanes
// count toward come from the driver in engine/comb.cpp.
#include "engine/comb.h"
#include "hwy/cache_control.h"

#include <cstring>

#define HWY_TARGET_INCLUDE "engine/simd/comb.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "engine/simd/body-inl.h"

VANTREL_SIMD_BEGIN
namespace {

using D16 = hn::ScalableTag<int16_t>;
using V16 = hn::Vec<D16>;
static_assert(hn::MaxLanes(D16()) <= kCombStripMaxLanes, "strip wider than the driver lays out");
static_assert(8 * sizeof(int16_t) <= kCombStateBytesPerLane, "the state of a lane");

// S = (Y(c - 1) + Y(c + 1)) >> 2 for the lanes whose left sample is p[0].
HWY_INLINE V16 Smooth(const uint8_t* p) {
  const D16 d;
  const hn::RebindToUnsigned<D16> du;
  const hn::Rebind<uint8_t, D16> d8;
  const auto sum = hn::Add(hn::PromoteTo(du, hn::LoadU(d8, p)), hn::PromoteTo(du, hn::LoadU(d8, p + 2)));
  return hn::BitCast(d, hn::ShiftRight<2>(sum));
}

// F = (a - b) * (c - b) - ((c - a)^2 >> 4), exact in 16 bits since S <= 127.
HWY_INLINE V16 Metric(V16 a, V16 b, V16 c) {
  const V16 outer = hn::Sub(c, a);
  return hn::Sub(hn::Mul(hn::Sub(a, b), hn::Sub(c, b)), hn::ShiftRight<4>(hn::Mul(outer, outer)));
}

// Marks on one row: bytes at columns L .. L + 2 of every deciding lane L,
// that is column i from lanes i, i - 1 and i - 2. The strip's own columns
// are written, the two past them ORed into.
HWY_INLINE void Mark(uint8_t* row, V16 decide) {
  const D16 d;
  const hn::Rebind<uint8_t, D16> d8;
  const size_t n = hn::Lanes(d);
  static_assert(hn::MaxLanes(d8) <= 32, "marks of wider strips need another shift");
  const auto lanes = hn::BitCast(d8, hn::DemoteTo(hn::Rebind<int8_t, D16>(), decide));
  hn::VFromD<decltype(d8)> marks;
  if constexpr (hn::MaxLanes(d8) <= 16) {
    marks = hn::Or(lanes, hn::Or(hn::ShiftLeftBytes<1>(d8, lanes), hn::ShiftLeftBytes<2>(d8, lanes)));
  } else {
    // Byte shifts stay within 128-bit blocks: take the bytes that cross from
    // a copy moved up by one block (of two).
    const auto below = hn::ConcatLowerLower(d8, lanes, hn::Zero(d8));
    marks = hn::Or(lanes, hn::Or(hn::CombineShiftRightBytes<15>(d8, lanes, below),
                                 hn::CombineShiftRightBytes<14>(d8, lanes, below)));
  }
  hn::StoreU(marks, d8, row);
  // Columns n and n + 1 from the last two lanes, both in one 16-bit lane:
  // column n from either, column n + 1 from the last (little-endian).
  const hn::Repartition<uint16_t, decltype(d8)> d16;
  const uint32_t last2 = hn::ExtractLane(hn::BitCast(d16, lanes), n / 2 - 1);
  const uint16_t spill = uint16_t(((last2 | last2 >> 8) & 0xFF) | (last2 & 0xFF00));
  uint16_t next;
  std::memcpy(&next, row + n, 2);
  next = uint16_t(next | spill);
  std::memcpy(row + n, &next, 2);
}

// The vertical state a strip carries from one band to the next.
struct State {
  V16 s_above2, s_above1, f_above2, f_above1;
  // Flags of the processed rows 1 .. 4 above (history bits 1 .. 4, as 0 /
  // -1 lanes).
  V16 h1, h2, h3, h4;
};

uint32_t ScanCombStrip(const CombStrip& s, uint32_t band) {
  const D16 d;
  const hn::RebindToUnsigned<D16> du;
  const hn::Repartition<uint32_t, D16> du32;
  const hn::Repartition<uint64_t, D16> d64;
  const hn::Rebind<uint8_t, D16> d8;
  // Locals, so that the stores of marks cannot make the compiler reload them.
  // The mask's pointer and pitch are read from the strip where a row is
  // marked: held in registers too, they made the loop spill and cost a tenth
  // of its time on combed 1920 x 1088 frames.
  const uint8_t* const src = s.src;
  const ptrdiff_t pitch = s.pitch;
  const V16 threshold = hn::Set(d, s.threshold);
  int16_t* const saved = static_cast<int16_t*>(s.state);
  const size_t n = hn::Lanes(d);
  V16 s_above2, s_above1, f_above2, f_above1, h1, h2, h3, h4;
  if (band == 0) {
    s_above2 = Smooth(src + 4 * pitch);
    s_above1 = Smooth(src + 5 * pitch);
    f_above2 = f_above1 = hn::Zero(d);
    // The history starts as 00001.
    h1 = hn::Set(d, -1);
    h2 = h3 = h4 = hn::Zero(d);
  } else {
    s_above2 = hn::Load(d, saved);
    s_above1 = hn::Load(d, saved + n);
    f_above2 = hn::Load(d, saved + 2 * n);
    f_above1 = hn::Load(d, saved + 3 * n);
    h1 = hn::Load(d, saved + 4 * n);
    h2 = hn::Load(d, saved + 5 * n);
    h3 = hn::Load(d, saved + 6 * n);
    h4 = hn::Load(d, saved + 7 * n);
  }
  V16 hits = hn::Zero(d);  // per lane, over the band

  // One processed row: its flags; the S and F rows move down.
  const auto process = [&](const uint8_t* row) {
    const V16 s_now = Smooth(row);
    const V16 f_now = Metric(s_above2, s_above1, s_now);
    // V = sat(sat(sat(2 * F(r - 1)) + F(r - 2)) + F(r))
    const V16 v = hn::SaturatedAdd(
        hn::SaturatedAdd(hn::SaturatedAdd(f_above1, f_above1), f_above2), f_now);
    s_above2 = s_above1;
    s_above1 = s_now;
    f_above2 = f_above1;
    f_above1 = f_now;
    return hn::VecFromMask(d, hn::Gt(v, threshold));  // flag = V > T
  };
  const auto push = [&](V16 flag) {
    h4 = h3;
    h3 = h2;
    h2 = h1;
    h1 = flag;
  };
  // Decision row r; its marks go to row r - 4, row r - 3 is never marked.
  const auto decide = [&](uint32_t r, V16 flag) {
    // table[H] = b2 & (b0 & b1 | b3 & b4 | b1 & b4)
    const V16 marked =
        hn::And(h2, hn::Or(hn::And(flag, h1), hn::And(h4, hn::Or(h1, h3))));
    push(flag);
    uint8_t* row = s.mask + ptrdiff_t(r - 4) * s.mask_pitch;
    hn::StoreU(hn::Zero(d8), d8, row + s.mask_pitch);
    if (hn::AllFalse(d, hn::MaskFromVec(marked))) {
      hn::StoreU(hn::Zero(d8), d8, row);
      return;
    }
    // hits(r) counts in a group (4 lanes) only when some lane of it decides.
    const auto quiet = hn::VecFromMask(d64, hn::Eq(hn::BitCast(d64, marked), hn::Zero(d64)));
    hits = hn::Sub(hits, hn::AndNot(hn::BitCast(d, quiet), flag));
    Mark(row, marked);
  };
  // Adds the band's hits to the block columns its lanes count toward.
  const auto flush = [&]() -> uint32_t {
    if (hn::AllTrue(d, hn::Eq(hits, hn::Zero(d)))) return 0;
    const auto counts = hn::BitCast(du, hits);
    const auto column = [&](uint32_t k) {
      return k < s.columns ? hn::And(counts, hn::LoadU(du, s.column_lanes + k * s.lanes))
                           : hn::Zero(du);
    };
    uint8_t* scores = s.scores + band * s.score_pitch;
    uint32_t total = 0;
    for (uint32_t k = 0; k < s.columns; k += 2) {
      // Two columns side by side in the two bytes of a lane, summed as
      // 32-bit lanes: no byte's sum can reach 256 (16 lanes of 8 at most).
      const auto both = hn::Or(column(k), hn::ShiftLeft<8>(column(k + 1)));
      const uint32_t sums = hn::GetLane(hn::SumOfLanes(du32, hn::BitCast(du32, both)));
      const uint32_t first = (sums & 0xFF) + (sums >> 16 & 0xFF);
      const uint32_t second = (sums >> 8 & 0xFF) + (sums >> 24);
      scores[k] = uint8_t(scores[k] + first);
      if (k + 1 < s.columns) scores[k + 1] = uint8_t(scores[k + 1] + second);
      total += first + second;
    }
    return total;
  };

  uint32_t r = kCombBandRows * band + 1;
  if (band == 0) {
    decide(6, process(src + 6 * pitch));
    r = 7;
  }
  const uint32_t end = kCombBandRows * (band + 1);  // the band's last row
  const uint8_t* row = src + ptrdiff_t(r) * pitch;
  for (; r < end; r += 2, row += 2 * pitch) {
    // The same rows of the next band, which a frame just written by another
    // thread would otherwise bring in a line at a time (a hint: it never
    // faults past the plane).
    hwy::Prefetch(row + kCombBandRows * pitch);
    hwy::Prefetch(row + (kCombBandRows + 1) * pitch);
    push(process(row));
    // The last processed row (row `height`) is not in the plane.
    decide(r + 1, process(r + 1 < s.height ? row + pitch : s.last_row));
  }
  hn::Store(s_above2, d, saved);
  hn::Store(s_above1, d, saved + n);
  hn::Store(f_above2, d, saved + 2 * n);
  hn::Store(f_above1, d, saved + 3 * n);
  hn::Store(h1, d, saved + 4 * n);
  hn::Store(h2, d, saved + 5 * n);
  hn::Store(h3, d, saved + 6 * n);
  hn::Store(h4, d, saved + 7 * n);
  return flush();
}

}  // namespace

extern const CombKernels kCombKernels = {ScanCombStrip, uint32_t(hn::MaxLanes(D16()))};

VANTREL_SIMD_END
