// The filter core on frames of any layout. The input picks the format, the
// size (from 1 x 1 up, not only multiples of 16), the layout (pitches past the
// row, planes apart, upside down), the arguments (any 32-bit value), the
// region list (negative, inverted, oversized and more than fit) and an
// allocation that fails. The output must be the engine's result with the
// regions applied, or the source with notice ink (0 or 255) for frames the
// filter does not deinterlace; a failed allocation must be reported; the
// input must never change and nothing outside the planes may be hit. A
// second request to the same filter must give the same result.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/deinterlacer.h"
#include "fuzz/fuzz_input.h"
#include "tests/core/guarded_frame.h"

namespace vantrel::fuzz {
namespace {

constexpr const char* kTarget = "filter";
using Bytes = std::vector<uint8_t>;

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

constexpr PixelFormat kFormats[] = {kYuv420, kYuy2,
                                    kRgb24, kRgb32};

struct Shape {
  PixelFormat format;
  int32_t width, height;
};

Shape PickShape(FuzzInput& in) {
  Shape s{kFormats[in.Byte() % 4], 0, 0};
  const bool aligned = in.Bool();
  s.width = aligned ? 16 * int32_t(in.Range(1, 16)) : int32_t(in.Range(1, 300));
  s.height = aligned ? 16 * int32_t(in.Range(1, 16)) : int32_t(in.Range(1, 300));
  if (s.format != kRgb24 && s.format != kRgb32) s.width += s.width & 1;
  if (s.format == kYuv420) s.height += s.height & 1;
  return s;
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

void PickRegions(FuzzInput& in, int32_t row_size, int32_t height, RegionList& list) {
  const uint8_t many = in.Byte();
  const int count = many >= 250 ? int(in.Range(90, 120)) : many % 6;
  for (int i = 0; i < count; ++i) {
    const uint8_t kind = in.Bool() ? kAddRegion : kSubRegion;
    const int32_t x1 = PickCoordinate(in, row_size), y1 = PickCoordinate(in, height);
    const int32_t x2 = PickCoordinate(in, row_size), y2 = PickCoordinate(in, height);
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

Bytes PickPicture(FuzzInput& in, size_t bytes, int32_t row_size) {
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
        picture[i] = uint8_t(((sx / 8) & 1 ? a : b) ^ (noise.Next() & 3));
        break;
      }
      default: picture[i] = in.rest_size() ? in.rest()[i % in.rest_size()] : a; break;
    }
  }
  return picture;
}

// The engine alone on tight planes, then the regions as they are defined.
Bytes Expected(const Bytes& picture, const Shape& s, const RequestedParams& requested,
               const RegionList& regions) {
  Bytes src = picture, out(picture.size());
  DeinterlaceEngine engine;
  FUZZ_CHECK(kTarget, engine.Init(uint32_t(s.width), uint32_t(s.height)), "engine refused");
  const FrameView a = BlockView(s.format, src.data(), s.width, s.height);
  const FrameView b = BlockView(s.format, out.data(), s.width, s.height);
  FUZZ_CHECK(kTarget,
             engine.Process(EnginePlanes(a), EnginePlanes(b),
                            BuildEngineParams(requested, s.width, s.height)),
             "engine refused the frame");
  const Bytes processed = out;
  for (int i = 0; i < regions.Count(); ++i) {
    const Region& r = regions[i];
    const bool fits = r.x1 >= 0 && r.y1 >= 0 && r.x1 <= r.x2 && r.y1 < r.y2 &&
                      r.x2 <= s.width && r.y2 <= s.height;
    if (!fits) continue;
    const Bytes& from = r.kind == kSubRegion ? picture : processed;
    for (int32_t y = r.y1; y < r.y2; ++y) {
      const size_t at = size_t(y) * size_t(s.width) + size_t(r.x1);
      std::memcpy(&out[at], &from[at], size_t(r.x2 - r.x1));
    }
  }
  return out;
}

// Frames the filter does not deinterlace keep the source except under the ink.
void CheckNotice(const Bytes& out, const Bytes& source, const Shape& s) {
  const size_t luma = size_t(s.width) * size_t(s.height);
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == source[i]) continue;
    const bool ink = out[i] == 0 || out[i] == 255;
    const bool luma_byte = s.format == kYuv420 ? i < luma
                           : s.format == kYuy2 ? (i % 2) == 0
                                                            : true;
    FUZZ_CHECK(kTarget, ink && luma_byte, "byte " + std::to_string(i) + " changed outside ink");
  }
}

void Run(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const Shape shape = PickShape(in);
  const int32_t extra_pitch = in.Bool() ? int32_t(in.Range(1, 70)) : 0;
  const bool upside_down = in.Bool();
  const RequestedParams requested = PickParams(in);
  const int32_t row_size = int32_t(BlockBytes(shape.format, shape.width, 1));
  RegionList regions;
  PickRegions(in, row_size, shape.height, regions);
  const uint8_t failure = in.Byte();
  g_allocations_until_failure = failure < 200 ? -1 : failure % 12;
  g_allocation_failed = false;

  test::GuardedFrame input(shape.format, shape.width, shape.height, upside_down, extra_pitch);
  test::GuardedFrame output(shape.format, shape.width, shape.height, upside_down, extra_pitch + 3);
  const Bytes picture =
      PickPicture(in, BlockBytes(shape.format, shape.width, shape.height), row_size);
  input.Fill(picture);
  Deinterlacer core(requested, FailingAllocate);
  const FrameResult result = core.Process(input.view(), output.view(), regions);
  FUZZ_CHECK(kTarget, input.Tight() == picture, "the input frame changed");
  FUZZ_CHECK(kTarget, input.GuardsIntact() && output.GuardsIntact(), "written outside the planes");
  FUZZ_CHECK(kTarget, (result == FrameResult::kNoMemory) == g_allocation_failed,
             "a failed allocation was not reported, or one was reported that did not fail");
  g_allocations_until_failure = -1;
  if (result != FrameResult::kDone) {
    FUZZ_CHECK(kTarget,
               core.Process(input.view(), output.view(), regions) ==
                   FrameResult::kDone,
               "the filter did not recover from a failed allocation");
  }
  const Bytes out = output.Tight();
  const bool deinterlaced =
      shape.format == kYuv420 && IsDeinterlacedSize(shape.width, shape.height);
  if (!deinterlaced) {
    CheckNotice(out, picture, shape);
    return;
  }
  const Bytes expected = Expected(picture, shape, requested, regions);
  FUZZ_CHECK(kTarget, out == expected, "output differs from the engine with the regions");
  // The filter keeps its buffers: the next request reuses them.
  FUZZ_CHECK(kTarget, core.Process(input.view(), output.view(), regions) == FrameResult::kDone,
             "a second request failed");
  FUZZ_CHECK(kTarget, output.Tight() == expected, "a second request to the same filter differs");
}

std::string Seed(std::initializer_list<uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::vector<std::string> Seeds() {
  // format, aligned, width, height, pitch, upside down, 7 params, regions, failure, picture
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
