// Shared pieces of the plugin tests: clips made in memory, the filter run on
// them through the stand-in host, and the engine's own answer to compare with.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "host/environment.h"
#include "host/frame_planes.h"
#include "host/source_clips.h"
#include "plugin/filter.h"
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

// Tight Y, U, V bytes -> the engine's block order (Y, then V, then U for YV12).
inline std::vector<BYTE> ToBlock(const std::vector<BYTE>& yuv, int luma, bool yv12) {
  if (!yv12) return yuv;
  std::vector<BYTE> block(yuv);
  const int chroma = luma / 4;
  std::copy(yuv.begin() + luma + chroma, yuv.end(), block.begin() + luma);
  std::copy(yuv.begin() + luma, yuv.begin() + luma + chroma, block.begin() + luma + chroma);
  return block;
}

// The engine's result for one tight YUV frame, in tight Y, U, V order.
inline std::vector<BYTE> EngineResult(const std::vector<BYTE>& yuv, int w, int h,
                                      const EngineParams& p, bool yv12 = true) {
  std::vector<BYTE> block = ToBlock(yuv, w * h, yv12), out(block.size());
  DeinterlaceEngine engine;
  engine.Init(uint32_t(w), uint32_t(h));
  engine.Process(BlockPlanes(block.data(), uint32_t(w), uint32_t(h)),
                 BlockPlanes(out.data(), uint32_t(w), uint32_t(h)), p);
  return ToBlock(out, w * h, yv12);  // the swap is its own inverse
}

// A processor with (or without) MMX and SSE.
inline CpuFeatures X86Cpu(bool mmx, bool sse) {
  CpuFeatures cpu;
  cpu.mmx = mmx;
  cpu.sse = sse;
  return cpu;
}

inline PClip Filter(const PClip& source, const RequestedParams& requested = {},
                    CpuFeatures cpu = X86Cpu(true, true)) {
  return PClip(new DeinterlaceFilter(source, requested, cpu));
}

inline std::vector<BYTE> FrameOf(const PClip& clip, host::Environment& env, int n = 0) {
  return Tight(clip->GetFrame(n, &env));
}

}  // namespace vantrel::test
