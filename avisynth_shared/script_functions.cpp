#include "avisynth_shared/script_functions.h"

namespace vantrel {

const char kPluginDescription[] = "`Vantrel' Vantrel plugin";

const ScriptFunction kDeinterlaceFunction = {"VantrelDeinterlace",
                                             "c[a]i[a]i[a]i[a]i[a]i[a]b[a]b"};
const ScriptFunction kAddRegionFunction = {"VTDeinterlace_AddRegion", "i[a]i[a]i[a]i"};
const ScriptFunction kSubRegionFunction = {"VTDeinterlace_SubRegion", "i[a]i[a]i[a]i"};

bool PassesProcessorGate(const CpuFeatures& cpu) {
#if defined(__aarch64__)
  // NEON, the architecture's own baseline, stands in for MMX and SSE.
  return cpu.neon;
#else
  return cpu.mmx && cpu.sse;
#endif
}

const char kNotAClipMessage[] = "VantrelDeinterlace: the first argument must be a clip";
const char kNoFilterMemoryMessage[] = "VantrelDeinterlace: not enough memory to create the filter";

std::string NoFrameMemoryMessage(int n) {
  return "VantrelDeinterlace: not enough memory to process frame " + std::to_string(n);
}

std::string FrameFailedMessage(int n, FrameResult result) {
  if (result == FrameResult::kNoMemory) return NoFrameMemoryMessage(n);
  return "VantrelDeinterlace: frame " + std::to_string(n) + ": " + FrameFailure(result);
}

std::string MissingCornerMessage(const char* function) {
  return std::string(function) + ": needs four numbers x1, y1, x2, y2";
}

}  // namespace vantrel
