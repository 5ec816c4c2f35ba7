// Field interpolation: the even lines (rebuilt field) are rebuilt from the odd
// lines (kept field). Kept lines are never changed. The frame functions read
// and write only inside the planes they are given; dst may equal src.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

struct EngineDsp;

// Mode 1: every even luma line becomes a copy of the odd line below it.
void CopyFieldLines(uint8_t* plane, uint32_t width, uint32_t height);

// Four-tap (-1, 5, 5, -1) rebuild of the even lines. Without rebuild_all,
// lines 4 .. height-4 take the filtered value only where `mask` (read on
// those rows only) is 0xFF; lines 0, 2 and height-2 are always rebuilt.
// The first form runs the scalar kernels, the second the table's.
void InterpolateLuma(uint8_t* dst, const uint8_t* src, const uint8_t* mask, uint32_t width,
                     uint32_t height, int rebuild_all);
void InterpolateLuma(const EngineDsp& dsp, uint8_t* dst, const uint8_t* src,
                     const uint8_t* mask, uint32_t width, uint32_t height, int rebuild_all);

// Two-tap (1, 3) rebuild of both chroma planes' even lines; without
// rebuild_all only where the per-sample chroma comb test fires.
void InterpolateChroma(uint8_t* dst_c0, uint8_t* dst_c1, const uint8_t* src_c0,
                       const uint8_t* src_c1, uint32_t chroma_width, uint32_t chroma_height,
                       int rebuild_all);
void InterpolateChroma(const EngineDsp& dsp, uint8_t* dst_c0, uint8_t* dst_c1,
                       const uint8_t* src_c0, const uint8_t* src_c1, uint32_t chroma_width,
                       uint32_t chroma_height, int rebuild_all);

// The line kernels (scalar versions; the table holds the best ones). Each
// writes `width` bytes at dst and reads the same columns of the lines named;
// dst may be the line `src` points at.

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
