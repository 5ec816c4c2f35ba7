#include "engine/dsp.h"

#include "engine/comb.h"
#include "engine/ref/comb.h"
#include "engine/ref/interpolate.h"
#include "engine/ref/match.h"
#include "hwy/highway.h"  // HWY_CHOOSE_*: which targets the bodies were compiled for

namespace vantrel {

// What each Highway body (engine/simd/) defines for every target it is
// compiled for; only those are referenced below.
#define VANTREL_DECLARE_TARGET(target_namespace)        \
  namespace target_namespace {                          \
  extern const InterpolateKernels kInterpolateKernels;  \
  extern const CombKernels kCombKernels;                \
  extern const MatchKernels kMatchKernels;              \
  }
VANTREL_DECLARE_TARGET(N_SSSE3)
VANTREL_DECLARE_TARGET(N_SSE4)
VANTREL_DECLARE_TARGET(N_AVX2)
VANTREL_DECLARE_TARGET(N_AVX3)
VANTREL_DECLARE_TARGET(N_NEON)
#undef VANTREL_DECLARE_TARGET

namespace {

struct TargetKernels {
  const InterpolateKernels* interpolate;
  const CombKernels* comb;
  const MatchKernels* match;
};

// Indexed by the bit number of a SimdTarget; null where nothing was compiled.
#define VANTREL_TARGET(choose) \
  TargetKernels { choose(kInterpolateKernels), choose(kCombKernels), choose(kMatchKernels) }
const TargetKernels kTargets[kTargetCount] = {
    VANTREL_TARGET(HWY_CHOOSE_SSSE3), VANTREL_TARGET(HWY_CHOOSE_SSE4),
    VANTREL_TARGET(HWY_CHOOSE_AVX2),  VANTREL_TARGET(HWY_CHOOSE_AVX3),
    VANTREL_TARGET(HWY_CHOOSE_NEON),
};
#undef VANTREL_TARGET

constexpr InterpolateKernels kScalarInterpolate = {
    AverageLine,   FourTapLine,   MaskedFourTapLine,   ChromaLine,
    AverageLine16, FourTapLine16, MaskedFourTapLine16, ChromaLine16, CutLine};
constexpr CombKernels kScalarComb = {ScanCombStrip, kCombGroupLanes};
constexpr MatchKernels kScalarMatch = {DecimateLine, BlockCostCoarse, BlockCost,
                                       ScanCoarseWindow, ScanFineWindow};

}  // namespace

uint32_t CompiledTargets() {
  uint32_t targets = 0;
  for (int t = 0; t < kTargetCount; ++t) {
    if (kTargets[t].interpolate && kTargets[t].comb && kTargets[t].match) targets |= 1u << t;
  }
  return targets;
}

void InitEngineDsp(EngineDsp* dsp, uint32_t targets) {
  *dsp = EngineDsp{0, kScalarInterpolate, kScalarComb, kScalarMatch};
  const uint32_t best = BestTarget(targets & CompiledTargets() & DetectCpuFeatures().targets);
  if (best == 0) return;
  const TargetKernels& kernels = kTargets[__builtin_ctz(best)];
  *dsp = EngineDsp{best, *kernels.interpolate, *kernels.comb, *kernels.match};
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
