#include "plugin/regions.h"

#include "avisynth_shared/script_functions.h"

namespace vantrel {

RegionList& ProcessRegionList() {
  static RegionList list;
  return list;
}

// A call that leaves out a corner describes no rectangle: the script is told
// rather than left with a region that silently does nothing.
static AVSValue AppendFromArgs(const AVSValue& args, uint8_t kind, const char* function,
                               IScriptEnvironment* env) {
  if (!args[1].Defined() || !args[2].Defined() || !args[3].Defined()) {
    env->ThrowError("%s", MissingCornerMessage(function).c_str());
  }
  AppendRegion(ProcessRegionList(), kind, args[0].AsInt(0), args[1].AsInt(0), args[2].AsInt(0),
               args[3].AsInt(0));
  return AVSValue(true);
}

AVSValue ApplyAddRegion(AVSValue args, void*, IScriptEnvironment* env) {
  return AppendFromArgs(args, kAddRegion, kAddRegionFunction.name, env);
}

AVSValue ApplySubRegion(AVSValue args, void*, IScriptEnvironment* env) {
  return AppendFromArgs(args, kSubRegion, kSubRegionFunction.name, env);
}

}  // namespace vantrel
