// The clip VantrelDeinterlace hands to the host: for every requested frame it
// asks the host for a new frame and lets the filter core fill it from the
// child's frame, with the process-wide region list. GetFrame may run on
// several threads at once.
#pragma once

#include "avisynth_shared/script_functions.h"
#include "core/deinterlacer.h"
#include "engine/cpu.h"
#include "sdk/avisynth.h"

namespace vantrel {

class DeinterlaceFilter : public GenericVideoFilter {
 public:
  DeinterlaceFilter(PClip source, int mode, int search_range, int comb_threshold,
                    int match_threshold, int pixel_threshold, bool use_comb_mask,
                    bool use_output_reference, IScriptEnvironment* env);
  // Lets tests stand in another processor.
  DeinterlaceFilter(PClip source, const RequestedParams& requested, const CpuFeatures& cpu);

  int GetVersion() override { return AVISYNTH_INTERFACE_VERSION; }
  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override;
  bool GetParity(int n) override { return child->GetParity(n); }
  void GetAudio(void* buf, int64_t start, int64_t count, IScriptEnvironment* env) override {
    child->GetAudio(buf, start, count, env);
  }
  void SetCacheHints(int, int) override {}
  const VideoInfo& GetVideoInfo() override { return vi; }
  ~DeinterlaceFilter() override = default;

  const RequestedParams& GetRequestedParams() const { return core_.requested(); }
  // Lets tests count the buffer allocations or make them fail on demand.
  void SetAllocator(AllocateFn allocate) { core_.SetAllocator(allocate); }

 private:
  Deinterlacer core_;
  const bool processes_;  // the processor gate, probed once
};

}  // namespace vantrel
