// Whole frames through the engine, per mode, size, content and SIMD target.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdint>
#include <string>
#include <random>
#include <vector>

#include "engine/engine.h"
#include "woven_picture.h"

namespace {

using vantrel::DeinterlaceEngine;
using vantrel::EngineDsp;
using vantrel::EngineParams;

enum Content { kStillBackground, kPan, kNoise };

// An interlaced frame: the woven picture (a moving object or a pan), or noise.
std::vector<uint8_t> MakeFrame(uint32_t w, uint32_t h, Content content) {
  std::vector<uint8_t> f(size_t(w) * h * 3 / 2);
  if (content == kNoise) {
    std::mt19937 rng(1);
    for (size_t i = 0; i < size_t(w) * h; ++i) f[i] = uint8_t(rng() >> 24);
  } else if (content == kPan) {
    vantrel::test::WeavePicture(f.data(), w, h, 5, 2, vantrel::test::Motion::kPan);
  } else {
    vantrel::test::WeavePicture(f.data(), w, h, 7, 4);
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

// Times Process on an engine sized once, as the filter keeps its engine from
// frame to frame; the fresh copy of the source that in-place modes need is
// not timed.
void BM_Frame(benchmark::State& state) {
  const int mode = int(state.range(0));
  const uint32_t w = uint32_t(state.range(1)), h = uint32_t(state.range(2));
  const Content content = Content(state.range(3));
  const uint32_t target = uint32_t(state.range(4));
  EngineDsp dsp;
  vantrel::InitEngineDsp(&dsp, target);
  if (dsp.target != target) {
    state.SkipWithError("target not available");
    return;
  }
  const std::vector<uint8_t> source = MakeFrame(w, h, content);
  std::vector<uint8_t> work(source.size()), out(source.size());
  DeinterlaceEngine engine(dsp);
  if (!engine.Init(w, h)) {
    state.SkipWithError("no memory for the engine");
    return;
  }
  EngineParams params;
  params.mode = mode;
  // Modes 0-3 in place on one block, mode 4 into a block of its own.
  const vantrel::FramePlanes in = vantrel::BlockPlanes(work.data(), w, h);
  const vantrel::FramePlanes to = mode == 4 ? vantrel::BlockPlanes(out.data(), w, h) : in;
  for (auto _ : state) {
    work = source;  // modes 0-3 overwrite their input
    const double start = ThreadSeconds();
    bool done = engine.Process(in, to, params);
    benchmark::DoNotOptimize(done);
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - start);
  }
  state.SetLabel(std::string(vantrel::TargetName(target)) + " " + ContentName(content));
}

void Args(benchmark::internal::Benchmark* b) {
  for (uint32_t target = 0; target <= vantrel::kTargetNeon; target = target ? target << 1 : 1)
    for (auto size : {std::pair<int, int>{720, 576}, {1920, 1088}})
      for (int content : {kStillBackground, kPan, kNoise})
        for (int mode = 0; mode <= 4; ++mode)
          b->Args({mode, size.first, size.second, content, int64_t(target)});
  b->ArgNames({"mode", "w", "h", "content", "target"})
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
}

BENCHMARK(BM_Frame)->Apply(Args);

}  // namespace

BENCHMARK_MAIN();
