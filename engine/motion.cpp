#include "engine/motion.h"

#include <algorithm>
#include <cstring>

#include "engine/engine.h"

namespace vantrel {

namespace {

// A window of candidates as the scan kernels take it: candidate (row, col)
// at first + row * row_step + col.
struct Window {
  const uint8_t* first;
  ptrdiff_t row_step;
  ptrdiff_t stride;  // between a candidate's lines
  const uint8_t* reference;
  ptrdiff_t reference_stride;
  int32_t rows;
  int32_t cols;
};

// Lowers `start` to one above the complete cost of candidate (row, col)
// when that is below it (and the candidate lies in the window). The scan
// that starts there still ends on the first strict minimum with its
// complete cost: the seed itself qualifies, and so does any earlier
// candidate that costs as little.
uint32_t Seed(BlockCostFn cost, const Window& w, int32_t row, int32_t col, uint32_t start) {
  if (row < 0 || row >= w.rows || col < 0 || col >= w.cols) return start;
  const uint32_t c = cost(w.first + row * w.row_step + col, w.stride, w.reference,
                          w.reference_stride, int32_t(start));
  return c < start ? c + 1 : start;
}

WindowBest Scan(ScanWindowFn scan, const Window& w, uint32_t start) {
  // Nothing can cost less than 0.
  if (start == 0) return {0, 0, 0};
  return scan(w.first, w.row_step, w.stride, w.reference, w.reference_stride, w.rows, w.cols,
              start);
}

}  // namespace

// A block is repaired only when its fine cost ends below match_threshold,
// and a coarse result counts only when four times its cost does; other
// records are read by nothing but the neighbour test, which needs a cost
// below the threshold too. So the scans may start at the threshold instead
// of above every possible cost: a block that ends up repaired gets the
// same vector and cost, one that does not may keep another record.
uint32_t DeinterlaceEngine::CoarseStart() const {
  if (!search_shortcuts_) return kCoarseStartBest;
  // The smallest best whose four-fold is not below the threshold.
  const uint64_t cap = (uint64_t(uint32_t(params.match_threshold)) + 3) / 4;
  return uint32_t(std::min<uint64_t>(kCoarseStartBest, cap));
}

uint32_t DeinterlaceEngine::FineStart() const {
  if (!search_shortcuts_) return kFineStartBest;
  return std::min(kFineStartBest, uint32_t(params.match_threshold));
}

void DeinterlaceEngine::SearchCoarse(uint32_t b, int32_t rh, int32_t rv) {
  const int32_t X = coarse_block_origin[b].x;
  const int32_t Y = coarse_block_origin[b].y;
  const int32_t j_min = std::max(X - rh, 0) - X;
  const int32_t j_max = std::min(X + rh, int32_t(coarse_width) - 8) - X;
  const int32_t i_min = std::max(Y - rv, 0) - Y;
  const int32_t i_max = std::min(Y + rv, int32_t(decimated_height) - 4) - Y;
  const ptrdiff_t pitch = coarse_width;
  const Window w{decimated_src.get() + (Y + i_min) * pitch + (X + j_min),
                 pitch,
                 pitch,
                 decimated_dst.get() + coarse_block_offset[b],
                 pitch,
                 i_max - i_min + 1,
                 j_max - j_min + 1};
  uint32_t start = CoarseStart();
  if (search_shortcuts_) {
    start = Seed(dsp_.match.block_cost_coarse, w, -i_min, -j_min, start);
    if (b % blocks_x != 0) {
      const BlockMatch& left = block_match[b - 1];
      start = Seed(dsp_.match.block_cost_coarse, w, (left.dy >> 2) - i_min, (left.dx >> 1) - j_min,
                   start);
    }
  }
  const WindowBest best = Scan(dsp_.match.scan_coarse_window, w, start);
  block_match[b] = {4 * best.cost, 2 * (j_min + best.col), 4 * (i_min + best.row)};
}

void DeinterlaceEngine::SearchFine(uint32_t b, int32_t rh, int32_t rv) {
  BlockMatch& match = block_match[b];
  const int32_t X = block_origin[b].x + match.dx;
  const int32_t Y = block_origin[b].y + match.dy;
  const int32_t j_min = std::max(X - rh, 0) - X;
  const int32_t j_max = std::min(X + rh, int32_t(width) - 16) - X;
  int32_t i_min = std::max(Y - rv, 0) - Y;
  const int32_t i_max = std::min(Y + rv, int32_t(height) - 16) - Y;
  // Y is a multiple of 4; an odd start (odd range, window not clamped at the
  // top) would take candidates from the kept field, so keep to even lines.
  if (i_min & 1) ++i_min;
  // Candidates are source lines, the reference the block's even lines in
  // the output; each plane has its own pitch.
  const ptrdiff_t pitch = in_.y.pitch;
  const ConstPlane reference = out_.y;
  const Window w{in_.y.Line(Y + i_min) + (X + j_min),
                 2 * pitch,
                 2 * pitch,
                 reference.Line(block_origin[b].y) + block_origin[b].x,
                 2 * reference.pitch,
                 (i_max - i_min) / 2 + 1,
                 j_max - j_min + 1};
  uint32_t start = FineStart();
  if (search_shortcuts_) {
    // The centre (the coarse vector or no motion), no motion, the left
    // block's vector: candidates that often win, so the scan starts tight.
    const auto seed = [&](int32_t i, int32_t j) {
      if ((i - i_min) & 1) return;
      start = Seed(dsp_.match.block_cost, w, (i - i_min) >> 1, j - j_min, start);
    };
    seed(0, 0);
    if (match.dx != 0 || match.dy != 0) seed(-match.dy, -match.dx);
    if (b % blocks_x != 0) {
      const BlockMatch& left = block_match[b - 1];
      seed(left.dy - match.dy, left.dx - match.dx);
    }
  }
  const WindowBest best = Scan(dsp_.match.scan_fine_window, w, start);
  match.dx += j_min + best.col;
  match.dy += i_min + 2 * best.row;
  match.cost = best.cost;
}

// A neighbour whose search succeeded with a non-zero cost.
static bool NeighbourMatched(const BlockMatch& m, uint32_t match_threshold) {
  return m.cost != 0 && m.cost < match_threshold;
}

static uint32_t SquaredLength(const BlockMatch& m) {
  return uint32_t(m.dx) * uint32_t(m.dx) + uint32_t(m.dy) * uint32_t(m.dy);
}

void DeinterlaceEngine::RepairBlock(uint32_t b, int32_t search_range) {
  const int32_t x = block_origin[b].x;
  const int32_t y = block_origin[b].y;
  const uint32_t match_threshold = uint32_t(params.match_threshold);
  int32_t r = search_range;
  if (x > 0 && y > 0 && uint32_t(x) < width && uint32_t(y) < height) {
    const BlockMatch& left = block_match[b - 1];
    const BlockMatch& above = block_match[b - blocks_x];
    const BlockMatch& diagonal = block_match[b - blocks_x - 1];
    // The sum is a signed 32-bit value that may wrap for huge vectors.
    const int32_t spread =
        int32_t(SquaredLength(left) + SquaredLength(above) + SquaredLength(diagonal));
    if (NeighbourMatched(left, match_threshold) && NeighbourMatched(above, match_threshold) &&
        NeighbourMatched(diagonal, match_threshold) && spread < kNeighbourSpread) {
      r = kNeighbourRange;
    }
  }
  SearchCoarse(b, r / 2, r / 4);
  BlockMatch& match = block_match[b];
  if (match.cost < match_threshold) {
    SearchFine(b, 2, 2);
  } else {
    match.dx = 0;
    match.dy = 0;
    SearchFine(b, r, r);
  }
  if (match.cost >= match_threshold) return;
  for (int32_t k = 0; k < 8; ++k) {
    const uint8_t* from = in_.y.Line(y + match.dy + 2 * k) + (x + match.dx);
    std::memcpy(out_.y.Line(y + 2 * k) + x, from, 16);
  }
  if (!deep_out_.y.data) return;
  // Deep samples: the same lines at full precision, 2 bytes a sample.
  for (int32_t k = 0; k < 8; ++k) {
    const uint8_t* from = deep_in_.y.Line(y + match.dy + 2 * k) + 2 * (x + match.dx);
    std::memcpy(deep_out_.y.Line(y + 2 * k) + 2 * x, from, 32);
  }
}

}  // namespace vantrel
