#include "plugin/regions.h"

#include <cstring>

namespace vantrel {

RegionList& ProcessRegionList() {
  static RegionList list;
  return list;
}

void AppendRegion(RegionList& list, uint8_t kind, int32_t x1, int32_t y1, int32_t x2,
                  int32_t y2) {
  if (list.count >= RegionList::kCapacity) return;
  list.regions[list.count++] = {x1, y1, x2, y2, kind};
}

void CopyLumaRect(uint8_t* dst, ptrdiff_t dst_pitch, const uint8_t* src, int row_size, int height,
                  const Region& r) {
  // Negative starts are skipped too: the copy would begin outside the plane.
  if (r.x2 > row_size || r.y2 > height || r.x1 > r.x2 || r.y1 >= r.y2 || r.x1 < 0 || r.y1 < 0) {
    return;
  }
  const size_t width = size_t(r.x2 - r.x1);
  for (int32_t y = r.y1; y < r.y2; ++y) {
    std::memcpy(dst + y * dst_pitch + r.x1, src + size_t(y) * size_t(row_size) + size_t(r.x1),
                width);
  }
}

void ApplyRegions(const RegionList& list, uint8_t* out, ptrdiff_t out_pitch, int row_size,
                  int height, const uint8_t* source_luma, uint8_t* processed_luma) {
  for (int y = 0; y < height; ++y) {
    std::memcpy(processed_luma + size_t(y) * size_t(row_size), out + y * out_pitch,
                size_t(row_size));
  }
  for (int32_t i = 0; i < list.count; ++i) {
    const Region& r = list.regions[i];
    const uint8_t* from = r.kind != kSubRegion ? processed_luma : source_luma;
    CopyLumaRect(out, out_pitch, from, row_size, height, r);
  }
}

// A call that leaves out a corner describes no rectangle: the script is told
// rather than left with a region that silently does nothing.
static AVSValue AppendFromArgs(const AVSValue& args, uint8_t kind, const char* function,
                               IScriptEnvironment* env) {
  if (!args[1].Defined() || !args[2].Defined() || !args[3].Defined()) {
    env->ThrowError("%s: needs four numbers x1, y1, x2, y2", function);
  }
  AppendRegion(ProcessRegionList(), kind, args[0].AsInt(0), args[1].AsInt(0), args[2].AsInt(0),
               args[3].AsInt(0));
  return AVSValue(true);
}

AVSValue ApplyAddRegion(AVSValue args, void*, IScriptEnvironment* env) {
  return AppendFromArgs(args, kAddRegion, "VTDeinterlace_AddRegion", env);
}

AVSValue ApplySubRegion(AVSValue args, void*, IScriptEnvironment* env) {
  return AppendFromArgs(args, kSubRegion, "VTDeinterlace_SubRegion", env);
}

}  // namespace vantrel
