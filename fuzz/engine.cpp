// The engine at every SIMD target against its scalar table. The input picks
// the frame size (multiples of 16 from 16 x 16 to 256 x 256, now and then
// one the engine must refuse), the mode and thresholds (any 32-bit value),
// the search range (0, odd, up to the frame and beyond it), how the planes
// lie (in place or not, lines longer than the picture, upside down) and the
// picture. Every plane sits at the very end of its own allocation, so a read
// past it is caught.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/cpu.h"
#include "engine/engine.h"
#include "fuzz/fuzz_input.h"
#include "tests/engine/host_planes.h"

namespace vantrel::fuzz {
namespace {

constexpr const char* kTarget = "engine";

// How a run's planes lie: each frame one block (luma, c0, c1 back to back)
// or planes apart; the output the input's own planes or apart from them; per
// frame, lines `pad` bytes longer than the plane, upside down.
struct Layout {
  bool block = false;
  bool in_place = false;
  uint32_t in_pad = 0, out_pad = 0;
  bool in_upside_down = false, out_upside_down = false;
};

struct Case {
  uint32_t width;
  uint32_t height;
  EngineParams params;
  Layout layout;
};

int32_t PickSearchRange(FuzzInput& in, uint32_t w, uint32_t h) {
  const uint32_t smaller = w < h ? w : h;
  switch (in.Byte() % 6) {
    case 0: return 0;
    case 1: return int32_t(in.Range(0, 40));
    case 2: return int32_t(2 * in.Range(0, 64) + 1);
    case 3: return int32_t(smaller);
    case 4: return int32_t((w > h ? w : h) + in.Range(0, 300));  // beyond the frame
    default: return int32_t(in.Range(0, 1 << 20));
  }
}

Case PickCase(FuzzInput& in) {
  Case c;
  c.width = 16 * uint32_t(in.Range(1, 16));
  c.height = 16 * uint32_t(in.Range(1, 16));
  if (in.Byte() == 0xFF) {
    // A size the filter never passes: the engine must refuse it unharmed.
    c.width = uint32_t(in.Range(0, 300));
    c.height = uint32_t(in.Range(0, 300));
  }
  const uint8_t mode = in.Byte();
  c.params.mode = mode < 250 ? mode % 5 : in.I32();
  c.params.search_range = PickSearchRange(in, c.width, c.height);
  if (c.params.search_range > 64 && EngineAcceptsSize(c.width, c.height)) {
    // A wide window searches the whole frame for every block: keep such
    // frames small, or each run takes seconds.
    c.width = std::min(c.width, 96u);
    c.height = std::min(c.height, 96u);
  }
  c.params.comb_threshold = in.Bool() ? int32_t(in.Range(0, 255)) : in.I32();
  c.params.match_threshold = in.Bool() ? int32_t(in.Range(0, 65535)) : in.I32();
  c.params.pixel_threshold = in.I32();
  c.params.use_comb_mask = in.Bool();
  c.params.use_output_reference = in.Bool();
  const uint8_t layout = in.Byte();
  c.layout.in_place = layout & 1;
  c.layout.in_pad = 12 * ((layout >> 1) & 3);
  c.layout.in_upside_down = layout & 8;
  c.layout.out_pad = 8 * ((layout >> 4) & 3);
  c.layout.out_upside_down = layout & 64;
  return c;
}

// Pictures that reach every path: noise, flat, stripes (combed everywhere),
// a woven moving square (combs in blocks, so the repair runs), the input's
// own bytes, and thresholds' neighbours.
void FillPicture(FuzzInput& in, std::vector<uint8_t>& frame, uint32_t w, uint32_t h) {
  const uint8_t kind = in.Byte() % 6;
  Noise noise(in.U32());
  const uint8_t a = in.Byte(), b = in.Byte();
  const int dx = int(in.Range(-20, 20)), dy = int(in.Range(-20, 20));
  const uint8_t* raw = in.rest();
  const size_t raw_size = in.rest_size();
  for (size_t i = 0; i < frame.size(); ++i) {
    const uint32_t x = uint32_t(i % w), y = uint32_t(i / w);
    uint8_t v = 0;
    switch (kind) {
      case 0: v = noise.Next(); break;
      case 1: v = a; break;
      case 2: v = (y & 1) ? a : b; break;
      case 3: {
        const bool moved = (y & 1) == 0;
        const int sx = int(x) + (moved ? dx : 0), sy = int(y) + (moved ? dy : 0);
        const bool inside = sx > int(w / 4) && sx < int(w / 2) && sy > int(h / 4) && sy < int(h / 2);
        v = uint8_t(inside ? a : b) ^ uint8_t(noise.Next() & 7);
        break;
      }
      case 4: v = raw_size ? raw[i % raw_size] : 0; break;
      default: v = uint8_t((noise.Next() & 1) ? a + (noise.Next() % 3) - 1 : b); break;
    }
    frame[i] = v;
  }
}

using Bytes = std::unique_ptr<uint8_t[]>;

Bytes CopyOf(const std::vector<uint8_t>& v) {
  Bytes p(new uint8_t[v.size()]);
  std::memcpy(p.get(), v.data(), v.size());
  return p;
}

// A frame the engine must refuse leaves its planes as they were.
void CheckRefused(const Case& c, const std::vector<uint8_t>& picture, uint32_t target) {
  EngineDsp dsp;
  InitEngineDsp(&dsp, target);
  DeinterlaceEngine engine(dsp);
  const bool sized = engine.Init(c.width, c.height);
  FUZZ_CHECK(kTarget, sized == EngineAcceptsSize(c.width, c.height),
             "Init disagrees with EngineAcceptsSize");
  const size_t bytes = picture.size();
  Bytes src = CopyOf(picture), out(new uint8_t[bytes]);
  std::memset(out.get(), 0x5A, bytes);
  // The classic block: any size fits it.
  const FramePlanes in = BlockPlanes(src.get(), c.width, c.height);
  const bool done = engine.Process(in, BlockPlanes(out.get(), c.width, c.height), c.params) ||
                    engine.Process(in, in, c.params);
  FUZZ_CHECK(kTarget, !done, "a result without processing");
  FUZZ_CHECK(kTarget, std::memcmp(src.get(), picture.data(), bytes) == 0,
             "input changed without processing");
  const bool untouched =
      std::all_of(out.get(), out.get() + bytes, [](uint8_t b) { return b == 0x5A; });
  FUZZ_CHECK(kTarget, untouched, "output written without processing");
}

// Runs one frame with the kernels of `target` (0: scalar), the motion
// search with or without its shortcuts, the planes laid out as `layout`
// says; returns the tight bytes of the result.
std::vector<uint8_t> RunAtTarget(const Case& c, const std::vector<uint8_t>& picture,
                                 uint32_t target, uint8_t out_fill, const Layout& layout,
                                 bool shortcuts = true) {
  EngineDsp dsp;
  InitEngineDsp(&dsp, target);
  DeinterlaceEngine engine(dsp);
  engine.SetSearchShortcuts(shortcuts);
  FUZZ_CHECK(kTarget, engine.Init(c.width, c.height), "Init refused an accepted size");
  using test::HostPlanes;
  const auto planes = [&](uint32_t pad, bool upside_down) {
    return layout.block ? HostPlanes(c.width, c.height, out_fill)
                        : HostPlanes(c.width, c.height, pad, upside_down, out_fill);
  };
  HostPlanes src = planes(layout.in_pad, layout.in_upside_down);
  HostPlanes out = planes(layout.out_pad, layout.out_upside_down);
  src.Load(picture.data());
  HostPlanes& result = layout.in_place ? src : out;
  const bool done = engine.Process(src.view, result.view, c.params);
  engine.Release();
  FUZZ_CHECK(kTarget, !engine.Ready(), "buffers left after Release");
  if (c.params.mode == 4 && layout.in_place) {
    FUZZ_CHECK(kTarget, !done, "mode 4 ran in place");
    FUZZ_CHECK(kTarget, src.Tight() == picture, "a refused mode 4 changed its frame");
    Layout apart = layout;
    apart.in_place = false;
    return RunAtTarget(c, picture, target, out_fill, apart, shortcuts);
  }
  FUZZ_CHECK(kTarget, done, "a frame the engine can process was refused");
  if (!layout.in_place) {
    FUZZ_CHECK(kTarget, src.Tight() == picture, "the input changed");
  }
  FUZZ_CHECK(kTarget, result.PaddingIntact(), "written between the lines");
  return result.Tight();
}

// The kept field (odd lines of every plane) passes through every mode.
void CheckKeptField(const Case& c, const std::vector<uint8_t>& before,
                    const std::vector<uint8_t>& after) {
  const size_t w = c.width, h = c.height, cw = w / 2, ch = h / 2;
  const size_t planes[3][3] = {{0, w, h}, {w * h, cw, ch}, {w * h + cw * ch, cw, ch}};
  for (const auto& p : planes) {
    for (size_t y = 1; y < p[2]; y += 2) {
      const size_t at = p[0] + y * p[1];
      FUZZ_CHECK(kTarget, std::memcmp(&before[at], &after[at], p[1]) == 0,
                 "kept line " + std::to_string(y) + " changed");
    }
  }
  if (c.params.mode == 0) FUZZ_CHECK(kTarget, before == after, "mode 0 changed the frame");
}

void Run(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const Case c = PickCase(in);
  const size_t luma = size_t(c.width) * c.height;
  std::vector<uint8_t> picture(luma + 2 * (luma / 4));
  if (picture.empty()) picture.resize(1);
  FillPicture(in, picture, c.width ? c.width : 1, c.height ? c.height : 1);

  const uint32_t targets = CompiledTargets() & DetectCpuFeatures().targets;
  const int32_t mode = c.params.mode;
  if (!EngineAcceptsSize(c.width, c.height) || mode < 0 || mode > 4) {
    CheckRefused(c, picture, 0);
    for (uint32_t target = 1; target != 0 && target <= targets; target <<= 1) {
      if (targets & target) CheckRefused(c, picture, target);
    }
    return;
  }
  // The scalar engine on frames that are one block each.
  Layout block;
  block.block = true;
  const std::vector<uint8_t> reference = RunAtTarget(c, picture, 0, 0x00, block);
  if (mode == 4) {
    // Every output byte is written: a different stale output changes nothing.
    FUZZ_CHECK(kTarget, RunAtTarget(c, picture, 0, 0xFF, block) == reference,
               "mode 4 left part of its output unwritten");
    FUZZ_CHECK(kTarget, RunAtTarget(c, picture, 0, 0x00, block, false) == reference,
               "the search's shortcuts changed the frame");
  }
  CheckKeptField(c, picture, reference);
  FUZZ_CHECK(kTarget, RunAtTarget(c, picture, 0, 0xFF, c.layout) == reference,
             "the planes' layout changed the scalar frame");
  for (uint32_t target = 1; target != 0 && target <= targets; target <<= 1) {
    if (!(targets & target)) continue;
    FUZZ_CHECK(kTarget, RunAtTarget(c, picture, target, 0x00, c.layout) == reference,
               std::string(TargetName(target)) + " differs from scalar at " +
                   std::to_string(c.width) + "x" + std::to_string(c.height) + " mode " +
                   std::to_string(c.params.mode));
  }
}

std::string Seed(std::initializer_list<uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::vector<std::string> Seeds() {
  // width, height, size switch, mode, range kind, range, comb, ..., match, ...
  return {
      Seed({0, 0, 0, 4, 0, 1, 48, 1, 0x20, 0x00}),
      Seed({44, 35, 0, 4, 1, 16, 1, 48, 1, 0x20, 0x00, 0, 0, 0, 0, 1, 1, 3, 1, 2, 3, 4, 20, 200, 4, 0}),
      Seed({15, 15, 0, 4, 4, 20, 1, 30, 1, 0xff, 0xff, 0, 0, 0, 0, 0, 1, 3, 9, 9, 9, 9, 60, 190, 8, 4}),
      Seed({3, 7, 0, 3, 2, 5, 1, 10, 1, 0x10, 0x00, 0, 0, 0, 0, 0, 1, 2, 1, 1, 1, 1, 0, 255}),
      Seed({7, 2, 0, 2, 3, 1, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0}),
      Seed({1, 1, 0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 0, 4, 1, 2, 3, 4, 5, 6, 7, 8, 9}),
      Seed({0, 0, 0xff, 17, 200, 0, 4, 0, 1, 48}),
      Seed({9, 4, 0, 4, 5, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 5, 1, 2, 3, 4, 180, 60}),
  };
}

}  // namespace vantrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantrel::fuzz::Run(data, size);
  return 0;
}
