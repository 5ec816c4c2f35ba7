// The AviSynth face's own mapping: host frames of every layout to the core's
// views, the processor gate, the clip questions, and a frame the core could
// not make turned into the host's error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "avisynth/host_error.h"
#include "harness.h"

namespace vantrel {
namespace {

using host::Environment;
using host::FrameLayout;
using test::MakeInfo;

TEST(PluginFilter, HostFramesOfEveryLayoutGiveTheCoresBytes) {
  const int types[] = {VideoInfo::CS_YV12, VideoInfo::CS_I420, VideoInfo::CS_YUY2,
                       VideoInfo::CS_BGR24, VideoInfo::CS_BGR32};
  for (const int type : types) {
    for (const auto& size : {std::pair{64, 48}, std::pair{70, 36}}) {
      for (int mode = 0; mode <= 4; ++mode) {
        Environment tight(FrameLayout::kContiguous), padded(FrameLayout::kHostLike);
        const VideoInfo vi = MakeInfo(type, size.first, size.second);
        RequestedParams r;
        r.mode = mode;
        const PClip source = test::MemoryClip(vi);
        const PVideoFrame frame = test::Filter(source, r)->GetFrame(1, &padded);
        const std::vector<BYTE> want = test::CoreResult(test::FrameOf(source, tight, 1), vi, r);
        EXPECT_EQ(test::Tight(frame), want) << "type " << type << " mode " << mode;
        EXPECT_EQ(test::FrameOf(test::Filter(source, r), tight, 1), want);
        EXPECT_TRUE(host::OutsidePlanesIntact(*frame.get()));
      }
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
    // the same picture; the core sees V first for one and U for the other,
    // which it treats alike.
    EXPECT_EQ(test::FrameOf(yv12, env), test::FrameOf(i420, env)) << mode;
  }
}

TEST(PluginFilter, WithoutMmxAndSseNothingIsWritten) {
  Environment env(FrameLayout::kHostLike);  // fresh planes hold the guard byte
  const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 64, 48);
  for (const bool mmx : {false, true}) {
    CpuFeatures cpu;
    cpu.mmx = mmx;
    cpu.sse = !mmx;
    EXPECT_FALSE(PassesProcessorGate(cpu));
    const PClip filter = test::Filter(test::MemoryClip(vi), {}, cpu);
    const PVideoFrame out = filter->GetFrame(0, &env);
    for (BYTE b : test::Tight(out)) ASSERT_EQ(b, host::kGuardByte);
  }
  EXPECT_TRUE(PassesProcessorGate(DetectCpuFeatures())) << "every x86-64 processor has both";
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

TEST(PluginFilter, AFrameTheCoreCouldNotMakeIsTheHostsErrorNotTheSource) {
  Environment env(FrameLayout::kHostLike);
  const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 64, 48);
  const PClip source = test::MemoryClip(vi);
  auto* filter = new DeinterlaceFilter(source, RequestedParams{}, test::AnyProcessor());
  const PClip clip(filter);
  filter->SetAllocator(CountedAllocate);
  g_allowed_allocations = 2;
  try {
    clip->GetFrame(5, &env);
    ADD_FAILURE() << "a frame without its buffers came back";
  } catch (const host::HostError& e) {
    EXPECT_STREQ(e.what(), "VantrelDeinterlace: not enough memory to process frame 5");
  }
  g_allowed_allocations = 100;
  EXPECT_EQ(test::FrameOf(clip, env, 5), test::CoreResult(test::FrameOf(source, env, 5), vi));
}

}  // namespace
}  // namespace vantrel
