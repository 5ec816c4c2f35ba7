#!/usr/bin/env bash
# Speed against FFmpeg's deinterlacers, whole process, on synthetic and real
# interlaced clips. Every command also runs on the clip's first frame only,
# and that time is subtracted (net frames per second: start-up and header
# reading do not count). Within a round every command runs once, in turn;
# the tables give the median over the rounds. The pipe column feeds the clip
# through cat on standard input, as a transcoding chain would.
#   bash bench/compare.sh [BUILD_DIR] [ROUNDS] [FRAMES]
# BEFORE=OTHER_BUILD_DIR adds that build's vantrel to every round, for
# before/after figures measured side by side. KEEP=top or KEEP=bottom forces
# the field kept (and FFmpeg's parity); by default both follow the clips'
# tag, It, which keeps the top field. DEPTH=10 (or 9 to 16) weaves the clips
# at that depth instead of 8 bits.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-9}
frames=${3:-200}
before=${BEFORE:-}
depth=${DEPTH:-8}
pix_fmt=yuv420p
[ "$depth" = 8 ] || pix_fmt=yuv420p${depth}le
keep=${KEEP:+--keep $KEEP}
case ${KEEP:-} in top) parity=tff ;; bottom) parity=bff ;; *) parity=auto ;; esac
command -v ffmpeg >/dev/null || sh tools/install-deps.sh demo
[ -x "$build/vantrel" ] || make BUILD="$build" build >/dev/null
if [ -n "$before" ] && [ ! -x "$before/vantrel" ]; then
  printf 'compare.sh: %s/vantrel does not exist (BEFORE names a build folder)\n' "$before" >&2
  exit 1
fi
work="$build/compare"
mkdir -p "$work"
log() { printf '%s\n' "$*" >&2; }
# shellcheck source=bench/packages.sh
. bench/packages.sh

# add_clip NAME INPUT-ARGS FILTERS: a clip of FRAMES frames (weave_clip).
declare -a clip_names=() clip_files=()
add_clip() {
  clip_names+=("$1")
  clip_files+=("$(weave_clip "$work/${1// /-}-$frames-$pix_fmt.y4m" "$frames" "$2" "$3" "$pix_fmt")")
}
scroll="scroll=h=0.004:v=0.002"
add_clip "synthetic 720x576" "-f lavfi -i testsrc2=size=720x576:rate=50" "$scroll"
add_clip "synthetic 1920x1080" "-f lavfi -i testsrc2=size=1920x1080:rate=50" "$scroll"
data=/usr/share/doc/opencv-doc/examples/data
images=/usr/lib/python3/dist-packages/imageio/resources/images
if [ -n "$(fetch_package opencv-doc "$data/vtest.avi")" ]; then
  add_clip "fixed camera 720x576" "-stream_loop -1 -i $work/pkg$data/vtest.avi" "crop=720:576"
fi
if [ -n "$(fetch_package python3-imageio "$images/cockatoo.mp4")" ]; then
  add_clip "hand-held 1920x1080" "-stream_loop -1 -i $work/pkg$images/cockatoo.mp4" \
    "scale=1920:1080:flags=bicubic"
fi

methods=("vantrel mode 3" "vantrel mode 4" "vantrel mode 4, 2 threads"
  "vantrel mode 4, 2 threads, pipe" "ffmpeg bwdif" "ffmpeg w3fdif")
[ -z "$before" ] || methods+=("before: mode 3" "before: mode 4" "before: mode 4, 2 threads"
  "before: mode 4, 2 threads, pipe")
# command METHOD CLIP FRAME-LIMIT (run by bash)
command_for() {
  local in=$2 n=$3 tool=$build/vantrel
  case $1 in before:*) tool=$before/vantrel ;; esac
  case $1 in
    *"mode 3") echo "$tool --quiet --threads 1 ${keep:+$keep }--mode 3 --pad --frames $n $in /dev/null" ;;
    *"mode 4") echo "$tool --quiet --threads 1 ${keep:+$keep }--mode 4 --pad --frames $n $in /dev/null" ;;
    *"mode 4, 2 threads") echo "$tool --quiet --threads 2 ${keep:+$keep }--mode 4 --pad --frames $n $in /dev/null" ;;
    *"mode 4, 2 threads, pipe") echo "{ cat $in 2>/dev/null || true; } | $tool --quiet --threads 2 ${keep:+$keep }--mode 4 --pad --frames $n - /dev/null" ;;
    "ffmpeg bwdif") echo "ffmpeg -nostdin -loglevel error -threads 1 -filter_threads 1 -i $in -vf bwdif=mode=0:parity=$parity -frames:v $n -f null -" ;;
    "ffmpeg w3fdif") echo "ffmpeg -nostdin -loglevel error -threads 1 -filter_threads 1 -i $in -vf w3fdif=mode=frame:parity=$parity -frames:v $n -f null -" ;;
  esac
}

microseconds() {  # command -> wall time of one run
  local start end
  start=$(date +%s%N)
  # A pipe's cat stops early when the tool has read its frames: not a failure.
  bash -o pipefail -c "$1" >/dev/null || { log "failed: $1"; exit 1; }
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

declare -A net  # "clip,method" -> net microseconds per round, space separated
for ((r = 0; r < rounds; ++r)); do
  for c in "${!clip_names[@]}"; do
    for m in "${methods[@]}"; do
      whole=$(microseconds "$(command_for "$m" "${clip_files[$c]}" "$frames")")
      first=$(microseconds "$(command_for "$m" "${clip_files[$c]}" 1)")
      net[$c,$m]+="$((whole - first)) "
    done
  done
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
declare -A fps
for key in "${!net[@]}"; do
  # A run too short to tell from its one-frame run has no figure.
  fps[$key]=$(awk -v us="$(median "${net[$key]}")" -v n="$frames" \
    'BEGIN {if (us > 0) printf "%.0f", (n - 1) / (us / 1e6); else print "-"}')
done
ratio() {
  awk -v a="${fps[$1]}" -v b="${fps[$2]}" \
    'BEGIN {if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "-"}'
}

echo "# Speed: net fps over $frames frames ($pix_fmt), median of $rounds alternating rounds"
echo "# CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores; $(ffmpeg -version | head -n 1 | cut -d' ' -f1-3)"
echo
header="| clip |"; rule="|---|"
for m in "${methods[@]}"; do header+=" $m |"; rule+="---:|"; done
echo "$header"; echo "$rule"
for c in "${!clip_names[@]}"; do
  row="| ${clip_names[$c]} |"
  for m in "${methods[@]}"; do row+=" ${fps[$c,${m}]} |"; done
  echo "$row"
done
echo
echo "| clip | mode 4 / bwdif | mode 3 / w3fdif | mode 4 time / mode 3 time | 2 threads / 1 | 2 threads, pipe / 1 |"
echo "|---|---:|---:|---:|---:|---:|"
for c in "${!clip_names[@]}"; do
  echo "| ${clip_names[$c]} | $(ratio "$c,vantrel mode 4" "$c,ffmpeg bwdif") |" \
    "$(ratio "$c,vantrel mode 3" "$c,ffmpeg w3fdif") |" \
    "$(ratio "$c,vantrel mode 3" "$c,vantrel mode 4") |" \
    "$(ratio "$c,vantrel mode 4, 2 threads" "$c,vantrel mode 4") |" \
    "$(ratio "$c,vantrel mode 4, 2 threads, pipe" "$c,vantrel mode 4") |"
done
echo
if [ -n "$before" ]; then
  echo "Speed-up over $before/vantrel (ratio of fps, measured in the same rounds):"
  echo
  echo "| clip | mode 3 | mode 4 | mode 4, 2 threads | mode 4, 2 threads, pipe |"
  echo "|---|---:|---:|---:|---:|"
  for c in "${!clip_names[@]}"; do
    row="| ${clip_names[$c]} |"
    for m in "mode 3" "mode 4" "mode 4, 2 threads" "mode 4, 2 threads, pipe"; do
      row+=" $(ratio "$c,vantrel $m" "$c,before: $m") |"
    done
    echo "$row"
  done
  echo
fi
echo "Commands (a second run of each with --frames 1 / -frames:v 1 is subtracted):"
for m in "${methods[@]}"; do echo "    $(command_for "$m" CLIP.y4m "$frames")"; done
