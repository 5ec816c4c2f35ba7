#include "engine/x86/dsp_x86.h"

namespace vantrel {

// Climbs the ladder from the scalar table; stops at the first missing level.
void InitEngineDspX86(EngineDsp* dsp, uint32_t cpu_flags) {
  if (!(cpu_flags & kCpuSse2)) return;
  dsp->interpolate_luma = InterpolateLuma_sse2;
  dsp->interpolate_chroma = InterpolateChroma_sse2;
  dsp->decimate_plane = DecimatePlane_sse2;
  dsp->block_cost_coarse = BlockCostCoarse_sse2;
  dsp->block_cost = BlockCost_sse2;
  dsp->scan_coarse_window = ScanCoarseWindow_sse2;
  dsp->scan_fine_window = ScanFineWindow_sse2;
  dsp->detect_combing = DetectCombing_sse2;

  if (!(cpu_flags & kCpuAvx2)) return;
  dsp->interpolate_luma = InterpolateLuma_avx2;
  dsp->interpolate_chroma = InterpolateChroma_avx2;
  dsp->decimate_plane = DecimatePlane_avx2;
  dsp->block_cost_coarse = BlockCostCoarse_avx2;
  dsp->block_cost = BlockCost_avx2;
  dsp->scan_coarse_window = ScanCoarseWindow_avx2;
  dsp->scan_fine_window = ScanFineWindow_avx2;
  dsp->detect_combing = DetectCombing_avx2;
}

}  // namespace vantrel
