// The script functions that add rectangles to the process-wide region list
// (avisynth_shared/regions.h).
#pragma once

#include "sdk/avisynth.h"

namespace vantrel {

AVSValue ApplyAddRegion(AVSValue args, void* user_data, IScriptEnvironment* env);
AVSValue ApplySubRegion(AVSValue args, void* user_data, IScriptEnvironment* env);

}  // namespace vantrel
