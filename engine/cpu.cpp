#include "engine/cpu.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace vantrel {

#if defined(__x86_64__) || defined(__i386__)
static uint64_t ReadXcr0() {
  uint32_t eax, edx;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (uint64_t(edx) << 32) | eax;
}

uint32_t DetectCpuFlags() {
  unsigned eax, ebx, ecx, edx;
  uint32_t flags = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 0;
  if (edx & bit_SSE2) flags |= kCpuSse2;
  const bool osxsave = (ecx & bit_OSXSAVE) != 0;
  const bool avx = (ecx & bit_AVX) != 0;
  // AVX2 registers are usable only when the OS saves the XMM and YMM state.
  if (osxsave && avx && (ReadXcr0() & 0x6) == 0x6 &&
      __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & bit_AVX2)) {
    flags |= kCpuAvx2;
  }
  return flags;
}
#else
uint32_t DetectCpuFlags() { return 0; }
#endif

const char* CpuLevelName(uint32_t flags) {
  if ((flags & kCpuLevelAvx2) == kCpuLevelAvx2) return "avx2";
  if (flags & kCpuSse2) return "sse2";
  return "scalar";
}

}  // namespace vantrel
