#include "checkasm.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <time.h>

#include "engine/cpu.h"
#include "woven_picture.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define CHECKASM_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define CHECKASM_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
constexpr bool kSanitized = true;
#else
#define CHECKASM_POISON(p, n) ((void)(p), (void)(n))
#define CHECKASM_UNPOISON(p, n) ((void)(p), (void)(n))
constexpr bool kSanitized = false;
#endif

namespace checkasm {

namespace {

constexpr size_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

struct Registered {
  const char* name;
  GroupFn fn;
};

std::vector<Registered>& Groups() {
  static std::vector<Registered> groups;
  return groups;
}

struct BenchRow {
  std::string kernel;
  std::string label;
  std::string target;
  double ref_ns;
  double new_ns;
};

std::vector<BenchRow>& BenchRows() {
  static std::vector<BenchRow> rows;
  return rows;
}

uint32_t HashName(const char* s) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (; *s; ++s) h = (h ^ uint8_t(*s)) * 16777619u;
  return h;
}

}  // namespace

volatile uint32_t sink = 0;

Group::Group(const char* name, GroupFn fn) { Groups().push_back({name, fn}); }

const char* ContentName(Content content) {
  switch (content) {
    case Content::kRandom: return "random";
    case Content::kZero: return "zero";
    case Content::kMax: return "255";
    case Content::kAlternateRows: return "0/255 rows";
    case Content::kAlternateColumns: return "0/255 columns";
    case Content::kWoven: return "woven";
    case Content::kExtremes: return "extremes";
    default: return "?";
  }
}

void FillPlane(Rng& rng, uint8_t* plane, size_t width, size_t height, Content content) {
  static const uint8_t kExtreme[] = {0, 1, 2, 127, 128, 129, 253, 254, 255};
  if (content == Content::kWoven) {
    vantrel::test::WeavePicture(plane, uint32_t(width), uint32_t(height), rng.Range(-9, 9),
                                rng.Range(-6, 6), vantrel::test::Motion::kObject,
                                rng.Range(0, 99) * 0.07);
    return;
  }
  for (size_t y = 0; y < height; ++y) {
    uint8_t* row = plane + y * width;
    for (size_t x = 0; x < width; ++x) {
      switch (content) {
        case Content::kZero: row[x] = 0; break;
        case Content::kMax: row[x] = 255; break;
        case Content::kAlternateRows: row[x] = (y & 1) ? 255 : 0; break;
        case Content::kAlternateColumns: row[x] = (x & 1) ? 255 : 0; break;
        case Content::kExtremes: row[x] = kExtreme[rng.Next() % sizeof(kExtreme)]; break;
        default: row[x] = rng.Byte();
      }
    }
  }
}

Buffer::Buffer(size_t size) : storage_(size + 2 * kGuard + 8, kGuardByte), size_(size) {
  // The sanitizer poisons whole 8-byte granules only: end the data on a
  // granule boundary so that even a one-byte overread is caught.
  data_ = storage_.data() + kGuard + (8 - size % 8) % 8;
  CHECKASM_POISON(storage_.data(), size_t(data_ - storage_.data()));
  CHECKASM_POISON(data_ + size_, kGuard);
}

Buffer::~Buffer() {
  CHECKASM_UNPOISON(storage_.data(), storage_.size());
}

bool Buffer::GuardsIntact() const {
  const size_t front = size_t(data_ - storage_.data());
  CHECKASM_UNPOISON(storage_.data(), front);
  CHECKASM_UNPOISON(data_ + size_, kGuard);
  bool ok = true;
  for (size_t i = 0; i < front; ++i) ok = ok && storage_[i] == kGuardByte;
  for (size_t i = 0; i < kGuard; ++i) ok = ok && data_[size_ + i] == kGuardByte;
  CHECKASM_POISON(storage_.data(), front);
  CHECKASM_POISON(data_ + size_, kGuard);
  return ok;
}

Context::Context(const Options& options, Mode mode, uint32_t target, const EngineDsp& dsp,
                 const EngineDsp& ref)
    : options_(options), mode_(mode), target_(target), dsp_(dsp), ref_(ref) {}

Context::~Context() { Finish(); }

const char* Context::TargetName() const { return vantrel::TargetName(target_); }

int Context::Iterations(int n) const {
  const bool quick = options_.quick || kSanitized;
  return quick ? std::max(1, n / 8) : n;
}

bool Context::Begin(const char* name) {
  Finish();
  if (std::strncmp(name, options_.function.c_str(), options_.function.size()) != 0) {
    return false;
  }
  if (mode_ == Mode::kList) {
    std::printf("%s.%s\n", name, TargetName());
    return false;
  }
  if (mode_ == Mode::kSkip) {
    std::printf(" - %-28s %-6s [SKIPPED: the CPU lacks %s]\n", name, TargetName(), TargetName());
    ++skips_;
    return false;
  }
  current_ = name;
  current_failed_ = false;
  reported_ = 0;
  rng_.Seed(options_.seed ^ HashName(name));
  return true;
}

void Context::Finish() {
  if (current_.empty()) return;
  std::printf(" - %-28s %-6s [%s]\n", current_.c_str(), TargetName(),
              current_failed_ ? "FAILED" : "OK");
  if (current_failed_) {
    ++failures_;
    std::printf("   replay: checkasm --seed %" PRIu32 " --function %s\n", options_.seed,
                current_.c_str());
  } else {
    ++passes_;
  }
  current_.clear();
  std::fflush(stdout);
}

void Context::Fail(const char* format, ...) {
  // The first few reports of a kernel are enough to see the pattern.
  if (!current_failed_) reported_ = 0;
  current_failed_ = true;
  if (++reported_ > 8) return;
  std::printf("   %s %s: ", current_.c_str(), TargetName());
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
}

static void PrintRow(const char* side, const uint8_t* row, size_t from, size_t to, size_t mark) {
  std::printf("     %s %5zu:", side, from);
  for (size_t x = from; x < to; ++x) std::printf(x == mark ? " [%02x]" : " %02x", row[x]);
  std::printf("\n");
}

bool Context::CheckBytes(const char* what, const uint8_t* want, const uint8_t* got, size_t width,
                         size_t height, size_t stride) {
  for (size_t y = 0; y < height; ++y) {
    const uint8_t* w = want + y * stride;
    const uint8_t* g = got + y * stride;
    if (std::memcmp(w, g, width) == 0) continue;
    size_t x = 0;
    while (w[x] == g[x]) ++x;
    Fail("%s differs at row %zu, column %zu (of %zu x %zu): scalar %u, simd %u", what, y, x,
         width, height, w[x], g[x]);
    if (reported_ > 8) return false;
    const size_t from = x >= 8 ? x - 8 : 0;
    const size_t to = std::min(width, from + 16);
    PrintRow("scalar", w, from, to, x);
    PrintRow("simd  ", g, from, to, x);
    return false;
  }
  return true;
}

bool Context::CheckGuards(const char* what, const Buffer& buffer) {
  if (buffer.GuardsIntact()) return true;
  Fail("%s: a write landed outside the buffer", what);
  return false;
}

// Thread CPU time: on a shared machine, time spent descheduled is not ours.
static double ThreadNanoseconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return 1e9 * double(t.tv_sec) + double(t.tv_nsec);
}

double Context::MedianOf(void (*thunk)(void*), void* call) {
  // Grow the batch until it takes long enough to time reliably.
  int batch = 1;
  for (;;) {
    const double t0 = ThreadNanoseconds();
    for (int i = 0; i < batch; ++i) thunk(call);
    if (ThreadNanoseconds() - t0 > 200000.0 || batch >= (1 << 24)) break;
    batch *= 2;
  }
  std::vector<double> per_call;
  for (int r = 0; r < 15; ++r) {
    const double t0 = ThreadNanoseconds();
    for (int i = 0; i < batch; ++i) thunk(call);
    per_call.push_back((ThreadNanoseconds() - t0) / batch);
  }
  std::nth_element(per_call.begin(), per_call.begin() + 7, per_call.end());
  return per_call[7];
}

void Context::RecordBench(const std::string& label, double ref_ns, double new_ns) {
  BenchRows().push_back({current_, label, TargetName(), ref_ns, new_ns});
}

static void PrintBench() {
  if (BenchRows().empty()) return;
  std::printf("\n%-18s %-38s %-6s %12s %12s %8s\n", "kernel", "case", "target", "scalar ns",
              "simd ns", "speedup");
  for (const BenchRow& r : BenchRows()) {
    std::printf("%-18s %-38s %-6s %12.1f %12.1f %7.2fx\n", r.kernel.c_str(), r.label.c_str(),
                r.target.c_str(), r.ref_ns, r.new_ns, r.ref_ns / r.new_ns);
  }
}

// The kernels the planted faults wrap: each calls the real one, then spoils
// one byte or value of its result.
static EngineDsp g_real;

// A line kernel (output first) whose first output sample is spoiled.
template <typename Fn>
struct SpoiledLine;
template <typename T, typename... Args>
struct SpoiledLine<void (*)(T*, Args...)> {
  template <auto kStem, auto kSlot>
  static void Call(T* dst, Args... args) {
    (g_real.*kStem.*kSlot)(dst, args...);
    dst[0] ^= 1;
  }
};
#define CHECKASM_SPOIL_LINE(stem, slot)                          \
  dsp->stem.slot = SpoiledLine<decltype(dsp->stem.slot)>::Call< \
      &EngineDsp::stem, &decltype(dsp->stem)::slot>

void PlantFaults(EngineDsp* dsp) {
  g_real = *dsp;
  CHECKASM_SPOIL_LINE(interpolate, average_line);
  CHECKASM_SPOIL_LINE(interpolate, four_tap_line);
  CHECKASM_SPOIL_LINE(interpolate, masked_four_tap_line);
  CHECKASM_SPOIL_LINE(interpolate, chroma_line);
  CHECKASM_SPOIL_LINE(interpolate, average_line16);
  CHECKASM_SPOIL_LINE(interpolate, four_tap_line16);
  CHECKASM_SPOIL_LINE(interpolate, masked_four_tap_line16);
  CHECKASM_SPOIL_LINE(interpolate, chroma_line16);
  CHECKASM_SPOIL_LINE(interpolate, cut_line);
  CHECKASM_SPOIL_LINE(match, decimate_line);
  dsp->comb.strip = [](const vantrel::CombStrip& strip, uint32_t band) {
    return g_real.comb.strip(strip, band) + 1;
  };
  vantrel::MatchKernels& match = dsp->match;
  match.block_cost_coarse = [](const uint8_t* c, ptrdiff_t cs, const uint8_t* r, ptrdiff_t rs,
                                int32_t best) {
    return g_real.match.block_cost_coarse(c, cs, r, rs, best) + 1;
  };
  match.block_cost = [](const uint8_t* c, ptrdiff_t cs, const uint8_t* r, ptrdiff_t rs,
                        int32_t best) { return g_real.match.block_cost(c, cs, r, rs, best) + 1; };
  match.scan_coarse_window = [](const uint8_t* c, ptrdiff_t step, ptrdiff_t cs, const uint8_t* r,
                                ptrdiff_t rs, int32_t rows, int32_t cols, uint32_t start) {
    vantrel::WindowBest best =
        g_real.match.scan_coarse_window(c, step, cs, r, rs, rows, cols, start);
    best.cost += 1;
    return best;
  };
  match.scan_fine_window = [](const uint8_t* c, ptrdiff_t step, ptrdiff_t cs, const uint8_t* r,
                              ptrdiff_t rs, int32_t rows, int32_t cols, uint32_t start) {
    vantrel::WindowBest best = g_real.match.scan_fine_window(c, step, cs, r, rs, rows, cols, start);
    best.cost += 1;
    return best;
  };
}
#undef CHECKASM_SPOIL_LINE

static void Usage() {
  std::printf(
      "usage: checkasm [--seed N] [--function NAME] [--bench] [--list] [--quick]\n"
      "                [--plant-fault]\n"
      "  --seed N         replay the data of an earlier run (its seed is printed first)\n"
      "  --function NAME  only kernels whose name starts with NAME\n"
      "  --bench          also time every kernel against its scalar twin\n"
      "  --list           print the kernels at each target and exit\n"
      "  --quick          fewer random rounds (the default in sanitizer builds)\n"
      "  --plant-fault    spoil every kernel under test; passes if each is caught\n");
}

static bool ParseArgs(int argc, char** argv, Options* options) {
  options->seed = std::random_device{}();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--seed" && has_value) {
      char* end = nullptr;
      const unsigned long v = std::strtoul(argv[++i], &end, 10);
      if (*end != '\0' || v > 0xFFFFFFFFul) {
        std::fprintf(stderr, "checkasm: --seed takes a number from 0 to 4294967295, not '%s'\n",
                     argv[i]);
        return false;
      }
      options->seed = uint32_t(v);
    } else if (arg == "--function" && has_value) {
      options->function = argv[++i];
    } else if (arg == "--bench") {
      options->bench = true;
    } else if (arg == "--list") {
      options->list = true;
    } else if (arg == "--quick") {
      options->quick = true;
    } else if (arg == "--plant-fault") {
      options->plant_fault = true;
    } else {
      std::fprintf(stderr, "checkasm: unknown or incomplete option '%s'\n", arg.c_str());
      Usage();
      return false;
    }
  }
  return true;
}

}  // namespace checkasm

int main(int argc, char** argv) {
  using namespace checkasm;
  Options options;
  if (!ParseArgs(argc, argv, &options)) return 2;
  const uint32_t cpu = vantrel::DetectCpuFeatures().targets;
  const uint32_t built = vantrel::CompiledTargets();
  if (!options.list) {
    std::printf("checkasm: seed %" PRIu32 "%s%s\n", options.seed,
                kSanitized ? ", sanitizer build (quick)" : "",
                options.plant_fault ? ", planted faults" : "");
  }
  const EngineDsp& ref = vantrel::ScalarEngineDsp();
  int failures = 0, passes = 0, skips = 0;
  for (uint32_t target = 1; target != 0 && target <= built; target <<= 1) {
    if (!(built & target)) continue;
    const bool available = (cpu & target) != 0;
    EngineDsp dsp;
    vantrel::InitEngineDsp(&dsp, target);
    if (options.plant_fault) PlantFaults(&dsp);
    const Mode mode = options.list ? Mode::kList : available ? Mode::kRun : Mode::kSkip;
    if (mode == Mode::kRun) std::printf("target %s\n", vantrel::TargetName(target));
    for (const Registered& group : Groups()) {
      Context context(options, mode, target, dsp, ref);
      group.fn(context);
      context.Finish();
      failures += context.failures();
      passes += context.passes();
      skips += context.skips();
    }
  }
  if (options.list) return 0;
  if (passes + failures + skips == 0) {
    std::fprintf(stderr, "checkasm: no kernel name starts with '%s'; --list shows them\n",
                 options.function.c_str());
    return 2;
  }
  PrintBench();
  std::printf("checkasm: %d passed, %d failed, %d skipped (seed %" PRIu32 ")\n", passes, failures,
              skips, options.seed);
  if (options.plant_fault) {
    // Every planted fault must have been reported.
    std::printf("checkasm: %s\n", passes == 0 && failures > 0 ? "every planted fault was caught"
                                                               : "a planted fault went unseen");
    return passes == 0 && failures > 0 ? 0 : 1;
  }
  if (failures > 0) return 1;
  // Nothing checked at all is a skip, never a pass.
  if (passes == 0) return 77;
  return 0;
}
