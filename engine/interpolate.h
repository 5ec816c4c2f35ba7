// Field interpolation: the even lines (rebuilt field) are rebuilt from the odd
// lines (kept field). Kept lines are never changed. Each kernel reads and
// writes only inside the planes it is given; dst may equal src.
#pragma once

#include <cstdint>

namespace vantrel {

// Mode 1: every even luma line becomes a copy of the odd line below it.
void CopyFieldLines(uint8_t* plane, uint32_t width, uint32_t height);

// Four-tap (-1, 5, 5, -1) rebuild of the even lines. Without rebuild_all,
// lines 4 .. height-4 take the filtered value only where `mask` (read on
// those rows only) is 0xFF; lines 0, 2 and height-2 are always rebuilt.
void InterpolateLuma(uint8_t* dst, const uint8_t* src, const uint8_t* mask, uint32_t width,
                     uint32_t height, int rebuild_all);

// Two-tap (1, 3) rebuild of both chroma planes' even lines; without
// rebuild_all only where the per-sample chroma comb test fires.
void InterpolateChroma(uint8_t* dst_c0, uint8_t* dst_c1, const uint8_t* src_c0,
                       const uint8_t* src_c1, uint32_t chroma_width, uint32_t chroma_height,
                       int rebuild_all);

// Per-sample pieces, shared by the tests and the SIMD tails.
uint8_t FourTapLuma(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
bool ChromaCombFires(uint8_t above, uint8_t centre, uint8_t below);

}  // namespace vantrel
