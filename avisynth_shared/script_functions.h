// What both AviSynth faces (the 2.5 C++ interface on Linux, the C interface
// on Windows) tell the host and the script, in one place: the description,
// the three script functions with their parameter strings, the processor
// gate and the refusals.
#pragma once

#include <string>

#include "core/deinterlacer.h"
#include "core/params.h"
#include "engine/cpu.h"

namespace vantrel {

struct ScriptFunction {
  const char* name;
  // Frozen: every optional parameter is named `a`, so scripts pass them by
  // position only; scripts written for the plugin rely on these strings.
  const char* params;
};

extern const char kPluginDescription[];

// In the order they are added. VantrelDeinterlace takes the clip, then the
// filter's integer arguments in the parameter table's order, then the two
// flags.
extern const ScriptFunction kDeinterlaceFunction;
extern const ScriptFunction kAddRegionFunction;
extern const ScriptFunction kSubRegionFunction;

// VantrelDeinterlace's arguments after the clip, as both faces read them:
// int_at(i, fallback) and bool_at(i, fallback) give argument i, or the
// fallback when it was left out.
template <typename IntAt, typename BoolAt>
RequestedParams ScriptArguments(IntAt int_at, BoolAt bool_at) {
  RequestedParams requested;
  for (int i = 0; i < kParamCount; ++i) {
    int32_t& value = requested.*kParams[i].field;
    value = int_at(1 + i, value);
  }
  requested.use_comb_mask = bool_at(1 + kParamCount, requested.use_comb_mask);
  requested.use_output_reference = bool_at(2 + kParamCount, requested.use_output_reference);
  return requested;
}

// Frames are processed only on a processor with MMX and SSE (NEON on ARM);
// on any other the host's new frames are returned unwritten.
// Frozen: the plugin has always returned unwritten frames on such a
// processor rather than an error, and scripts run on it get those.
bool PassesProcessorGate(const CpuFeatures& cpu);

extern const char kNotAClipMessage[];
extern const char kNoFilterMemoryMessage[];
std::string NoFrameMemoryMessage(int n);
// A frame the filter core did not deliver.
std::string FrameFailedMessage(int n, FrameResult result);
// A region call that leaves out a corner describes no rectangle.
std::string MissingCornerMessage(const char* function);

}  // namespace vantrel
