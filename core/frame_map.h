// The picture the tool's --map shows of what the filter did to a frame: the
// source luma dimmed in grey, the samples of lines rebuilt by interpolation in
// one colour, the blocks repaired by the motion search in another, and a
// border round a frame the detector found combed throughout.
#pragma once

#include <cstdint>

#include "core/frame_view.h"
#include "core/regions.h"
#include "engine/engine.h"

namespace vantrel {

// Limited-range BT.601 values.
struct MapColour {
  uint8_t y, u, v;
};
inline constexpr MapColour kRebuiltColour{210, 16, 146};  // yellow
inline constexpr MapColour kRepairedColour{170, 166, 16}; // cyan
inline constexpr MapColour kCombedColour{81, 90, 240};    // red

// The grey a source sample becomes: dark enough for the colours to stand out.
inline uint8_t DimmedLuma(uint8_t v) { return uint8_t(16 + (v >> 2) + (v >> 3)); }

// Draws the map into `map`, a planar frame of the source's format and size
// whose planes are Y, U, V in that order (or Y alone), placed as the source
// was; a deeper map has the same colours at its scale. `facts` says what
// the engine did (those of mode 0, the default, mark nothing); the regions
// are those the frame took: where a rectangle restored the source luma,
// nothing is marked.
void DrawFrameMap(const FrameFacts& facts, const PlaneView& source_luma,
                  const RegionList& regions, const FrameView& map);

}  // namespace vantrel
