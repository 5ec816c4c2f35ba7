// The in-memory and fed source clips.
#include "avisynth/source_clips.h"

#include <gtest/gtest.h>

#include "avisynth/environment.h"
#include "avisynth/frame_planes.h"
#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

VideoInfo Format(int pixel_type, int width, int height, int frames) {
  VideoInfo vi{};
  vi.width = width;
  vi.height = height;
  vi.pixel_type = pixel_type;
  vi.num_frames = frames;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  return vi;
}

BYTE Pattern(int n, int plane, int x, int y) {
  return static_cast<BYTE>(n * 50 + plane * 10 + x + 3 * y);
}

TEST(HostSourceClips, GeneratorFillsEachPlaneByIdentityInEitherLayout) {
  for (FrameLayout layout : {FrameLayout::kContiguous, FrameLayout::kHostLike}) {
    for (int type : {VideoInfo::CS_YV12, VideoInfo::CS_I420}) {
      Environment env(layout);
      PClip clip(new MemorySourceClip(Format(type, 32, 8, 3), Pattern));
      PVideoFrame f = clip->GetFrame(2, &env);
      for (int plane : {PLANAR_Y, PLANAR_U, PLANAR_V}) {
        const BYTE* row = f->GetReadPtr(plane) + 3 * f->GetPitch(plane);
        EXPECT_EQ(row[5], Pattern(2, plane, 5, 3)) << "plane " << plane;
      }
      if (layout == FrameLayout::kHostLike) {
        EXPECT_TRUE(OutsidePlanesIntact(*f));
      }
    }
  }
}

TEST(HostSourceClips, GivenBytesComeBackUnchangedAndRequestsAreClamped) {
  const VideoInfo vi = Format(VideoInfo::CS_YUY2, 8, 4, 2);
  std::vector<std::vector<BYTE>> frames(2, std::vector<BYTE>(64));
  for (size_t i = 0; i < 64; ++i) {
    frames[0][i] = static_cast<BYTE>(i);
    frames[1][i] = static_cast<BYTE>(200 - i);
  }
  Environment env(FrameLayout::kHostLike);
  PClip clip(new MemorySourceClip(vi, frames));
  EXPECT_EQ(CopyOut(*clip->GetFrame(0, &env)), frames[0]);
  EXPECT_EQ(CopyOut(*clip->GetFrame(1, &env)), frames[1]);
  EXPECT_EQ(CopyOut(*clip->GetFrame(9, &env)), frames[1]);
  EXPECT_EQ(CopyOut(*clip->GetFrame(-4, &env)), frames[0]);
}

TEST(HostSourceClips, GivenBytesOfTheWrongSizeOrCountAreRefused) {
  const VideoInfo vi = Format(VideoInfo::CS_YV12, 8, 4, 1);
  EXPECT_NO_THROW(MemorySourceClip(vi, std::vector<std::vector<BYTE>>(1, std::vector<BYTE>(48))));
  EXPECT_THROW(MemorySourceClip(vi, std::vector<std::vector<BYTE>>(1, std::vector<BYTE>(32))),
               HostError);
  EXPECT_THROW(MemorySourceClip(vi, std::vector<std::vector<BYTE>>(2, std::vector<BYTE>(48))),
               HostError);
}

TEST(HostSourceClips, FedSourceAnswersOnlyTheFedRequest) {
  Environment env;
  const VideoInfo vi = Format(VideoInfo::CS_YV12, 16, 16, 100);
  auto* fed = new FedSourceClip(vi);
  PClip clip(fed);
  EXPECT_THROW(clip->GetFrame(0, &env), HostError);  // nothing fed yet

  PVideoFrame frame = env.NewVideoFrame(vi);
  fed->Feed(7, frame);
  EXPECT_EQ(clip->GetFrame(7, &env).get(), frame.get());
  EXPECT_EQ(clip->GetFrame(7, &env).get(), frame.get());  // asking again is fine
  try {
    clip->GetFrame(8, &env);
    ADD_FAILURE() << "frame 8 was never fed";
  } catch (const HostError& e) {
    EXPECT_NE(std::string(e.what()).find("frame 8 was requested but frame 7 was fed"),
              std::string::npos);
  }
  fed->Clear();
  EXPECT_THROW(clip->GetFrame(7, &env), HostError);
  EXPECT_TRUE(frame->IsWritable());  // Clear let go of it
}

TEST(HostSourceClips, FedSourceRefusesFramesOfAnotherFormat) {
  Environment env;
  FedSourceClip fed(Format(VideoInfo::CS_YV12, 16, 16, 1));
  EXPECT_THROW(fed.Feed(0, env.NewVideoFrame(Format(VideoInfo::CS_YV12, 32, 16, 1))), HostError);
  EXPECT_THROW(fed.Feed(0, env.NewVideoFrame(Format(VideoInfo::CS_BGR24, 16, 16, 1))), HostError);
  EXPECT_THROW(fed.Feed(-1, env.NewVideoFrame(Format(VideoInfo::CS_YV12, 16, 16, 1))), HostError);
  EXPECT_THROW(fed.Feed(0, PVideoFrame()), HostError);
}

}  // namespace
}  // namespace vantrel::host
