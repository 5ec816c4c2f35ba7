#include <gtest/gtest.h>

#include <cstdlib>

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
  for (CpuFeatures cpu : {CpuFeatures{true, false}, CpuFeatures{false, true}}) {
    const PClip filter = test::Filter(test::MemoryClip(vi), {}, cpu);
    const PVideoFrame out = filter->GetFrame(0, &env);
    for (BYTE b : test::Tight(out)) ASSERT_EQ(b, host::kGuardByte);
  }
  const CpuFeatures here = DetectCpuFeatures();
  EXPECT_TRUE(here.has_mmx && here.has_sse) << "every x86-64 processor reports both";
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

TEST(PluginFilter, AnAllocationFailureReturnsTheSourceUnprocessed) {
  // Two scratch buffers (taken only when regions exist: this one never fits,
  // so it changes no picture), the engine's nine, and the padded frames'
  // blocks: fail each one in turn.
  AppendRegion(ProcessRegionList(), kSubRegion, 0, 0, INT32_MAX, 1);
  Environment env(FrameLayout::kHostLike);
  const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 64, 48);
  const PClip source = test::MemoryClip(vi);
  const std::vector<BYTE> in = test::FrameOf(source, env);
  for (int mode : {3, 4}) {
    for (int allowed = 0; allowed < 13; ++allowed) {
      RequestedParams r;
      r.mode = mode;
      auto* filter = new DeinterlaceFilter(source, r, CpuFeatures{true, true});
      const PClip clip(filter);
      filter->SetAllocator(CountedAllocate);
      g_allowed_allocations = allowed;
      const std::vector<BYTE> out = test::FrameOf(clip, env);
      if (g_allowed_allocations < 0) {
        EXPECT_EQ(out, in) << "mode " << mode << " failing allocation " << allowed;
      } else {
        EngineParams p;
        p.mode = mode;
        EXPECT_EQ(out, test::EngineResult(in, 64, 48, p)) << mode;
      }
    }
  }
}

}  // namespace
}  // namespace vantrel
