#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "harness.h"
#include "plugin/frame_view.h"
#include "plugin/regions.h"

namespace vantrel {
namespace {

using host::Environment;
using host::FrameLayout;
using test::MakeInfo;

TEST(PluginFilter, EveryModeMatchesTheEngineAndLeavesTheChildFrameAlone) {
  Environment env;
  const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 64, 48);
  auto* fed = new host::FedSourceClip(vi);
  PClip source(fed);
  PVideoFrame input = env.NewVideoFrame(vi);
  std::vector<BYTE> yuv(64 * 48 * 3 / 2);
  for (size_t i = 0; i < yuv.size(); ++i) yuv[i] = test::Sample(0, 0, int(i % 64), int(i / 64));
  host::CopyIn(input, yuv);
  fed->Feed(0, input);
  for (int mode = 0; mode <= 4; ++mode) {
    RequestedParams r;
    r.mode = mode;
    const PClip filter = test::Filter(source, r);
    const std::vector<BYTE> out = test::FrameOf(filter, env);
    EngineParams p;
    p.mode = mode;
    EXPECT_EQ(out, test::EngineResult(yuv, 64, 48, p)) << "mode " << mode;
    if (mode == 0) {
      EXPECT_EQ(out, yuv);
    }
    EXPECT_EQ(test::Tight(input), yuv) << "child frame changed by mode " << mode;
  }
}

TEST(PluginFilter, HostPitchesAndPlaneGapsGiveTheSameBytes) {
  struct Format {
    int pixel_type;
    int width, height;
  };
  const Format formats[] = {{VideoInfo::CS_YV12, 64, 48},  {VideoInfo::CS_I420, 80, 32},
                            {VideoInfo::CS_YV12, 70, 36},  {VideoInfo::CS_YUY2, 64, 40},
                            {VideoInfo::CS_BGR24, 50, 40}, {VideoInfo::CS_BGR32, 64, 40}};
  for (const Format& f : formats) {
    for (int mode = 0; mode <= 4; ++mode) {
      Environment tight(FrameLayout::kContiguous), padded(FrameLayout::kHostLike);
      const VideoInfo vi = MakeInfo(f.pixel_type, f.width, f.height);
      RequestedParams r;
      r.mode = mode;
      const PClip a = test::Filter(test::MemoryClip(vi), r);
      const PClip b = test::Filter(test::MemoryClip(vi), r);
      const PVideoFrame padded_frame = b->GetFrame(1, &padded);
      EXPECT_EQ(test::FrameOf(a, tight, 1), test::Tight(padded_frame))
          << "pixel type " << f.pixel_type << " mode " << mode;
      EXPECT_TRUE(host::OutsidePlanesIntact(*padded_frame.get()));
    }
  }
}

TEST(PluginFilter, I420IsHandledLikeYV12) {
  Environment env;
  for (int mode = 0; mode <= 4; ++mode) {
    RequestedParams r;
    r.mode = mode;
    const PClip yv12 = test::Filter(test::MemoryClip(MakeInfo(VideoInfo::CS_YV12, 48, 32)), r);
    const PClip i420 = test::Filter(test::MemoryClip(MakeInfo(VideoInfo::CS_I420, 48, 32)), r);
    // The source samples depend on the plane's identity, so both clips hold
    // the same picture; the engine sees V first for one and U for the other,
    // which it treats alike.
    EXPECT_EQ(test::FrameOf(yv12, env), test::FrameOf(i420, env)) << mode;
  }
}

TEST(PluginFilter, SizesThatAreNotMultiplesOf16GetTheNotice) {
  Environment env;
  struct Case {
    int w, h;
    bool processed;
  };
  for (const Case c : {Case{720, 480, true}, Case{704, 570, false}, Case{714, 576, false}}) {
    const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, c.w, c.h);
    const PClip source = test::MemoryClip(vi);
    const std::vector<BYTE> in = test::FrameOf(source, env);
    const std::vector<BYTE> out = test::FrameOf(test::Filter(source), env);
    const size_t luma = size_t(c.w) * c.h;
    if (c.processed) {
      EXPECT_EQ(out, test::EngineResult(in, c.w, c.h, EngineParams{}));
    } else {
      EXPECT_NE(out, in);
      EXPECT_TRUE(std::equal(in.begin() + luma, in.end(), out.begin() + luma))
          << "the notice leaves chroma alone";
    }
  }
}

TEST(PluginFilter, WithoutMmxAndSseNothingIsWritten) {
  Environment env(FrameLayout::kHostLike);  // fresh planes hold the guard byte
  const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 64, 48);
  for (CpuFeatures cpu : {test::X86Cpu(true, false), test::X86Cpu(false, true)}) {
    const PClip filter = test::Filter(test::MemoryClip(vi), {}, cpu);
    const PVideoFrame out = filter->GetFrame(0, &env);
    for (BYTE b : test::Tight(out)) ASSERT_EQ(b, host::kGuardByte);
  }
  const CpuFeatures here = DetectCpuFeatures();
  EXPECT_TRUE(here.mmx && here.sse) << "every x86-64 processor reports both";
}

TEST(PluginFilter, ClipQuestionsPassToTheChild) {
  Environment env;
  VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 32, 32, 7);
  vi.image_type = VideoInfo::IT_TFF;
  vi.audio_samples_per_second = 48000;
  const PClip source = test::MemoryClip(vi);
  const PClip filter = test::Filter(source);
  EXPECT_EQ(filter->GetParity(3), source->GetParity(3));
  EXPECT_EQ(std::memcmp(&filter->GetVideoInfo(), &source->GetVideoInfo(), sizeof(VideoInfo)), 0);
  EXPECT_EQ(filter->GetVersion(), 2);
  char a[16] = {1}, b[16] = {1};
  filter->GetAudio(a, 0, 4, &env);
  source->GetAudio(b, 0, 4, &env);
  EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
}

int g_allowed_allocations = 0;
void* CountedAllocate(size_t bytes) {
  if (g_allowed_allocations-- <= 0) return nullptr;
  return std::malloc(bytes);
}

// A sub region that never fits: the scratch luma planes are taken on every
// frame, and the picture stays what the engine made.
void AddUnfittingRegion() { AppendRegion(ProcessRegionList(), kSubRegion, 0, 0, INT32_MAX, 1); }

EngineParams WithMode(int mode) {
  EngineParams p;
  p.mode = mode;
  return p;
}

TEST(PluginFilter, AnAllocationFailureReturnsTheSourceUnprocessed) {
  // Two scratch buffers and the engine's ten: fail each one in turn, then
  // let the same filter recover.
  AddUnfittingRegion();
  Environment env(FrameLayout::kHostLike);
  const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 64, 48);
  const PClip source = test::MemoryClip(vi);
  const std::vector<BYTE> in = test::FrameOf(source, env);
  for (int mode : {3, 4}) {
    const std::vector<BYTE> processed = test::EngineResult(in, 64, 48, WithMode(mode));
    for (int allowed = 0; allowed < 13; ++allowed) {
      RequestedParams r;
      r.mode = mode;
      auto* filter = new DeinterlaceFilter(source, r, test::X86Cpu(true, true));
      const PClip clip(filter);
      filter->SetAllocator(CountedAllocate);
      g_allowed_allocations = allowed;
      const std::vector<BYTE> out = test::FrameOf(clip, env);
      if (g_allowed_allocations < 0) {
        EXPECT_EQ(out, in) << "mode " << mode << " failing allocation " << allowed;
      } else {
        EXPECT_EQ(out, processed) << mode;
      }
      g_allowed_allocations = 100;
      EXPECT_EQ(test::FrameOf(clip, env), processed) << "mode " << mode << " after " << allowed;
    }
  }
}

TEST(PluginFilter, AThousandFramesAllocateNothingAfterTheFirst) {
  AddUnfittingRegion();
  Environment env(FrameLayout::kHostLike);  // planes apart, as a host has them
  const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 64, 48, 1000);
  const PClip source = test::MemoryClip(vi);
  for (int mode : {3, 4}) {
    RequestedParams r;
    r.mode = mode;
    auto* filter = new DeinterlaceFilter(source, r, test::X86Cpu(true, true));
    const PClip clip(filter);
    filter->SetAllocator(CountedAllocate);
    g_allowed_allocations = 1000;
    test::FrameOf(clip, env, 0);
    const int after_first = g_allowed_allocations;
    ASSERT_LT(after_first, 1000) << "the first frame takes its buffers through the allocator";
    for (int n = 1; n < 1000; ++n) clip->GetFrame(n, &env);
    EXPECT_EQ(g_allowed_allocations, after_first) << "mode " << mode;
    // The engine kept from frame to frame gives what a fresh one gives.
    EXPECT_EQ(test::FrameOf(clip, env, 999),
              test::EngineResult(test::FrameOf(source, env, 999), 64, 48, WithMode(mode)));
  }
}

TEST(PluginFilter, ThreadsSharingOneFilterGetTheSerialFrames) {
  AddUnfittingRegion();
  Environment env(FrameLayout::kHostLike);
  const int frames = 32;
  const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 320, 192, frames);
  // Frames made beforehand: the threads then spend their time in the filter.
  std::vector<std::vector<BYTE>> pictures;
  const PClip generated = test::MemoryClip(vi);
  for (int n = 0; n < frames; ++n) pictures.push_back(test::FrameOf(generated, env, n));
  const PClip source(new host::MemorySourceClip(vi, pictures));
  for (int mode : {3, 4}) {
    RequestedParams r;
    r.mode = mode;
    std::vector<std::vector<BYTE>> serial;
    const PClip alone = test::Filter(source, r);
    for (int n = 0; n < frames; ++n) serial.push_back(test::FrameOf(alone, env, n));

    const PClip shared = test::Filter(source, r);
    std::vector<std::vector<BYTE>> got[2];
    std::atomic<int> waiting{2};
    auto pull = [&](int t) {
      // Both start together, so their calls overlap from the first frame.
      --waiting;
      while (waiting.load() > 0) std::this_thread::yield();
      for (int i = 0; i < frames; ++i) {
        const int n = t == 0 ? i : frames - 1 - i;  // the two meet in the middle
        got[t].push_back(test::FrameOf(shared, env, n));
      }
    };
    std::thread other(pull, 1);
    pull(0);
    other.join();
    for (int i = 0; i < frames; ++i) {
      EXPECT_EQ(got[0][i], serial[i]) << "mode " << mode << " frame " << i;
      EXPECT_EQ(got[1][i], serial[frames - 1 - i]) << "mode " << mode << " frame " << i;
    }
  }
}

}  // namespace
}  // namespace vantrel
