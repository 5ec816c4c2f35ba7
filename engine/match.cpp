#include "engine/match.h"

#include "engine/dsp.h"

namespace vantrel {

void DecimatePlane(const EngineDsp& dsp, Plane dst, ConstPlane src, uint32_t width,
                   uint32_t height) {
  for (uint32_t r = 0; r < height / 4; ++r) {
    dsp.match.decimate_line(dst.Line(r), src.Line(4 * ptrdiff_t(r)), width / 2);
  }
}

}  // namespace vantrel
