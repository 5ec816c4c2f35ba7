// Runs a fuzz target without libFuzzer, so the suite can build it with any
// compiler: the given files (a corpus, or inputs that once failed), the
// target's seeds, then a fixed number of seeded mutations of them. The same
// seed always gives the same inputs, and a failing one can be saved.
//
//   replay [--seed S] [--runs N] [--max-len N] [--only I --save FILE]
//          [--write-seeds DIR] [FILE...]
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace vantrel::fuzz {
namespace {

struct Config {
  uint64_t seed = 1;
  long runs = 1000;
  size_t max_len = 1 << 16;
  long only = -1;
  std::string save;
  std::string write_seeds;
  std::vector<std::string> files;
};

// What is running, for the report when it fails.
char g_current[256] = "nothing yet";

void Describe(const std::string& what) {
  std::snprintf(g_current, sizeof g_current, "%s", what.c_str());
}

void ReportCurrent() {
  const char prefix[] = "replay: failed on ";
  (void)!write(STDERR_FILENO, prefix, sizeof prefix - 1);
  (void)!write(STDERR_FILENO, g_current, std::strlen(g_current));
  (void)!write(STDERR_FILENO, "\n", 1);
}

void OnCrash(int sig) {
  ReportCurrent();
  signal(sig, SIG_DFL);
  raise(sig);
}

class Mutator {
 public:
  Mutator(uint64_t seed, size_t max_len) : rng_(seed), max_len_(max_len) {}

  // Random bytes: the engine and filter targets decode any input into a
  // case, so these reach far from the seeds.
  std::string Fresh(size_t max_len) {
    std::string s(1 + Below(std::min(max_len, max_len_)), '\0');
    for (char& c : s) c = char(rng_());
    return s;
  }

  std::string Mutate(std::string s, const std::vector<std::string>& pool) {
    const int steps = 1 + int(Below(4));
    for (int i = 0; i < steps; ++i) Step(s, pool);
    if (s.size() > max_len_) s.resize(max_len_);
    return s;
  }

 private:
  size_t Below(size_t n) { return n ? size_t(rng_() % n) : 0; }

  void Step(std::string& s, const std::vector<std::string>& pool) {
    static const unsigned char kInteresting[] = {0, 1, 2, 15, 16, 17, 0x7f, 0x80, 0xfe, 0xff,
                                                 '\n', ' ', '0', '9', '-'};
    const size_t at = Below(s.size() + 1);
    switch (Below(8)) {
      case 0:
        if (at < s.size()) s[at] = char(s[at] ^ (1 << Below(8)));
        break;
      case 1:
        if (at < s.size()) s[at] = char(rng_());
        break;
      case 2:
        if (at < s.size()) s[at] = char(kInteresting[Below(sizeof kInteresting)]);
        break;
      case 3:
        s.insert(at, Below(16) + 1, char(rng_()));
        break;
      case 4:
        s.erase(at, Below(32) + 1);
        break;
      case 5:
        s.resize(Below(s.size() + 1));
        break;
      case 6: {
        const std::string& other = pool[Below(pool.size())];
        const size_t from = Below(other.size() + 1);
        s = s.substr(0, at) + other.substr(from, Below(256) + 1);
        break;
      }
      default:
        if (at < s.size()) s.insert(at, s.substr(at, Below(64) + 1));
        break;
    }
  }

  std::mt19937_64 rng_;
  size_t max_len_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void RunOne(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

bool ParseArgs(int argc, char** argv, Config* c) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--seed" && has_value) {
      c->seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--runs" && has_value) {
      c->runs = std::strtol(argv[++i], nullptr, 10);
    } else if (a == "--max-len" && has_value) {
      c->max_len = std::strtoul(argv[++i], nullptr, 10);
    } else if (a == "--only" && has_value) {
      c->only = std::strtol(argv[++i], nullptr, 10);
    } else if (a == "--save" && has_value) {
      c->save = argv[++i];
    } else if (a == "--write-seeds" && has_value) {
      c->write_seeds = argv[++i];
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "replay: unknown option %s\n", a.c_str());
      return false;
    } else {
      c->files.push_back(a);
    }
  }
  return true;
}

int WriteSeeds(const std::string& dir, const std::vector<std::string>& seeds) {
  for (size_t i = 0; i < seeds.size(); ++i) {
    const std::string path = dir + "/seed-" + std::to_string(i);
    std::ofstream(path, std::ios::binary) << seeds[i];
  }
  std::printf("replay: wrote %zu seeds to %s\n", seeds.size(), dir.c_str());
  return 0;
}

int Main(int argc, char** argv) {
  Config c;
  if (!ParseArgs(argc, argv, &c)) return 2;
  const std::vector<std::string> seeds = Seeds();
  if (!c.write_seeds.empty()) return WriteSeeds(c.write_seeds, seeds);
  for (const int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) signal(sig, OnCrash);

  for (const std::string& path : c.files) {
    Describe("file " + path);
    RunOne(ReadFile(path));
  }
  for (size_t i = 0; i < seeds.size() && c.only < 0; ++i) {
    Describe("seed " + std::to_string(i));
    RunOne(seeds[i]);
  }
  Mutator mutator(c.seed, c.max_len);
  std::string last = seeds[0];
  for (long run = 0; run < c.runs; ++run) {
    // A third mutate a seed, a third the input before (to get further from
    // the seeds), a third are fresh random bytes.
    const std::string& base = run % 3 == 1 ? last : seeds[size_t(run / 3) % seeds.size()];
    const std::string input = run % 3 == 2 ? mutator.Fresh(128) : mutator.Mutate(base, seeds);
    last = input;
    if (c.only >= 0 && run != c.only) continue;
    Describe("mutation " + std::to_string(run) + " of --seed " + std::to_string(c.seed) +
             " (rerun with --only " + std::to_string(run) + " --save FILE to keep it)");
    if (!c.save.empty()) std::ofstream(c.save, std::ios::binary) << input;
    RunOne(input);
  }
  std::printf("replay: %zu files, %zu seeds, %ld mutations (--seed %llu) passed\n",
              c.files.size(), seeds.size(), c.runs, static_cast<unsigned long long>(c.seed));
  return 0;
}

}  // namespace

void Failed(const char* target, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", target, what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace vantrel::fuzz

// Sanitizers call this before they report and exit.
extern "C" void __asan_on_error() { vantrel::fuzz::ReportCurrent(); }

int main(int argc, char** argv) { return vantrel::fuzz::Main(argc, argv); }
