// The region list both AviSynth faces share, one for the whole process, and
// the step that adds to it from a script's call.
#pragma once

#include <cstdint>

#include "core/regions.h"

namespace vantrel {

// Written while scripts are evaluated, read by every filter for every frame.
RegionList& ProcessRegionList();

// The region step of VTDeinterlace_AddRegion and VTDeinterlace_SubRegion:
// given(i) tells whether argument i was given, int_at(i) gives it. False,
// and nothing added, when a corner is left out: a call without one describes
// no rectangle, and the face tells the script (MissingCornerMessage) rather
// than leave it with a region that silently does nothing.
template <typename Given, typename IntAt>
bool AppendRegionFromArgs(uint8_t kind, Given given, IntAt int_at) {
  if (!given(1) || !given(2) || !given(3)) return false;
  AppendRegion(ProcessRegionList(), kind, int_at(0), int_at(1), int_at(2), int_at(3));
  return true;
}

}  // namespace vantrel
