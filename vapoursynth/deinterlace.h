// vantrel.Deinterlace: the plugin's filter as a VapourSynth filter. Frames
// are padded and placed for the kept field exactly as the tool places them,
// so the same options give the same bytes.
#pragma once

#include "sdk/vapoursynth4.h"

namespace vantrel::vs {

// The argument string registered for Deinterlace.
extern const char kDeinterlaceArgs[];

// The function VapourSynth calls for core.vantrel.Deinterlace(...).
void CreateDeinterlace(const VSMap* in, VSMap* out, void* user_data, VSCore* core,
                       const VSAPI* vsapi);

}  // namespace vantrel::vs
