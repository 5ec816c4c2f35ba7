#include "engine/motion.h"

#include <algorithm>
#include <cstring>

#include "engine/engine.h"

namespace vantrel {

void DeinterlaceEngine::SearchCoarse(uint32_t b, int32_t rh, int32_t rv) {
  const int32_t X = chroma_block_origin[b].x;
  const int32_t Y = chroma_block_origin[b].y;
  const int32_t j_min = std::max(X - rh, 0) - X;
  const int32_t j_max = std::min(X + rh, int32_t(chroma_width) - 8) - X;
  const int32_t i_min = std::max(Y - rv, 0) - Y;
  const int32_t i_max = std::min(Y + rv, int32_t(decimated_height) - 4) - Y;
  const ptrdiff_t pitch = chroma_width;
  const uint8_t* first = decimated_src.get() + (Y + i_min) * pitch + (X + j_min);
  const WindowBest best =
      dsp_.match.scan_coarse_window(first, pitch, decimated_dst.get() + chroma_block_offset[b], pitch,
                              i_max - i_min + 1, j_max - j_min + 1, kCoarseStartBest);
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
  const ptrdiff_t pitch = width;
  const uint8_t* first = src_y + (Y + i_min) * pitch + (X + j_min);
  const WindowBest best =
      dsp_.match.scan_fine_window(first, 2 * pitch, dst_y + block_offset[b], 2 * pitch,
                            (i_max - i_min) / 2 + 1, j_max - j_min + 1, kFineStartBest);
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
  const size_t w = width;
  for (int32_t k = 0; k < 8; ++k) {
    const uint8_t* from = src_y + size_t(y + match.dy + 2 * k) * w + size_t(x + match.dx);
    std::memcpy(dst_y + size_t(y + 2 * k) * w + size_t(x), from, 16);
  }
}

}  // namespace vantrel
