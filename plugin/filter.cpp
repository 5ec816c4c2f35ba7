#include "plugin/filter.h"

#include <cstdlib>

#include "engine/cpu.h"
#include "plugin/notice.h"
#include "plugin/pixel_types.h"
#include "plugin/regions.h"

namespace vantrel {

bool ProcessorSupported(const CpuFeatures& cpu) {
#if defined(__aarch64__)
  // NEON, the architecture's own baseline, stands in for MMX and SSE.
  return cpu.neon;
#else
  return cpu.mmx && cpu.sse;
#endif
}

EngineParams BuildEngineParams(const RequestedParams& requested, int row_size, int height) {
  // Every field starts at its default; pixel_threshold keeps it always.
  EngineParams p;
  if (requested.mode >= 0 && requested.mode <= 3) p.mode = requested.mode;
  const uint32_t smaller = uint32_t(row_size < height ? row_size : height);
  if (uint32_t(requested.search_range) <= smaller) p.search_range = requested.search_range;
  if (uint32_t(requested.comb_threshold) <= 255) p.comb_threshold = requested.comb_threshold;
  if (uint32_t(requested.match_threshold) <= 65535) p.match_threshold = requested.match_threshold;
  p.use_comb_mask = requested.use_comb_mask;
  p.use_output_reference = requested.use_output_reference;
  return p;
}

DeinterlaceFilter::DeinterlaceFilter(PClip source, int mode, int search_range,
                                     int comb_threshold, int match_threshold,
                                     int pixel_threshold, bool use_comb_mask,
                                     bool use_output_reference, IScriptEnvironment*)
    : DeinterlaceFilter(source,
                        RequestedParams{mode, search_range, comb_threshold, match_threshold,
                                        pixel_threshold, use_comb_mask, use_output_reference},
                        DetectCpuFeatures()) {}

DeinterlaceFilter::DeinterlaceFilter(PClip source, const RequestedParams& requested,
                                     CpuFeatures cpu)
    : GenericVideoFilter(source),
      working_sets_(std::malloc),
      processor_supported_(ProcessorSupported(cpu)),
      requested_params(requested) {}

static bool SameShape(const FrameView& a, const FrameView& b) {
  if (a.plane_count != b.plane_count) return false;
  for (int i = 0; i < a.plane_count; ++i) {
    if (a.planes[i].row_size != b.planes[i].row_size || a.planes[i].height != b.planes[i].height ||
        !a.planes[i].data || !b.planes[i].data) {
      return false;
    }
  }
  return true;
}

PVideoFrame DeinterlaceFilter::GetFrame(int n, IScriptEnvironment* env) {
  PVideoFrame src = child->GetFrame(n, env);
  const int pixel_type = vi.pixel_type;
  // VantrelDeinterlace refuses other clips; a filter built around that check
  // passes their frames on rather than guess at their layout.
  if (!IsKnownPixelType(pixel_type)) return src;
  PVideoFrame dst = env->NewVideoFrame(vi, 16);
  if (!processor_supported_) return dst;

  const FrameView in = ReadView(src, pixel_type);
  const FrameView out = WriteView(dst, pixel_type);
  // A child whose frames do not match the clip's format cannot be copied safely.
  if (!SameShape(in, out)) return src;

  if (pixel_type == VideoInfo::CS_BGR24) {
    DrawNotice(NoticeVariant::kRgb24, in, out);
  } else if (pixel_type == VideoInfo::CS_BGR32) {
    DrawNotice(NoticeVariant::kRgb32, in, out);
  } else if (pixel_type == VideoInfo::CS_YUY2) {
    DrawNotice(NoticeVariant::kYuy2, in, out);
  } else {
    ProcessPlanarFrame(in, out);
  }
  return dst;
}

void DeinterlaceFilter::ProcessPlanarFrame(const FrameView& in, const FrameView& out) {
  const WorkingSetPool::Lease set = working_sets_.Take();
  if (!set) {
    CopyFrame(in, out);
    return;
  }
  const PlaneView& luma = in.planes[0];
  // The two luma copies serve only the regions: without any they would cost a
  // plane copy on every frame.
  const RegionList& regions = ProcessRegionList();
  const bool apply_regions = regions.count > 0;
  uint8_t* source_luma = nullptr;
  uint8_t* processed_luma = nullptr;
  if (apply_regions) {
    source_luma = set->source_luma.Reserve(luma.bytes(), set->allocate);
    processed_luma = set->processed_luma.Reserve(luma.bytes(), set->allocate);
    if (!source_luma || !processed_luma) {
      CopyFrame(in, out);
      return;
    }
    CopyPlane(luma, BufferPlane(source_luma, luma.row_size, luma.height));
  }

  if (luma.row_size % 16 != 0 || luma.height % 16 != 0) {
    DrawNotice(NoticeVariant::kPlanar, in, out);
  } else if (!RunEngine(*set, in, out)) {
    CopyFrame(in, out);
  }

  if (apply_regions) {
    ApplyRegions(regions, out.planes[0].data, out.planes[0].pitch, luma.row_size, luma.height,
                 source_luma, processed_luma);
  }
}

// Every call into the engine for a frame happens here. The engine reads the
// host's planes and writes the new frame's where they lie.
bool DeinterlaceFilter::RunEngine(WorkingSet& set, const FrameView& in,
                                  const FrameView& out) const {
  const PlaneView& luma = in.planes[0];
  const uint32_t width = uint32_t(luma.row_size), height = uint32_t(luma.height);
  if (!set.engine.SizedFor(width, height) && !set.engine.Init(width, height)) return false;
  const EngineParams params = BuildEngineParams(requested_params, luma.row_size, luma.height);
  return set.engine.Process(EnginePlanes(in), EnginePlanes(out), params);
}

}  // namespace vantrel
