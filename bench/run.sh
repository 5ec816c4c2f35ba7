#!/bin/sh
# What `make bench` runs once the Makefile has built BUILD with the
# benchmarks: whole frames per mode, size, content and CPU level, then every
# SIMD kernel against its scalar twin (checkasm --bench). Times are thread
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

# One row per mode, size and content; one column per CPU level.
echo "Whole frames (ms per frame: Init + Process + Release)"
awk -F, '
  /^"BM_Frame\// {
    split($1, part, "/")
    for (i in part) { split(part[i], kv, ":"); arg[kv[1]] = kv[2] }
    key = arg["mode"] "," arg["w"] "x" arg["h"] "," arg["content"]
    if (!(key in seen)) { seen[key] = 1; order[++n] = key }
    t[key "," arg["level"]] = ($9 != "" ? "n/a" : $3)
  }
  END {
    split("still-bg pan noise", content_name, " ")
    printf "%-5s %-10s %-9s %10s %10s %10s %9s %9s\n", "mode", "size", "content", "scalar",
           "sse2", "avx2", "sse2 x", "avx2 x"
    for (k = 1; k <= n; ++k) {
      split(order[k], f, ",")
      s = t[order[k] ",0"]; a = t[order[k] ",1"]; b = t[order[k] ",3"]
      printf "%-5s %-10s %-9s %10.3f %10s %10s", f[1], f[2], content_name[f[3] + 1], s,
             (a == "n/a" ? a : sprintf("%.3f", a)), (b == "n/a" ? b : sprintf("%.3f", b))
      printf " %8s %8s\n", (a == "n/a" || a == 0 ? "-" : sprintf("%.2fx", s / a)),
             (b == "n/a" || b == 0 ? "-" : sprintf("%.2fx", s / b))
    }
  }' "$csv"
echo

echo "Kernels (ns per call, median; checkasm --bench --seed 1)"
"$checkasm" --bench --seed 1 | sed -n '/^kernel /,$p'
