#!/usr/bin/env bash
# Speed against FFmpeg's deinterlacers on the same generated interlaced clips:
# every command runs once per round, alternating, for several rounds; the
# table gives median frames per second and the ratios.
#   bash bench/compare.sh [BUILD_DIR] [ROUNDS] [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-5}
frames=${3:-200}
command -v ffmpeg >/dev/null || sh tools/install-deps.sh
[ -x "$build/vantrel" ] || make BUILD="$build" build >/dev/null
work="$build/compare"
mkdir -p "$work"

clip() {  # size name
  local out="$work/$2-$frames.y4m"
  if [ ! -s "$out" ]; then
    ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=$1:rate=50,scroll=h=0.004:v=0.002" \
      -vf "interlace=scan=tff:lowpass=off,format=yuv420p" -frames:v "$frames" \
      -f yuv4mpegpipe "$out"
  fi
  echo "$out"
}
sd=$(clip 720x576 sd)
hd=$(clip 1920x1080 hd)

declare -a names cmds
add() { names+=("$1"); cmds+=("$2"); }
for size in sd hd; do
  in=$([ $size = sd ] && echo "$sd" || echo "$hd")
  pad=$([ $size = hd ] && echo "--pad " || echo "")
  for mode in 3 4; do
    add "$size vantrel mode $mode, 1 thread" "$build/vantrel --quiet --threads 1 --mode $mode $pad$in /dev/null"
  done
  add "$size vantrel mode 4, 2 threads" "$build/vantrel --quiet --threads 2 --mode 4 $pad$in /dev/null"
  for f in "yadif=mode=0:parity=bff" "bwdif=mode=0:parity=bff" "w3fdif=mode=frame:parity=bff"; do
    add "$size ffmpeg ${f%%=*}" "ffmpeg -loglevel error -threads 1 -filter_threads 1 -i $in -vf $f -f null -"
  done
done

declare -A samples
for ((r = 0; r < rounds; ++r)); do
  for i in "${!cmds[@]}"; do
    start=$(date +%s%N)
    ${cmds[$i]} > /dev/null
    end=$(date +%s%N)
    samples[$i]+="$(( (end - start) / 1000 )) "
  done
done

median_fps() {  # index -> median frames per second over the rounds
  local m
  m=$(tr ' ' '\n' <<< "${samples[$1]}" | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  awk -v us="$m" -v n="$frames" 'BEGIN {printf "%.1f", n / (us / 1e6)}'
}
declare -A fps
for i in "${!cmds[@]}"; do fps[${names[$i]}]=$(median_fps "$i"); done

echo "# Speed: $frames frames, median of $rounds alternating rounds ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores)"
echo
echo "| command | fps |"
echo "|---|---:|"
for i in "${!cmds[@]}"; do echo "| ${names[$i]} | ${fps[${names[$i]}]} |"; done
echo
ratio() { awk -v a="${fps[$1]}" -v b="${fps[$2]}" 'BEGIN {printf "%.2f", a / b}'; }
echo "| ratio | sd | hd |"
echo "|---|---:|---:|"
echo "| vantrel mode 4 (1 thread) / bwdif | $(ratio 'sd vantrel mode 4, 1 thread' 'sd ffmpeg bwdif') | $(ratio 'hd vantrel mode 4, 1 thread' 'hd ffmpeg bwdif') |"
echo "| vantrel mode 3 (1 thread) / w3fdif | $(ratio 'sd vantrel mode 3, 1 thread' 'sd ffmpeg w3fdif') | $(ratio 'hd vantrel mode 3, 1 thread' 'hd ffmpeg w3fdif') |"
echo "| vantrel mode 4, 2 threads / 1 thread | $(ratio 'sd vantrel mode 4, 2 threads' 'sd vantrel mode 4, 1 thread') | $(ratio 'hd vantrel mode 4, 2 threads' 'hd vantrel mode 4, 1 thread') |"
echo
echo "Commands:"
for i in "${!cmds[@]}"; do echo "    ${cmds[$i]}"; done
