// Whole frames through the engine: at every CPU level, in every mode, the
// output bytes equal those of the scalar engine.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "checkasm.h"
#include "engine/engine.h"

namespace {

using checkasm::Buffer;
using checkasm::Context;
using vantrel::DeinterlaceEngine;
using vantrel::EngineDsp;
using vantrel::EngineParams;

enum class Scene { kMovingObject, kPan, kNoise, kCombed, kFlat, kCount };

const char* SceneName(Scene s) {
  switch (s) {
    case Scene::kMovingObject: return "moving object";
    case Scene::kPan: return "pan";
    case Scene::kNoise: return "noise";
    case Scene::kCombed: return "0/255 lines";
    default: return "flat";
  }
}

uint8_t Picture(double r, double c, double phase) {
  const double v = 128 + 55 * std::sin(0.23 * c + 0.6 * std::sin(0.05 * r) + phase) +
                   45 * std::cos(0.19 * r + 0.11 * c - phase);
  return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// An interlaced frame: odd lines at one moment, even lines a field later.
void MakeFrame(Context& c, uint8_t* frame, uint32_t w, uint32_t h, Scene scene) {
  const double phase = c.rng().Range(0, 100) * 0.07;
  const int dx = c.rng().Range(-9, 9), dy = c.rng().Range(-6, 6);
  for (uint32_t r = 0; r < h; ++r) {
    for (uint32_t col = 0; col < w; ++col) {
      const bool late = (r & 1) == 0;
      const bool object = r >= h / 4 && r < h * 3 / 4 && col >= w / 4 && col < w * 3 / 4;
      const bool moved = late && (scene == Scene::kPan || object);
      uint8_t v = Picture(r + (moved ? dy : 0), col + (moved ? dx : 0), phase);
      if (scene == Scene::kNoise) v = c.rng().Byte();
      if (scene == Scene::kCombed) v = (r & 1) ? 255 : 0;
      if (scene == Scene::kFlat) v = 77;
      frame[size_t(r) * w + col] = v;
    }
  }
  c.rng().Fill(frame + size_t(w) * h, size_t(w) * h / 2);
}

// Runs one frame through an engine built on `dsp`; returns the output.
std::vector<uint8_t> Run(const EngineDsp& dsp, const std::vector<uint8_t>& source, uint32_t w,
                         uint32_t h, const EngineParams& params) {
  const size_t n = source.size();
  Buffer work(n), out(n);
  std::memcpy(work.data(), source.data(), n);
  std::memset(out.data(), 0x5A, n);
  DeinterlaceEngine engine(dsp);
  if (!engine.Init(w, h)) return {};
  uint8_t* result = out.data();
  engine.Process(work.data(), result, &params);
  engine.Release();
  // Modes 0-3 work in place; mode 4 writes the separate frame.
  const uint8_t* bytes = params.mode == 4 ? out.data() : work.data();
  if (!work.GuardsIntact() || !out.GuardsIntact()) return {};
  return std::vector<uint8_t>(bytes, bytes + n);
}

void CheckFrame(Context& c, uint32_t w, uint32_t h, Scene scene, const EngineParams& params) {
  std::vector<uint8_t> source(size_t(w) * h * 3 / 2);
  MakeFrame(c, source.data(), w, h, scene);
  const std::vector<uint8_t> want = Run(c.ref(), source, w, h, params);
  const std::vector<uint8_t> got = Run(c.dsp(), source, w, h, params);
  const std::string what = std::to_string(w) + "x" + std::to_string(h) + " " + SceneName(scene) +
                           ", mode " + std::to_string(params.mode) + ", range " +
                           std::to_string(params.search_range) + ", comb " +
                           std::to_string(params.comb_threshold) + ", match " +
                           std::to_string(params.match_threshold);
  if (want.empty() || got.size() != want.size()) {
    c.Fail("%s: the frame did not come out (or a write left its buffers)", what.c_str());
    return;
  }
  c.CheckBytes(what.c_str(), want.data(), got.data(), w, h * 3 / 2, w);
}

void CheckFrames(Context& c) {
  if (!c.Case("Frames")) return;
  // Every kernel but the line copy (memcpy) has a version at each level, so
  // none of them may still be scalar.
  const EngineDsp& d = c.dsp();
  const EngineDsp& r = c.ref();
  if (d.interpolate_luma == r.interpolate_luma ||
      d.interpolate_chroma == r.interpolate_chroma || d.detect_combing == r.detect_combing ||
      d.decimate_plane == r.decimate_plane || d.block_cost_coarse == r.block_cost_coarse ||
      d.block_cost == r.block_cost || d.scan_coarse_window == r.scan_coarse_window ||
      d.scan_fine_window == r.scan_fine_window) {
    c.Fail("the %s table still holds a scalar kernel", c.LevelName());
  }
  struct Size {
    uint32_t w, h;
  };
  const Size sizes[] = {{16, 16}, {32, 16}, {48, 48}, {176, 144}, {720, 576}, {1920, 1088}};
  for (const Size s : sizes) {
    const bool large = s.w * s.h >= 720 * 576;
    for (int k = 0; k < int(Scene::kCount); ++k) {
      if (large && c.Iterations(8) == 1 && k >= 2) continue;  // quick runs: the busy scenes
      for (int mode = 0; mode <= 4; ++mode) {
        EngineParams params;
        params.mode = mode;
        CheckFrame(c, s.w, s.h, Scene(k), params);
      }
    }
  }
  // Mode 4 with other settings: narrow, odd and zero ranges, thresholds at
  // their ends, on random sizes.
  for (int n = 0; n < c.Iterations(40); ++n) {
    EngineParams params;
    params.mode = 4;
    const int32_t ranges[] = {0, 1, 2, 3, 5, 16, 31, 64};
    params.search_range = ranges[c.rng().Range(0, 7)];
    params.comb_threshold = c.rng().Chance(3) ? 0 : c.rng().Range(0, 255);
    const int32_t matches[] = {0, 1, 8192, 65535};
    params.match_threshold = matches[c.rng().Range(0, 3)];
    const uint32_t w = 16 * uint32_t(c.rng().Range(1, 30)), h = 16 * uint32_t(c.rng().Range(1, 20));
    // The filter holds the range within the frame's smaller side.
    if (uint32_t(params.search_range) > (w < h ? w : h)) params.search_range = int32_t(w < h ? w : h);
    CheckFrame(c, w, h, Scene(c.rng().Range(0, 2)), params);
  }
}

checkasm::Group frames_group("frames", CheckFrames);

}  // namespace
