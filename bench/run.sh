#!/bin/sh
# What `make bench` runs once the Makefile has built BUILD with the
# benchmarks: whole frames per mode, size, content and SIMD target, then
# every SIMD kernel against its scalar twin (checkasm --bench). Times are thread
# CPU times (medians for the kernels, means for the frames), so a busy
# machine slows them less than wall-clock times would.
#
# usage: sh bench/run.sh [BUILD]        (default build)
#        FRAME_FILTER=REGEX sh bench/run.sh   only the matching frame cases
set -eu
build=${1:-build}
frame_bench=$build/frame_bench
checkasm=$build/checkasm
for tool in "$frame_bench" "$checkasm"; do
  if [ ! -x "$tool" ]; then
    echo "run.sh: $tool is missing; build with -DVANTREL_BENCH=ON first (make bench does)" >&2
    exit 1
  fi
done

cpu=$(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | sed 's/.*: //')
echo "CPU: ${cpu:-unknown} ($(nproc) threads)"
echo

csv=$(mktemp)
trap 'rm -f "$csv"' EXIT
"$frame_bench" --benchmark_format=csv --benchmark_min_time=0.2 \
  ${FRAME_FILTER:+--benchmark_filter="$FRAME_FILTER"} 2>/dev/null >"$csv"

# One row per mode, size and content; one column per SIMD target this CPU
# runs, and the best one's speed-up over scalar.
echo "Whole frames (ms per frame: Process on an engine sized once)"
awk -F, '
  /^"BM_Frame\// {
    split($1, part, "/")
    for (i in part) { split(part[i], kv, ":"); arg[kv[1]] = kv[2] }
    key = arg["mode"] "," arg["w"] "x" arg["h"] "," arg["content"] "," arg["layout"] "," arg["bits"]
    if (!(key in seen)) { seen[key] = 1; order[++n] = key }
    if ($9 == "") { t[key "," arg["target"]] = $3; ran[arg["target"]] = 1 }
  }
  END {
    split("still-bg pan noise", content_name, " ")
    split("4:2:0 4:2:2 4:4:4 4:1:1 grey", layout_name, " ")
    split("0 1 2 4 8 16", bits, " ")
    split("scalar ssse3 sse4 avx2 avx3 neon", names, " ")
    printf "%-6s %-4s %-5s %-10s %-9s", "layout", "bits", "mode", "size", "content"
    for (b = 1; b <= 6; ++b) if (bits[b] in ran) { printf " %9s", names[b]; best = bits[b] }
    printf " %9s\n", "best x"
    for (k = 1; k <= n; ++k) {
      split(order[k], f, ",")
      printf "%-6s %-4s %-5s %-10s %-9s", layout_name[f[4] + 1], f[5], f[1], f[2], content_name[f[3] + 1]
      for (b = 1; b <= 6; ++b) if (bits[b] in ran) printf " %9.3f", t[order[k] "," bits[b]]
      printf " %8.2fx\n", t[order[k] ",0"] / t[order[k] "," best]
    }
  }' "$csv"
echo

echo "Kernels (ns per call, median; checkasm --bench --seed 1)"
"$checkasm" --bench --seed 1 | sed -n '/^kernel /,$p'
