#include "avisynth_c/arguments.h"

#include <algorithm>

namespace vantrel::avs_c {
namespace {

AVS_Value Element(const AVS_Value& args, int index) {
  return index < avs_array_size(args) ? avs_array_elt(args, index) : avs_new_value_void();
}

}  // namespace

int32_t IntArg(const AVS_Value& args, int index, int32_t fallback) {
  const AVS_Value v = Element(args, index);
  if (!avs_is_int(v)) return fallback;
  return int32_t(std::clamp<int64_t>(avs_as_long(v), INT32_MIN, INT32_MAX));
}

bool BoolArg(const AVS_Value& args, int index, bool fallback) {
  const AVS_Value v = Element(args, index);
  return avs_is_bool(v) ? avs_as_bool(v) : fallback;
}

bool Given(const AVS_Value& args, int index) {
  return avs_defined(Element(args, index));
}

AVS_Value Refusal(const AvsCApi& api, AVS_ScriptEnvironment* env, const char* message,
                  const char* fallback) noexcept {
  const char* kept = api.avs_save_string(env, message, -1);
  return avs_new_value_error(kept ? kept : fallback);
}

}  // namespace vantrel::avs_c
