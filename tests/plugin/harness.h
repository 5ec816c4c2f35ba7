// Shared pieces of the plugin tests: clips made in memory, the filter run on
// them through the stand-in host, and the filter core's own answer to compare
// with.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "avisynth/environment.h"
#include "avisynth/frame_planes.h"
#include "avisynth/source_clips.h"
#include "plugin/filter.h"
#include "plugin/host_frames.h"
#include "sdk/avisynth.h"

namespace vantrel::test {

inline VideoInfo MakeInfo(int pixel_type, int width, int height, int frames = 2) {
  VideoInfo vi{};
  vi.width = width;
  vi.height = height;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  vi.num_frames = frames;
  vi.pixel_type = pixel_type;
  return vi;
}

// An interlaced-looking picture: a smooth scene whose even lines moved.
inline BYTE Sample(int n, int plane, int x, int y) {
  const int shift = (y % 2 == 0) ? 3 + n : 0;
  const double v = 128 + 60 * std::sin(0.2 * (x + shift) + 0.05 * y + plane) +
                   40 * std::cos(0.17 * y + 0.09 * x);
  return BYTE(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline PClip MemoryClip(const VideoInfo& vi) {
  return PClip(new host::MemorySourceClip(vi, Sample));
}

inline std::vector<BYTE> Tight(const PVideoFrame& f) { return host::CopyOut(*f.get()); }

// The filter core's result for one tight Y, U, V frame (YV12 gives it V
// first), in tight Y, U, V order.
inline std::vector<BYTE> CoreResult(const std::vector<BYTE>& yuv, const VideoInfo& vi,
                                    const RequestedParams& requested = {},
                                    const RegionList& regions = {}) {
  const PixelFormat format = *FormatOf(vi.pixel_type);
  std::vector<BYTE> in = yuv, out(yuv.size());
  FrameView a = BlockView(format, in.data(), vi.width, vi.height);
  FrameView b = BlockView(format, out.data(), vi.width, vi.height);
  if (vi.pixel_type == VideoInfo::CS_YV12) {
    std::swap(a.planes[1], a.planes[2]);
    std::swap(b.planes[1], b.planes[2]);
  }
  Deinterlacer core(requested);
  EXPECT_EQ(core.Process(a, b, regions), FrameResult::kDone);
  return out;
}

inline CpuFeatures AnyProcessor() {
  CpuFeatures cpu;
  cpu.mmx = cpu.sse = cpu.neon = true;
  return cpu;
}

inline PClip Filter(const PClip& source, const RequestedParams& requested = {},
                    const CpuFeatures& cpu = AnyProcessor()) {
  return PClip(new DeinterlaceFilter(source, requested, cpu));
}

inline std::vector<BYTE> FrameOf(const PClip& clip, host::Environment& env, int n = 0) {
  return Tight(clip->GetFrame(n, &env));
}

}  // namespace vantrel::test
