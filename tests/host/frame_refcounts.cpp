// Frame and buffer reference counts as plugins see them through the inline
// handle code, and the environment slots that depend on them.
#include <gtest/gtest.h>

#include "host/environment.h"
#include "host/frame_planes.h"
#include "host/host_error.h"

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

TEST(HostFrameRefcounts, SubframeSharesTheBufferAndBlocksWrites) {
  Environment env;
  PVideoFrame frame = env.NewVideoFrame(Yv12(64, 32));
  {
    PVideoFrame view = env.Subframe(frame, frame->GetPitch(), frame->GetPitch() * 2,
                                    frame->GetRowSize(), frame->GetHeight() / 2);
    EXPECT_EQ(view->GetFrameBuffer(), frame->GetFrameBuffer());
    EXPECT_EQ(BufferRefs(frame), 2);
    EXPECT_EQ(view->GetReadPtr(), frame->GetReadPtr() + frame->GetPitch());
    EXPECT_EQ(view->GetHeight(PLANAR_U), 0);  // a packed view
    EXPECT_FALSE(frame->IsWritable());
    EXPECT_FALSE(view->IsWritable());
  }
  EXPECT_TRUE(frame->IsWritable());
}

TEST(HostFrameRefcounts, SubframeOutsideTheBufferIsRefused) {
  Environment env;
  PVideoFrame frame = env.NewVideoFrame(Yv12(64, 32));
  EXPECT_THROW(env.Subframe(frame, 0, 64, 64, 100), HostError);
  EXPECT_THROW(env.Subframe(frame, -1, 64, 64, 1), HostError);
  EXPECT_THROW(env.Subframe(frame, 0, 32, 64, 2), HostError);  // pitch below row size
  EXPECT_THROW(env.SubframePlanar(frame, 0, 64, 64, 32, 0, 1 << 20, 32), HostError);
  EXPECT_THROW(env.Subframe(PVideoFrame(), 0, 64, 64, 1), HostError);
  EXPECT_EQ(BufferRefs(frame), 1);  // refused views took nothing
}

TEST(HostFrameRefcounts, MakeWritableCopiesOnlyASharedFrame) {
  for (FrameLayout layout : {FrameLayout::kContiguous, FrameLayout::kHostLike}) {
    Environment env(layout);
    PVideoFrame frame = env.NewVideoFrame(Yv12(32, 16));
    std::vector<BYTE> bytes(TightSize(*frame));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>(i * 7);
    CopyIn(frame, bytes);
    VideoFrame* original = frame.get();
    EXPECT_FALSE(env.MakeWritable(&frame));
    EXPECT_EQ(frame.get(), original);

    PVideoFrame held = frame;
    EXPECT_TRUE(env.MakeWritable(&frame));
    EXPECT_NE(frame.get(), original);
    EXPECT_TRUE(frame->IsWritable());
    EXPECT_EQ(FrameRefs(held), 1);
    EXPECT_EQ(CopyOut(*frame), bytes);
    EXPECT_EQ(frame->GetOffset(PLANAR_V) < frame->GetOffset(PLANAR_U),
              held->GetOffset(PLANAR_V) < held->GetOffset(PLANAR_U));
  }
}

}  // namespace
}  // namespace vantrel::host
