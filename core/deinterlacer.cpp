#include "core/deinterlacer.h"

#include "core/frame_map.h"
#include "core/notice.h"

namespace vantrel {

const char* FrameFailure(FrameResult result) {
  switch (result) {
    case FrameResult::kDone: break;
    case FrameResult::kNoMemory: return "not enough memory to deinterlace it";
    case FrameResult::kRefused: return "the filter could not process its planes";
  }
  return "";
}

Deinterlacer::Deinterlacer(const RequestedParams& requested, AllocateFn allocate)
    : sets_(allocate), requested_(requested) {}

FrameResult Deinterlacer::Process(const FrameView& in, const FrameView& out,
                                  const RegionList& regions, const FrameView* map) {
  if (!in.format.Planar()) {
    return DrawNotice(in, out) ? FrameResult::kDone : FrameResult::kNoMemory;
  }
  const WorkingSetPool::Lease set = sets_.Take();
  if (!set) return FrameResult::kNoMemory;
  return ProcessPlanar(*set, in, out, regions, map);
}

FrameResult Deinterlacer::ProcessPlanar(WorkingSet& set, const FrameView& in,
                                        const FrameView& out, const RegionList& regions,
                                        const FrameView* map) {
  const PlaneView& luma = in.planes[0];
  FrameFacts facts;  // a notice frame: nothing deinterlaced
  if (!IsDeinterlacedSize(luma.width, luma.height)) {
    if (!DrawNotice(in, out)) return FrameResult::kNoMemory;
  } else {
    DeinterlaceEngine& engine = set.engine;
    const uint32_t width = uint32_t(luma.width), height = uint32_t(luma.height);
    const ChromaSize chroma = EngineChroma(in);
    const int bits = in.format.bits;
    if (!engine.SizedFor(width, height, chroma, bits) &&
        !engine.Init(width, height, chroma, bits)) {
      return EngineAccepts(width, height, chroma, bits) ? FrameResult::kNoMemory
                                                        : FrameResult::kRefused;
    }
    if (!engine.Process(EnginePlanes(in), EnginePlanes(out),
                        BuildEngineParams(requested_, luma.width, luma.height))) {
      return FrameResult::kRefused;
    }
    if (map) facts = engine.LastFrameFacts();
  }
  // The regions take the source from `in`, which nothing writes; only the
  // processed picture needs a copy, as the first region may overwrite it.
  if (regions.Count() > 0) {
    uint8_t* processed = set.processed_luma.Reserve(luma.bytes(), set.allocate);
    if (!processed) return FrameResult::kNoMemory;
    ApplyRegions(regions, out.planes[0], luma, processed);
  }
  if (map) DrawFrameMap(facts, luma, regions, *map);
  return FrameResult::kDone;
}

FrameResult Deinterlacer::ProcessPicture(const FrameView& in, const FrameView& out, Field keep,
                                         const RegionList& regions) {
  const int32_t width = in.width(), height = in.height();
  if (!in.format.Planar() || IsDeinterlacedSize(width, height)) {
    return Process(Placed(in, keep), Placed(out, keep), regions);
  }
  const WorkingSetPool::Lease set = sets_.Take();
  if (!set) return FrameResult::kNoMemory;
  const int32_t padded_width = PadToMultiple(width), padded_height = PadToMultiple(height);
  const size_t bytes = BlockBytes(in.format, padded_width, padded_height);
  uint8_t* in_block = set->padded_in.Reserve(bytes, set->allocate);
  uint8_t* out_block = set->padded_out.Reserve(bytes, set->allocate);
  if (!in_block || !out_block) return FrameResult::kNoMemory;
  const FrameView padded_in = BlockView(in.format, in_block, padded_width, padded_height);
  const FrameView padded_out = BlockView(in.format, out_block, padded_width, padded_height);
  CopyFrame(in, Cropped(padded_in, width, height));
  FillPadding(padded_in, width, height);
  const FrameResult result =
      ProcessPlanar(*set, Placed(padded_in, keep), Placed(padded_out, keep), regions, nullptr);
  if (result == FrameResult::kDone) CopyFrame(Cropped(padded_out, width, height), out);
  return result;
}

}  // namespace vantrel
