// Scalar mirrors of the packed-integer lane rules the kernels are defined by.
// The reference kernels are written with these so they read like the lane
// arithmetic, and the SIMD twins can be checked against them step by step.
#pragma once

#include <cstdint>

namespace vantrel {

// Unsigned 16-bit subtraction that stops at 0 (psubusw).
inline uint16_t SubSatU16(uint16_t a, uint16_t b) { return a > b ? uint16_t(a - b) : uint16_t(0); }

// The same on 32-bit lanes (max(a, b) - b where no such instruction exists).
inline uint32_t SubSatU32(uint32_t a, uint32_t b) { return a > b ? a - b : 0u; }

// Clamp to the signed 16-bit range (paddsw and friends).
inline int16_t SatS16(int32_t v) {
  return int16_t(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
}

// Keep the low 16 bits and read them as signed (pmullw).
inline int16_t Wrap16(int32_t v) { return int16_t(uint16_t(uint32_t(v))); }

// Pack a 16-bit lane to a byte with unsigned saturation (packuswb).
inline uint8_t PackUSat8(int32_t v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// A byte read as signed and widened to 16 bits (pmovsxbw): 0xFF -> 0xFFFF.
inline uint16_t SignExtend8(uint8_t v) { return uint16_t(int16_t(int8_t(v))); }

// Arithmetic shift right of a signed 16-bit lane (psraw).
inline int16_t SraS16(int16_t v, int n) { return int16_t(v >> n); }

}  // namespace vantrel
