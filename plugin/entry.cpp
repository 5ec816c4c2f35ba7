#include <new>
#include <string>

#include "plugin/filter.h"
#include "plugin/pixel_types.h"
#include "plugin/regions.h"
#include "sdk/avisynth.h"

namespace vantrel {

static const char kDescription[] = "`Vantrel' Vantrel plugin";

AVSValue ApplyDeinterlace(AVSValue args, void*, IScriptEnvironment* env) {
  const PClip child = args[0].AsClip();
  if (!child) env->ThrowError("VantrelDeinterlace: the first argument must be a clip");
  const int pixel_type = child->GetVideoInfo().pixel_type;
  if (!IsKnownPixelType(pixel_type)) {
    env->ThrowError("%s", UnsupportedPixelTypeMessage(pixel_type).c_str());
  }
  const EngineParams defaults;
  auto* filter = new (std::nothrow) DeinterlaceFilter(
      child, args[1].AsInt(defaults.mode), args[2].AsInt(defaults.search_range),
      args[3].AsInt(defaults.comb_threshold), args[4].AsInt(defaults.match_threshold),
      args[5].AsInt(defaults.pixel_threshold), args[6].AsBool(defaults.use_comb_mask),
      args[7].AsBool(defaults.use_output_reference), env);
  if (!filter) env->ThrowError("VantrelDeinterlace: not enough memory to create the filter");
  return AVSValue(static_cast<IClip*>(filter));
}

}  // namespace vantrel

extern "C" const char* AvisynthPluginInit2(IScriptEnvironment* env) {
  env->AddFunction("VantrelDeinterlace", "c[a]i[a]i[a]i[a]i[a]i[a]b[a]b",
                   vantrel::ApplyDeinterlace, nullptr);
  env->AddFunction("VTDeinterlace_AddRegion", "i[a]i[a]i[a]i", vantrel::ApplyAddRegion, nullptr);
  env->AddFunction("VTDeinterlace_SubRegion", "i[a]i[a]i[a]i", vantrel::ApplySubRegion, nullptr);
  return vantrel::kDescription;
}
