// Motion-compensated field repair: window scans of the two search stages.
// The engine's RepairBlock / SearchCoarse / SearchFine (engine.h) use them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/dsp.h"

namespace vantrel {

// Starting bests: just above the largest possible cost of each stage, so the
// first candidate always wins.
constexpr uint32_t kCoarseStartBest = 0x200000;
constexpr uint32_t kFineStartBest = 0x800000;

// Window scans with BlockCostCoarse (8 x 4) and BlockCost (16 x 8): rows are
// the outer loop, columns the inner one, the first strict minimum wins.
WindowBest ScanCoarseWindow(const uint8_t* candidate, ptrdiff_t row_step,
                            const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                            int32_t cols, uint32_t start_best);
WindowBest ScanFineWindow(const uint8_t* candidate, ptrdiff_t row_step,
                          const uint8_t* reference, ptrdiff_t stride, int32_t rows, int32_t cols,
                          uint32_t start_best);

}  // namespace vantrel
