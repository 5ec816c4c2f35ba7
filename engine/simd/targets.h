// The SIMD bodies' entry points, one per stem and target: each fills its
// stem's slots of a kernel table with that target's kernels. A null entry is
// a target this build has no code for.
#pragma once

#include "engine/cpu.h"

namespace vantrel {

struct EngineDsp;
using FillKernelsFn = void (*)(EngineDsp* dsp);

// Indexed by the bit number of a SimdTarget.
extern const FillKernelsFn kInterpolateTargets[kTargetCount];
extern const FillKernelsFn kCombTargets[kTargetCount];
extern const FillKernelsFn kMatchTargets[kTargetCount];

}  // namespace vantrel

// Inside a Highway body, after the targets are compiled: the entries of `fn`
// in SimdTarget order (Highway leaves out the targets it did not compile).
#define VANTREL_TARGET_ENTRIES(fn)                                                    \
  {                                                                                   \
    HWY_CHOOSE_SSSE3(fn), HWY_CHOOSE_SSE4(fn), HWY_CHOOSE_AVX2(fn), HWY_CHOOSE_AVX3(fn), \
        HWY_CHOOSE_NEON(fn)                                                           \
  }
