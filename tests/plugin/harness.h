// Shared pieces of the plugin tests: clips made in memory, the filter run on
// them through the stand-in host, and the filter core's own answer to compare
// with.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "avisynth/environment.h"
#include "avisynth/frame_planes.h"
#include "avisynth/source_clips.h"
#include "plugin/filter.h"
#include "plugin/host_frames.h"
#include "sdk/avisynth.h"
#include "woven_picture.h"

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

// The faces' test picture (woven_picture.h) in the clip's frames, at their
// depth.
inline host::SampleGenerator PictureOf(const VideoInfo& vi) {
  const std::optional<PixelFormat> format = FormatOf(vi.pixel_type);
  const int bits = format ? format->bits : 8;
  // RowSize() counts one byte a planar sample.
  const int row = vi.RowSize() * (format && format->Planar() ? format->SampleBytes() : 1);
  return [row, bits, height = vi.height](int n, int plane, int x, int y) {
    const int index = plane == PLANAR_U ? 1 : plane == PLANAR_V ? 2 : 0;
    return FaceByte(n, index, x, y, row, height, bits);
  };
}

inline PClip MemoryClip(const VideoInfo& vi) {
  return PClip(new host::MemorySourceClip(vi, PictureOf(vi)));
}

inline std::vector<BYTE> Tight(const PVideoFrame& f) { return host::CopyOut(*f.get()); }

// The filter core's result for one tight Y, U, V frame, in tight Y, U, V
// order, the core given V first (or, with v_first false, U first).
inline std::vector<BYTE> CoreResultWith(bool v_first, const std::vector<BYTE>& yuv,
                                        const VideoInfo& vi, const RequestedParams& requested,
                                        const RegionList& regions = {}) {
  const PixelFormat format = *FormatOf(vi.pixel_type);
  std::vector<BYTE> in = yuv, out(yuv.size());
  FrameView a = BlockView(format, in.data(), vi.width, vi.height);
  FrameView b = BlockView(format, out.data(), vi.width, vi.height);
  if (v_first) {
    std::swap(a.planes[1], a.planes[2]);
    std::swap(b.planes[1], b.planes[2]);
  }
  Deinterlacer core(requested);
  EXPECT_EQ(core.Process(a, b, regions), FrameResult::kDone);
  return out;
}

// As the face must give it: V first for every type that stores V first,
// which is all but I420.
inline std::vector<BYTE> CoreResult(const std::vector<BYTE>& yuv, const VideoInfo& vi,
                                    const RequestedParams& requested = {},
                                    const RegionList& regions = {}) {
  return CoreResultWith(vi.pixel_type != VideoInfo::CS_I420, yuv, vi, requested, regions);
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
