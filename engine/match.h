// Block matching of the motion search: decimation, sum-of-squared-difference
// costs that stop once a candidate cannot win, and the window scans built on
// them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

struct EngineDsp;

// dst (width/2 x height/4, pitch width/2) takes src sample (4r, 2c). Reads
// src lines 0, 4, .. height-4 only. The first form runs the scalar kernel.
void DecimatePlane(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height);
void DecimatePlane(const EngineDsp& dsp, uint8_t* dst, const uint8_t* src, uint32_t width,
                   uint32_t height);

// Line kernel of DecimatePlane: dst[c] = src[2c] for c < width.
void DecimateLine(uint8_t* dst, const uint8_t* src, size_t width);

// SSD of an 8 x 4 block; after each line returns the running sum once it
// reaches `best` (signed compare). Reads 4 lines of 8 bytes from each block.
uint32_t BlockCostCoarse(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                         ptrdiff_t stride);

// The same for a 16 x 8 block (8 lines of 16 bytes).
uint32_t BlockCost(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                   ptrdiff_t stride);

// Best candidate of a window scan: its cost and its row and column counted
// from the window's first candidate.
struct WindowBest {
  uint32_t cost;
  int32_t row;
  int32_t col;
};

// Scan rows x cols candidates starting at `candidate`; candidate (i, j) sits
// at candidate + i * row_step + j and is compared with `reference`, both read
// with `stride` between block lines, by BlockCostCoarse (8 x 4) or BlockCost
// (16 x 8) against the best so far. Rows are the outer loop, the first strict
// minimum wins; a window of no candidates returns {start_best, 0, 0}. Reads
// only the window's candidate blocks and the reference block.
WindowBest ScanCoarseWindow(const uint8_t* candidate, ptrdiff_t row_step,
                            const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                            int32_t cols, uint32_t start_best);
WindowBest ScanFineWindow(const uint8_t* candidate, ptrdiff_t row_step,
                          const uint8_t* reference, ptrdiff_t stride, int32_t rows, int32_t cols,
                          uint32_t start_best);

}  // namespace vantrel
