#include "avisynth_shared/frame_flow.h"

namespace vantrel {

FrameFlow::FrameFlow(int pixel_type, const RequestedParams& requested, const CpuFeatures& cpu,
                     AllocateFn allocate)
    : core_(requested, allocate),
      pixel_type_(pixel_type),
      format_(FormatOf(pixel_type)),
      processes_(PassesProcessorGate(cpu)) {}

bool SameShape(const FrameView& a, const FrameView& b) {
  for (int i = 0; i < a.plane_count(); ++i) {
    if (a.planes[i].width != b.planes[i].width || a.planes[i].height != b.planes[i].height ||
        !a.planes[i].data || !b.planes[i].data) {
      return false;
    }
  }
  return true;
}

}  // namespace vantrel
