// What the processor offers: the SIMD targets the kernels are built for, and
// the basics the plugin asks for before it processes a frame. The one place
// that runs cpuid.
#pragma once

#include <cstdint>

namespace vantrel {

// One bit per SIMD target; a higher bit is a better target.
enum SimdTarget : uint32_t {
  kTargetSsse3 = 1u << 0,
  kTargetSse4 = 1u << 1,
  kTargetAvx2 = 1u << 2,
  kTargetAvx3 = 1u << 3,  // AVX-512 F, VL, DQ, BW
  kTargetNeon = 1u << 4,
};
constexpr int kTargetCount = 5;
constexpr uint32_t kAllTargets = (1u << kTargetCount) - 1;

// "ssse3", "sse4", "avx2", "avx3", "neon" for one target bit; "scalar" for 0.
const char* TargetName(uint32_t target);

// The best single target in `targets` (0 when it is empty).
uint32_t BestTarget(uint32_t targets);

// What this processor and its OS support: every SIMD target (whether or not
// this build has code for it), and the basics the plugin asks for before it
// processes a frame (MMX and SSE on x86, NEON on 64-bit ARM).
struct CpuFeatures {
  uint32_t targets = 0;
  bool mmx = false;
  bool sse = false;
  bool neon = false;
};
CpuFeatures DetectCpuFeatures();

}  // namespace vantrel
