// Rectangles of the luma plane that take back the source picture (sub) or
// the processed picture (add), applied in the order the script added them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/avisynth.h"

namespace vantrel {

struct Region {
  int32_t x1;
  int32_t y1;
  int32_t x2;  // exclusive
  int32_t y2;  // exclusive
  uint8_t kind;
};

constexpr uint8_t kSubRegion = 0;
constexpr uint8_t kAddRegion = 1;

struct RegionList {
  static constexpr int32_t kCapacity = 100;
  int32_t count = 0;
  Region regions[kCapacity];
};

// The one list of the process: written while scripts are evaluated, read by
// every filter for every frame.
RegionList& ProcessRegionList();

// Appends when there is room; a full list ignores the call.
void AppendRegion(RegionList& list, uint8_t kind, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// Copies the rectangle from src to dst when it lies inside the plane (and is
// neither empty in height nor inverted); anything else is skipped.
void CopyLumaRect(uint8_t* dst, ptrdiff_t dst_pitch, const uint8_t* src, int row_size, int height,
                  const Region& region);

// Keeps the processed luma in processed_luma, then lets each region restore
// its rectangle from the source or from the processed picture.
void ApplyRegions(const RegionList& list, uint8_t* out, ptrdiff_t out_pitch, int row_size,
                  int height, const uint8_t* source_luma, uint8_t* processed_luma);

AVSValue ApplyAddRegion(AVSValue args, void* user_data, IScriptEnvironment* env);
AVSValue ApplySubRegion(AVSValue args, void* user_data, IScriptEnvironment* env);

}  // namespace vantrel
