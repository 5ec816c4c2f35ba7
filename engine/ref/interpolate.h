// Scalar reference kernels of the field interpolation, registered in the
// kernel table by engine/dsp.cpp (the SIMD twins are in engine/simd/). Each
// line kernel writes `width` bytes at dst and reads the same columns of the
// lines named; dst may be the line `src` points at. Pitches may be negative.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// dst = (above + below) >> 1.
void AverageLine(uint8_t* dst, const uint8_t* above, const uint8_t* below, size_t width);
// dst = FourTapLuma of src's lines -3, -1, +1, +3 (pitch apart).
void FourTapLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width);
// dst = (v & mask) | (src & ~mask), v the four-tap value; groups of 8 whose
// mask bytes are all 0 take src without filtering.
void MaskedFourTapLine(uint8_t* dst, const uint8_t* src, const uint8_t* mask, ptrdiff_t pitch,
                       size_t width);
// dst = (A + 3B) >> 2 from the lines above (A) and below (B) of src, where
// rebuild_all or the comb test fires; src's own sample elsewhere.
void ChromaLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width,
                bool rebuild_all);

// Per-sample pieces, shared by the tests.
uint8_t FourTapLuma(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
bool ChromaCombFires(uint8_t above, uint8_t centre, uint8_t below);

}  // namespace vantrel
