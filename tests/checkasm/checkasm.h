// The checkasm harness: every SIMD kernel against its scalar twin, at every
// SIMD target this build has and the machine runs, on identical inputs.
//
// A test file registers one group:
//
//   static void CheckMatch(checkasm::Context& c) {
//     if (auto fn = c.Kernel("BlockCost", &EngineDsp::match, &MatchKernels::block_cost)) {
//       ... run c.ref().match.block_cost and fn on the same inputs; c.Fail(...) on a mismatch;
//       c.Bench("16x8 full", [&] { ref(...); }, [&] { fn(...); });
//     }
//   }
//   static checkasm::Group match_group("match", CheckMatch);
//
// The group runs once per target. Kernel() asserts that the target's table
// holds a kernel other than the scalar one (so the SIMD really ran), reseeds
// c.rng() from the seed and the kernel name (so --function does not change
// the data and every target sees the same data), and returns nullptr when
// the kernel is filtered out. Targets the CPU lacks are reported as skipped.
// With --plant-fault every kernel under test is wrapped to spoil one result,
// and the run passes only if the harness catches each of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/dsp.h"

// MinGW's own C99 printf (the toolchain asks for it) is not the one GCC's
// `printf` format means there; its headers name the right one.
#if defined(__MINGW_PRINTF_FORMAT)
#define VANTREL_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define VANTREL_PRINTF_FORMAT printf
#endif

namespace checkasm {

using vantrel::EngineDsp;

// Wraps every kernel of `dsp` so that it spoils its result (--plant-fault).
void PlantFaults(EngineDsp* dsp);

// Benchmarked calls store their results here so they are not optimised out.
extern volatile uint32_t sink;

class Context;
using GroupFn = void (*)(Context&);

// Registers a test group at static-initialisation time.
struct Group {
  Group(const char* name, GroupFn fn);
};

class Rng {
 public:
  void Seed(uint32_t seed) { engine_.seed(seed); }
  uint32_t Next() { return uint32_t(engine_()); }
  uint8_t Byte() { return uint8_t(Next() >> 24); }
  // Uniform in lo .. hi, both included.
  int32_t Range(int32_t lo, int32_t hi) {
    return lo + int32_t(Next() % uint32_t(int64_t(hi) - lo + 1));
  }
  bool Chance(uint32_t one_in) { return Next() % one_in == 0; }
  void Fill(uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = Byte();
  }

 private:
  std::mt19937 engine_;
};

// Plane contents that break SIMD code: extremes, alternation that saturates
// lane arithmetic, and the woven test picture besides plain noise.
enum class Content {
  kRandom,
  kZero,
  kMax,
  kAlternateRows,     // 0 on even rows, 255 on odd rows
  kAlternateColumns,  // 0/255 along each row
  kWoven,             // the woven test picture (woven_picture.h)
  kExtremes,          // samples at and next to 0, 128 and 255
  kCount
};
const char* ContentName(Content content);
void FillPlane(Rng& rng, uint8_t* plane, size_t width, size_t height, Content content);

// A byte buffer with guard zones on both sides. In sanitizer builds the
// guards are poisoned, so any access to them stops the run; otherwise a
// write into them is found by GuardsIntact().
class Buffer {
 public:
  explicit Buffer(size_t size);
  ~Buffer();
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool GuardsIntact() const;

 private:
  std::vector<uint8_t> storage_;
  uint8_t* data_;
  size_t size_;
};

enum class Mode { kRun, kList, kSkip };

struct Options {
  uint32_t seed = 0;
  std::string function;  // run only kernels whose name starts with this
  bool bench = false;
  bool list = false;
  bool quick = false;
  bool plant_fault = false;
};

class Context {
 public:
  Context(const Options& options, Mode mode, uint32_t target, const EngineDsp& dsp,
          const EngineDsp& ref);
  ~Context();

  // The function to test at this target, or nullptr (see the top of this file).
  template <typename Stem, typename Fn>
  Fn Kernel(const char* name, Stem EngineDsp::*stem, Fn Stem::*slot) {
    if (!Begin(name)) return nullptr;
    if (dsp_.target != target_ || dsp_.*stem.*slot == ref_.*stem.*slot) {
      Fail("the %s table holds the scalar %s", TargetName(), name);
      return nullptr;
    }
    return dsp_.*stem.*slot;
  }

  const EngineDsp& dsp() const { return dsp_; }
  const EngineDsp& ref() const { return ref_; }
  const char* TargetName() const;
  Rng& rng() { return rng_; }
  bool benchmarking() const { return options_.bench; }
  // Scales a repeat count down in quick runs (sanitizer builds, --quick).
  int Iterations(int n) const;

  // Reports a mismatch for the current kernel; printf-style.
  void Fail(const char* format, ...) __attribute__((format(VANTREL_PRINTF_FORMAT, 2, 3)));
  bool failed() const { return current_failed_; }
  // Compares two planes; on a mismatch reports the first differing sample
  // with both sides around it. `what` names the buffer in the report.
  bool CheckBytes(const char* what, const uint8_t* want, const uint8_t* got, size_t width,
                  size_t height, size_t stride);
  // Reports a write into the guard zones of `buffer`.
  bool CheckGuards(const char* what, const Buffer& buffer);

  // Times both calls (median of repeated batches) when benchmarking.
  template <typename RefCall, typename NewCall>
  void Bench(const std::string& label, RefCall&& ref_call, NewCall&& new_call) {
    if (!options_.bench || current_failed_) return;
    const double ref_ns = MedianNanoseconds(ref_call);
    const double new_ns = MedianNanoseconds(new_call);
    RecordBench(label, ref_ns, new_ns);
  }

  // Reports the kernel under test; the next Kernel() or Case() does it too.
  void Finish();
  int failures() const { return failures_; }
  int passes() const { return passes_; }
  int skips() const { return skips_; }

 private:
  bool Begin(const char* name);
  void RecordBench(const std::string& label, double ref_ns, double new_ns);

  template <typename Call>
  double MedianNanoseconds(Call& call) {
    return MedianOf([](void* p) { (*static_cast<Call*>(p))(); }, &call);
  }
  double MedianOf(void (*thunk)(void*), void* call);

  const Options& options_;
  Mode mode_;
  uint32_t target_;
  const EngineDsp& dsp_;
  const EngineDsp& ref_;
  Rng rng_;
  std::string current_;
  bool current_failed_ = false;
  int reported_ = 0;
  int failures_ = 0;
  int passes_ = 0;
  int skips_ = 0;
};

}  // namespace checkasm
