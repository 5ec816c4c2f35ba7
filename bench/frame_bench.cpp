// Whole frames through the engine, per mode, size, content and CPU level.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <random>
#include <vector>

#include "engine/engine.h"

namespace {

using vantrel::DeinterlaceEngine;
using vantrel::EngineDsp;
using vantrel::EngineParams;

enum Content { kStillBackground, kPan, kNoise };

uint8_t Scene(double r, double c) {
  const double v = 128 + 55 * std::sin(0.23 * c + 0.6 * std::sin(0.05 * r)) +
                   45 * std::cos(0.19 * r + 0.11 * c);
  return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// An interlaced frame: odd lines at one moment, even lines a field later.
std::vector<uint8_t> MakeFrame(uint32_t w, uint32_t h, Content content) {
  std::vector<uint8_t> f(size_t(w) * h * 3 / 2);
  std::mt19937 rng(1);
  for (uint32_t r = 0; r < h; ++r)
    for (uint32_t c = 0; c < w; ++c) {
      const bool late = (r & 1) == 0;
      double dx = 0, dy = 0;
      if (content == kPan && late) dx = 5, dy = 2;
      const bool object = r > h / 3 && r < h * 2 / 3 && c > w / 3 && c < w * 2 / 3;
      if (content == kStillBackground && late && object) dx = 7, dy = 4;
      f[size_t(r) * w + c] = content == kNoise ? uint8_t(rng() >> 24) : Scene(r + dy, c + dx);
    }
  for (size_t i = size_t(w) * h; i < f.size(); ++i) f[i] = uint8_t(128 + (i % 7));
  return f;
}

const char* ContentName(Content content) {
  return content == kNoise ? "noise" : content == kPan ? "pan" : "still-bg";
}

// Thread CPU time: on a shared machine, time spent descheduled is not ours.
double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Times Init + Process + Release, as the filter runs them for every frame;
// the fresh copy of the source that modes 0-3 need is not timed.
void BM_Frame(benchmark::State& state) {
  const int mode = int(state.range(0));
  const uint32_t w = uint32_t(state.range(1)), h = uint32_t(state.range(2));
  const Content content = Content(state.range(3));
  const uint32_t level = uint32_t(state.range(4));
  if ((vantrel::DetectCpuFlags() & level) != level) {
    state.SkipWithError("CPU level not available");
    return;
  }
  EngineDsp dsp;
  vantrel::InitEngineDsp(&dsp, level);
  const std::vector<uint8_t> source = MakeFrame(w, h, content);
  std::vector<uint8_t> work(source.size()), out(source.size());
  DeinterlaceEngine engine(dsp);
  EngineParams params;
  params.mode = mode;
  for (auto _ : state) {
    work = source;  // modes 0-3 overwrite their input
    const double start = ThreadSeconds();
    engine.Init(w, h);
    uint8_t* out_ptr = out.data();
    engine.Process(work.data(), out_ptr, &params);
    engine.Release();
    benchmark::DoNotOptimize(out_ptr);
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - start);
  }
  state.SetLabel(std::string(vantrel::CpuLevelName(level)) + " " + ContentName(content));
}

void Args(benchmark::internal::Benchmark* b) {
  for (uint32_t level : {vantrel::kCpuLevelScalar, vantrel::kCpuLevelSse2, vantrel::kCpuLevelAvx2})
    for (auto size : {std::pair<int, int>{720, 576}, {1920, 1088}})
      for (int content : {kStillBackground, kPan, kNoise})
        for (int mode = 0; mode <= 4; ++mode)
          b->Args({mode, size.first, size.second, content, int64_t(level)});
  b->ArgNames({"mode", "w", "h", "content", "level"})
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
}

BENCHMARK(BM_Frame)->Apply(Args);

}  // namespace

BENCHMARK_MAIN();
