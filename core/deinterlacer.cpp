#include "core/deinterlacer.h"

#include "core/frame_map.h"
#include "core/notice.h"

namespace vantrel {

Deinterlacer::Deinterlacer(const RequestedParams& requested, AllocateFn allocate)
    : sets_(allocate), requested_(requested) {}

FrameResult Deinterlacer::Process(PixelFormat format, const FrameView& in, const FrameView& out,
                                  const RegionList& regions, const FrameView* map) {
  NoticeVariant variant = NoticeVariant::kPlanar;
  switch (format) {
    case PixelFormat::kYuv420: return Process420(in, out, regions, map);
    case PixelFormat::kRgb24: variant = NoticeVariant::kRgb24; break;
    case PixelFormat::kRgb32: variant = NoticeVariant::kRgb32; break;
    case PixelFormat::kYuy2: variant = NoticeVariant::kYuy2; break;
  }
  return DrawNotice(variant, in, out) ? FrameResult::kDone : FrameResult::kNoMemory;
}

FrameResult Deinterlacer::Process420(const FrameView& in, const FrameView& out,
                                     const RegionList& regions, const FrameView* map) {
  const WorkingSetPool::Lease set = sets_.Take();
  if (!set) return FrameResult::kNoMemory;
  const PlaneView& luma = in.planes[0];
  FrameFacts facts;  // a notice frame: nothing deinterlaced
  if (!IsDeinterlacedSize(luma.row_size, luma.height)) {
    if (!DrawNotice(NoticeVariant::kPlanar, in, out)) return FrameResult::kNoMemory;
  } else {
    DeinterlaceEngine& engine = set->engine;
    const uint32_t width = uint32_t(luma.row_size), height = uint32_t(luma.height);
    if (!engine.SizedFor(width, height) && !engine.Init(width, height)) {
      return FrameResult::kNoMemory;
    }
    engine.Process(EnginePlanes(in), EnginePlanes(out),
                   BuildEngineParams(requested_, luma.row_size, luma.height));
    if (map) facts = engine.LastFrameFacts();
  }
  // The regions take the source from `in`, which nothing writes; only the
  // processed picture needs a copy, as the first region may overwrite it.
  if (regions.count > 0) {
    uint8_t* processed = set->processed_luma.Reserve(luma.bytes(), set->allocate);
    if (!processed) return FrameResult::kNoMemory;
    ApplyRegions(regions, out.planes[0], luma, processed);
  }
  if (map) DrawFrameMap(facts, luma, regions, *map);
  return FrameResult::kDone;
}

}  // namespace vantrel
