// DetectCombing with SSE2: 8 lanes (two column groups) side by side.
//
// Lanes of consecutive groups are consecutive columns (lane L is centred on
// column L + 1 and smooths columns L and L + 2), so a vertical strip of 8
// lanes is two groups scanned at once, its whole vertical state held in
// registers from row 4 down to row `height`. Strips run left to right; the
// last one is moved left to end on the last lane, and the group it shares
// with the strip before it is neither counted nor scored twice (its marks
// are the same bytes OR-ed again).
//
// Marks, block scores and the verdict equal the scalar scan's. Only the
// order of counting differs: the count only grows and stays far below the
// point where the 32-bit limit test could wrap (at most luma_size / 2 hits,
// times 2^28 / luma_size, is below 2^27), so "passes after some decision
// row" is the same as "the whole-frame total passes", whatever the order.
// The scan stops at the first block row whose hits push the total over; the
// partial mask and scores then differ from the scalar's, and nobody reads
// them.
//
// Reads rows 4 .. height of src_y (row `height` is the first `width` bytes
// after the plane), columns 0 .. width - 3, nothing beyond.
#include <emmintrin.h>

#include <cstring>

#include "engine/comb.h"
#include "engine/x86/dsp_x86.h"

namespace vantrel {
namespace {

constexpr uint32_t kLanes = 8;

struct Frame {
  uint8_t* comb_mask;
  uint8_t* block_comb_score;
  const uint8_t* src_y;
  size_t width;
  uint32_t height;
  uint32_t blocks_x;
  int32_t count_scale;
  __m128i threshold;
};

// One strip: its first lane, the block column its first counted lane
// scores into, and 0/1 weights picking the counted lanes of that column and
// of the next (a strip moved left skips the lanes the one before counted).
struct Strip {
  uint32_t first_lane;
  uint32_t block_col;
  __m128i in_first_block;
  __m128i in_second_block;
};

// Local copy of the whole-frame test, widened so it cannot wrap at all.
bool LimitPassed(uint64_t combed_count, int32_t count_scale) {
  return combed_count * uint64_t(uint32_t(count_scale)) > 67108864u;
}

// S = (Y(c - 1) + Y(c + 1)) >> 2 for the 8 lanes whose left sample is p[0].
__m128i Smooth(const uint8_t* p) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i left =
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
  const __m128i right =
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 2)), zero);
  return _mm_srli_epi16(_mm_add_epi16(left, right), 2);
}

// F = (a - b) * (c - b) - ((c - a)^2 >> 4), exact in 16 bits since S <= 127.
__m128i Metric(__m128i a, __m128i b, __m128i c) {
  const __m128i product = _mm_mullo_epi16(_mm_sub_epi16(a, b), _mm_sub_epi16(c, b));
  const __m128i outer = _mm_sub_epi16(c, a);
  return _mm_sub_epi16(product, _mm_srli_epi16(_mm_mullo_epi16(outer, outer), 4));
}

int32_t HorizontalSum(__m128i s) {
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(s);
}

bool AllZero(__m128i v) {
  return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) == 0xFFFF;
}

// Marks on row m: bytes at columns L .. L + 2 of every deciding lane L.
void Mark(uint8_t* row, __m128i decide) {
  // b[i] = 0xFF where lane i decides (bytes 0 .. 7).
  const __m128i b = _mm_packs_epi16(decide, _mm_setzero_si128());
  // Column i gets b[i] | b[i - 1] | b[i - 2]; lanes left of the strip were
  // OR-ed in by the strip before. Columns 8 and 9 spill into the next strip.
  const __m128i marks = _mm_or_si128(b, _mm_or_si128(_mm_slli_si128(b, 1), _mm_slli_si128(b, 2)));
  __m128i* dst = reinterpret_cast<__m128i*>(row);
  _mm_storel_epi64(dst, _mm_or_si128(_mm_loadl_epi64(dst), marks));
  const uint32_t spill = uint32_t(_mm_extract_epi16(marks, 4));
  row[8] = uint8_t(row[8] | spill);
  row[9] = uint8_t(row[9] | (spill >> 8));
}

// Adds one block row's hits to the scores and the total; true once the
// total passes the whole-frame limit.
bool FlushBlockRow(const Frame& f, const Strip& s, uint32_t decision_row, __m128i& hits,
                   uint64_t& combed_count) {
  if (AllZero(hits)) return false;
  const int32_t first = HorizontalSum(_mm_madd_epi16(hits, s.in_first_block));
  const int32_t second = HorizontalSum(_mm_madd_epi16(hits, s.in_second_block));
  hits = _mm_setzero_si128();
  uint8_t* scores = f.block_comb_score + size_t((decision_row - 1) >> 4) * f.blocks_x + s.block_col;
  scores[0] = uint8_t(scores[0] + first);
  if (second != 0) scores[1] = uint8_t(scores[1] + second);
  combed_count += uint32_t(first + second);
  return LimitPassed(combed_count, f.count_scale);
}

// Scans one strip from row 4 to row `height`.
bool ScanStrip(const Frame& f, const Strip& s, uint64_t& combed_count) {
  const uint8_t* src = f.src_y + s.first_lane;
  const size_t w = f.width;
  __m128i s_above2 = Smooth(src + 4 * w);
  __m128i s_above1 = Smooth(src + 5 * w);
  __m128i f_above2 = _mm_setzero_si128();
  __m128i f_above1 = _mm_setzero_si128();
  // Flags of the processed rows 1 .. 4 above (history bits 1 .. 4, as
  // 0/-1 lanes); the history starts as 00001.
  __m128i h1 = _mm_set1_epi16(-1);
  __m128i h2 = _mm_setzero_si128();
  __m128i h3 = h2, h4 = h2;
  __m128i hits = _mm_setzero_si128();

  // One processed row: returns its flags and advances the S and F rows.
  auto process = [&](uint32_t r) {
    const __m128i s_now = Smooth(src + r * w);
    const __m128i f_now = Metric(s_above2, s_above1, s_now);
    // V = sat(sat(sat(2 * F(r - 1)) + F(r - 2)) + F(r))
    const __m128i v =
        _mm_adds_epi16(_mm_adds_epi16(_mm_adds_epi16(f_above1, f_above1), f_above2), f_now);
    s_above2 = s_above1;
    s_above1 = s_now;
    f_above2 = f_above1;
    f_above1 = f_now;
    // flag = V > T
    return _mm_cmpgt_epi16(v, f.threshold);
  };
  auto push = [&](__m128i flag) {
    h4 = h3;
    h3 = h2;
    h2 = h1;
    h1 = flag;
  };
  auto decide = [&](uint32_t r, __m128i flag) {
    // table[H] = b2 & (b0 & b1 | b3 & b4 | b1 & b4)
    const __m128i d = _mm_and_si128(
        h2, _mm_or_si128(_mm_and_si128(flag, h1), _mm_and_si128(h4, _mm_or_si128(h1, h3))));
    push(flag);
    if (_mm_movemask_epi8(d) == 0) return;
    // hits(r) counts in a group only when some lane of the group decides:
    // a group is quiet when both 32-bit halves of its 64 bits are zero.
    const __m128i zero_half = _mm_cmpeq_epi32(d, _mm_setzero_si128());
    const __m128i quiet_group =
        _mm_and_si128(zero_half, _mm_shuffle_epi32(zero_half, _MM_SHUFFLE(2, 3, 0, 1)));
    hits = _mm_sub_epi16(hits, _mm_andnot_si128(quiet_group, flag));
    Mark(f.comb_mask + size_t(r - 4) * w + s.first_lane, d);
  };

  decide(6, process(6));
  for (uint32_t r = 7; r < f.height; r += 2) {
    push(process(r));
    decide(r + 1, process(r + 1));
    if (((r + 1) & 15) == 0 && FlushBlockRow(f, s, r + 1, hits, combed_count)) return true;
  }
  return false;
}

Strip MakeStrip(uint32_t first_lane, uint32_t counted_from) {
  Strip s;
  s.first_lane = first_lane;
  // Group g goes to block column (g + 1) >> 2, that is lane L to (L + 4) >> 4.
  s.block_col = (first_lane + counted_from + 4) >> 4;
  alignas(16) int16_t first[kLanes], second[kLanes];
  for (uint32_t i = 0; i < kLanes; ++i) {
    const uint32_t col = (first_lane + i + 4) >> 4;
    first[i] = int16_t(i >= counted_from && col == s.block_col);
    second[i] = int16_t(i >= counted_from && col == s.block_col + 1);
  }
  s.in_first_block = _mm_load_si128(reinterpret_cast<const __m128i*>(first));
  s.in_second_block = _mm_load_si128(reinterpret_cast<const __m128i*>(second));
  return s;
}

int32_t ScanStrips(const Frame& f) {
  const uint32_t lanes = uint32_t(f.width) - 4;
  uint64_t combed_count = 0;
  uint32_t lane = 0;
  for (; lane + kLanes <= lanes; lane += kLanes)
    if (ScanStrip(f, MakeStrip(lane, 0), combed_count)) return 1;
  if (lane < lanes) {
    const uint32_t first = lanes - kLanes;
    if (ScanStrip(f, MakeStrip(first, lane - first), combed_count)) return 1;
  }
  return 0;
}

}  // namespace

int32_t DetectCombing_sse2(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                           uint32_t width, uint32_t height, int32_t comb_threshold) {
  const uint32_t luma_size = width * height;
  const uint32_t blocks_x = width / 16;
  std::memset(comb_mask, 0, luma_size);
  std::memset(block_comb_score, 0, size_t(blocks_x) * (height / 16));
  PresetCombMask(comb_mask, width, height);

  // Any int32 threshold. Clamping it to 16 bits keeps every comparison:
  // V never exceeds 32767 and never goes below 4 * -5040 (F >= -5040 for S
  // in 0 .. 127), so a threshold under -32768 flags like -32768.
  const int32_t threshold = comb_threshold >> 1;
  const int16_t clamped =
      int16_t(threshold > 32767 ? 32767 : (threshold < -32768 ? -32768 : threshold));
  const Frame f{comb_mask,
                block_comb_score,
                src_y,
                width,
                height,
                blocks_x,
                int32_t(268435456u / luma_size),
                _mm_set1_epi16(clamped)};
  return ScanStrips(f);
}

}  // namespace vantrel
