// The AviSynth face's own mapping: host frames of every layout to the core's
// views, the processor gate, the clip questions, and a frame the core could
// not make turned into the host's error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "avisynth/host_error.h"
#include "harness.h"

namespace vantrel {
namespace {

using host::Environment;
using host::FrameLayout;
using test::MakeInfo;

// The picture's first chroma lines differ, and decide a comb mark: a face
// that gave the core U first where the host stores V first (or V for I420)
// would give other bytes.
TEST(PluginFilter, HostFramesOfEveryLayoutAndDepthGiveTheCoresBytesWithTheirChromaOrder) {
  using VI = VideoInfo;
  std::vector<int> types = {VI::CS_YV12, VI::CS_I420, VI::CS_YV16,  VI::CS_YV24, VI::CS_YV411,
                            VI::CS_Y8,   VI::CS_YUY2, VI::CS_BGR24, VI::CS_BGR32};
  for (const int family : {VI::CS_YV12, VI::CS_YV16, VI::CS_YV24, VI::CS_Y8}) {
    for (const int bits : {VI::CS_Sample_Bits_10, VI::CS_Sample_Bits_12, VI::CS_Sample_Bits_14,
                           VI::CS_Sample_Bits_16}) {
      types.push_back(family | bits);
    }
  }
  for (const int type : types) {
    // 80: 4:1:1 chroma 20 wide, a multiple of 4 only.
    for (const auto& size : {std::pair{64, 48}, std::pair{80, 48}, std::pair{70, 36},
                             std::pair{76, 36}}) {
      const VideoInfo vi = MakeInfo(type, size.first, size.second);
      const PixelFormat format = *FormatOf(type);
      if (!format.Fits(vi.width, vi.height)) continue;
      for (int mode = 0; mode <= 4; ++mode) {
        Environment tight(FrameLayout::kContiguous), padded(FrameLayout::kHostLike);
        RequestedParams r;
        r.mode = mode;
        const PClip source = test::MemoryClip(vi);
        const PVideoFrame frame = test::Filter(source, r)->GetFrame(1, &padded);
        const std::vector<BYTE> in = test::FrameOf(source, tight, 1);
        const std::vector<BYTE> want = test::CoreResult(in, vi, r);
        EXPECT_EQ(test::Tight(frame), want) << "type " << PixelTypeName(type) << " mode " << mode;
        EXPECT_EQ(test::FrameOf(test::Filter(source, r), tight, 1), want);
        EXPECT_TRUE(host::OutsidePlanesIntact(*frame.get()));
        if (mode == 3 && format.PlaneCount() == 3 && IsDeinterlacedSize(vi.width, vi.height)) {
          const bool v_first = type != VideoInfo::CS_I420;
          EXPECT_NE(test::CoreResultWith(!v_first, in, vi, r), want)
              << PixelTypeName(type) << ": the picture does not tell V's first lines from U's";
        }
      }
    }
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
