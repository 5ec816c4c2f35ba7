// The clip VantrelDeinterlace hands to the host: for every requested frame it
// runs the engine (or draws a notice) into a new frame, then applies the
// process-wide region list. GetFrame may run on several threads at once.
#pragma once

#include <cstdint>

#include "engine/cpu.h"
#include "engine/engine.h"
#include "plugin/frame_view.h"
#include "plugin/working_set.h"
#include "sdk/avisynth.h"

namespace vantrel {

// The processor gate: frames are processed only where this holds (MMX and SSE
// on x86, NEON on ARM).
bool ProcessorSupported(const CpuFeatures& cpu);

// The script's arguments as given, unchecked: the engine's parameter block
// before the per-frame clamping.
using RequestedParams = EngineParams;

// Replaces every out-of-range argument with its default for this frame size.
EngineParams BuildEngineParams(const RequestedParams& requested, int row_size, int height);

class DeinterlaceFilter : public GenericVideoFilter {
 public:
  DeinterlaceFilter(PClip source, int mode, int search_range, int comb_threshold,
                    int match_threshold, int pixel_threshold, bool use_comb_mask,
                    bool use_output_reference, IScriptEnvironment* env);
  // Lets tests stand in another processor.
  DeinterlaceFilter(PClip source, const RequestedParams& requested, CpuFeatures cpu);

  int GetVersion() override { return AVISYNTH_INTERFACE_VERSION; }
  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override;
  bool GetParity(int n) override { return child->GetParity(n); }
  void GetAudio(void* buf, int64_t start, int64_t count, IScriptEnvironment* env) override {
    child->GetAudio(buf, start, count, env);
  }
  void SetCacheHints(int, int) override {}
  const VideoInfo& GetVideoInfo() override { return vi; }
  ~DeinterlaceFilter() override = default;

  const RequestedParams& GetRequestedParams() const { return requested_params; }
  // Lets tests count the buffer allocations or make them fail on demand.
  void SetAllocator(AllocateFn allocate) { working_sets_.SetAllocator(allocate); }

 private:
  void ProcessPlanarFrame(const FrameView& in, const FrameView& out);
  // False when a buffer could not be had; the output is then untouched.
  bool RunEngine(WorkingSet& set, const FrameView& in, const FrameView& out) const;

  WorkingSetPool working_sets_;
  bool processor_supported_;
  RequestedParams requested_params;
};

}  // namespace vantrel
