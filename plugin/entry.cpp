#include <new>
#include <string>

#include "plugin/filter.h"
#include "plugin/host_frames.h"
#include "plugin/pixel_types.h"
#include "plugin/regions.h"
#include "plugin/release_probe.h"
#include "sdk/avisynth.h"

namespace vantrel {

static const char kDescription[] = "`Vantrel' Vantrel plugin";
static const char kDeinterlaceName[] = "VantrelDeinterlace";

AVSValue ApplyDeinterlace(AVSValue args, void*, IScriptEnvironment* env) {
  if (IsReleaseProbe(args[0])) return ReleaseProbeAnswer();
  const PClip child = args[0].AsClip();
  if (!child) env->ThrowError("VantrelDeinterlace: the first argument must be a clip");
  const int pixel_type = child->GetVideoInfo().pixel_type;
  if (!FormatOf(pixel_type)) {
    env->ThrowError("%s", UnsupportedPixelTypeMessage(pixel_type).c_str());
  }
  // The integers follow the clip in the table's order, then the two flags.
  RequestedParams requested;
  for (int i = 0; i < kParamCount; ++i) {
    int32_t& value = requested.*kParams[i].field;
    value = args[1 + i].AsInt(value);
  }
  requested.use_comb_mask = args[1 + kParamCount].AsBool(requested.use_comb_mask);
  requested.use_output_reference = args[2 + kParamCount].AsBool(requested.use_output_reference);
  const bool host_takes_one_more = HostReleasesClipArgumentOnceMore(env, kDeinterlaceName);
  auto* filter = new (std::nothrow) DeinterlaceFilter(child, requested, DetectCpuFeatures());
  if (!filter) env->ThrowError("VantrelDeinterlace: not enough memory to create the filter");
  // Last: the host takes nothing back from a call that fails.
  if (host_takes_one_more) HoldForHostRelease(child);
  return AVSValue(static_cast<IClip*>(filter));
}

}  // namespace vantrel

extern "C" const char* AvisynthPluginInit2(IScriptEnvironment* env) {
  env->AddFunction(vantrel::kDeinterlaceName, "c[a]i[a]i[a]i[a]i[a]i[a]b[a]b",
                   vantrel::ApplyDeinterlace, nullptr);
  env->AddFunction("VTDeinterlace_AddRegion", "i[a]i[a]i[a]i", vantrel::ApplyAddRegion, nullptr);
  env->AddFunction("VTDeinterlace_SubRegion", "i[a]i[a]i[a]i", vantrel::ApplySubRegion, nullptr);
  return vantrel::kDescription;
}
