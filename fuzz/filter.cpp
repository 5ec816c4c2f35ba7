// The filter through the stand-in host. The input picks the pixel type, the
// size (any the host can make, from 1 x 1 up, not only multiples of 16), the
// frame layout, the script's arguments (any 32-bit value), the processor,
// the region list (negative, inverted, oversized and more than fit) and an
// allocation that fails. The output must be the engine's result with the
// regions applied, the source when an allocation failed, or the source with
// notice ink (0 or 255 luma) for frames the filter does not process; the
// source frame must never change and nothing outside the planes may be hit.
// A second request to the same filter must give the engine's result.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "fuzz/fuzz_input.h"
#include "host/environment.h"
#include "host/frame_planes.h"
#include "host/source_clips.h"
#include "plugin/filter.h"
#include "plugin/regions.h"

namespace vantrel::fuzz {
namespace {

constexpr const char* kTarget = "filter";
using Bytes = std::vector<BYTE>;

// The allocator handed to the filter: fails the n-th request from now.
int64_t g_allocations_until_failure = -1;
bool g_allocation_failed = false;

void* FailingAllocate(size_t bytes) {
  if (g_allocations_until_failure >= 0 && g_allocations_until_failure-- == 0) {
    g_allocation_failed = true;
    return nullptr;
  }
  return std::malloc(bytes);
}

constexpr int kPixelTypes[] = {VideoInfo::CS_YV12, VideoInfo::CS_I420, VideoInfo::CS_YUY2,
                               VideoInfo::CS_BGR24, VideoInfo::CS_BGR32};

bool IsPlanar(int pixel_type) {
  return pixel_type == VideoInfo::CS_YV12 || pixel_type == VideoInfo::CS_I420;
}

VideoInfo PickFormat(FuzzInput& in) {
  VideoInfo vi{};
  vi.pixel_type = kPixelTypes[in.Byte() % 5];
  const bool aligned = in.Bool();
  vi.width = aligned ? 16 * int(in.Range(1, 16)) : int(in.Range(1, 300));
  vi.height = aligned ? 16 * int(in.Range(1, 16)) : int(in.Range(1, 300));
  if (IsPlanar(vi.pixel_type) || vi.pixel_type == VideoInfo::CS_YUY2) vi.width += vi.width & 1;
  if (IsPlanar(vi.pixel_type)) vi.height += vi.height & 1;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  vi.num_frames = 2;
  return vi;
}

int32_t PickCoordinate(FuzzInput& in, int extent) {
  switch (in.Byte() % 8) {
    case 0: return 0;
    case 1: return extent;
    case 2: return extent + 1;
    case 3: return -int32_t(in.Range(1, 1000));
    case 4: return in.Bool() ? INT_MIN : INT_MAX;
    case 5: return in.I32();
    default: return int32_t(in.Range(0, extent + 2));
  }
}

void PickRegions(FuzzInput& in, const VideoInfo& vi, int row_size) {
  RegionList& list = ProcessRegionList();
  list.count = 0;
  const uint8_t many = in.Byte();
  const int count = many >= 250 ? int(in.Range(90, 120)) : many % 6;
  for (int i = 0; i < count; ++i) {
    const uint8_t kind = in.Bool() ? kAddRegion : kSubRegion;
    const int32_t x1 = PickCoordinate(in, row_size), y1 = PickCoordinate(in, vi.height);
    const int32_t x2 = PickCoordinate(in, row_size), y2 = PickCoordinate(in, vi.height);
    AppendRegion(list, kind, x1, y1, x2, y2);
  }
}

RequestedParams PickParams(FuzzInput& in) {
  RequestedParams r;
  const auto value = [&in](int32_t usual, int32_t lo, int32_t hi) {
    switch (in.Byte() % 3) {
      case 0: return usual;
      case 1: return int32_t(in.Range(lo, hi));
      default: return in.I32();
    }
  };
  r.mode = value(4, -1, 5);
  r.search_range = value(16, -1, 300);
  r.comb_threshold = value(48, -1, 256);
  r.match_threshold = value(8192, -1, 65536);
  r.pixel_threshold = in.I32();
  r.use_comb_mask = in.Bool();
  r.use_output_reference = in.Bool();
  return r;
}

Bytes PickPicture(FuzzInput& in, size_t bytes, int row_size) {
  Bytes picture(bytes);
  const uint8_t kind = in.Byte() % 4;
  Noise noise(in.U32());
  const uint8_t a = in.Byte(), b = in.Byte();
  const int shift = int(in.Range(0, 12));
  for (size_t i = 0; i < bytes; ++i) {
    const size_t x = i % size_t(row_size), y = i / size_t(row_size);
    switch (kind) {
      case 0: picture[i] = noise.Next(); break;
      case 1: picture[i] = (y & 1) ? a : b; break;
      case 2: {
        // Woven motion: a bar that moved between the two fields.
        const size_t sx = x + ((y & 1) ? 0 : size_t(shift));
        picture[i] = BYTE(((sx / 8) & 1 ? a : b) ^ (noise.Next() & 3));
        break;
      }
      default: picture[i] = in.rest_size() ? in.rest()[i % in.rest_size()] : a; break;
    }
  }
  return picture;
}

// Tight Y, U, V -> the engine's block (chroma in the frame's memory order)
// and back again (the swap is its own inverse).
Bytes SwapChroma(const Bytes& yuv, size_t luma, bool v_first) {
  if (!v_first) return yuv;
  const size_t chroma = (yuv.size() - luma) / 2;
  Bytes out(yuv);
  std::memcpy(&out[luma], &yuv[luma + chroma], chroma);
  std::memcpy(&out[luma + chroma], &yuv[luma], chroma);
  return out;
}

Bytes EngineResult(const Bytes& yuv, const VideoInfo& vi, const RequestedParams& requested) {
  const size_t luma = size_t(vi.width) * size_t(vi.height);
  const bool v_first = vi.pixel_type == VideoInfo::CS_YV12;
  Bytes block = SwapChroma(yuv, luma, v_first);
  Bytes out(block.size());
  DeinterlaceEngine engine;
  const uint32_t w = uint32_t(vi.width), h = uint32_t(vi.height);
  FUZZ_CHECK(kTarget, engine.Init(w, h), "engine refused");
  const EngineParams params = BuildEngineParams(requested, vi.width, vi.height);
  FUZZ_CHECK(kTarget, engine.Process(BlockPlanes(block.data(), w, h), BlockPlanes(out.data(), w, h),
                                     params),
             "engine refused the frame");
  return SwapChroma(out, luma, v_first);
}

void ApplyRegionsTo(Bytes& out, const Bytes& source, const Bytes& processed, int row_size,
                    int height) {
  const RegionList& list = ProcessRegionList();
  for (int i = 0; i < list.count; ++i) {
    const Region& r = list.regions[i];
    const bool fits = r.x1 >= 0 && r.y1 >= 0 && r.x1 <= r.x2 && r.y1 < r.y2 &&
                      r.x2 <= row_size && r.y2 <= height;
    if (!fits) continue;
    const Bytes& from = r.kind == kSubRegion ? source : processed;
    for (int32_t y = r.y1; y < r.y2; ++y) {
      const size_t at = size_t(y) * size_t(row_size) + size_t(r.x1);
      std::memcpy(&out[at], &from[at], size_t(r.x2 - r.x1));
    }
  }
}

// Frames the filter does not process keep the source except under the ink.
void CheckNotice(const Bytes& out, const Bytes& source, const VideoInfo& vi, int row_size) {
  const size_t luma = size_t(row_size) * size_t(vi.height);
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == source[i]) continue;
    const bool ink = out[i] == 0 || out[i] == 255;
    const bool luma_byte = IsPlanar(vi.pixel_type) ? i < luma
                           : vi.pixel_type == VideoInfo::CS_YUY2 ? (i % 2) == 0
                                                                 : true;
    FUZZ_CHECK(kTarget, ink && luma_byte, "byte " + std::to_string(i) + " changed outside ink");
  }
}

void Run(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const VideoInfo vi = PickFormat(in);
  const int row_size = vi.BytesFromPixels(vi.width);
  const auto layout = in.Bool() ? host::FrameLayout::kHostLike : host::FrameLayout::kContiguous;
  const RequestedParams requested = PickParams(in);
  CpuFeatures cpu;
  cpu.mmx = cpu.sse = true;
  if (in.Byte() >= 240) {
    cpu.mmx = in.Bool();
    cpu.sse = in.Bool();
  }
  PickRegions(in, vi, row_size);
  const uint8_t failure = in.Byte();
  g_allocations_until_failure = failure < 200 ? -1 : failure % 8;
  g_allocation_failed = false;

  host::Environment env(layout);
  auto* fed = new host::FedSourceClip(vi);
  const PClip source(fed);
  PVideoFrame input = env.NewVideoFrame(vi);
  const size_t bytes = host::TightSize(*input);
  const Bytes picture = PickPicture(in, bytes, row_size);
  host::CopyIn(input, picture);
  fed->Feed(0, input);

  auto* filter = new DeinterlaceFilter(source, requested, cpu);
  const PClip clip(filter);
  filter->SetAllocator(FailingAllocate);
  const PVideoFrame output = clip->GetFrame(0, &env);
  FUZZ_CHECK(kTarget, host::CopyOut(*input) == picture, "the source frame changed");
  if (layout == host::FrameLayout::kHostLike) {
    FUZZ_CHECK(kTarget, host::OutsidePlanesIntact(*output), "written outside the planes");
  }
  if (!ProcessorSupported(cpu)) return;
  const Bytes out = host::CopyOut(*output);
  const bool processed = IsPlanar(vi.pixel_type) && row_size % 16 == 0 && vi.height % 16 == 0;
  if (!processed) {
    CheckNotice(out, picture, vi, row_size);
    return;
  }
  Bytes expected = EngineResult(picture, vi, requested);
  const Bytes engine_out = expected;
  ApplyRegionsTo(expected, picture, engine_out, row_size, vi.height);
  if (g_allocation_failed) {
    FUZZ_CHECK(kTarget, out == picture, "a failed allocation did not give back the source");
  } else {
    FUZZ_CHECK(kTarget, out == expected, "output differs from the engine with the regions");
  }
  // The filter keeps its buffers: the next request reuses them (or retries
  // the one that failed) and must give the same bytes.
  g_allocations_until_failure = -1;
  FUZZ_CHECK(kTarget, host::CopyOut(*clip->GetFrame(0, &env)) == expected,
             "a second request to the same filter differs");
}

std::string Seed(std::initializer_list<uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::vector<std::string> Seeds() {
  // type, aligned, width, height, layout, 7 params, cpu, regions, failure, picture
  return {
      Seed({0, 1, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 200, 30, 5}),
      Seed({1, 1, 3, 2, 1, 1, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0, 2, 7,
            10, 7, 0, 0}),
      Seed({0, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
      Seed({2, 0, 37, 11, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
      Seed({3, 0, 7, 5, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
      Seed({4, 0, 120, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
      Seed({0, 1, 5, 4, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 1, 3, 3, 6, 6, 0, 4, 0, 0, 1, 1,
            0, 0, 0, 0, 0, 204}),
      Seed({0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 100, 0, 0, 0}),
  };
}

}  // namespace vantrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantrel::fuzz::Run(data, size);
  return 0;
}
