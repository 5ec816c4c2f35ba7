#include "engine/dsp.h"

#include "engine/comb.h"
#include "engine/interpolate.h"
#include "engine/match.h"
#include "engine/repair.h"

namespace vantrel {

#if defined(__x86_64__) || defined(__i386__)
void InitEngineDspX86(EngineDsp* dsp, uint32_t cpu_flags);
#endif

void InitEngineDsp(EngineDsp* dsp, uint32_t cpu_flags) {
  dsp->copy_field_lines = CopyFieldLines;
  dsp->interpolate_luma = InterpolateLuma;
  dsp->interpolate_chroma = InterpolateChroma;
  dsp->detect_combing = DetectCombing;
  dsp->decimate_plane = DecimatePlane;
  dsp->block_cost_coarse = BlockCostCoarse;
  dsp->block_cost = BlockCost;
  dsp->scan_coarse_window = ScanCoarseWindow;
  dsp->scan_fine_window = ScanFineWindow;
#if defined(__x86_64__) || defined(__i386__)
  InitEngineDspX86(dsp, cpu_flags);
#else
  (void)cpu_flags;
#endif
}

const EngineDsp& DefaultEngineDsp() {
  static const EngineDsp table = [] {
    EngineDsp dsp;
    InitEngineDsp(&dsp, DetectCpuFlags());
    return dsp;
  }();
  return table;
}

}  // namespace vantrel
