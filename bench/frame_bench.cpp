// Whole frames through the engine, per mode, size, content and SIMD target.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdint>
#include <cstring>
#include <iterator>
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

// Chroma layouts, by the shifts of their chroma planes' sides.
struct Layout {
  const char* name;
  uint32_t shift_w, shift_h;
  bool chroma;
};
constexpr Layout kLayouts[] = {
    {"4:2:0", 1, 1, true}, {"4:2:2", 1, 0, true}, {"4:4:4", 0, 0, true},
    {"4:1:1", 2, 0, true}, {"grey", 0, 0, false},
};

vantrel::ChromaSize ChromaOf(const Layout& l, uint32_t w, uint32_t h) {
  if (!l.chroma) return {0, 0};
  return {w >> l.shift_w, h >> l.shift_h};
}

// The frame's planes back to back: luma, then two chroma planes (if any),
// of samples `bytes` bytes wide.
vantrel::FramePlanes Planes(uint8_t* block, uint32_t w, uint32_t h, vantrel::ChromaSize c,
                            int bytes) {
  const ptrdiff_t luma = ptrdiff_t(w) * h * bytes, chroma = ptrdiff_t(c.width) * c.height * bytes;
  return {{block, ptrdiff_t(w) * bytes},
          {c.width ? block + luma : nullptr, ptrdiff_t(c.width) * bytes},
          {c.width ? block + luma + chroma : nullptr, ptrdiff_t(c.width) * bytes}};
}

// The frame at `bits` bits: each sample times 2^(bits - 8), the bits below
// noise, so that the deep samples are not all multiples.
std::vector<uint8_t> Deepened(const std::vector<uint8_t>& frame, int bits) {
  if (bits == 8) return frame;
  std::vector<uint8_t> deep(2 * frame.size());
  std::mt19937 rng(2);
  const int shift = bits - 8;
  for (size_t i = 0; i < frame.size(); ++i) {
    const uint16_t v = uint16_t(frame[i] << shift | (rng() & ((1u << shift) - 1)));
    std::memcpy(&deep[2 * i], &v, 2);
  }
  return deep;
}

// An interlaced frame: the woven picture (a moving object or a pan), or noise.
std::vector<uint8_t> MakeFrame(uint32_t w, uint32_t h, vantrel::ChromaSize c, Content content) {
  std::vector<uint8_t> f(size_t(w) * h + 2 * size_t(c.width) * c.height);
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
  const Layout& layout = kLayouts[state.range(5)];
  const int bits = int(state.range(6));
  const int bytes = bits > 8 ? 2 : 1;
  const vantrel::ChromaSize chroma = ChromaOf(layout, w, h);
  EngineDsp dsp;
  vantrel::InitEngineDsp(&dsp, target);
  if (dsp.target != target) {
    state.SkipWithError("target not available");
    return;
  }
  const std::vector<uint8_t> source = Deepened(MakeFrame(w, h, chroma, content), bits);
  std::vector<uint8_t> work(source.size()), out(source.size());
  DeinterlaceEngine engine(dsp);
  if (!engine.Init(w, h, chroma, bits)) {
    state.SkipWithError("no memory for the engine");
    return;
  }
  EngineParams params;
  params.mode = mode;
  // Modes 0-3 in place on one block, mode 4 into a block of its own.
  const vantrel::FramePlanes in = Planes(work.data(), w, h, chroma, bytes);
  const vantrel::FramePlanes to = mode == 4 ? Planes(out.data(), w, h, chroma, bytes) : in;
  for (auto _ : state) {
    work = source;  // modes 0-3 overwrite their input
    const double start = ThreadSeconds();
    bool done = engine.Process(in, to, params);
    benchmark::DoNotOptimize(done);
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - start);
  }
  state.SetLabel(std::string(vantrel::TargetName(target)) + " " + ContentName(content) + " " +
                 layout.name + " " + std::to_string(bits) + "-bit");
}

void Args(benchmark::internal::Benchmark* b) {
  for (int layout = 0; layout < int(std::size(kLayouts)); ++layout)
    for (uint32_t target = 0; target <= vantrel::kTargetNeon; target = target ? target << 1 : 1)
      for (auto size : {std::pair<int, int>{720, 576}, {1920, 1088}})
        for (int content : {kStillBackground, kPan, kNoise})
          for (int mode = 0; mode <= 4; ++mode) {
            // Other layouts differ in their chroma only: the modes that
            // rebuild it, on one content.
            if (layout > 0 && (mode < 2 || content != kPan)) continue;
            b->Args({mode, size.first, size.second, content, int64_t(target), layout, 8});
            // Deep samples: 4:2:0 at 10 bits, beside the same frames at 8.
            if (layout == 0 && content != kNoise) {
              b->Args({mode, size.first, size.second, content, int64_t(target), layout, 10});
            }
          }
  b->ArgNames({"mode", "w", "h", "content", "target", "layout", "bits"})
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
}

BENCHMARK(BM_Frame)->Apply(Args);

}  // namespace

BENCHMARK_MAIN();
