// The engine's kernel table: one pointer per hot loop, filled once by an init
// that puts in the scalar references first and then the kernels of the best
// SIMD target this processor has, capped by a mask (tests and benchmarks pick
// a target that way). Frames are driven by the scalar files (interpolate.cpp,
// comb.cpp, match.cpp), which call the kernels only through this table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/cpu.h"
#include "engine/match.h"

namespace vantrel {

struct CombStrip;

// One signature per kernel, shared by every version of it. Line widths are
// sample counts, multiples of 8; pitches are in bytes. What each kernel reads
// and writes is said where its scalar version is declared.
using AverageLineFn = void (*)(uint8_t* dst, const uint8_t* above, const uint8_t* below,
                               size_t width);
using FourTapLineFn = void (*)(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width);
using MaskedFourTapLineFn = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                                     ptrdiff_t pitch, size_t width);
using ChromaLineFn = void (*)(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width,
                              bool rebuild_all);
using DecimateLineFn = void (*)(uint8_t* dst, const uint8_t* src, size_t width);
using CombStripFn = uint32_t (*)(const CombStrip& strip);
using BlockCostFn = uint32_t (*)(const uint8_t* candidate, const uint8_t* reference,
                                 int32_t best, ptrdiff_t stride);
using ScanWindowFn = WindowBest (*)(const uint8_t* candidate, ptrdiff_t row_step,
                                    const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                                    int32_t cols, uint32_t start_best);

// The kernels of each stem, as every version of them fills a table.
struct InterpolateKernels {
  AverageLineFn average_line;
  FourTapLineFn four_tap_line;
  MaskedFourTapLineFn masked_four_tap_line;
  ChromaLineFn chroma_line;
};
struct CombKernels {
  CombStripFn strip;
  uint32_t strip_lanes;  // lanes `strip` scans side by side
};
struct MatchKernels {
  DecimateLineFn decimate_line;
  BlockCostFn block_cost_coarse;
  BlockCostFn block_cost;
  ScanWindowFn scan_coarse_window;
  ScanWindowFn scan_fine_window;
};

struct EngineDsp {
  uint32_t target = 0;  // the SimdTarget whose kernels are in here; 0: scalar only
  InterpolateKernels interpolate{};
  CombKernels comb{};
  MatchKernels match{};
};

// Targets this build has kernels for.
uint32_t CompiledTargets();

// The scalar table, then the kernels of the best target in
// `targets` & CompiledTargets() & DetectCpuTargets().
void InitEngineDsp(EngineDsp* dsp, uint32_t targets);

// The scalar table and the table for this machine, each built once.
const EngineDsp& ScalarEngineDsp();
const EngineDsp& DefaultEngineDsp();

}  // namespace vantrel
