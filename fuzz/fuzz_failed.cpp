// The libFuzzer build's failure report: abort, and libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_input.h"

namespace vantrel::fuzz {

void Failed(const char* target, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", target, what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace vantrel::fuzz
