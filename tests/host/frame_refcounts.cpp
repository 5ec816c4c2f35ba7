// Frame and buffer reference counts as plugins see them through the inline
// handle code.
#include <gtest/gtest.h>

#include "avisynth/environment.h"
#include "avisynth/frame_planes.h"
#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

VideoInfo Yv12(int width, int height) {
  VideoInfo vi{};
  vi.width = width;
  vi.height = height;
  vi.pixel_type = VideoInfo::CS_YV12;
  vi.num_frames = 1;
  return vi;
}

long FrameRefs(const PVideoFrame& f) { return AvsHostAccess::FrameRefcount(*f); }
long BufferRefs(const PVideoFrame& f) {
  return AvsHostAccess::BufferRefcount(*f->GetFrameBuffer());
}

TEST(HostFrameRefcounts, NewFrameIsWritableUntilShared) {
  Environment env;
  PVideoFrame frame = env.NewVideoFrame(Yv12(32, 16));
  EXPECT_EQ(FrameRefs(frame), 1);
  EXPECT_EQ(BufferRefs(frame), 1);
  EXPECT_TRUE(frame->IsWritable());
  EXPECT_NE(frame->GetWritePtr(), nullptr);
  {
    PVideoFrame other = frame;
    EXPECT_EQ(FrameRefs(frame), 2);
    EXPECT_EQ(BufferRefs(frame), 1);  // one frame, however many handles
    EXPECT_FALSE(frame->IsWritable());
    EXPECT_EQ(frame->GetWritePtr(), nullptr);
    // Chroma pointers are not guarded: plugins get them regardless.
    EXPECT_EQ(frame->GetWritePtr(PLANAR_U), frame->GetReadPtr(PLANAR_U));
  }
  EXPECT_EQ(FrameRefs(frame), 1);
  EXPECT_TRUE(frame->IsWritable());
}

TEST(HostFrameRefcounts, LastReleaseDropsTheBufferThenTheFrame) {
  Environment env;
  PVideoFrame a = env.NewVideoFrame(Yv12(32, 16));
  VideoFrame* frame = a.get();
  VideoFrameBuffer* buffer = frame->GetFrameBuffer();
  PVideoFrame b = a;
  a = PVideoFrame();  // not the last holder: the buffer keeps its count
  EXPECT_EQ(AvsHostAccess::FrameRefcount(*frame), 1);
  EXPECT_EQ(AvsHostAccess::BufferRefcount(*buffer), 1);
  b = PVideoFrame();
  EXPECT_EQ(AvsHostAccess::FrameRefcount(*frame), 0);
  EXPECT_EQ(AvsHostAccess::BufferRefcount(*buffer), 0);
}

TEST(HostFrameRefcounts, WritePointerCountsWritesOnTheBuffer) {
  Environment env;
  PVideoFrame frame = env.NewVideoFrame(Yv12(32, 16));
  const long before = frame->GetFrameBuffer()->GetSequenceNumber();
  frame->GetWritePtr();
  EXPECT_EQ(frame->GetFrameBuffer()->GetSequenceNumber(), before + 1);
  frame->GetReadPtr();
  EXPECT_EQ(frame->GetFrameBuffer()->GetSequenceNumber(), before + 1);
}

}  // namespace
}  // namespace vantrel::host
