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

// Every target whose instructions the processor and the OS support (whether
// or not this build has code for it).
uint32_t DetectCpuTargets();

// "ssse3", "sse4", "avx2", "avx3", "neon" for one target bit; "scalar" for 0.
const char* TargetName(uint32_t target);

// The best single target in `targets` (0 when it is empty).
uint32_t BestTarget(uint32_t targets);

// The processor gate of the plugin: MMX and SSE on x86 (after making sure
// cpuid exists), NEON on 64-bit ARM.
struct CpuBasics {
  bool mmx = false;
  bool sse = false;
  bool neon = false;
};
CpuBasics DetectCpuBasics();

}  // namespace vantrel
