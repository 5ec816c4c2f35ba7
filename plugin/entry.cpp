#include <new>
#include <string>

#include "avisynth_shared/pixel_types.h"
#include "avisynth_shared/script_functions.h"
#include "plugin/filter.h"
#include "plugin/host_frames.h"
#include "plugin/regions.h"
#include "plugin/release_probe.h"
#include "sdk/avisynth.h"

namespace vantrel {

AVSValue ApplyDeinterlace(AVSValue args, void*, IScriptEnvironment* env) {
  if (IsReleaseProbe(args[0])) return ReleaseProbeAnswer();
  const PClip child = args[0].AsClip();
  if (!child) env->ThrowError("%s", kNotAClipMessage);
  const int pixel_type = child->GetVideoInfo().pixel_type;
  if (!FormatOf(pixel_type)) {
    env->ThrowError("%s", UnsupportedPixelTypeMessage(pixel_type).c_str());
  }
  const RequestedParams requested =
      ScriptArguments([&](int i, int32_t fallback) { return args[i].AsInt(fallback); },
                      [&](int i, bool fallback) { return args[i].AsBool(fallback); });
  const bool host_takes_one_more =
      HostReleasesClipArgumentOnceMore(env, kDeinterlaceFunction.name);
  auto* filter = new (std::nothrow) DeinterlaceFilter(child, requested, DetectCpuFeatures());
  if (!filter) env->ThrowError("%s", kNoFilterMemoryMessage);
  // Last: the host takes nothing back from a call that fails.
  if (host_takes_one_more) HoldForHostRelease(child);
  return AVSValue(static_cast<IClip*>(filter));
}

}  // namespace vantrel

extern "C" const char* AvisynthPluginInit2(IScriptEnvironment* env) {
  using namespace vantrel;
  env->AddFunction(kDeinterlaceFunction.name, kDeinterlaceFunction.params, ApplyDeinterlace,
                   nullptr);
  env->AddFunction(kAddRegionFunction.name, kAddRegionFunction.params, ApplyAddRegion, nullptr);
  env->AddFunction(kSubRegionFunction.name, kSubRegionFunction.params, ApplySubRegion, nullptr);
  return kPluginDescription;
}
