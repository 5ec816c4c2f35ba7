// The script functions that add rectangles to the region list, and that
// list: one for the whole process, read by every filter for every frame.
#pragma once

#include "core/regions.h"
#include "sdk/avisynth.h"

namespace vantrel {

// Written while scripts are evaluated, read by every filter for every frame.
RegionList& ProcessRegionList();

AVSValue ApplyAddRegion(AVSValue args, void* user_data, IScriptEnvironment* env);
AVSValue ApplySubRegion(AVSValue args, void* user_data, IScriptEnvironment* env);

}  // namespace vantrel
