#!/bin/sh
# Runs the libFuzzer targets of a `make fuzz` build, one after another:
#   fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET [TARGET...]
# Each keeps its corpus in BUILD_DIR/corpus/TARGET (seeded on the first run)
# and writes any failing input to BUILD_DIR/artifacts/. Turn a failing input
# into a test under tests/, then replay it with BUILD_DIR/replay_TARGET FILE.
set -e
build=${1:?usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=${*:-y4m_reader raw_reader engine filter}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$build/artifacts"
for t in $targets; do
  corpus=$build/corpus/$t
  if [ ! -d "$corpus" ]; then
    mkdir -p "$corpus"
    "$build/replay_$t" --write-seeds "$corpus" >/dev/null
  fi
  case $t in
    engine|filter) max_len=4096 ;;
    *) max_len=65536 ;;
  esac
  echo "fuzzing $t for $seconds s (corpus $corpus)"
  "$build/fuzz_$t" -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" "$corpus"
done
