#include "avisynth_c/face.h"

#include "avisynth_c/filter.h"
#include "avisynth_c/regions.h"
#include "avisynth_shared/script_functions.h"

namespace vantrel::avs_c {

bool AddScriptFunctions(const HostLink* link, AVS_ScriptEnvironment* env) noexcept {
  struct Entry {
    const ScriptFunction& function;
    AVS_ApplyFunc apply;
  };
  const Entry entries[] = {{kDeinterlaceFunction, ApplyDeinterlace},
                           {kAddRegionFunction, ApplyAddRegion},
                           {kSubRegionFunction, ApplySubRegion}};
  // The host only hands user_data back; the face never writes through it.
  void* user_data = const_cast<HostLink*>(link);
  for (const Entry& e : entries) {
    if (link->api.avs_add_function(env, e.function.name, e.function.params, e.apply, user_data) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace vantrel::avs_c
