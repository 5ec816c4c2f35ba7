#include "plugin/filter.h"

#include <cstdlib>

#include "avisynth_shared/script_functions.h"
#include "plugin/host_frames.h"
#include "plugin/regions.h"

namespace vantrel {

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
    : GenericVideoFilter(source), core_(requested), processes_(PassesProcessorGate(cpu)) {}

static bool SameShape(const FrameView& a, const FrameView& b) {
  for (int i = 0; i < a.plane_count(); ++i) {
    if (a.planes[i].width != b.planes[i].width || a.planes[i].height != b.planes[i].height ||
        !a.planes[i].data || !b.planes[i].data) {
      return false;
    }
  }
  return true;
}

PVideoFrame DeinterlaceFilter::GetFrame(int n, IScriptEnvironment* env) {
  PVideoFrame src = child->GetFrame(n, env);
  // VantrelDeinterlace refuses other clips; a filter built around that check
  // passes their frames on rather than guess at their layout.
  const std::optional<PixelFormat> format = FormatOf(vi.pixel_type);
  if (!format) return src;
  PVideoFrame dst = env->NewVideoFrame(vi, 16);
  if (!processes_) return dst;

  const FrameView in = ReadView(src, *format, vi.pixel_type);
  const FrameView out = WriteView(dst, *format, vi.pixel_type);
  // A child whose frames do not match the clip's format cannot be read safely.
  if (!SameShape(in, out)) return src;
  const FrameResult result = core_.Process(in, out, ProcessRegionList());
  if (result != FrameResult::kDone) {
    // The new frame holds no picture: better the host's error than a frame
    // that only looks processed.
    env->ThrowError("%s", FrameFailedMessage(n, result).c_str());
  }
  return dst;
}

}  // namespace vantrel
