#include "plugin/regions.h"

#include "avisynth_shared/regions.h"
#include "avisynth_shared/script_functions.h"

namespace vantrel {

static AVSValue AppendFromArgs(const AVSValue& args, uint8_t kind, const char* function,
                               IScriptEnvironment* env) {
  if (!AppendRegionFromArgs(
          kind, [&](int i) { return args[i].Defined(); },
          [&](int i) { return args[i].AsInt(0); })) {
    env->ThrowError("%s", MissingCornerMessage(function).c_str());
  }
  return AVSValue(true);
}

AVSValue ApplyAddRegion(AVSValue args, void*, IScriptEnvironment* env) {
  return AppendFromArgs(args, kAddRegion, kAddRegionFunction.name, env);
}

AVSValue ApplySubRegion(AVSValue args, void*, IScriptEnvironment* env) {
  return AppendFromArgs(args, kSubRegion, kSubRegionFunction.name, env);
}

}  // namespace vantrel
