// The filter core, once for every face: the frame flow on views of any
// layout, the arguments clamped per frame, regions from the input frame,
// failures reported, buffers kept, threads.
#include "core/deinterlacer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "guarded_frame.h"
#include "woven_picture.h"

namespace vantrel {
namespace {

using test::GuardedFrame;
using Bytes = std::vector<uint8_t>;

// A woven picture in the luma (or the single packed plane), noise elsewhere.
Bytes Picture(const GuardedFrame& frame, uint32_t seed) {
  const PlaneView& first = frame.view().planes[0];
  Bytes tight(frame.Tight().size());
  test::WeavePicture(tight.data(), uint32_t(first.row_size), uint32_t(first.height), 5, 2,
                     test::Motion::kObject, seed);
  std::mt19937 rng(seed);
  for (size_t i = first.bytes(); i < tight.size(); ++i) tight[i] = uint8_t(rng() >> 24);
  return tight;
}

// The engine alone on tight planes: what the core must give for a 4:2:0 frame.
Bytes EngineResult(const Bytes& in, int32_t w, int32_t h, const EngineParams& p) {
  Bytes src = in, out(in.size());
  DeinterlaceEngine engine;
  EXPECT_TRUE(engine.Init(uint32_t(w), uint32_t(h)));
  const FramePlanes a = EnginePlanes(BlockView(PixelFormat::kYuv420, src.data(), w, h));
  const FramePlanes b = EnginePlanes(BlockView(PixelFormat::kYuv420, out.data(), w, h));
  EXPECT_TRUE(engine.Process(a, b, p));
  return out;
}

struct Outcome {
  Bytes out;
  FrameResult result;
};

Outcome Process(Deinterlacer& core, PixelFormat format, int32_t w, int32_t h, const Bytes& picture,
            bool upside_down, const RegionList& regions = {}) {
  GuardedFrame in(format, w, h, upside_down), out(format, w, h, upside_down, 40);
  in.Fill(picture);
  Outcome run{{}, core.Process(format, in.view(), out.view(), regions)};
  run.out = out.Tight();
  EXPECT_EQ(in.Tight(), picture) << "the input frame was written";
  EXPECT_TRUE(in.GuardsIntact() && out.GuardsIntact()) << "a byte outside the planes was written";
  return run;
}

TEST(CoreDeinterlacer, EveryFormatAndModeGivesTheSameBytesInAnyLayout) {
  struct Format {
    PixelFormat format;
    int32_t w, h;
  };
  const Format formats[] = {{PixelFormat::kYuv420, 64, 48}, {PixelFormat::kYuv420, 70, 36},
                            {PixelFormat::kYuy2, 64, 40},   {PixelFormat::kRgb24, 50, 40},
                            {PixelFormat::kRgb32, 64, 40}};
  for (const Format& f : formats) {
    const Bytes picture = Picture(GuardedFrame(f.format, f.w, f.h), 3);
    for (int mode = -1; mode <= 5; ++mode) {
      RequestedParams requested;
      requested.mode = mode;
      requested.search_range = mode == 2 ? 1000 : 8;  // 1000: beyond the frame, so 16
      Deinterlacer core(requested);
      const Outcome upright = Process(core, f.format, f.w, f.h, picture, false);
      const Outcome turned = Process(core, f.format, f.w, f.h, picture, true);
      ASSERT_EQ(upright.result, FrameResult::kDone);
      EXPECT_EQ(turned.out, upright.out) << "mode " << mode;
      if (f.format == PixelFormat::kYuv420 && IsDeinterlacedSize(f.w, f.h)) {
        EXPECT_EQ(upright.out, EngineResult(picture, f.w, f.h,
                                            BuildEngineParams(requested, f.w, f.h)))
            << "mode " << mode;
      } else {
        // A notice: ink (0 or 255) over a copy of the source, never in chroma.
        const size_t luma = size_t(f.w) * size_t(f.h);
        for (size_t i = 0; i < picture.size(); ++i) {
          const bool may_ink = f.format == PixelFormat::kYuv420 ? i < luma
                               : f.format == PixelFormat::kYuy2 ? i % 2 == 0
                                                                : true;
          const uint8_t o = upright.out[i];
          ASSERT_TRUE(o == picture[i] || (may_ink && (o == 0 || o == 255))) << i;
        }
        EXPECT_NE(upright.out, picture);
      }
    }
  }
}

TEST(CoreDeinterlacer, RegionsTakeTheSourceFromTheInputFrame) {
  const int32_t w = 64, h = 48;
  const Bytes picture = Picture(GuardedFrame(PixelFormat::kYuv420, w, h), 4);
  Deinterlacer core{RequestedParams{}};
  RegionList regions;
  AppendRegion(regions, kSubRegion, 0, 0, w, h);
  AppendRegion(regions, kAddRegion, 16, 8, 40, 30);
  const Bytes processed = Process(core, PixelFormat::kYuv420, w, h, picture, false).out;
  for (const bool upside_down : {false, true}) {
    const Bytes out =
        Process(core, PixelFormat::kYuv420, w, h, picture, upside_down, regions).out;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = size_t(y) * w + x;
        const bool added = x >= 16 && x < 40 && y >= 8 && y < 30;
        ASSERT_EQ(out[i], added ? processed[i] : picture[i]) << x << "," << y;
      }
    EXPECT_TRUE(std::equal(out.begin() + w * h, out.end(), processed.begin() + w * h))
        << "chroma keeps the processed picture";
  }
}

int g_allowed_allocations = 0;
void* CountedAllocate(size_t bytes) {
  if (g_allowed_allocations-- <= 0) return nullptr;
  return std::malloc(bytes);
}

// A sub region that never fits: the region step's scratch is taken on every
// frame, and the picture stays what the engine made.
RegionList UnfittingRegion() {
  RegionList regions;
  AppendRegion(regions, kSubRegion, 0, 0, INT32_MAX, 1);
  return regions;
}

TEST(CoreDeinterlacer, AnAllocationFailureIsReportedAndTheSameFilterRecovers) {
  const int32_t w = 64, h = 48;
  const Bytes picture = Picture(GuardedFrame(PixelFormat::kYuv420, w, h), 5);
  for (int mode : {3, 4}) {
    RequestedParams requested;
    requested.mode = mode;
    Deinterlacer reference(requested);
    const Bytes processed = Process(reference, PixelFormat::kYuv420, w, h, picture, false).out;
    int failures = 0;
    for (int allowed = 0; allowed < 16; ++allowed) {
      Deinterlacer core(requested);
      core.SetAllocator(CountedAllocate);
      g_allowed_allocations = allowed;
      const FrameResult result =
          Process(core, PixelFormat::kYuv420, w, h, picture, false, UnfittingRegion()).result;
      const bool failed = g_allowed_allocations < 0;
      failures += failed;
      EXPECT_EQ(result, failed ? FrameResult::kNoMemory : FrameResult::kDone)
          << "mode " << mode << " allowing " << allowed;
      g_allowed_allocations = 100;
      const Outcome again = Process(core, PixelFormat::kYuv420, w, h, picture, false, UnfittingRegion());
      EXPECT_EQ(again.result, FrameResult::kDone);
      EXPECT_EQ(again.out, processed) << "mode " << mode << " after allowing " << allowed;
    }
    EXPECT_GT(failures, 8) << "every buffer's failure is reached";
  }
}

TEST(CoreDeinterlacer, AThousandFramesAllocateNothingAfterTheFirst) {
  const int32_t w = 64, h = 48;
  const Bytes picture = Picture(GuardedFrame(PixelFormat::kYuv420, w, h), 6);
  for (int mode : {3, 4}) {
    RequestedParams requested;
    requested.mode = mode;
    Deinterlacer core(requested);
    core.SetAllocator(CountedAllocate);
    g_allowed_allocations = 1000;
    GuardedFrame in(PixelFormat::kYuv420, w, h), out(PixelFormat::kYuv420, w, h);
    in.Fill(picture);
    const RegionList regions = UnfittingRegion();
    ASSERT_EQ(core.Process(PixelFormat::kYuv420, in.view(), out.view(), regions),
              FrameResult::kDone);
    const int after_first = g_allowed_allocations;
    ASSERT_LT(after_first, 1000) << "the first frame takes its buffers through the allocator";
    for (int n = 1; n < 1000; ++n) core.Process(PixelFormat::kYuv420, in.view(), out.view(), regions);
    EXPECT_EQ(g_allowed_allocations, after_first) << "mode " << mode;
  }
}

TEST(CoreDeinterlacer, ThreadsSharingOneFilterGetTheSerialFrames) {
  const int32_t w = 320, h = 192;
  const int frames = 24;
  std::vector<Bytes> pictures;
  for (int n = 0; n < frames; ++n) {
    pictures.push_back(Picture(GuardedFrame(PixelFormat::kYuv420, w, h), uint32_t(10 + n)));
  }
  for (int mode : {3, 4}) {
    RequestedParams requested;
    requested.mode = mode;
    Deinterlacer alone(requested), shared(requested);
    std::vector<Bytes> serial;
    for (const Bytes& p : pictures) serial.push_back(Process(alone, PixelFormat::kYuv420, w, h, p, false).out);
    std::vector<Bytes> got[2];
    std::atomic<int> waiting{2};
    auto pull = [&](int t) {
      // Both start together, so their calls overlap from the first frame.
      --waiting;
      while (waiting.load() > 0) std::this_thread::yield();
      for (int i = 0; i < frames; ++i) {
        const int n = t == 0 ? i : frames - 1 - i;  // the two meet in the middle
        got[t].push_back(Process(shared, PixelFormat::kYuv420, w, h, pictures[size_t(n)], false).out);
      }
    };
    std::thread other(pull, 1);
    pull(0);
    other.join();
    for (int i = 0; i < frames; ++i) {
      EXPECT_EQ(got[0][size_t(i)], serial[size_t(i)]) << "mode " << mode << " frame " << i;
      EXPECT_EQ(got[1][size_t(i)], serial[size_t(frames - 1 - i)]) << "mode " << mode;
    }
  }
}

}  // namespace
}  // namespace vantrel
