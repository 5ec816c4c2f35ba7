// DecimatePlane, BlockCostCoarse and BlockCost against their scalar twins.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "checkasm.h"
#include "engine/x86/dsp_x86.h"

namespace {

using checkasm::Buffer;
using checkasm::Content;
using checkasm::Context;
using vantrel::BlockCostFn;
using vantrel::EngineDsp;

struct Size {
  uint32_t width, height;
};

void CheckDecimateOnce(Context& c, vantrel::DecimatePlaneFn fn, Size size, Content content) {
  const size_t luma = size_t(size.width) * size.height;
  const size_t out = luma / 8;
  Buffer src(luma), want(out), got(out);
  checkasm::FillPlane(c.rng(), src.data(), size.width, size.height, content);
  const std::vector<uint8_t> saved(src.data(), src.data() + luma);
  c.rng().Fill(want.data(), out);
  std::memcpy(got.data(), want.data(), out);

  c.ref().decimate_plane(want.data(), src.data(), size.width, size.height);
  fn(got.data(), src.data(), size.width, size.height);

  const std::string what = "decimated " + std::to_string(size.width) + "x" +
                           std::to_string(size.height) + " " + checkasm::ContentName(content);
  c.CheckBytes(what.c_str(), want.data(), got.data(), size.width / 2, size.height / 4,
               size.width / 2);
  c.CheckBytes("decimate source", saved.data(), src.data(), luma, 1, luma);
  c.CheckGuards("decimated plane", got);
}

void CheckDecimate(Context& c, vantrel::DecimatePlaneFn fn) {
  // 720 leaves a 360-byte line: a 32-byte tail of 8 in the wide loop.
  const Size fixed[] = {{16, 16}, {32, 16}, {48, 32}, {720, 16}, {720, 576}, {1920, 1088}};
  for (const Size size : fixed) {
    for (int k = 0; k < int(Content::kCount); ++k) CheckDecimateOnce(c, fn, size, Content(k));
  }
  for (int n = 0; n < c.Iterations(64); ++n) {
    const Size size{16 * uint32_t(c.rng().Range(1, 80)), 16 * uint32_t(c.rng().Range(1, 8))};
    CheckDecimateOnce(c, fn, size, Content::kRandom);
  }
  if (!c.benchmarking()) return;
  Buffer src(720 * 576), dst(720 * 576 / 8);
  checkasm::FillPlane(c.rng(), src.data(), 720, 576, Content::kSmooth);
  c.Bench("720x576", [&] { c.ref().decimate_plane(dst.data(), src.data(), 720, 576); },
          [&] { fn(dst.data(), src.data(), 720, 576); });
}

// Two blocks at the two ends of one exactly sized plane, so that a read past
// either block's last line leaves the buffer.
struct BlockPair {
  BlockPair(int cols, int lines, ptrdiff_t stride_)
      : stride(stride_), plane(size_t(stride_) * (2 * lines - 1) + size_t(cols)) {
    candidate = plane.data();
    reference = plane.data() + size_t(stride) * lines;
  }
  ptrdiff_t stride;
  Buffer plane;
  uint8_t* candidate;
  uint8_t* reference;
};

// Running sums after each line, from the scalar formula.
std::vector<uint32_t> RunningSums(const BlockPair& b, int cols, int lines) {
  std::vector<uint32_t> sums;
  uint32_t sum = 0;
  for (int k = 0; k < lines; ++k) {
    for (int x = 0; x < cols; ++x) {
      const int32_t d = int32_t(b.reference[k * b.stride + x]) - b.candidate[k * b.stride + x];
      sum += uint32_t(d * d);
    }
    sums.push_back(sum);
  }
  return sums;
}

void FillPair(Context& c, BlockPair& b, int cols, int lines, int style) {
  Buffer& p = b.plane;
  c.rng().Fill(p.data(), p.size());
  for (int k = 0; k < lines; ++k) {
    uint8_t* cand = b.candidate + k * b.stride;
    uint8_t* ref = b.reference + k * b.stride;
    for (int x = 0; x < cols; ++x) {
      switch (style) {
        case 0: break;  // noise
        case 1: cand[x] = 0, ref[x] = 255; break;  // the largest cost
        case 2: ref[x] = cand[x]; break;           // cost 0
        case 3: ref[x] = uint8_t(cand[x] ^ (c.rng().Chance(4) ? 1 : 0)); break;
        default: ref[x] = uint8_t(cand[x] + c.rng().Range(-12, 12)); break;
      }
    }
  }
}

void CheckCostOnce(Context& c, BlockCostFn fn, BlockCostFn ref_fn, const char* name, int cols,
                   int lines, int style) {
  const ptrdiff_t stride = cols + 8 * c.rng().Range(0, 24);
  BlockPair b(cols, lines, stride);
  FillPair(c, b, cols, lines, style);
  const std::vector<uint8_t> saved(b.plane.data(), b.plane.data() + b.plane.size());
  const std::vector<uint32_t> sums = RunningSums(b, cols, lines);
  // Bests that land exactly on, just under and just over every line's
  // running sum, the extremes, and the starting bests of the searches.
  std::vector<int32_t> bests = {0, 1, -1, INT32_MIN, INT32_MAX, 0x200000, 0x800000};
  for (const uint32_t s : sums) {
    for (const int32_t delta : {-1, 0, 1}) bests.push_back(int32_t(s) + delta);
  }
  bests.push_back(c.rng().Range(0, 70000));
  for (const int32_t best : bests) {
    const uint32_t want = ref_fn(b.candidate, b.reference, best, stride);
    const uint32_t got = fn(b.candidate, b.reference, best, stride);
    if (want != got) {
      c.Fail("%s(best %d, stride %td, style %d): scalar %u, simd %u", name, best, stride, style,
             want, got);
    }
    const uint32_t swapped = fn(b.reference, b.candidate, best, stride);
    if (swapped != want) {
      c.Fail("%s with the blocks swapped (best %d): %u, not %u", name, best, swapped, want);
    }
  }
  c.CheckBytes("cost inputs", saved.data(), b.plane.data(), b.plane.size(), 1, b.plane.size());
}

void CheckCost(Context& c, BlockCostFn fn, BlockCostFn ref_fn, const char* name, int cols,
               int lines) {
  for (int n = 0; n < c.Iterations(400); ++n) {
    CheckCostOnce(c, fn, ref_fn, name, cols, lines, n % 5);
  }
  if (!c.benchmarking()) return;
  BlockPair b(cols, lines, 360);
  FillPair(c, b, cols, lines, 4);
  const int32_t first = int32_t(RunningSums(b, cols, lines).front());
  for (const auto& bc : {std::pair<const char*, int32_t>{"full sum", INT32_MAX},
                         {"exit after line 1", first}}) {
    const int32_t best = bc.second;
    c.Bench(bc.first, [&] { checkasm::sink = ref_fn(b.candidate, b.reference, best, 360); },
            [&] { checkasm::sink = fn(b.candidate, b.reference, best, 360); });
  }
}

void CheckMatch(Context& c) {
  if (auto fn = c.Kernel("DecimatePlane", &EngineDsp::decimate_plane, vantrel::DecimatePlane_sse2,
                         vantrel::DecimatePlane_avx2)) {
    CheckDecimate(c, fn);
  }
  if (auto fn = c.Kernel("BlockCostCoarse", &EngineDsp::block_cost_coarse,
                         vantrel::BlockCostCoarse_sse2, vantrel::BlockCostCoarse_avx2)) {
    CheckCost(c, fn, c.ref().block_cost_coarse, "BlockCostCoarse", 8, 4);
  }
  if (auto fn = c.Kernel("BlockCost", &EngineDsp::block_cost, vantrel::BlockCost_sse2,
                         vantrel::BlockCost_avx2)) {
    CheckCost(c, fn, c.ref().block_cost, "BlockCost", 16, 8);
  }
}

checkasm::Group match_group("match", CheckMatch);

}  // namespace
