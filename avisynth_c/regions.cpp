#include "avisynth_c/regions.h"

#include "avisynth_c/arguments.h"
#include "avisynth_c/face.h"
#include "avisynth_shared/regions.h"
#include "avisynth_shared/script_functions.h"

namespace vantrel::avs_c {
namespace {

AVS_Value AppendFromArgs(const AVS_Value& args, uint8_t kind, const char* function,
                         AVS_ScriptEnvironment* env, void* user_data) noexcept {
  const AvsCApi& api = static_cast<const HostLink*>(user_data)->api;
  if (AppendRegionFromArgs(
          kind, [&](int i) { return Given(args, i); },
          [&](int i) { return IntArg(args, i, 0); })) {
    return avs_new_value_bool(true);
  }
  try {
    return Refusal(api, env, MissingCornerMessage(function).c_str(), function);
  } catch (...) {
    return avs_new_value_error(function);
  }
}

}  // namespace

AVS_Value ApplyAddRegion(AVS_ScriptEnvironment* env, AVS_Value args, void* user_data) noexcept {
  return AppendFromArgs(args, kAddRegion, kAddRegionFunction.name, env, user_data);
}

AVS_Value ApplySubRegion(AVS_ScriptEnvironment* env, AVS_Value args, void* user_data) noexcept {
  return AppendFromArgs(args, kSubRegion, kSubRegionFunction.name, env, user_data);
}

}  // namespace vantrel::avs_c
