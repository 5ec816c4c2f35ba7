// The engine's kernel table: one pointer per hot loop, filled once by an init
// that puts in the scalar references (engine/ref/) first and then the kernels
// of the best SIMD target this processor has (engine/simd/), capped by a mask
// (tests and benchmarks pick a target that way). Frames are driven by
// interpolate.cpp, comb.cpp, match.cpp and motion.cpp, which call the kernels
// only through this table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/cpu.h"

namespace vantrel {

// A vertical strip of `lanes` consecutive comb lanes (whole groups of 4)
// scanned from row 4 to row `height` a band of rows at a time, its vertical
// state kept in `state` from one band to the next; lane 0 smooths columns 0
// and 2.
struct CombStrip {
  const uint8_t* src;       // source row 0 at the strip's first column
  ptrdiff_t pitch;          // between source rows 4 .. height - 1; may be negative
  const uint8_t* last_row;  // row `height`, at the strip's first column
  uint8_t* mask;            // comb_mask at the same column
  ptrdiff_t mask_pitch;     // comb_mask's own (the plane's width)
  uint32_t height;
  int16_t threshold;        // comb_threshold >> 1, held in 16 bits
  uint32_t lanes;
  // Lane l's hits count toward block column k (0 .. columns - 1) when
  // column_lanes[k * lanes + l] is 0xFFFF; a lane counted by the strip
  // before has 0 everywhere.
  uint32_t columns;
  const uint16_t* column_lanes;
  uint8_t* scores;          // block_comb_score of block row 0, block column k = 0
  size_t score_pitch;       // blocks per row
  void* state;              // kCombStateBytesPerLane * lanes bytes, 64-byte aligned
};

// Rows of one band of a comb strip: band 0 is rows 4 .. 16, band k > 0 rows
// 16k + 1 .. 16k + 16, so that a band's decision rows score one block row.
constexpr uint32_t kCombBandRows = 16;
constexpr uint32_t kCombStateBytesPerLane = 16;

// Best candidate of a window scan: its cost and its row and column counted
// from the window's first candidate.
struct WindowBest {
  uint32_t cost;
  int32_t row;
  int32_t col;
};

// One signature per kernel, shared by every version of it. Line widths are
// sample counts, multiples of 8 (of 4 for the chroma and 16-bit kernels);
// pitches and strides are in bytes for every sample type and may be
// negative. What each kernel reads and writes is said where its scalar
// version is declared (engine/ref/).
using AverageLineFn = void (*)(uint8_t* dst, const uint8_t* above, const uint8_t* below,
                               size_t width);
using FourTapLineFn = void (*)(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width);
using MaskedFourTapLineFn = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                                     ptrdiff_t pitch, size_t width);
using ChromaLineFn = void (*)(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width,
                              bool rebuild_all);
// 16-bit samples of 9 to 16 bits; max = 2^bits - 1. The decisions come from
// 8-bit lines: the comb mask, and for chroma the cut frame (CutLineFn).
using AverageLine16Fn = void (*)(uint16_t* dst, const uint16_t* above, const uint16_t* below,
                                 size_t width);
using FourTapLine16Fn = void (*)(uint16_t* dst, const uint16_t* src, ptrdiff_t pitch,
                                 size_t width, uint16_t max);
using MaskedFourTapLine16Fn = void (*)(uint16_t* dst, const uint16_t* src, const uint8_t* mask,
                                       ptrdiff_t pitch, size_t width, uint16_t max);
using ChromaLine16Fn = void (*)(uint16_t* dst, const uint16_t* src, ptrdiff_t pitch,
                                size_t width, bool rebuild_all, uint32_t shift);
using CutLineFn = void (*)(uint8_t* dst, const uint16_t* src, size_t width, uint32_t shift);
using DecimateLineFn = void (*)(uint8_t* dst, const uint8_t* src, size_t width);
// Scans band `band` of the strip (band 0 first, then each next one); returns
// the hits it counted.
using CombStripFn = uint32_t (*)(const CombStrip& strip, uint32_t band);
using BlockCostFn = uint32_t (*)(const uint8_t* candidate, ptrdiff_t candidate_stride,
                                 const uint8_t* reference, ptrdiff_t reference_stride,
                                 int32_t best);
using ScanWindowFn = WindowBest (*)(const uint8_t* candidate, ptrdiff_t row_step,
                                    ptrdiff_t candidate_stride, const uint8_t* reference,
                                    ptrdiff_t reference_stride, int32_t rows, int32_t cols,
                                    uint32_t start_best);

// The kernels of each stem, as every version of them fills a table.
struct InterpolateKernels {
  AverageLineFn average_line;
  FourTapLineFn four_tap_line;
  MaskedFourTapLineFn masked_four_tap_line;
  ChromaLineFn chroma_line;
  AverageLine16Fn average_line16;
  FourTapLine16Fn four_tap_line16;
  MaskedFourTapLine16Fn masked_four_tap_line16;
  ChromaLine16Fn chroma_line16;
  CutLineFn cut_line;
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
// `targets` & CompiledTargets() & DetectCpuFeatures().targets.
void InitEngineDsp(EngineDsp* dsp, uint32_t targets);

// The scalar table and the table for this machine, each built once. A driver
// whose frame is too small for a table's kernels takes the scalar ones.
const EngineDsp& ScalarEngineDsp();
const EngineDsp& DefaultEngineDsp();

}  // namespace vantrel
