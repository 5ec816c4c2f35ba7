#include "engine/cpu.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace vantrel {

#if defined(__x86_64__) || defined(__i386__)
namespace {

struct CpuidBits {
  uint32_t ecx1 = 0, edx1 = 0;  // leaf 1
  uint32_t ebx7 = 0;            // leaf 7, sub-leaf 0
};

bool HasAll(uint32_t reg, uint32_t bits) { return (reg & bits) == bits; }

// cpuid exists when the ID flag (bit 21) of EFLAGS can be set.
bool CpuidExists() {
  const unsigned long long id_flag = 0x200000;
#if defined(__x86_64__)
  const unsigned long long saved = __builtin_ia32_readeflags_u64();
  __builtin_ia32_writeeflags_u64(saved | id_flag);
  const bool settable = (__builtin_ia32_readeflags_u64() & id_flag) != 0;
  __builtin_ia32_writeeflags_u64(saved);
#else
  const unsigned saved = __builtin_ia32_readeflags_u32();
  __builtin_ia32_writeeflags_u32(saved | unsigned(id_flag));
  const bool settable = (__builtin_ia32_readeflags_u32() & id_flag) != 0;
  __builtin_ia32_writeeflags_u32(saved);
#endif
  return settable;
}

CpuidBits ReadCpuid() {
  CpuidBits bits;
  if (!CpuidExists()) return bits;
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return bits;
  bits.ecx1 = ecx;
  bits.edx1 = edx;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) bits.ebx7 = ebx;
  return bits;
}

uint64_t ReadXcr0() {
  uint32_t eax, edx;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (uint64_t(edx) << 32) | eax;
}

// Each target needs every feature its code is compiled with (Highway's
// target attributes), and wide registers need the OS to save their state.
uint32_t TargetsOf(const CpuidBits& c) {
  uint32_t targets = 0;
  if (!HasAll(c.edx1, bit_SSE2) || !HasAll(c.ecx1, bit_SSSE3)) return targets;
  targets |= kTargetSsse3;
  if (!HasAll(c.ecx1, bit_SSE4_1 | bit_SSE4_2 | bit_PCLMUL | bit_AES)) return targets;
  targets |= kTargetSse4;
  if (!HasAll(c.ecx1, bit_OSXSAVE | bit_AVX | bit_FMA | bit_F16C)) return targets;
  const uint64_t xcr0 = ReadXcr0();
  if ((xcr0 & 0x6) != 0x6 || !HasAll(c.ebx7, bit_AVX2 | bit_BMI | bit_BMI2)) return targets;
  targets |= kTargetAvx2;
  // Opmask and both halves of the 512-bit registers, besides XMM and YMM.
  if ((xcr0 & 0xE6) != 0xE6 ||
      !HasAll(c.ebx7, bit_AVX512F | bit_AVX512VL | bit_AVX512DQ | bit_AVX512BW)) {
    return targets;
  }
  return targets | kTargetAvx3;
}

}  // namespace

CpuFeatures DetectCpuFeatures() {
  const CpuidBits c = ReadCpuid();
  CpuFeatures features;
  features.targets = TargetsOf(c);
  features.mmx = HasAll(c.edx1, bit_MMX);
  features.sse = HasAll(c.edx1, bit_SSE);
  return features;
}

#elif defined(__aarch64__)

// Advanced SIMD is part of every 64-bit ARM processor.
CpuFeatures DetectCpuFeatures() {
  CpuFeatures features;
  features.targets = kTargetNeon;
  features.neon = true;
  return features;
}

#else

CpuFeatures DetectCpuFeatures() { return CpuFeatures{}; }

#endif

const char* TargetName(uint32_t target) {
  switch (target) {
    case kTargetSsse3: return "ssse3";
    case kTargetSse4: return "sse4";
    case kTargetAvx2: return "avx2";
    case kTargetAvx3: return "avx3";
    case kTargetNeon: return "neon";
    default: return target == 0 ? "scalar" : "?";
  }
}

uint32_t BestTarget(uint32_t targets) {
  return targets == 0 ? 0 : 1u << (31 - __builtin_clz(targets));
}

}  // namespace vantrel
