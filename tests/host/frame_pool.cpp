// Recycling and bounding of frame memory, and allocation from several threads.
#include "avisynth/frame_pool.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "avisynth/environment.h"

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

TEST(HostFramePool, ReleasedBufferIsReusedForTheNextFrame) {
  Environment env;
  const BYTE* first;
  {
    PVideoFrame f = env.NewVideoFrame(Yv12(720, 576));
    first = f->GetReadPtr();
  }
  PVideoFrame g = env.NewVideoFrame(Yv12(720, 576));
  EXPECT_EQ(g->GetReadPtr(), first);
  EXPECT_EQ(env.FrameStats().buffers, 1u);
}

TEST(HostFramePool, HeldBufferIsNeverHandedOutTwice) {
  Environment env;
  PVideoFrame f = env.NewVideoFrame(Yv12(64, 64));
  PVideoFrame copy = f;  // a second holder of the same frame
  PVideoFrame g = env.NewVideoFrame(Yv12(64, 64));
  EXPECT_NE(g->GetFrameBuffer(), f->GetFrameBuffer());
  EXPECT_EQ(env.FrameStats().free_buffers, 0u);
}

TEST(HostFramePool, SmallerFrameMayReuseALargerBufferButNotTheReverse) {
  Environment env;
  { PVideoFrame big = env.NewVideoFrame(Yv12(128, 128)); }
  { PVideoFrame small = env.NewVideoFrame(Yv12(64, 64)); }
  EXPECT_EQ(env.FrameStats().buffers, 1u);
  PVideoFrame bigger = env.NewVideoFrame(Yv12(256, 256));
  EXPECT_EQ(env.FrameStats().buffers, 2u);
}

TEST(HostFramePool, IdleMemoryStaysWithinTheLimits) {
  FramePoolLimits limits;
  limits.max_free_buffers = 3;
  limits.max_free_bytes = 5 * 64 * 64 * 3 / 2;
  Environment env(FrameLayout::kContiguous, limits);
  {
    std::vector<PVideoFrame> many;
    for (int i = 0; i < 10; ++i) many.push_back(env.NewVideoFrame(Yv12(64, 64)));
    EXPECT_EQ(env.FrameStats().buffers, 10u);
  }
  PVideoFrame one = env.NewVideoFrame(Yv12(64, 64));  // trimming happens on the next request
  const FramePool::Stats stats = env.FrameStats();
  EXPECT_LE(stats.free_buffers, 3u);
  EXPECT_EQ(stats.buffers, stats.free_buffers + 1);

  limits.max_free_buffers = 100;
  limits.max_free_bytes = 2 * 64 * 64 * 3 / 2;  // now the byte limit binds
  Environment tight(FrameLayout::kContiguous, limits);
  {
    std::vector<PVideoFrame> many;
    for (int i = 0; i < 6; ++i) many.push_back(tight.NewVideoFrame(Yv12(64, 64)));
  }
  PVideoFrame another = tight.NewVideoFrame(Yv12(64, 64));
  EXPECT_LE(tight.FrameStats().free_bytes, limits.max_free_bytes);
}

// Each thread stamps its frames with its own value and checks them after a
// while: a buffer handed to two holders at once shows up as a foreign stamp.
TEST(HostFramePool, ThreadsGetDisjointFrames) {
  for (FrameLayout layout : {FrameLayout::kContiguous, FrameLayout::kHostLike}) {
    Environment env(layout);
    constexpr int kThreads = 4, kRounds = 200;
    std::vector<int> faults(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&env, &faults, t] {
        const VideoInfo vi = Yv12(64 + 16 * t, 32);
        for (int round = 0; round < kRounds; ++round) {
          PVideoFrame a = env.NewVideoFrame(vi);
          PVideoFrame b = env.NewVideoFrame(vi);
          for (PVideoFrame* f : {&a, &b}) {
            std::fill_n((*f)->GetWritePtr(), (*f)->GetRowSize(), static_cast<BYTE>(t));
          }
          PVideoFrame shared = a;  // refcount traffic from this thread too
          for (const PVideoFrame* f : {&a, &b}) {
            const BYTE* row = (*f)->GetReadPtr();
            faults[t] +=
                std::count_if(row, row + (*f)->GetRowSize(), [t](BYTE v) { return v != t; });
          }
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(faults[t], 0) << "thread " << t;
  }
}

}  // namespace
}  // namespace vantrel::host
