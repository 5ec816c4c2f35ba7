#include <new>

#include "plugin/filter.h"
#include "plugin/regions.h"
#include "sdk/avisynth.h"

namespace vantrel {

static const char kDescription[] = "`Vantrel' Vantrel plugin";

AVSValue ApplyDeinterlace(AVSValue args, void*, IScriptEnvironment* env) {
  const PClip child = args[0].AsClip();
  if (!child) env->ThrowError("VantrelDeinterlace: the first argument must be a clip");
  auto* filter = new (std::nothrow) DeinterlaceFilter(
      child, args[1].AsInt(4), args[2].AsInt(16), args[3].AsInt(48), args[4].AsInt(8192),
      args[5].AsInt(257), args[6].AsBool(false), args[7].AsBool(true), env);
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
