// The filter's arguments in one table: each one's name, default, the range in
// which the filter uses it as given, and what it uses instead outside that
// range (the default). The plugin's per-frame clamping, the tool's warnings
// and the VapourSynth argument errors all read this table.
#pragma once

#include <cstdint>

#include "engine/engine.h"

namespace vantrel {

// The script's arguments as given, unchecked: the engine's parameter block
// before the per-frame clamping.
using RequestedParams = EngineParams;

enum class Param { kMode, kSearchRange, kCombThreshold, kMatchThreshold, kPixelThreshold };
constexpr int kParamCount = 5;

struct ParamInfo {
  Param param;
  const char* name;  // as VapourSynth names the argument; the tool's --option with '-' for '_'
  int32_t EngineParams::*field;
  int32_t low;
  int32_t high;        // for the search range: the frame's smaller side
  bool read_by_a_mode; // false: accepted and carried, and always the default
};

// In the order of the script function's arguments.
extern const ParamInfo kParams[kParamCount];

const ParamInfo& InfoOf(Param param);
int32_t DefaultOf(Param param);

struct ParamRange {
  int32_t low;
  int32_t high;
  bool Holds(int32_t value) const { return value >= low && value <= high; }
};

// Where the filter uses the argument as given, for frames of width x height.
ParamRange RangeOf(Param param, int32_t width, int32_t height);

// Every argument outside its range replaced by its default, for one frame.
EngineParams BuildEngineParams(const RequestedParams& requested, int32_t width, int32_t height);

// The filter deinterlaces 4:2:0 frames whose sides are multiples of this;
// into any other frame it draws a notice.
constexpr int32_t kSizeMultiple = 16;
inline bool IsDeinterlacedSize(int32_t width, int32_t height) {
  return width % kSizeMultiple == 0 && height % kSizeMultiple == 0;
}
inline int32_t PadToMultiple(int32_t size) {
  return (size + kSizeMultiple - 1) / kSizeMultiple * kSizeMultiple;
}

}  // namespace vantrel
