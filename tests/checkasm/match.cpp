// The block-matching kernels against their scalar twins: DecimateLine, the
// two block costs, and the two window scans (the winner, its cost and its
// offset must be those of the scalar scan).
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "checkasm.h"
#include "engine/dsp.h"
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
  c.Bench("DecimatePlane 720x576",
          [&] { vantrel::DecimatePlane(c.ref(), dst.data(), src.data(), 720, 576); },
          [&] { vantrel::DecimatePlane(c.dsp(), dst.data(), src.data(), 720, 576); });
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

struct Geometry {
  int cols, lines;  // block size: 8 x 4 (coarse) or 16 x 8 (fine)
};

struct Window {
  const uint8_t* first;
  ptrdiff_t row_step;
  const uint8_t* reference;
  ptrdiff_t stride;
  int32_t rows, cols;
  uint32_t start_best;
};

bool SameBest(const WindowBest& a, const WindowBest& b) {
  return a.cost == b.cost && a.row == b.row && a.col == b.col;
}

void Compare(Context& c, ScanWindowFn fn, ScanWindowFn ref_fn, const Window& w,
             const std::string& what) {
  const WindowBest want =
      ref_fn(w.first, w.row_step, w.reference, w.stride, w.rows, w.cols, w.start_best);
  const WindowBest got = fn(w.first, w.row_step, w.reference, w.stride, w.rows, w.cols,
                            w.start_best);
  if (!SameBest(want, got)) {
    c.Fail("%s (%d x %d candidates, start %u): scalar cost %u at (%d, %d), simd cost %u at (%d, %d)",
           what.c_str(), w.rows, w.cols, w.start_best, want.cost, want.row, want.col, got.cost,
           got.row, got.col);
  }
}

// A plane and, in its second half, a reference plane that is the first one
// moved by (dx, dy) with some noise: good matches exist, as in real frames.
struct PlanePair {
  PlanePair(Context& c, uint32_t w, uint32_t h, Content content)
      : width(w), height(h), src(size_t(w) * h), ref(size_t(w) * h) {
    checkasm::FillPlane(c.rng(), src.data(), w, h, content);
    const int dx = c.rng().Range(-5, 5), dy = c.rng().Range(-5, 5);
    const int noise = c.rng().Chance(3) ? 0 : c.rng().Range(1, 20);
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        const uint32_t sy = uint32_t(int(y) + dy) % h, sx = uint32_t(int(x) + dx) % w;
        const int v = src.data()[sy * w + sx] + (noise ? c.rng().Range(-noise, noise) : 0);
        ref.data()[y * w + x] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
  uint32_t width, height;
  Buffer src, ref;
};

// The window SearchCoarse scans for the block whose decimated counterpart
// sits at (x, y), ranges (rh, rv).
Window CoarseWindow(const PlanePair& p, int32_t x, int32_t y, int32_t rh, int32_t rv) {
  const int32_t j_min = (x - rh > 0 ? x - rh : 0) - x;
  const int32_t j_max = (x + rh < int32_t(p.width) - 8 ? x + rh : int32_t(p.width) - 8) - x;
  const int32_t i_min = (y - rv > 0 ? y - rv : 0) - y;
  const int32_t i_max = (y + rv < int32_t(p.height) - 4 ? y + rv : int32_t(p.height) - 4) - y;
  const ptrdiff_t pitch = p.width;
  return {p.src.data() + (y + i_min) * pitch + (x + j_min), pitch, p.ref.data() + y * pitch + x,
          pitch, i_max - i_min + 1, j_max - j_min + 1, vantrel::kCoarseStartBest};
}

// The window SearchFine scans around (x, y) (y a multiple of 4), one line in two.
Window FineWindow(const PlanePair& p, int32_t bx, int32_t by, int32_t x, int32_t y, int32_t rh,
                  int32_t rv) {
  const int32_t j_min = (x - rh > 0 ? x - rh : 0) - x;
  const int32_t j_max = (x + rh < int32_t(p.width) - 16 ? x + rh : int32_t(p.width) - 16) - x;
  int32_t i_min = (y - rv > 0 ? y - rv : 0) - y;
  const int32_t i_max = (y + rv < int32_t(p.height) - 16 ? y + rv : int32_t(p.height) - 16) - y;
  if (i_min & 1) ++i_min;
  const ptrdiff_t pitch = p.width;
  return {p.src.data() + (y + i_min) * pitch + (x + j_min), 2 * pitch,
          p.ref.data() + by * pitch + bx, 2 * pitch, (i_max - i_min) / 2 + 1, j_max - j_min + 1,
          vantrel::kFineStartBest};
}

// A position in 0 .. limit in steps of `step`, often at either end.
int32_t EdgeOrRandom(Context& c, int32_t limit, int32_t step) {
  const int pick = c.rng().Range(0, 3);
  if (pick == 0) return 0;
  if (pick == 1) return limit / step * step;
  return c.rng().Range(0, limit / step) * step;
}

// Windows shaped as the engine shapes them, clipped at every edge.
void CheckEngineWindows(Context& c, ScanWindowFn fn, ScanWindowFn ref_fn, bool fine) {
  for (int n = 0; n < c.Iterations(300); ++n) {
    const uint32_t w = 16 * uint32_t(c.rng().Range(1, 24)), h = 16 * uint32_t(c.rng().Range(1, 8));
    const Content content = Content(c.rng().Range(0, int(Content::kCount) - 1));
    const int32_t range = c.rng().Chance(4) ? c.rng().Range(0, 40) : 16;
    if (!fine) {
      PlanePair p(c, w / 2, h / 4, content);
      const int32_t x = EdgeOrRandom(c, int32_t(p.width) - 8, 8);
      const int32_t y = EdgeOrRandom(c, int32_t(p.height) - 4, 4);
      const bool neighbour = c.rng().Chance(3);
      const Window win = CoarseWindow(p, x, y, neighbour ? 2 : range / 2, neighbour ? 1 : range / 4);
      Compare(c, fn, ref_fn, win, std::string("coarse ") + checkasm::ContentName(content));
      continue;
    }
    PlanePair p(c, w, h, content);
    const int32_t bx = EdgeOrRandom(c, int32_t(w) - 16, 16);
    const int32_t by = EdgeOrRandom(c, int32_t(h) - 16, 16);
    // Centre: the block moved by a coarse vector, kept inside the plane.
    const int32_t x = EdgeOrRandom(c, int32_t(w) - 16, 2);
    const int32_t y = EdgeOrRandom(c, int32_t(h) - 16, 4);
    const int kind = c.rng().Range(0, 2);  // narrow, neighbour, wide
    const int32_t r = kind == 0 ? 2 : kind == 1 ? 4 : range;
    const Window win = FineWindow(p, bx, by, kind == 0 ? x : bx, kind == 0 ? y : by, r, r);
    Compare(c, fn, ref_fn, win, std::string("fine ") + checkasm::ContentName(content));
  }
}

// Tight windows of any shape in a buffer that ends at the last byte read,
// with starts that tie, sit on a candidate's cost or go past INT32_MAX.
void CheckFreeWindows(Context& c, ScanWindowFn fn, ScanWindowFn ref_fn, Geometry g) {
  for (int n = 0; n < c.Iterations(400); ++n) {
    const int32_t rows = c.rng().Range(1, 12), cols = c.rng().Range(1, 50);
    const ptrdiff_t stride = cols + g.cols - 1 + c.rng().Range(0, 40);
    const ptrdiff_t row_step = c.rng().Chance(2) ? stride : 2 * stride;
    const size_t span = size_t((rows - 1) * row_step + (g.lines - 1) * stride + cols - 1 + g.cols);
    Buffer window(span), reference(size_t((g.lines - 1) * stride + g.cols));
    const int style = n % 4;
    if (style == 0) {
      c.rng().Fill(window.data(), span);
    } else if (style == 1) {
      std::memset(window.data(), c.rng().Byte(), span);  // every cost equal: the first wins
    } else {
      // Columns repeat with a short period: equal minima in many groups.
      const int period = c.rng().Range(1, 5);
      std::vector<uint8_t> pattern(static_cast<size_t>(period));
      for (uint8_t& v : pattern) v = c.rng().Byte();
      for (size_t k = 0; k < span; ++k) window.data()[k] = pattern[(k % size_t(stride)) % period];
    }
    // The reference is one of the candidates (cost 0 there), or noise.
    const int32_t pi = c.rng().Range(0, rows - 1), pj = c.rng().Range(0, cols - 1);
    for (int l = 0; l < g.lines; ++l) {
      for (int x = 0; x < g.cols; ++x) {
        const uint8_t v = window.data()[pi * row_step + l * stride + pj + x];
        reference.data()[l * stride + x] = style == 3 ? c.rng().Byte() : v;
      }
    }
    const std::vector<uint8_t> saved(window.data(), window.data() + span);
    const uint32_t kStarts[] = {vantrel::kCoarseStartBest, vantrel::kFineStartBest, 0, 1,
                                0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
    Window win{window.data(), row_step, reference.data(), stride, rows, cols, 0};
    win.start_best = kStarts[c.rng().Range(0, 6)];
    Compare(c, fn, ref_fn, win, "free window");
    // A start equal to a candidate's cost, and one either side of it.
    win.start_best = 0x7FFFFFFFu;
    const WindowBest some = ref_fn(win.first + c.rng().Range(0, rows - 1) * row_step +
                                       c.rng().Range(0, cols - 1),
                                   row_step, win.reference, stride, 1, 1, 0x7FFFFFFFu);
    for (const int32_t delta : {-1, 0, 1}) {
      win.start_best = some.cost + uint32_t(delta);
      Compare(c, fn, ref_fn, win, "free window, start at a cost");
    }
    c.CheckBytes("window", saved.data(), window.data(), span, 1, span);
  }
}

void BenchScans(Context& c, ScanWindowFn fn, ScanWindowFn ref_fn, bool fine) {
  if (!c.benchmarking()) return;
  // A picture-like plane and a moved copy: the costs a real search sees.
  PlanePair p(c, fine ? 720 : 360, fine ? 576 : 144, Content::kWoven);
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
    const Window w = fine ? FineWindow(p, 336, 272, 336, 272, r, r)
                          : CoarseWindow(p, 168, 68, r == 4 ? 2 : r / 2, r == 4 ? 1 : r / 4);
    c.Bench(shapes[k].label,
            [&] {
              checkasm::sink = ref_fn(w.first, w.row_step, w.reference, w.stride, w.rows, w.cols,
                                      w.start_best).cost;
            },
            [&] {
              checkasm::sink =
                  fn(w.first, w.row_step, w.reference, w.stride, w.rows, w.cols, w.start_best).cost;
            });
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
