// Entry points of the x86 kernels, registered on the ladder by dsp_x86.cpp.
// Each behaves exactly like the scalar kernel of the same stem (see the
// engine headers for what it reads and writes) and is built for the
// instruction set its suffix names; call them only when the CPU has it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/dsp.h"

namespace vantrel {

// interpolate_sse2.cpp / interpolate_avx2.cpp (CopyFieldLines stays memcpy)
void InterpolateLuma_sse2(uint8_t* dst, const uint8_t* src, const uint8_t* mask, uint32_t width,
                          uint32_t height, int rebuild_all);
void InterpolateLuma_avx2(uint8_t* dst, const uint8_t* src, const uint8_t* mask, uint32_t width,
                          uint32_t height, int rebuild_all);
void InterpolateChroma_sse2(uint8_t* dst_c0, uint8_t* dst_c1, const uint8_t* src_c0,
                            const uint8_t* src_c1, uint32_t chroma_width, uint32_t chroma_height,
                            int rebuild_all);
void InterpolateChroma_avx2(uint8_t* dst_c0, uint8_t* dst_c1, const uint8_t* src_c0,
                            const uint8_t* src_c1, uint32_t chroma_width, uint32_t chroma_height,
                            int rebuild_all);

// match_sse2.cpp / match_avx2.cpp
void DecimatePlane_sse2(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height);
void DecimatePlane_avx2(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height);
uint32_t BlockCostCoarse_sse2(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                              ptrdiff_t stride);
uint32_t BlockCostCoarse_avx2(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                              ptrdiff_t stride);
uint32_t BlockCost_sse2(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                        ptrdiff_t stride);
uint32_t BlockCost_avx2(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                        ptrdiff_t stride);

// repair_sse2.cpp / repair_avx2.cpp
WindowBest ScanCoarseWindow_sse2(const uint8_t* candidate, ptrdiff_t row_step,
                                 const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                                 int32_t cols, uint32_t start_best);
WindowBest ScanCoarseWindow_avx2(const uint8_t* candidate, ptrdiff_t row_step,
                                 const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                                 int32_t cols, uint32_t start_best);
WindowBest ScanFineWindow_sse2(const uint8_t* candidate, ptrdiff_t row_step,
                               const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                               int32_t cols, uint32_t start_best);
WindowBest ScanFineWindow_avx2(const uint8_t* candidate, ptrdiff_t row_step,
                               const uint8_t* reference, ptrdiff_t stride, int32_t rows,
                               int32_t cols, uint32_t start_best);

// comb_sse2.cpp / comb_avx2.cpp
int32_t DetectCombing_sse2(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                           uint32_t width, uint32_t height, int32_t comb_threshold);
int32_t DetectCombing_avx2(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                           uint32_t width, uint32_t height, int32_t comb_threshold);

}  // namespace vantrel
