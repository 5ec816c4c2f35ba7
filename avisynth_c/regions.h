// The region list of the C-interface face, one for the whole process (the
// 2.5 face keeps its own), and the two script functions that add to it.
#pragma once

#include "core/regions.h"
#include "sdk/avisynth_c.h"

namespace vantrel::avs_c {

// Written while scripts are evaluated, read by every filter for every frame.
RegionList& ProcessRegionList();

// user_data is the face's HostLink.
AVS_Value ApplyAddRegion(AVS_ScriptEnvironment* env, AVS_Value args, void* user_data) noexcept;
AVS_Value ApplySubRegion(AVS_ScriptEnvironment* env, AVS_Value args, void* user_data) noexcept;

}  // namespace vantrel::avs_c
