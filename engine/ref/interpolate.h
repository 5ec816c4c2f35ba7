// Scalar reference kernels of the field interpolation, registered in the
// kernel table by engine/dsp.cpp (the SIMD twins are in engine/simd/). Each
// line kernel writes `width` samples at dst and reads the same columns of the
// lines named; dst may be the line `src` points at. Pitches are in bytes for
// every sample type and may be negative.
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
// rebuild_all or the comb test fires; src's own sample elsewhere. Any width.
void ChromaLine(uint8_t* dst, const uint8_t* src, ptrdiff_t pitch, size_t width,
                bool rebuild_all);

// The same formulas on 16-bit samples of 9 to 16 bits (0 .. max = 2^bits - 1),
// widths multiples of 4. The decisions are the 8-bit ones: the comb mask for
// luma, and for chroma the test on the samples cut to 8 bits (each shifted
// right by `shift` = bits - 8, as CutLine cuts them).
void AverageLine16(uint16_t* dst, const uint16_t* above, const uint16_t* below, size_t width);
void FourTapLine16(uint16_t* dst, const uint16_t* src, ptrdiff_t pitch, size_t width,
                   uint16_t max);
// dst = (v & m) | (src & ~m), m the mask byte sign-extended to 16 bits: v
// where it is 0xFF, src where it is 0x00.
void MaskedFourTapLine16(uint16_t* dst, const uint16_t* src, const uint8_t* mask,
                         ptrdiff_t pitch, size_t width, uint16_t max);
void ChromaLine16(uint16_t* dst, const uint16_t* src, ptrdiff_t pitch, size_t width,
                  bool rebuild_all, uint32_t shift);
// dst = min(255, src >> shift), shift 1 .. 8: the 8-bit copy the decisions
// are taken on; a sample above max cannot wrap into a small one.
void CutLine(uint8_t* dst, const uint16_t* src, size_t width, uint32_t shift);

// Per-sample pieces, shared by the tests.
uint8_t FourTapLuma(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
bool ChromaCombFires(uint8_t above, uint8_t centre, uint8_t below);

}  // namespace vantrel
