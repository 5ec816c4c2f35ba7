// The block-matching kernels against their scalar twins: DecimateLine, the
// two block costs, and the two window scans (the winner, its cost and its
// offset must be those of the scalar scan).
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "checkasm.h"
#include "engine/dsp.h"
#include "engine/match.h"
#include "engine/motion.h"
#include "woven_picture.h"

namespace {

using checkasm::Buffer;
using checkasm::Content;
using checkasm::Context;
using vantrel::BlockCostFn;
using vantrel::EngineDsp;
using vantrel::MatchKernels;
using vantrel::ScanWindowFn;
using vantrel::WindowBest;

struct Size {
  uint32_t width, height;
};

// DecimateLine on a line that ends its buffer, into one that ends its own.
void CheckDecimate(Context& c, vantrel::DecimateLineFn fn) {
  for (int n = 0; n < c.Iterations(300); ++n) {
    size_t width = 8 * size_t(c.rng().Range(1, 8));
    if (c.rng().Chance(2)) width = 8 * size_t(c.rng().Range(1, 120));
    if (c.rng().Chance(8)) width = 360;
    const Content content = Content(c.rng().Range(0, int(Content::kCount) - 1));
    Buffer src(2 * width), want(width), got(width);
    checkasm::FillPlane(c.rng(), src.data(), 2 * width, 1, content);
    const std::vector<uint8_t> saved(src.data(), src.data() + 2 * width);
    c.rng().Fill(want.data(), width);
    std::memcpy(got.data(), want.data(), width);
    c.ref().match.decimate_line(want.data(), src.data(), width);
    fn(got.data(), src.data(), width);
    const std::string what = "decimated line of " + std::to_string(width) + ", " +
                             checkasm::ContentName(content);
    c.CheckBytes(what.c_str(), want.data(), got.data(), width, 1, width);
    c.CheckBytes("decimate source", saved.data(), src.data(), 2 * width, 1, 2 * width);
    c.CheckGuards("decimated line", got);
  }
  if (!c.benchmarking()) return;
  Buffer src(720 * 576), dst(720 * 576 / 8);
  checkasm::FillPlane(c.rng(), src.data(), 720, 576, Content::kWoven);
  const vantrel::Plane to{dst.data(), 360}, from{src.data(), 720};
  c.Bench("DecimatePlane 720x576", [&] { vantrel::DecimatePlane(c.ref(), to, from, 720, 576); },
          [&] { vantrel::DecimatePlane(c.dsp(), to, from, 720, 576); });
}

// Bytes at origin + a * step_a + b * step_b + x (a < count_a, b < count_b,
// x < width) in a buffer that starts and ends with bytes of them, whatever
// the signs of the steps: a read past any of them hits a guard.
struct Region {
  Region(ptrdiff_t step_a, int32_t count_a, ptrdiff_t step_b, int32_t count_b, size_t width)
      : bytes(Span(step_a, count_a, step_b, count_b, width)),
        origin(bytes.data() - Lowest(step_a, count_a) - Lowest(step_b, count_b)) {}
  static ptrdiff_t Lowest(ptrdiff_t step, int32_t count) {
    return step < 0 ? step * (count - 1) : 0;
  }
  static size_t Span(ptrdiff_t step_a, int32_t count_a, ptrdiff_t step_b, int32_t count_b,
                     size_t width) {
    const auto extent = [](ptrdiff_t step, int32_t count) {
      return size_t(step < 0 ? -step : step) * size_t(count - 1);
    };
    return extent(step_a, count_a) + extent(step_b, count_b) + width;
  }
  Buffer bytes;
  uint8_t* origin;
};

// A stride of at least `least` bytes, now and then negative.
ptrdiff_t RandomStride(Context& c, int32_t least, int32_t spread) {
  const ptrdiff_t stride = least + c.rng().Range(0, spread);
  return c.rng().Chance(4) ? -stride : stride;
}

// A candidate and a reference block, each in a buffer of its own with a
// stride of its own.
struct BlockPair {
  BlockPair(int cols, int lines, ptrdiff_t candidate_stride_, ptrdiff_t reference_stride_)
      : candidate_stride(candidate_stride_),
        reference_stride(reference_stride_),
        candidate_lines(candidate_stride, lines, 0, 1, size_t(cols)),
        reference_lines(reference_stride, lines, 0, 1, size_t(cols)),
        candidate(candidate_lines.origin),
        reference(reference_lines.origin) {}
  uint32_t Cost(BlockCostFn fn, int32_t best) const {
    return fn(candidate, candidate_stride, reference, reference_stride, best);
  }
  uint32_t Swapped(BlockCostFn fn, int32_t best) const {
    return fn(reference, reference_stride, candidate, candidate_stride, best);
  }
  ptrdiff_t candidate_stride, reference_stride;
  Region candidate_lines, reference_lines;
  uint8_t* candidate;
  uint8_t* reference;
};

// Running sums after each line, from the scalar formula.
std::vector<uint32_t> RunningSums(const BlockPair& b, int cols, int lines) {
  std::vector<uint32_t> sums;
  uint32_t sum = 0;
  for (int k = 0; k < lines; ++k) {
    for (int x = 0; x < cols; ++x) {
      const int32_t d = int32_t(b.reference[k * b.reference_stride + x]) -
                        b.candidate[k * b.candidate_stride + x];
      sum += uint32_t(d * d);
    }
    sums.push_back(sum);
  }
  return sums;
}

void FillPair(Context& c, BlockPair& b, int cols, int lines, int style) {
  c.rng().Fill(b.candidate_lines.bytes.data(), b.candidate_lines.bytes.size());
  c.rng().Fill(b.reference_lines.bytes.data(), b.reference_lines.bytes.size());
  for (int k = 0; k < lines; ++k) {
    uint8_t* cand = b.candidate + k * b.candidate_stride;
    uint8_t* ref = b.reference + k * b.reference_stride;
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

std::vector<uint8_t> Saved(const Buffer& b) { return {b.data(), b.data() + b.size()}; }

void CheckCostOnce(Context& c, BlockCostFn fn, BlockCostFn ref_fn, const char* name, int cols,
                   int lines, int style) {
  // Lines of the two blocks lie apart by strides of their own, as the
  // source and the output plane of a frame may.
  const ptrdiff_t candidate_stride = RandomStride(c, cols, 8 * 24);
  const ptrdiff_t reference_stride =
      c.rng().Chance(4) ? candidate_stride : RandomStride(c, cols, 8 * 24);
  BlockPair b(cols, lines, candidate_stride, reference_stride);
  FillPair(c, b, cols, lines, style);
  const std::vector<uint8_t> saved_candidate = Saved(b.candidate_lines.bytes);
  const std::vector<uint8_t> saved_reference = Saved(b.reference_lines.bytes);
  const std::vector<uint32_t> sums = RunningSums(b, cols, lines);
  // Bests that land exactly on, just under and just over every line's
  // running sum, the extremes, and the starting bests of the searches.
  std::vector<int32_t> bests = {0, 1, -1, INT32_MIN, INT32_MAX, 0x200000, 0x800000};
  for (const uint32_t s : sums) {
    for (const int32_t delta : {-1, 0, 1}) bests.push_back(int32_t(s) + delta);
  }
  bests.push_back(c.rng().Range(0, 70000));
  for (const int32_t best : bests) {
    const uint32_t want = b.Cost(ref_fn, best);
    const uint32_t got = b.Cost(fn, best);
    if (want != got) {
      c.Fail("%s(best %d, strides %td and %td, style %d): scalar %u, simd %u", name, best,
             candidate_stride, reference_stride, style, want, got);
    }
    const uint32_t swapped = b.Swapped(fn, best);
    if (swapped != want) {
      c.Fail("%s with the blocks swapped (best %d): %u, not %u", name, best, swapped, want);
    }
  }
  const Buffer& candidate = b.candidate_lines.bytes;
  const Buffer& reference = b.reference_lines.bytes;
  c.CheckBytes("cost candidate", saved_candidate.data(), candidate.data(), candidate.size(), 1,
               candidate.size());
  c.CheckBytes("cost reference", saved_reference.data(), reference.data(), reference.size(), 1,
               reference.size());
}

void CheckCost(Context& c, BlockCostFn fn, BlockCostFn ref_fn, const char* name, int cols,
               int lines) {
  for (int n = 0; n < c.Iterations(400); ++n) {
    CheckCostOnce(c, fn, ref_fn, name, cols, lines, n % 5);
  }
  if (!c.benchmarking()) return;
  BlockPair b(cols, lines, 360, 360);
  FillPair(c, b, cols, lines, 4);
  const int32_t first = int32_t(RunningSums(b, cols, lines).front());
  for (const auto& bc : {std::pair<const char*, int32_t>{"full sum", INT32_MAX},
                         {"exit after line 1", first}}) {
    const int32_t best = bc.second;
    c.Bench(bc.first, [&] { checkasm::sink = b.Cost(ref_fn, best); },
            [&] { checkasm::sink = b.Cost(fn, best); });
  }
}

struct Geometry {
  int cols, lines;  // block size: 8 x 4 (coarse) or 16 x 8 (fine)
};

struct Window {
  const uint8_t* first;
  ptrdiff_t row_step;
  ptrdiff_t candidate_stride;
  const uint8_t* reference;
  ptrdiff_t reference_stride;
  int32_t rows, cols;
  uint32_t start_best;

  WindowBest Scan(ScanWindowFn fn) const {
    return fn(first, row_step, candidate_stride, reference, reference_stride, rows, cols,
              start_best);
  }
};

bool SameBest(const WindowBest& a, const WindowBest& b) {
  return a.cost == b.cost && a.row == b.row && a.col == b.col;
}

void Compare(Context& c, ScanWindowFn fn, ScanWindowFn ref_fn, const Window& w,
             const std::string& what) {
  const WindowBest want = w.Scan(ref_fn);
  const WindowBest got = w.Scan(fn);
  if (!SameBest(want, got)) {
    c.Fail("%s (%d x %d candidates, strides %td and %td, start %u): scalar cost %u at (%d, %d), "
           "simd cost %u at (%d, %d)",
           what.c_str(), w.rows, w.cols, w.candidate_stride, w.reference_stride, w.start_best,
           want.cost, want.row, want.col, got.cost, got.row, got.col);
  }
}

// A plane with a pitch of its own (upside down when negative).
struct PlaneBytes {
  PlaneBytes(uint32_t w, uint32_t h, ptrdiff_t pitch_)
      : pitch(pitch_), lines(pitch_, int32_t(h), 0, 1, w) {}
  uint8_t* at(int32_t y, int32_t x) const { return lines.origin + y * pitch + x; }
  ptrdiff_t pitch;
  Region lines;
};

// A plane and a reference plane that is the first one moved by (dx, dy) with
// some noise: good matches exist, as in real frames. Each has its own pitch.
struct PlanePair {
  PlanePair(Context& c, uint32_t w, uint32_t h, Content content, ptrdiff_t src_pitch,
            ptrdiff_t ref_pitch)
      : width(w), height(h), src(w, h, src_pitch), ref(w, h, ref_pitch) {
    std::vector<uint8_t> tight(size_t(w) * h);
    checkasm::FillPlane(c.rng(), tight.data(), w, h, content);
    const int dx = c.rng().Range(-5, 5), dy = c.rng().Range(-5, 5);
    const int noise = c.rng().Chance(3) ? 0 : c.rng().Range(1, 20);
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        const uint32_t sy = uint32_t(int(y) + dy) % h, sx = uint32_t(int(x) + dx) % w;
        const int v = tight[sy * w + sx] + (noise ? c.rng().Range(-noise, noise) : 0);
        *src.at(int32_t(y), int32_t(x)) = tight[y * w + x];
        *ref.at(int32_t(y), int32_t(x)) = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
  uint32_t width, height;
  PlaneBytes src, ref;
};

// The window SearchCoarse scans for the block whose decimated counterpart
// sits at (x, y), ranges (rh, rv).
Window CoarseWindow(const PlanePair& p, int32_t x, int32_t y, int32_t rh, int32_t rv) {
  const int32_t j_min = (x - rh > 0 ? x - rh : 0) - x;
  const int32_t j_max = (x + rh < int32_t(p.width) - 8 ? x + rh : int32_t(p.width) - 8) - x;
  const int32_t i_min = (y - rv > 0 ? y - rv : 0) - y;
  const int32_t i_max = (y + rv < int32_t(p.height) - 4 ? y + rv : int32_t(p.height) - 4) - y;
  return {p.src.at(y + i_min, x + j_min), p.src.pitch, p.src.pitch, p.ref.at(y, x), p.ref.pitch,
          i_max - i_min + 1, j_max - j_min + 1, vantrel::kCoarseStartBest};
}

// The window SearchFine scans around (x, y) (y a multiple of 4), one line in two.
Window FineWindow(const PlanePair& p, int32_t bx, int32_t by, int32_t x, int32_t y, int32_t rh,
                  int32_t rv) {
  const int32_t j_min = (x - rh > 0 ? x - rh : 0) - x;
  const int32_t j_max = (x + rh < int32_t(p.width) - 16 ? x + rh : int32_t(p.width) - 16) - x;
  int32_t i_min = (y - rv > 0 ? y - rv : 0) - y;
  const int32_t i_max = (y + rv < int32_t(p.height) - 16 ? y + rv : int32_t(p.height) - 16) - y;
  if (i_min & 1) ++i_min;
  return {p.src.at(y + i_min, x + j_min), 2 * p.src.pitch, 2 * p.src.pitch, p.ref.at(by, bx),
          2 * p.ref.pitch, (i_max - i_min) / 2 + 1, j_max - j_min + 1, vantrel::kFineStartBest};
}

// A position in 0 .. limit in steps of `step`, often at either end.
int32_t EdgeOrRandom(Context& c, int32_t limit, int32_t step) {
  const int pick = c.rng().Range(0, 3);
  if (pick == 0) return 0;
  if (pick == 1) return limit / step * step;
  return c.rng().Range(0, limit / step) * step;
}

// Windows shaped as the engine shapes them, clipped at every edge, in planes
// whose pitches differ (and run upside down) as a host's frames may.
void CheckEngineWindows(Context& c, ScanWindowFn fn, ScanWindowFn ref_fn, bool fine) {
  for (int n = 0; n < c.Iterations(300); ++n) {
    const uint32_t w = 16 * uint32_t(c.rng().Range(1, 24)), h = 16 * uint32_t(c.rng().Range(1, 8));
    const Content content = Content(c.rng().Range(0, int(Content::kCount) - 1));
    const int32_t range = c.rng().Chance(4) ? c.rng().Range(0, 40) : 16;
    const uint32_t pw = fine ? w : w / 2, ph = fine ? h : h / 4;
    const ptrdiff_t src_pitch = RandomStride(c, int32_t(pw), 40);
    const ptrdiff_t ref_pitch = c.rng().Chance(3) ? src_pitch : RandomStride(c, int32_t(pw), 40);
    PlanePair p(c, pw, ph, content, src_pitch, ref_pitch);
    const std::string what = std::string(fine ? "fine " : "coarse ") +
                             checkasm::ContentName(content);
    if (!fine) {
      const int32_t x = EdgeOrRandom(c, int32_t(p.width) - 8, 8);
      const int32_t y = EdgeOrRandom(c, int32_t(p.height) - 4, 4);
      const bool neighbour = c.rng().Chance(3);
      const Window win = CoarseWindow(p, x, y, neighbour ? 2 : range / 2, neighbour ? 1 : range / 4);
      Compare(c, fn, ref_fn, win, what);
      continue;
    }
    const int32_t bx = EdgeOrRandom(c, int32_t(w) - 16, 16);
    const int32_t by = EdgeOrRandom(c, int32_t(h) - 16, 16);
    // Centre: the block moved by a coarse vector, kept inside the plane.
    const int32_t x = EdgeOrRandom(c, int32_t(w) - 16, 2);
    const int32_t y = EdgeOrRandom(c, int32_t(h) - 16, 4);
    const int kind = c.rng().Range(0, 2);  // narrow, neighbour, wide
    const int32_t r = kind == 0 ? 2 : kind == 1 ? 4 : range;
    const Window win = FineWindow(p, bx, by, kind == 0 ? x : bx, kind == 0 ? y : by, r, r);
    Compare(c, fn, ref_fn, win, what);
  }
}

// Tight windows of any shape in a buffer that ends at the last byte read,
// with starts that tie, sit on a candidate's cost or go past INT32_MAX;
// strides of either sign, the reference's its own.
void CheckFreeWindows(Context& c, ScanWindowFn fn, ScanWindowFn ref_fn, Geometry g) {
  for (int n = 0; n < c.Iterations(400); ++n) {
    const int32_t rows = c.rng().Range(1, 12), cols = c.rng().Range(1, 50);
    const ptrdiff_t stride = RandomStride(c, cols + g.cols - 1, 40);
    const ptrdiff_t row_step = c.rng().Chance(2) ? stride : 2 * stride;
    const ptrdiff_t reference_stride = RandomStride(c, g.cols, 40);
    Region window(row_step, rows, stride, g.lines, size_t(cols - 1 + g.cols));
    Region reference(reference_stride, g.lines, 0, 1, size_t(g.cols));
    Buffer& bytes = window.bytes;
    const int style = n % 4;
    if (style == 0) {
      c.rng().Fill(bytes.data(), bytes.size());
    } else if (style == 1) {
      std::memset(bytes.data(), c.rng().Byte(), bytes.size());  // every cost equal: the first wins
    } else {
      // Columns repeat with a short period: equal minima in many groups.
      const int period = c.rng().Range(1, 5);
      std::vector<uint8_t> pattern(static_cast<size_t>(period));
      for (uint8_t& v : pattern) v = c.rng().Byte();
      const size_t step = size_t(stride < 0 ? -stride : stride);
      for (size_t k = 0; k < bytes.size(); ++k) bytes.data()[k] = pattern[(k % step) % period];
    }
    // The reference is one of the candidates (cost 0 there), or noise.
    const int32_t pi = c.rng().Range(0, rows - 1), pj = c.rng().Range(0, cols - 1);
    for (int l = 0; l < g.lines; ++l) {
      for (int x = 0; x < g.cols; ++x) {
        const uint8_t v = window.origin[pi * row_step + l * stride + pj + x];
        reference.origin[l * reference_stride + x] = style == 3 ? c.rng().Byte() : v;
      }
    }
    const std::vector<uint8_t> saved = Saved(bytes);
    const uint32_t kStarts[] = {vantrel::kCoarseStartBest, vantrel::kFineStartBest, 0, 1,
                                0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
    Window win{window.origin, row_step, stride, reference.origin, reference_stride, rows, cols, 0};
    win.start_best = kStarts[c.rng().Range(0, 6)];
    Compare(c, fn, ref_fn, win, "free window");
    // A start equal to a candidate's cost, and one either side of it.
    const int32_t ri = c.rng().Range(0, rows - 1), rj = c.rng().Range(0, cols - 1);
    Window one = win;
    one.first = win.first + ri * row_step + rj;
    one.rows = one.cols = 1;
    one.start_best = 0x7FFFFFFFu;
    const WindowBest some = one.Scan(ref_fn);
    for (const int32_t delta : {-1, 0, 1}) {
      win.start_best = some.cost + uint32_t(delta);
      Compare(c, fn, ref_fn, win, "free window, start at a cost");
    }
    c.CheckBytes("window", saved.data(), bytes.data(), bytes.size(), 1, bytes.size());
  }
}

void BenchScans(Context& c, ScanWindowFn fn, ScanWindowFn ref_fn, bool fine) {
  if (!c.benchmarking()) return;
  // A picture-like plane and a moved copy: the costs a real search sees,
  // the same whatever the checks before drew.
  c.rng().Seed(12345);
  const uint32_t w = fine ? 720 : 360, h = fine ? 576 : 144;
  PlanePair p(c, w, h, Content::kWoven, w, w);
  struct Shape {
    const char* label;
    int32_t r;
  };
  const Shape coarse[] = {{"17x9 (range 16)", 16}, {"5x3 (neighbours)", 4}};
  const Shape fine_shapes[] = {{"33x17 (range 16)", 16}, {"9x5 (neighbours)", 4}, {"5x3 (narrow)", 2}};
  const Shape* shapes = fine ? fine_shapes : coarse;
  const int count = fine ? 3 : 2;
  for (int k = 0; k < count; ++k) {
    const int32_t r = shapes[k].r;
    const Window win = fine ? FineWindow(p, 336, 272, 336, 272, r, r)
                            : CoarseWindow(p, 168, 68, r == 4 ? 2 : r / 2, r == 4 ? 1 : r / 4);
    c.Bench(shapes[k].label, [&] { checkasm::sink = win.Scan(ref_fn).cost; },
            [&] { checkasm::sink = win.Scan(fn).cost; });
  }
}

void CheckMatch(Context& c) {
  if (auto fn = c.Kernel("DecimateLine", &EngineDsp::match, &MatchKernels::decimate_line)) CheckDecimate(c, fn);
  if (auto fn = c.Kernel("BlockCostCoarse", &EngineDsp::match, &MatchKernels::block_cost_coarse)) {
    CheckCost(c, fn, c.ref().match.block_cost_coarse, "BlockCostCoarse", 8, 4);
  }
  if (auto fn = c.Kernel("BlockCost", &EngineDsp::match, &MatchKernels::block_cost)) {
    CheckCost(c, fn, c.ref().match.block_cost, "BlockCost", 16, 8);
  }
  if (auto fn = c.Kernel("ScanCoarseWindow", &EngineDsp::match, &MatchKernels::scan_coarse_window)) {
    CheckEngineWindows(c, fn, c.ref().match.scan_coarse_window, false);
    CheckFreeWindows(c, fn, c.ref().match.scan_coarse_window, {8, 4});
    BenchScans(c, fn, c.ref().match.scan_coarse_window, false);
  }
  if (auto fn = c.Kernel("ScanFineWindow", &EngineDsp::match, &MatchKernels::scan_fine_window)) {
    CheckEngineWindows(c, fn, c.ref().match.scan_fine_window, true);
    CheckFreeWindows(c, fn, c.ref().match.scan_fine_window, {16, 8});
    BenchScans(c, fn, c.ref().match.scan_fine_window, true);
  }
}

checkasm::Group match_group("match", CheckMatch);

}  // namespace
