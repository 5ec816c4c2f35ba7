// What the processor (and the OS, for AVX2 state) lets the engine use.
#pragma once

#include <cstdint>

namespace vantrel {

enum CpuFlag : uint32_t {
  kCpuSse2 = 1u << 0,
  kCpuAvx2 = 1u << 1,
};

// Levels for capping the kernel table in tests and benchmarks.
constexpr uint32_t kCpuLevelScalar = 0;
constexpr uint32_t kCpuLevelSse2 = kCpuSse2;
constexpr uint32_t kCpuLevelAvx2 = kCpuSse2 | kCpuAvx2;

uint32_t DetectCpuFlags();

// Name of the highest level in `flags`: "scalar", "sse2" or "avx2".
const char* CpuLevelName(uint32_t flags);

}  // namespace vantrel
