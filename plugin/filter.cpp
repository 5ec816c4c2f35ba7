#include "plugin/filter.h"

#include <cstdlib>

#include "engine/cpu.h"
#include "plugin/notice.h"
#include "plugin/regions.h"

namespace vantrel {

CpuFeatures DetectCpuFeatures() {
  const CpuBasics cpu = DetectCpuBasics();
#if defined(__aarch64__)
  // NEON, the architecture's own baseline, stands in for MMX and SSE.
  return CpuFeatures{cpu.neon, cpu.neon};
#else
  return CpuFeatures{cpu.mmx, cpu.sse};
#endif
}

EngineParams BuildEngineParams(const RequestedParams& requested, int row_size, int height) {
  EngineParams p;
  if (requested.mode >= 0 && requested.mode <= 3) p.mode = requested.mode;
  const uint32_t smaller = uint32_t(row_size < height ? row_size : height);
  if (uint32_t(requested.search_range) <= smaller) p.search_range = requested.search_range;
  if (uint32_t(requested.comb_threshold) <= 255) p.comb_threshold = requested.comb_threshold;
  if (uint32_t(requested.match_threshold) <= 65535) p.match_threshold = requested.match_threshold;
  p.pixel_threshold = 257;
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
      has_mmx(cpu.has_mmx),
      has_sse(cpu.has_sse),
      requested_params(requested),
      allocate_(std::malloc) {}

void DeinterlaceFilter::SetAllocator(DeinterlaceEngine::AllocateFn allocate) {
  allocate_ = allocate;
  engine.SetAllocator(allocate);
}

DeinterlaceFilter::Scratch DeinterlaceFilter::AllocateScratch(size_t bytes) {
  return Scratch(static_cast<uint8_t*>(allocate_(bytes)));
}

static bool Is(int pixel_type, int cs) { return (pixel_type & cs) == cs; }

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
  PVideoFrame dst = env->NewVideoFrame(vi, 16);
  if (!has_mmx || !has_sse) return dst;

  const int pixel_type = vi.pixel_type;
  const FrameView in = ReadView(src, pixel_type);
  const FrameView out = WriteView(dst, pixel_type);
  // A child whose frames do not match the clip's format cannot be copied safely.
  if (!SameShape(in, out)) return dst;

  const PlaneView& luma = in.planes[0];
  const bool planar = IsPlanar420(pixel_type);
  // The two luma copies serve only the regions: without any they would cost a
  // plane copy and two fresh allocations on every frame.
  const RegionList& regions = ProcessRegionList();
  const bool apply_regions = planar && regions.count > 0;
  Scratch source_luma, processed_luma;
  if (apply_regions) {
    source_luma = AllocateScratch(luma.bytes());
    processed_luma = AllocateScratch(luma.bytes());
    if (!source_luma || !processed_luma) {
      CopyFrame(in, out);
      return dst;
    }
    CopyPlane(luma, BufferPlane(source_luma.get(), luma.row_size, luma.height));
  }

  if (Is(pixel_type, VideoInfo::CS_BGR24)) {
    DrawNotice(NoticeVariant::kRgb24, in, out);
  } else if (Is(pixel_type, VideoInfo::CS_BGR32)) {
    DrawNotice(NoticeVariant::kRgb32, in, out);
  } else if (Is(pixel_type, VideoInfo::CS_YUY2)) {
    DrawNotice(NoticeVariant::kYuy2, in, out);
  } else if (planar) {
    if (luma.row_size % 16 != 0 || luma.height % 16 != 0) {
      DrawNotice(NoticeVariant::kPlanar, in, out);
    } else if (!ProcessPlanar(in, out)) {
      CopyFrame(in, out);
    }
  }

  if (apply_regions) {
    ApplyRegions(regions, out.planes[0].data, out.planes[0].pitch, luma.row_size, luma.height,
                 source_luma.get(), processed_luma.get());
  }
  return dst;
}

bool DeinterlaceFilter::ProcessPlanar(const FrameView& in, const FrameView& out) {
  const PlaneView& luma = in.planes[0];
  if (!engine.Init(uint32_t(luma.row_size), uint32_t(luma.height))) return false;
  const EngineParams params = BuildEngineParams(requested_params, luma.row_size, luma.height);
  const size_t block_bytes = BlockBytes(in);
  const bool out_contiguous = IsContiguous(out);
  Scratch out_block;
  if (!out_contiguous && !(out_block = AllocateScratch(block_bytes))) {
    engine.Release();
    return false;
  }
  uint8_t* result = out_contiguous ? out.planes[0].data : out_block.get();

  if (params.mode == 4) {
    // The engine only reads its source in this mode, so a host frame that
    // already has the block layout is used as it is.
    Scratch in_block;
    uint8_t* source = in.planes[0].data;
    if (!IsContiguous(in)) {
      if (!(in_block = AllocateScratch(block_bytes))) {
        engine.Release();
        return false;
      }
      GatherBlock(in, in_block.get());
      source = in_block.get();
    }
    engine.Process(source, result, &params);
  } else {
    // Modes 0-3 work in place: on the output's own block when it has the
    // layout, otherwise on a private one. Never on the host's source frame.
    GatherBlock(in, result);
    engine.Process(result, result, &params);
  }
  engine.Release();
  if (!out_contiguous) ScatterBlock(result, out);
  return true;
}

}  // namespace vantrel
