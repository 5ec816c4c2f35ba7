#include "engine/engine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/interpolate.h"
#include "engine_view.h"
#include "frames.h"
#include "host_planes.h"

namespace vantrel {
namespace {

using test::EngineView;
using test::Frame;

TEST(EngineObject, GeometryAndBlockTablesOf720x576) {
  DeinterlaceEngine engine;
  ASSERT_TRUE(engine.Init(720, 576));
  const EngineView e(engine);
  EXPECT_EQ(e.blocks_x(), 45u);
  EXPECT_EQ(e.blocks_y(), 36u);
  EXPECT_EQ(e.block_count(), 1620u);
  EXPECT_EQ(e.coarse_width(), 360u);
  EXPECT_EQ(e.decimated_height(), 144u);
  EXPECT_EQ(e.chroma_width(), 360u);
  EXPECT_EQ(e.chroma_height(), 288u);
  EXPECT_EQ(e.origin(46).x, 16);
  EXPECT_EQ(e.origin(46).y, 16);
  EXPECT_EQ(e.offset(46), 11536u);
  EXPECT_EQ(e.coarse_origin(46).x, 8);
  EXPECT_EQ(e.coarse_origin(46).y, 4);
  EXPECT_EQ(e.coarse_offset(46), 1448u);
  const uint32_t last = e.block_count() - 1;
  EXPECT_EQ(e.origin(last).x, 704);
  EXPECT_EQ(e.origin(last).y, 560);
  EXPECT_EQ(e.coarse_origin(last).x, 352);
  EXPECT_EQ(e.coarse_origin(last).y, 140);
}

TEST(EngineObject, SmallestFrameHasOneBlock) {
  DeinterlaceEngine engine;
  ASSERT_TRUE(engine.Init(16, 16));
  const EngineView e(engine);
  EXPECT_EQ(e.block_count(), 1u);
  EXPECT_EQ(e.offset(0), 0u);
  EXPECT_EQ(e.coarse_offset(0), 0u);
}

TEST(EngineObject, ReleaseIsHarmlessAndEmptiesTheEngine) {
  DeinterlaceEngine e;
  e.Release();
  ASSERT_TRUE(e.Init(32, 32));
  e.Release();
  e.Release();
  EXPECT_FALSE(e.Ready());
  EXPECT_EQ(EngineView(e).comb_mask(), nullptr);
  EXPECT_EQ(EngineView(e).decimated_dst(), nullptr);
  ASSERT_TRUE(e.Init(64, 16));  // can be sized again
  EXPECT_EQ(EngineView(e).block_count(), 4u);
}

TEST(EngineObject, RefusesSizesItCannotHold) {
  DeinterlaceEngine e;
  EXPECT_FALSE(e.Init(0, 16));
  EXPECT_FALSE(e.Init(24, 16));
  EXPECT_FALSE(e.Init(16, 8));
  EXPECT_FALSE(e.Init(65536, 65536));  // luma_size would not fit 32 bits
  EXPECT_FALSE(e.Ready());
  // A refused size leaves nothing of an earlier frame behind to be used.
  ASSERT_TRUE(e.Init(32, 32));
  EXPECT_FALSE(e.Init(24, 16));
  EXPECT_FALSE(e.Ready());
}

int g_allocations_left = 0;
void* FailingAllocate(size_t bytes) {
  if (g_allocations_left-- <= 0) return nullptr;
  return std::malloc(bytes);
}

TEST(EngineObject, AllocationFailureLeavesNothingAndProcessDoesNothing) {
  for (int succeed = 0; succeed < 11; ++succeed) {
    DeinterlaceEngine e;
    e.SetAllocator(FailingAllocate);
    g_allocations_left = succeed;
    EXPECT_FALSE(e.Init(32, 32)) << succeed;
    EXPECT_FALSE(e.Ready());
    EXPECT_EQ(EngineView(e).comb_mask(), nullptr);
    EXPECT_EQ(EngineView(e).decimated_src(), nullptr);
    Frame f(32, 32), out(32, 32);
    test::FillNoise(f.bytes.data(), f.bytes.size(), 1);
    const Frame before = f, out_before = out;
    EngineParams p;
    for (int mode = 0; mode <= 4; ++mode) {
      p.mode = mode;
      EXPECT_FALSE(e.Process(f.planes(), out.planes(), p));
    }
    EXPECT_EQ(f.bytes, before.bytes);
    EXPECT_EQ(out.bytes, out_before.bytes);
  }
}

// Runs one mode on `in` with the given kernels, into a separate frame or in
// place on a copy of it; returns the result.
Frame RunMode(const Frame& in, const EngineParams& p, bool in_place = false,
              const EngineDsp& dsp = ScalarEngineDsp()) {
  DeinterlaceEngine e(dsp);
  EXPECT_TRUE(e.Init(in.width, in.height));
  Frame src = in, out(in.width, in.height);
  Frame& result = in_place ? src : out;
  EXPECT_TRUE(e.Process(src.planes(), result.planes(), p));
  if (!in_place) {
    EXPECT_EQ(src.bytes, in.bytes) << "the source is only read";
  }
  return result;
}

TEST(EngineProcess, ModesZeroToThreeGiveTheSameInPlaceAndModeFourRefusesIt) {
  const Frame in = test::WovenMotion(64, 48, 4, 2, 3);
  EngineParams p;
  for (int mode = 0; mode <= 3; ++mode) {
    p.mode = mode;
    EXPECT_EQ(RunMode(in, p, true).bytes, RunMode(in, p).bytes) << mode;
  }
  p.mode = 4;
  DeinterlaceEngine e;
  ASSERT_TRUE(e.Init(64, 48));
  Frame f = in;
  EXPECT_FALSE(e.Process(f.planes(), f.planes(), p));
  EXPECT_EQ(f.bytes, in.bytes);
}

TEST(EngineProcess, ModeZeroPassesAndModeOneKeepsChroma) {
  const Frame in = test::WovenMotion(48, 32, 2, 0, 4);
  EngineParams p;
  p.mode = 0;
  EXPECT_EQ(RunMode(in, p).bytes, in.bytes);
  p.mode = 1;
  const Frame out = RunMode(in, p);
  EXPECT_TRUE(std::equal(in.bytes.begin() + in.luma_size(), in.bytes.end(),
                         out.bytes.begin() + in.luma_size()));
  for (uint32_t row = 0; row < 32; ++row)
    EXPECT_EQ(std::memcmp(&out.bytes[row * 48], &in.bytes[(row | 1) * 48], 48), 0) << row;
}

TEST(EngineProcess, ModeTwoEqualsTheKernelsIntoASeparateBuffer) {
  const Frame in = test::WovenMotion(64, 32, 6, 2, 5);
  EngineParams p;
  p.mode = 2;
  const Frame out = RunMode(in, p);
  Frame expect(64, 32), src = in;
  const FramePlanes to = expect.planes(), from = src.planes();
  InterpolateLuma(ScalarEngineDsp(), to.y, from.y, ConstPlane{}, 64, 32, true);
  InterpolateChroma(ScalarEngineDsp(), to.c0, to.c1, from.c0, from.c1, 32, 16, true);
  EXPECT_EQ(out.bytes, expect.bytes);
}

TEST(EngineProcess, ModeThreeInPlaceEqualsModeFourWithoutRepairs) {
  // match_threshold 0 accepts no repair, so mode 4 writes exactly what the
  // adaptive stage wrote: into a separate buffer, where mode 3 worked in place.
  for (auto size : {std::pair<uint32_t, uint32_t>{64, 48}, {720, 576}}) {
    const Frame in = test::WovenMotion(size.first, size.second, 6, 2, 6);
    EngineParams p;
    p.mode = 3;
    const Frame three = RunMode(in, p, true);
    p.mode = 4;
    p.match_threshold = 0;
    EXPECT_EQ(RunMode(in, p).bytes, three.bytes);
    EXPECT_NE(three.bytes, in.bytes);
  }
}

TEST(EngineProcess, OutOfRangeModeDoesNothing) {
  const Frame in = test::WovenMotion(32, 32, 2, 2, 7);
  for (int mode : {5, -1, 100}) {
    DeinterlaceEngine e;
    ASSERT_TRUE(e.Init(32, 32));
    Frame src = in, out(32, 32);
    EngineParams p;
    p.mode = mode;
    EXPECT_FALSE(e.Process(src.planes(), out.planes(), p));
    EXPECT_FALSE(e.Process(src.planes(), src.planes(), p));
    EXPECT_EQ(src.bytes, in.bytes);
    EXPECT_EQ(out.bytes, Frame(32, 32).bytes);
  }
}

// Planes as hosts hand them over (lines longer than the picture, each plane
// apart, a picture stored upside down) give every mode the bytes of the
// contiguous frame, in place and not, and nothing between the lines changes.
TEST(EngineProcess, HostPlanesGiveTheBytesOfTheContiguousFrame) {
  struct Layout {
    uint32_t pad;
    bool upside_down;
  };
  const Layout in_layouts[] = {{16, false}, {0, true}, {40, true}};
  const Layout out_layouts[] = {{8, false}, {24, true}, {0, false}};
  for (auto size : {std::pair<uint32_t, uint32_t>{64, 48}, {720, 576}}) {
    const uint32_t w = size.first, h = size.second;
    const Frame in = test::WovenMotion(w, h, 5, 4, 12);
    DeinterlaceEngine e;
    ASSERT_TRUE(e.Init(w, h));
    for (int mode = 0; mode <= 4; ++mode) {
      EngineParams p;
      p.mode = mode;
      const Frame want = RunMode(in, p, false, e.Dsp());
      for (size_t k = 0; k < 3; ++k) {
        const std::string what = std::to_string(w) + "x" + std::to_string(h) + " mode " +
                                 std::to_string(mode) + " layout " + std::to_string(k);
        test::HostPlanes from(w, h, in_layouts[k].pad, in_layouts[k].upside_down, 0xA5);
        test::HostPlanes to(w, h, out_layouts[k].pad, out_layouts[k].upside_down, 0xA5);
        from.Load(in.bytes.data());
        ASSERT_TRUE(e.Process(from.view, to.view, p)) << what;
        EXPECT_EQ(to.Tight(), want.bytes) << what;
        EXPECT_EQ(from.Tight(), in.bytes) << what << ": the source is only read";
        EXPECT_TRUE(to.PaddingIntact()) << what;
        if (mode == 4) continue;
        ASSERT_TRUE(e.Process(from.view, from.view, p)) << what;
        EXPECT_EQ(from.Tight(), want.bytes) << what << " in place";
        EXPECT_TRUE(from.PaddingIntact()) << what << " in place";
      }
    }
  }
}

TEST(EngineProcess, MotionRepairReplacesEvenLinesWithSourceLines) {
  const Frame in = test::WovenMotion(320, 256, 6, 4, 9);
  DeinterlaceEngine engine;
  ASSERT_TRUE(engine.Init(320, 256));
  const EngineView e(engine);
  Frame src = in, out(320, 256);
  EngineParams p;
  ASSERT_TRUE(engine.Process(src.planes(), out.planes(), p));

  p.mode = 3;
  const Frame adaptive = RunMode(in, p);
  // Chroma is the interpolation; odd luma lines are the source's.
  EXPECT_TRUE(std::equal(out.bytes.begin() + in.luma_size(), out.bytes.end(),
                         adaptive.bytes.begin() + in.luma_size()));
  for (uint32_t row = 1; row < 256; row += 2)
    ASSERT_EQ(std::memcmp(&out.bytes[row * 320], &in.bytes[row * 320], 320), 0) << row;

  // The facts the engine reports agree with what it wrote.
  const FrameFacts facts = engine.LastFrameFacts();
  int searched = 0, repaired = 0;
  for (uint32_t b = 0; b < e.block_count(); ++b) {
    const BlockOrigin o = e.origin(b);
    const BlockMatch m = e.match(b);
    const bool was_searched = e.score(b) > 32;  // the frame is not combed throughout
    ASSERT_EQ(facts.Searched(b), was_searched) << b;
    searched += was_searched;
    if (!was_searched) {
      EXPECT_EQ(m.cost, 0u);
      EXPECT_EQ(m.dx, 0);
      EXPECT_EQ(m.dy, 0);
    }
    const bool copied = was_searched && m.cost < uint32_t(p.match_threshold);
    ASSERT_EQ(facts.Repaired(b), copied) << b;
    repaired += copied;
    for (int k = 0; k < 8; ++k) {
      const uint8_t* got = &out.bytes[(o.y + 2 * k) * 320 + o.x];
      const uint8_t* want = copied ? &in.bytes[(o.y + m.dy + 2 * k) * 320 + o.x + m.dx]
                                   : &adaptive.bytes[(o.y + 2 * k) * 320 + o.x];
      ASSERT_EQ(std::memcmp(got, want, 16), 0) << "block " << b << " line " << 2 * k;
    }
  }
  EXPECT_GT(searched, 10);
  EXPECT_GT(repaired, 0);
  EXPECT_LT(repaired, searched + 1);
  ASSERT_TRUE(engine.Process(src.planes(), out.planes(), p));  // mode 3 now
  EXPECT_EQ(engine.LastFrameFacts().block_match, nullptr) << "mode 3 searches no block";
}

TEST(EngineProcess, CombedFrameRepairsNoBlockAndClearsEveryRecord) {
  Frame in(720, 576);
  test::FillLuma(in, [](uint32_t row, uint32_t) { return uint8_t(row % 2 ? 255 : 0); });
  DeinterlaceEngine engine;
  ASSERT_TRUE(engine.Init(720, 576));
  const EngineView e(engine);
  for (uint32_t b = 0; b < e.block_count(); ++b) e.match(b) = {0xABABABAB, 1, 1};
  Frame src = in, out(720, 576);
  EngineParams p;
  ASSERT_TRUE(engine.Process(src.planes(), out.planes(), p));
  const FrameFacts facts = engine.LastFrameFacts();
  EXPECT_TRUE(facts.combed_throughout);
  for (uint32_t b = 0; b < e.block_count(); ++b) {
    ASSERT_EQ(e.match(b).cost, 0u);
    ASSERT_EQ(e.match(b).dx, 0);
    ASSERT_FALSE(facts.Repaired(b)) << "a cleared record is no repair";
  }
  p.mode = 2;
  EXPECT_EQ(RunMode(in, p).bytes, out.bytes) << "a combed frame is rebuilt everywhere";
}

// The option sets every target is checked with: each mode, and mode 4 (and
// 3) with ranges and thresholds at their ends.
std::vector<EngineParams> OptionSets(uint32_t w, uint32_t h) {
  std::vector<EngineParams> sets;
  for (int mode = 0; mode <= 4; ++mode) {
    sets.emplace_back();
    sets.back().mode = mode;
  }
  const int32_t smaller = int32_t(std::min(w, h));
  for (const int32_t range : {0, 3, smaller}) {
    sets.emplace_back();
    sets.back().search_range = range;
  }
  for (const int mode : {3, 4}) {
    for (const int32_t comb : {0, 255}) {
      sets.emplace_back();
      sets.back().mode = mode;
      sets.back().comb_threshold = comb;
    }
  }
  for (const int32_t match : {0, 65535}) {
    sets.emplace_back();
    sets.back().match_threshold = match;
  }
  return sets;
}

// Whole frames at every target this machine has equal the scalar engine's,
// in every mode; one engine per target serves all frames of a size (Init
// once, Process many, as the plugin keeps engines); and every frame ends its
// allocation, so the sanitizer build sees any read or write past it.
TEST(EngineTargets, EveryTargetGivesTheScalarFramesInEveryMode) {
  std::vector<EngineDsp> tables;
  const uint32_t targets = CompiledTargets() & DetectCpuFeatures().targets;
  for (uint32_t t = 1; t != 0 && t <= targets; t <<= 1) {
    if (!(targets & t)) continue;
    tables.emplace_back();
    InitEngineDsp(&tables.back(), t);
  }
  for (auto size : {std::pair<uint32_t, uint32_t>{16, 16}, {32, 16}, {16, 32}, {48, 48},
                    {720, 576}}) {
    const uint32_t w = size.first, h = size.second;
    std::vector<Frame> pictures = {test::WovenMotion(w, h, 5, 4, 10),
                                   test::WovenMotion(w, h, -3, 2, 11, test::Motion::kPan),
                                   Frame(w, h)};
    test::FillLuma(pictures[2], [](uint32_t r, uint32_t) { return uint8_t(r % 2 * 255); });
    DeinterlaceEngine scalar(ScalarEngineDsp());
    ASSERT_TRUE(scalar.Init(w, h));
    std::vector<std::unique_ptr<DeinterlaceEngine>> engines;
    for (const EngineDsp& dsp : tables) {
      engines.push_back(std::make_unique<DeinterlaceEngine>(dsp));
      ASSERT_TRUE(engines.back()->Init(w, h));
    }
    for (size_t k = 0; k < pictures.size(); ++k) {
      const Frame& in = pictures[k];
      for (const EngineParams& p : OptionSets(w, h)) {
        const std::string what = std::to_string(w) + "x" + std::to_string(h) + " picture " +
                                 std::to_string(k) + " mode " + std::to_string(p.mode) +
                                 " range " + std::to_string(p.search_range) + " comb " +
                                 std::to_string(p.comb_threshold) + " match " +
                                 std::to_string(p.match_threshold);
        // The scalar engine in place where it may be, the others into a
        // separate frame.
        Frame src = in, out(w, h);
        Frame& want = p.mode == 4 ? out : src;
        ASSERT_TRUE(scalar.Process(src.planes(), want.planes(), p)) << what;
        // The kept field survives every mode; mode 4 leaves its source alone.
        for (uint32_t row = 1; row < h; row += 2) {
          ASSERT_EQ(std::memcmp(&want.bytes[row * w], &in.bytes[row * w], w), 0) << what;
        }
        if (p.mode == 4) {
          ASSERT_EQ(src.bytes, in.bytes) << what;
        }
        for (size_t t = 0; t < engines.size(); ++t) {
          Frame tsrc = in, tout(w, h);
          ASSERT_TRUE(engines[t]->Process(tsrc.planes(), tout.planes(), p)) << what;
          ASSERT_EQ(tout.bytes, want.bytes) << TargetName(tables[t].target) << ": " << what;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vantrel
