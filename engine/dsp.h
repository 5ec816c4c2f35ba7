// The engine's kernel table: one pointer per kernel, filled once by an init
// that starts from the scalar references and climbs the CPU ladder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/cpu.h"

namespace vantrel {

// Best candidate of a window scan: its cost and its row and column counted
// from the window's first candidate.
struct WindowBest {
  uint32_t cost;
  int32_t row;
  int32_t col;
};

using CopyFieldLinesFn = void (*)(uint8_t* plane, uint32_t width, uint32_t height);
using InterpolateLumaFn = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                                   uint32_t width, uint32_t height, int rebuild_all);
using InterpolateChromaFn = void (*)(uint8_t* dst_c0, uint8_t* dst_c1, const uint8_t* src_c0,
                                     const uint8_t* src_c1, uint32_t chroma_width,
                                     uint32_t chroma_height, int rebuild_all);
using DetectCombingFn = int32_t (*)(uint8_t* comb_mask, uint8_t* block_comb_score,
                                    const uint8_t* src_y, uint32_t width, uint32_t height,
                                    int32_t comb_threshold);
using DecimatePlaneFn = void (*)(uint8_t* dst, const uint8_t* src, uint32_t width,
                                 uint32_t height);
using BlockCostFn = uint32_t (*)(const uint8_t* candidate, const uint8_t* reference,
                                 int32_t best, ptrdiff_t stride);
// Scans rows x cols candidates starting at `candidate`; candidate (i, j) sits
// at candidate + i * row_step + j and is compared with `reference`, both
// read with `stride` between block lines. Keeps the first strict minimum.
using ScanWindowFn = WindowBest (*)(const uint8_t* candidate, ptrdiff_t row_step,
                                    const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                                    int32_t cols, uint32_t start_best);

struct EngineDsp {
  CopyFieldLinesFn copy_field_lines;
  InterpolateLumaFn interpolate_luma;
  InterpolateChromaFn interpolate_chroma;
  DetectCombingFn detect_combing;
  DecimatePlaneFn decimate_plane;
  BlockCostFn block_cost_coarse;
  BlockCostFn block_cost;
  ScanWindowFn scan_coarse_window;
  ScanWindowFn scan_fine_window;
};

// Fills `dsp` with the best kernels the given CPU flags allow.
void InitEngineDsp(EngineDsp* dsp, uint32_t cpu_flags);

// The table for this machine, built once.
const EngineDsp& DefaultEngineDsp();

}  // namespace vantrel
