// DetectCombing with AVX2: 16 lanes (four column groups) side by side.
//
// Lanes of consecutive groups are consecutive columns (lane L is centred on
// column L + 1 and smooths columns L and L + 2), so a vertical strip of 16
// lanes is four groups scanned at once, its whole vertical state held in
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
#include <immintrin.h>

#include <cstring>

#include "engine/comb.h"
#include "engine/x86/dsp_x86.h"

namespace vantrel {
namespace {

constexpr uint32_t kLanes = 16;

struct Frame {
  uint8_t* comb_mask;
  uint8_t* block_comb_score;
  const uint8_t* src_y;
  size_t width;
  uint32_t height;
  uint32_t blocks_x;
  int32_t count_scale;
  __m256i threshold;
};

// One strip: its first lane, the block column its first counted lane
// scores into, and 0/1 weights picking the counted lanes of that column and
// of the next (a strip moved left skips the lanes the one before counted).
struct Strip {
  uint32_t first_lane;
  uint32_t block_col;
  __m256i in_first_block;
  __m256i in_second_block;
};

// Local copy of the whole-frame test, widened so it cannot wrap at all.
bool LimitPassed(uint64_t combed_count, int32_t count_scale) {
  return combed_count * uint64_t(uint32_t(count_scale)) > 67108864u;
}

// S = (Y(c - 1) + Y(c + 1)) >> 2 for the 16 lanes whose left sample is p[0].
__m256i Smooth(const uint8_t* p) {
  const __m256i left = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  const __m256i right =
      _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2)));
  return _mm256_srli_epi16(_mm256_add_epi16(left, right), 2);
}

// F = (a - b) * (c - b) - ((c - a)^2 >> 4), exact in 16 bits since S <= 127.
__m256i Metric(__m256i a, __m256i b, __m256i c) {
  const __m256i product = _mm256_mullo_epi16(_mm256_sub_epi16(a, b), _mm256_sub_epi16(c, b));
  const __m256i outer = _mm256_sub_epi16(c, a);
  return _mm256_sub_epi16(product, _mm256_srli_epi16(_mm256_mullo_epi16(outer, outer), 4));
}

int32_t HorizontalSum(__m256i v) {
  __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(s);
}

// Marks on row m: bytes at columns L .. L + 2 of every deciding lane L.
void Mark(uint8_t* row, __m256i decide) {
  // b[i] = 0xFF where lane i decides.
  const __m128i b =
      _mm_packs_epi16(_mm256_castsi256_si128(decide), _mm256_extracti128_si256(decide, 1));
  // Column i gets b[i] | b[i - 1] | b[i - 2]; lanes left of the strip were
  // OR-ed in by the strip before.
  const __m128i marks = _mm_or_si128(b, _mm_or_si128(_mm_slli_si128(b, 1), _mm_slli_si128(b, 2)));
  __m128i* dst = reinterpret_cast<__m128i*>(row);
  _mm_storeu_si128(dst, _mm_or_si128(_mm_loadu_si128(dst), marks));
  // Columns 16 and 17: b[15] | b[14] and b[15].
  const __m128i spill = _mm_or_si128(_mm_srli_si128(b, 14), _mm_srli_si128(b, 15));
  const uint32_t bytes = uint32_t(_mm_cvtsi128_si32(spill));
  row[16] = uint8_t(row[16] | bytes);
  row[17] = uint8_t(row[17] | (bytes >> 8));
}

// Adds one block row's hits to the scores and the total; true once the
// total passes the whole-frame limit.
bool FlushBlockRow(const Frame& f, const Strip& s, uint32_t decision_row, __m256i& hits,
                   uint64_t& combed_count) {
  if (_mm256_testz_si256(hits, hits)) return false;
  const int32_t first = HorizontalSum(_mm256_madd_epi16(hits, s.in_first_block));
  const int32_t second = HorizontalSum(_mm256_madd_epi16(hits, s.in_second_block));
  hits = _mm256_setzero_si256();
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
  __m256i s_above2 = Smooth(src + 4 * w);
  __m256i s_above1 = Smooth(src + 5 * w);
  __m256i f_above2 = _mm256_setzero_si256();
  __m256i f_above1 = _mm256_setzero_si256();
  // Flags of the processed rows 1 .. 4 above (history bits 1 .. 4, as
  // 0/-1 lanes); the history starts as 00001.
  __m256i h1 = _mm256_set1_epi16(-1);
  __m256i h2 = _mm256_setzero_si256();
  __m256i h3 = h2, h4 = h2;
  __m256i hits = _mm256_setzero_si256();

  // One processed row: returns its flags and advances the S and F rows.
  auto process = [&](uint32_t r) {
    const __m256i s_now = Smooth(src + r * w);
    const __m256i f_now = Metric(s_above2, s_above1, s_now);
    // V = sat(sat(sat(2 * F(r - 1)) + F(r - 2)) + F(r))
    const __m256i v = _mm256_adds_epi16(
        _mm256_adds_epi16(_mm256_adds_epi16(f_above1, f_above1), f_above2), f_now);
    s_above2 = s_above1;
    s_above1 = s_now;
    f_above2 = f_above1;
    f_above1 = f_now;
    // flag = V > T
    return _mm256_cmpgt_epi16(v, f.threshold);
  };
  auto push = [&](__m256i flag) {
    h4 = h3;
    h3 = h2;
    h2 = h1;
    h1 = flag;
  };
  auto decide = [&](uint32_t r, __m256i flag) {
    // table[H] = b2 & (b0 & b1 | b3 & b4 | b1 & b4)
    const __m256i d = _mm256_and_si256(
        h2,
        _mm256_or_si256(_mm256_and_si256(flag, h1), _mm256_and_si256(h4, _mm256_or_si256(h1, h3))));
    push(flag);
    if (_mm256_testz_si256(d, d)) return;
    // hits(r) counts in a group only when some lane of the group decides.
    const __m256i quiet_group = _mm256_cmpeq_epi64(d, _mm256_setzero_si256());
    hits = _mm256_sub_epi16(hits, _mm256_andnot_si256(quiet_group, flag));
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
  alignas(32) int16_t first[kLanes], second[kLanes];
  for (uint32_t i = 0; i < kLanes; ++i) {
    const uint32_t col = (first_lane + i + 4) >> 4;
    first[i] = int16_t(i >= counted_from && col == s.block_col);
    second[i] = int16_t(i >= counted_from && col == s.block_col + 1);
  }
  s.in_first_block = _mm256_load_si256(reinterpret_cast<const __m256i*>(first));
  s.in_second_block = _mm256_load_si256(reinterpret_cast<const __m256i*>(second));
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

int32_t DetectCombing_avx2(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                           uint32_t width, uint32_t height, int32_t comb_threshold) {
  // Narrower than one strip (width 16): only three groups, not worth a path.
  if (width - 4 < kLanes)
    return DetectCombing(comb_mask, block_comb_score, src_y, width, height, comb_threshold);
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
                _mm256_set1_epi16(clamped)};
  return ScanStrips(f);
}

}  // namespace vantrel
