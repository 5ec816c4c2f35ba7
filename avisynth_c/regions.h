// The two script functions that add rectangles to the process-wide region
// list (avisynth_shared/regions.h), through the C interface.
#pragma once

#include "sdk/avisynth_c.h"

namespace vantrel::avs_c {

// user_data is the face's HostLink.
AVS_Value ApplyAddRegion(AVS_ScriptEnvironment* env, AVS_Value args, void* user_data) noexcept;
AVS_Value ApplySubRegion(AVS_ScriptEnvironment* env, AVS_Value args, void* user_data) noexcept;

}  // namespace vantrel::avs_c
