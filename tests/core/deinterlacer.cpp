// The filter core, once for every face: the frame flow on views of any
// layout, the arguments clamped per frame, regions from the input frame,
// failures reported, buffers kept, threads.
#include "core/deinterlacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "engine/dsp.h"
#include "engine/interpolate.h"
#include "guarded_frame.h"
#include "woven_picture.h"

namespace vantrel {
namespace {

using test::GuardedFrame;
using Bytes = std::vector<uint8_t>;

// A woven picture in the luma (or the single packed plane), noise elsewhere.
Bytes Picture(const GuardedFrame& frame, uint32_t seed,
              test::Motion motion = test::Motion::kObject) {
  const PlaneView& first = frame.view().planes[0];
  Bytes tight(frame.Tight().size());
  test::WeavePicture(tight.data(), uint32_t(first.row_bytes()), uint32_t(first.height), 5, 2,
                     motion, seed);
  std::mt19937 rng(seed);
  for (size_t i = first.bytes(); i < tight.size(); ++i) tight[i] = uint8_t(rng() >> 24);
  return tight;
}

// Where two frames first differ, or -1 (gtest would print whole frames).
ptrdiff_t FirstDifference(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return ptrdiff_t(std::min(a.size(), b.size()));
  const auto at = std::mismatch(a.begin(), a.end(), b.begin());
  return at.first == a.end() ? -1 : at.first - a.begin();
}

struct Outcome {
  Bytes out;
  FrameResult result;
};

Outcome Process(Deinterlacer& core, PixelFormat format, int32_t w, int32_t h, const Bytes& picture,
                bool upside_down, const RegionList& regions = {}) {
  GuardedFrame in(format, w, h, upside_down), out(format, w, h, upside_down, 40);
  in.Fill(picture);
  Outcome run{{}, core.Process(in.view(), out.view(), regions)};
  run.out = out.Tight();
  EXPECT_EQ(in.Tight(), picture) << "the input frame was written";
  EXPECT_TRUE(in.GuardsIntact() && out.GuardsIntact()) << "a byte outside the planes was written";
  return run;
}

// What the core must give for a planar frame of any layout: the 4:2:0
// engine's luma for the same luma and the same detector row (the first
// `w` samples of c0, or mid-grey without chroma), and each chroma plane
// rebuilt alone by the chroma kernel with the frame's verdict.
Bytes Expected(PixelFormat format, const Bytes& in, int32_t w, int32_t h, const EngineParams& p) {
  const size_t luma = size_t(w) * size_t(h);
  Bytes frame420(BlockBytes(kYuv420, w, h), 128), out420(frame420.size());
  std::copy(in.begin(), in.begin() + ptrdiff_t(luma), frame420.begin());
  if (format.family == Family::kYuv) {
    // Tight, the first w samples of c0 are its first lines, line after line.
    std::copy_n(in.begin() + ptrdiff_t(luma), w, frame420.begin() + ptrdiff_t(luma));
  }
  DeinterlaceEngine engine;
  EXPECT_TRUE(engine.Init(uint32_t(w), uint32_t(h)));
  EXPECT_TRUE(engine.Process(EnginePlanes(BlockView(kYuv420, frame420.data(), w, h)),
                             EnginePlanes(BlockView(kYuv420, out420.data(), w, h)), p));
  Bytes expected = in;
  std::copy(out420.begin(), out420.begin() + ptrdiff_t(luma), expected.begin());
  if (format.family != Family::kYuv || p.mode < 2) return expected;
  const bool rebuild_all = p.mode == 2 || engine.LastFrameFacts().combed_throughout;
  const FrameView shapes = PlaneShapes(format, w, h);
  const uint32_t cw = uint32_t(shapes.planes[1].width), ch = uint32_t(shapes.planes[1].height);
  Bytes chroma(in.begin() + ptrdiff_t(luma), in.end());
  const Plane c0{chroma.data(), ptrdiff_t(cw)}, c1{chroma.data() + cw * ch, ptrdiff_t(cw)};
  InterpolateChroma(ScalarEngineDsp(), c0, c1, c0, c1, cw, ch, rebuild_all);
  std::copy(chroma.begin(), chroma.end(), expected.begin() + ptrdiff_t(luma));
  return expected;
}

TEST(CoreDeinterlacer, EveryLayoutAndModeGivesItsBytesInAnyMemoryLayout) {
  struct Case {
    PixelFormat format;
    int32_t w, h;
  };
  // 4:1:1 at 80 and 48: chroma planes 20 and 12 wide, multiples of 4 only.
  const Case cases[] = {{kYuv420, 64, 48}, {kYuv422, 64, 32}, {kYuv444, 48, 32},
                        {kYuv411, 80, 32}, {kYuv411, 48, 16}, {kGrey, 64, 32},
                        {kYuv420, 70, 36}, {kYuv422, 70, 32}, {kGrey, 30, 20},
                        {kYuy2, 64, 40},   {kRgb24, 50, 40},  {kRgb32, 64, 40}};
  for (const Case& c : cases) {
    const Bytes picture = Picture(GuardedFrame(c.format, c.w, c.h), 3);
    for (int mode = -1; mode <= 5; ++mode) {
      RequestedParams requested;
      requested.mode = mode;
      requested.search_range = mode == 2 ? 1000 : 8;  // 1000: beyond the frame, so 16
      Deinterlacer core(requested);
      const Outcome upright = Process(core, c.format, c.w, c.h, picture, false);
      const Outcome turned = Process(core, c.format, c.w, c.h, picture, true);
      const std::string where = std::string(LayoutName(c.format)) + " " + std::to_string(c.w) +
                                "x" + std::to_string(c.h) + " mode " + std::to_string(mode);
      ASSERT_EQ(upright.result, FrameResult::kDone) << where;
      EXPECT_EQ(FirstDifference(turned.out, upright.out), -1) << where;
      if (c.format.Planar() && IsDeinterlacedSize(c.w, c.h)) {
        const Bytes expected =
            Expected(c.format, picture, c.w, c.h, BuildEngineParams(requested, c.w, c.h));
        EXPECT_EQ(FirstDifference(upright.out, expected), -1) << where;
        continue;
      }
      // A notice: ink (0 or 255) over a copy of the source, never in chroma.
      const size_t luma = size_t(c.w) * size_t(c.h);
      for (size_t i = 0; i < picture.size(); ++i) {
        const bool may_ink = c.format.Planar()            ? i < luma
                             : c.format == kYuy2 ? i % 2 == 0
                                                          : true;
        const uint8_t o = upright.out[i];
        ASSERT_TRUE(o == picture[i] || (may_ink && (o == 0 || o == 255))) << where << " " << i;
      }
      EXPECT_NE(upright.out, picture) << where;
    }
  }
}

// Deep samples are decided at 8 bits and built at full precision: a clip
// whose samples are an 8-bit clip's times 2^s gives, in its top 8 bits, the
// 8-bit clip's output; and the kept field of any deep clip passes through.
TEST(CoreDeinterlacer, DeepSamplesGiveTheEightBitOutputInTheirTopBits) {
  struct Case {
    PixelFormat layout;
    int32_t w, h;
    test::Motion motion;  // a pan combs the frame throughout
  };
  const Case cases[] = {{kYuv420, 64, 48, test::Motion::kObject},
                        {kYuv420, 64, 48, test::Motion::kPan},
                        {kYuv411, 80, 32, test::Motion::kObject},
                        {kGrey, 48, 32, test::Motion::kObject},
                        {kYuv422, 70, 34, test::Motion::kObject}};
  for (const Case& c : cases) {
    const Bytes picture = Picture(GuardedFrame(c.layout, c.w, c.h), 9, c.motion);
    for (int bits : {9, 10, 12, 16}) {
      const PixelFormat deep = WithBits(c.layout, bits);
      const int shift = bits - 8;
      std::mt19937 rng{uint32_t(bits)};
      Bytes scaled, noisy;  // little-endian; noisy: low bits that vary
      for (const uint8_t p : picture) {
        const uint16_t v = uint16_t(p << shift), n = uint16_t(v | (rng() & ((1u << shift) - 1)));
        scaled.insert(scaled.end(), {uint8_t(v), uint8_t(v >> 8)});
        noisy.insert(noisy.end(), {uint8_t(n), uint8_t(n >> 8)});
      }
      for (int mode = 0; mode <= 4; ++mode) {
        RequestedParams requested;
        requested.mode = mode;
        requested.search_range = 8;
        requested.match_threshold = 65535;  // so that blocks of these pictures are repaired
        Deinterlacer core(requested);
        const std::string where = std::string(LayoutName(c.layout)) + " " + std::to_string(bits) +
                                  " bits mode " + std::to_string(mode);
        const Outcome eight = Process(core, c.layout, c.w, c.h, picture, false);
        const Outcome wide = Process(core, deep, c.w, c.h, scaled, mode % 2 == 1);
        ASSERT_EQ(wide.result, FrameResult::kDone) << where;
        Bytes top;
        for (size_t i = 0; i < wide.out.size(); i += 2) {
          top.push_back(uint8_t((wide.out[i] | wide.out[i + 1] << 8) >> shift));
        }
        EXPECT_EQ(FirstDifference(top, eight.out), -1) << where;
        // Every odd line keeps the source's full precision.
        if (!IsDeinterlacedSize(c.w, c.h)) continue;
        Bytes kept = Process(core, deep, c.w, c.h, noisy, false).out;
        const FrameView a = BlockView(deep, noisy.data(), c.w, c.h);
        const FrameView b = BlockView(deep, kept.data(), c.w, c.h);
        for (int p = 0; p < a.plane_count(); ++p) {
          const PlaneView &from = a.planes[p], &to = b.planes[p];
          for (int32_t y = 1; y < from.height; y += 2) {
            ASSERT_EQ(std::memcmp(from.Line(y), to.Line(y), from.row_bytes()), 0) << where;
          }
        }
      }
    }
  }
}

TEST(CoreDeinterlacer, PicturesOfAnySizeArePaddedAndCroppedBack) {
  // The padded frame, processed whole, then cropped: what ProcessPicture
  // must give for a picture whose sides are not multiples of 16.
  for (const PixelFormat format : {kYuv420, kYuv411, kGrey}) {
    const int32_t w = 52, h = 38, pw = 64, ph = 48;
    GuardedFrame in(format, w, h), out(format, w, h), padded(format, pw, ph), whole(format, pw, ph);
    in.Fill(Picture(in, 8));
    CopyFrame(in.view(), Cropped(padded.view(), w, h));
    FillPadding(padded.view(), w, h);
    Deinterlacer core{RequestedParams{}};
    for (const Field keep : {Field::kBottom, Field::kTop}) {
      ASSERT_EQ(core.Process(Placed(padded.view(), keep), Placed(whole.view(), keep), {}),
                FrameResult::kDone);
      ASSERT_EQ(core.ProcessPicture(in.view(), out.view(), keep, {}), FrameResult::kDone);
      GuardedFrame cropped(format, w, h);
      CopyFrame(Cropped(whole.view(), w, h), cropped.view());
      EXPECT_EQ(out.Tight(), cropped.Tight()) << LayoutName(format);
      EXPECT_TRUE(out.GuardsIntact());
    }
  }
}

TEST(CoreDeinterlacer, RegionsTakeTheSourceFromTheInputFrame) {
  const int32_t w = 64, h = 48;
  const Bytes picture = Picture(GuardedFrame(kYuv420, w, h), 4);
  Deinterlacer core{RequestedParams{}};
  RegionList regions;
  AppendRegion(regions, kSubRegion, 0, 0, w, h);
  AppendRegion(regions, kAddRegion, 16, 8, 40, 30);
  const Bytes processed = Process(core, kYuv420, w, h, picture, false).out;
  for (const bool upside_down : {false, true}) {
    const Bytes out =
        Process(core, kYuv420, w, h, picture, upside_down, regions).out;
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
const RegionList& UnfittingRegion() {
  static RegionList regions;
  if (regions.Count() == 0) AppendRegion(regions, kSubRegion, 0, 0, INT32_MAX, 1);
  return regions;
}

TEST(CoreDeinterlacer, AnAllocationFailureIsReportedAndTheSameFilterRecovers) {
  const int32_t w = 64, h = 48;
  const Bytes picture = Picture(GuardedFrame(kYuv420, w, h), 5);
  for (int mode : {3, 4}) {
    RequestedParams requested;
    requested.mode = mode;
    Deinterlacer reference(requested);
    const Bytes processed = Process(reference, kYuv420, w, h, picture, false).out;
    int failures = 0;
    for (int allowed = 0; allowed < 16; ++allowed) {
      Deinterlacer core(requested);
      core.SetAllocator(CountedAllocate);
      g_allowed_allocations = allowed;
      const FrameResult result =
          Process(core, kYuv420, w, h, picture, false, UnfittingRegion()).result;
      const bool failed = g_allowed_allocations < 0;
      failures += failed;
      EXPECT_EQ(result, failed ? FrameResult::kNoMemory : FrameResult::kDone)
          << "mode " << mode << " allowing " << allowed;
      g_allowed_allocations = 100;
      const Outcome again = Process(core, kYuv420, w, h, picture, false, UnfittingRegion());
      EXPECT_EQ(again.result, FrameResult::kDone);
      EXPECT_EQ(again.out, processed) << "mode " << mode << " after allowing " << allowed;
    }
    EXPECT_GT(failures, 8) << "every buffer's failure is reached";
  }
  // A frame the engine will not take is failed too, never reported done.
  Deinterlacer core{RequestedParams{}};
  const PixelFormat too_deep = WithBits(kYuv420, kMaxBits + 1);
  EXPECT_EQ(Process(core, too_deep, w, h, Bytes(BlockBytes(too_deep, w, h)), false).result,
            FrameResult::kRefused);
}

TEST(CoreDeinterlacer, AThousandFramesAllocateNothingAfterTheFirst) {
  const int32_t w = 64, h = 48;
  const Bytes picture = Picture(GuardedFrame(kYuv420, w, h), 6);
  for (int mode : {3, 4}) {
    RequestedParams requested;
    requested.mode = mode;
    Deinterlacer core(requested);
    core.SetAllocator(CountedAllocate);
    g_allowed_allocations = 1000;
    GuardedFrame in(kYuv420, w, h), out(kYuv420, w, h);
    in.Fill(picture);
    const RegionList& regions = UnfittingRegion();
    ASSERT_EQ(core.Process(in.view(), out.view(), regions), FrameResult::kDone);
    const int after_first = g_allowed_allocations;
    ASSERT_LT(after_first, 1000) << "the first frame takes its buffers through the allocator";
    for (int n = 1; n < 1000; ++n) {
      ASSERT_EQ(core.Process(in.view(), out.view(), regions), FrameResult::kDone);
    }
    EXPECT_EQ(g_allowed_allocations, after_first) << "mode " << mode;
  }
}

TEST(CoreDeinterlacer, ThreadsSharingOneFilterGetTheSerialFrames) {
  const int32_t w = 320, h = 192;
  const int frames = 24;
  std::vector<Bytes> pictures;
  for (int n = 0; n < frames; ++n) {
    pictures.push_back(Picture(GuardedFrame(kYuv420, w, h), uint32_t(10 + n)));
  }
  for (int mode : {3, 4}) {
    RequestedParams requested;
    requested.mode = mode;
    Deinterlacer alone(requested), shared(requested);
    std::vector<Bytes> serial;
    for (const Bytes& p : pictures) serial.push_back(Process(alone, kYuv420, w, h, p, false).out);
    std::vector<Bytes> got[2];
    std::atomic<int> waiting{2};
    auto pull = [&](int t) {
      // Both start together, so their calls overlap from the first frame.
      --waiting;
      while (waiting.load() > 0) std::this_thread::yield();
      for (int i = 0; i < frames; ++i) {
        const int n = t == 0 ? i : frames - 1 - i;  // the two meet in the middle
        got[t].push_back(Process(shared, kYuv420, w, h, pictures[size_t(n)], false).out);
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
