// Field interpolation: the even lines (rebuilt field) are rebuilt from the odd
// lines (kept field). Kept lines are never changed. The frame drivers write
// every line of the planes they are given and read only inside their
// sources; a destination is either its source (the same data and pitch) or
// apart from it.
#pragma once

#include <cstdint>

#include "engine/planes.h"

namespace vantrel {

struct EngineDsp;

// Mode 1: every even luma line of dst becomes the odd source line below it;
// odd lines are the source's.
void CopyFieldLines(Plane dst, ConstPlane src, uint32_t width, uint32_t height);

// Four-tap (-1, 5, 5, -1) rebuild of the even lines. Without rebuild_all,
// lines 4 .. height-4 take the filtered value only where `mask` (read on
// those rows only) is 0xFF; lines 0, 2 and height-2 are always rebuilt.
void InterpolateLuma(const EngineDsp& dsp, Plane dst, ConstPlane src, ConstPlane mask,
                     uint32_t width, uint32_t height, bool rebuild_all);

// Two-tap (1, 3) rebuild of both chroma planes' even lines; without
// rebuild_all only where the per-sample chroma comb test fires.
void InterpolateChroma(const EngineDsp& dsp, Plane dst_c0, Plane dst_c1, ConstPlane src_c0,
                       ConstPlane src_c1, uint32_t chroma_width, uint32_t chroma_height,
                       bool rebuild_all);

// Every line of a plane, copied (nothing when dst is src).
void CopyPlaneLines(Plane dst, ConstPlane src, uint32_t width, uint32_t height);

}  // namespace vantrel
