// The clip VantrelDeinterlace hands to the host: the AviSynth frame flow
// (avisynth_shared/frame_flow.h) over the 2.5 interface's frames, its errors
// thrown through the host.
#pragma once

#include "avisynth_shared/frame_flow.h"
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

  const RequestedParams& GetRequestedParams() const { return flow_.requested(); }
  // Lets tests count the buffer allocations or make them fail on demand.
  void SetAllocator(AllocateFn allocate) { flow_.SetAllocator(allocate); }

 private:
  FrameFlow flow_;
};

}  // namespace vantrel
