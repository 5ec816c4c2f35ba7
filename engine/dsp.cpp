#include "engine/dsp.h"

#include "engine/comb.h"
#include "engine/interpolate.h"
#include "engine/simd/targets.h"

namespace vantrel {

uint32_t CompiledTargets() {
  uint32_t targets = 0;
  for (int t = 0; t < kTargetCount; ++t) {
    if (kInterpolateTargets[t] && kCombTargets[t] && kMatchTargets[t]) targets |= 1u << t;
  }
  return targets;
}

void InitEngineDsp(EngineDsp* dsp, uint32_t targets) {
  *dsp = EngineDsp{};
  dsp->average_line = AverageLine;
  dsp->four_tap_line = FourTapLine;
  dsp->masked_four_tap_line = MaskedFourTapLine;
  dsp->chroma_line = ChromaLine;
  dsp->decimate_line = DecimateLine;
  dsp->comb_strip = ScanCombStrip;
  dsp->comb_strip_lanes = kCombGroupLanes;
  dsp->block_cost_coarse = BlockCostCoarse;
  dsp->block_cost = BlockCost;
  dsp->scan_coarse_window = ScanCoarseWindow;
  dsp->scan_fine_window = ScanFineWindow;

  const uint32_t best = BestTarget(targets & CompiledTargets() & DetectCpuTargets());
  if (best == 0) return;
  const int index = __builtin_ctz(best);
  kInterpolateTargets[index](dsp);
  kCombTargets[index](dsp);
  kMatchTargets[index](dsp);
  dsp->target = best;
}

const EngineDsp& ScalarEngineDsp() {
  static const EngineDsp table = [] {
    EngineDsp dsp;
    InitEngineDsp(&dsp, 0);
    return dsp;
  }();
  return table;
}

const EngineDsp& DefaultEngineDsp() {
  static const EngineDsp table = [] {
    EngineDsp dsp;
    InitEngineDsp(&dsp, kAllTargets);
    return dsp;
  }();
  return table;
}

}  // namespace vantrel
