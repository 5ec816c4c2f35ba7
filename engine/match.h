// Block matching of the motion search: the decimated planes its coarse stage
// runs on. The costs and window scans are kernels of the table (dsp.h),
// driven by the motion search (motion.cpp).
#pragma once

#include <cstdint>

#include "engine/planes.h"

namespace vantrel {

struct EngineDsp;

// dst (width/2 x height/4) takes src sample (4r, 2c). Reads src lines 0, 4,
// .. height-4 only.
void DecimatePlane(const EngineDsp& dsp, Plane dst, ConstPlane src, uint32_t width,
                   uint32_t height);

}  // namespace vantrel
