#include "engine/x86/dsp_x86.h"

namespace vantrel {

// Climbs the ladder from the scalar table; stops at the first missing level.
void InitEngineDspX86(EngineDsp* dsp, uint32_t cpu_flags) {
  if (!(cpu_flags & kCpuSse2)) return;
  (void)dsp;

  if (!(cpu_flags & kCpuAvx2)) return;
}

}  // namespace vantrel
