// Field interpolation: the even lines (rebuilt field) are rebuilt from the odd
// lines (kept field). Kept lines are never changed. The frame drivers write
// every line of the planes they are given and read only inside their
// sources; a destination is either its source (the same data and pitch) or
// apart from it. Each driver runs on 8-bit samples or, with a `Deep` depth,
// on 16-bit samples of 9 to 16 bits whose decisions come from 8-bit planes
// (the comb mask, and for chroma the frame cut to 8 bits).
#pragma once

#include <cstdint>

#include "engine/planes.h"

namespace vantrel {

struct EngineDsp;

// Samples above 8 bits: their largest value, 2^bits - 1, and how far they
// are shifted to be cut to 8 bits, bits - 8.
struct Deep {
  uint16_t max;
  uint32_t shift;
};

// Mode 1: every even luma line of dst becomes the odd source line below it;
// odd lines are the source's. Widths here are in bytes.
void CopyFieldLines(Plane dst, ConstPlane src, uint32_t row_bytes, uint32_t height);
// Every line of a plane, copied (nothing when dst is src).
void CopyPlaneLines(Plane dst, ConstPlane src, uint32_t row_bytes, uint32_t height);

// Four-tap (-1, 5, 5, -1) rebuild of the even lines. Without rebuild_all,
// lines 4 .. height-4 take the filtered value only where `mask` (read on
// those rows only) is 0xFF; lines 0, 2 and height-2 are always rebuilt.
void InterpolateLuma(const EngineDsp& dsp, Plane dst, ConstPlane src, ConstPlane mask,
                     uint32_t width, uint32_t height, bool rebuild_all);
void InterpolateLuma(const EngineDsp& dsp, Deep deep, Plane dst, ConstPlane src, ConstPlane mask,
                     uint32_t width, uint32_t height, bool rebuild_all);

// Two-tap (1, 3) rebuild of both chroma planes' even lines; without
// rebuild_all only where the per-sample chroma comb test fires on the
// samples (deep ones cut to 8 bits).
void InterpolateChroma(const EngineDsp& dsp, Plane dst_c0, Plane dst_c1, ConstPlane src_c0,
                       ConstPlane src_c1, uint32_t chroma_width, uint32_t chroma_height,
                       bool rebuild_all);
void InterpolateChroma(const EngineDsp& dsp, Deep deep, Plane dst_c0, Plane dst_c1,
                       ConstPlane src_c0, ConstPlane src_c1, uint32_t chroma_width,
                       uint32_t chroma_height, bool rebuild_all);

// The 8-bit copy of a plane of deep samples the decisions are taken on:
// each sample shifted right by `shift` (bits - 8).
void CutPlane(const EngineDsp& dsp, Plane dst, ConstPlane src, uint32_t width, uint32_t height,
              uint32_t shift);

}  // namespace vantrel
