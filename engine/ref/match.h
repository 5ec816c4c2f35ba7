// Scalar reference kernels of the block matching, registered in the kernel
// table by engine/dsp.cpp: decimation, sum-of-squared-difference costs that
// stop once a candidate cannot win, and the window scans built on them.
// Strides may be negative, and the candidate's may differ from the
// reference's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/dsp.h"

namespace vantrel {

// Line kernel of DecimatePlane: dst[c] = src[2c] for c < width.
void DecimateLine(uint8_t* dst, const uint8_t* src, size_t width);

// SSD of an 8 x 4 block; after each line returns the running sum once it
// reaches `best` (signed compare). Reads 4 lines of 8 bytes from each block.
uint32_t BlockCostCoarse(const uint8_t* candidate, ptrdiff_t candidate_stride,
                         const uint8_t* reference, ptrdiff_t reference_stride, int32_t best);

// The same for a 16 x 8 block (8 lines of 16 bytes).
uint32_t BlockCost(const uint8_t* candidate, ptrdiff_t candidate_stride,
                   const uint8_t* reference, ptrdiff_t reference_stride, int32_t best);

// Scan rows x cols candidates starting at `candidate`; candidate (i, j) sits
// at candidate + i * row_step + j and is compared with `reference` by
// BlockCostCoarse (8 x 4) or BlockCost (16 x 8) against the best so far.
// Rows are the outer loop, the first strict minimum wins; a window of no
// candidates returns {start_best, 0, 0}. Reads only the window's candidate
// blocks and the reference block.
WindowBest ScanCoarseWindow(const uint8_t* candidate, ptrdiff_t row_step,
                            ptrdiff_t candidate_stride, const uint8_t* reference,
                            ptrdiff_t reference_stride, int32_t rows, int32_t cols,
                            uint32_t start_best);
WindowBest ScanFineWindow(const uint8_t* candidate, ptrdiff_t row_step,
                          ptrdiff_t candidate_stride, const uint8_t* reference,
                          ptrdiff_t reference_stride, int32_t rows, int32_t cols,
                          uint32_t start_best);

}  // namespace vantrel
