// VantrelDeinterlace through the C interface: the apply function that makes
// the host's filter, and that filter's frame flow over the filter core.
#pragma once

#include "sdk/avisynth_c.h"

namespace vantrel::avs_c {

// user_data is the face's HostLink.
AVS_Value ApplyDeinterlace(AVS_ScriptEnvironment* env, AVS_Value args, void* user_data) noexcept;

}  // namespace vantrel::avs_c
