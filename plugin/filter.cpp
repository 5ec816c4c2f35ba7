#include "plugin/filter.h"

#include <string>

#include "plugin/host_frames.h"

namespace vantrel {
namespace {

// The frame flow's trait for the 2.5 interface: the host's calls throw their
// own errors, so no frame reference is ever empty but one a child gave.
struct ClassicFace {
  using Frame = PVideoFrame;
  using Result = PVideoFrame;

  PVideoFrame Source(int n) { return child->GetFrame(n, env); }
  PVideoFrame NewFrame(int) { return env->NewVideoFrame(vi, 16); }
  FrameView ReadView(const PVideoFrame& f, PixelFormat format, int pixel_type) {
    return vantrel::ReadView(f, format, pixel_type);
  }
  FrameView WriteView(const PVideoFrame& f, PixelFormat format, int pixel_type) {
    return vantrel::WriteView(f, format, pixel_type);
  }
  PVideoFrame Deliver(const PVideoFrame& f) { return f; }
  PVideoFrame Raise(const std::string& message) {
    env->ThrowError("%s", message.c_str());
    return PVideoFrame();  // not reached: the host's ThrowError throws
  }

  const PClip& child;
  const VideoInfo& vi;
  IScriptEnvironment* env;
};

}  // namespace

DeinterlaceFilter::DeinterlaceFilter(PClip source, int mode, int search_range,
                                     int comb_threshold, int match_threshold,
                                     int pixel_threshold, bool use_comb_mask,
                                     bool use_output_reference, IScriptEnvironment*)
    : DeinterlaceFilter(source,
                        RequestedParams{mode, search_range, comb_threshold, match_threshold,
                                        pixel_threshold, use_comb_mask, use_output_reference},
                        DetectCpuFeatures()) {}

DeinterlaceFilter::DeinterlaceFilter(PClip source, const RequestedParams& requested,
                                     const CpuFeatures& cpu)
    : GenericVideoFilter(source), flow_(vi.pixel_type, requested, cpu) {}

PVideoFrame DeinterlaceFilter::GetFrame(int n, IScriptEnvironment* env) {
  ClassicFace face{child, vi, env};
  return flow_.Serve(face, n);
}

}  // namespace vantrel
