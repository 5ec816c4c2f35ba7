#!/usr/bin/env bash
# What keeping the top field and double rate cost against the default run:
# whole process (reading the clip, writing to /dev/null), mode 4, on one
# thread and on one per core, for a synthetic SD clip and a real camera clip
# scaled to 1920 x 1080. hyperfine runs the commands of a table in one go;
# the tables give median wall and mean CPU (user + system) seconds and the
# ratios to the default run.
#   bash bench/fields.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
command -v hyperfine >/dev/null || { echo "fields.sh: needs hyperfine (apt-get install hyperfine)" >&2; exit 1; }
[ -x "$build/vantrel" ] || make BUILD="$build" build >/dev/null
work="$build/compare"
mkdir -p "$work"
log() { printf '%s\n' "$*" >&2; }
# shellcheck source=bench/packages.sh
. bench/packages.sh

ff() { ffmpeg -nostdin -loglevel error -y -sws_flags bicubic+accurate_rnd+bitexact "$@"; }
clip() {  # NAME FRAMES INPUT-ARGS FILTERS
  local out="$work/fields-$1-$2.y4m"
  # shellcheck disable=SC2086 # the input arguments are words on purpose
  [ -s "$out" ] || ff $3 -vf "$4,format=yuv420p,interlace=scan=tff:lowpass=off" \
    -frames:v "$2" -f yuv4mpegpipe "$out"
  echo "$out"
}

declare -a names=() files=()
names+=("synthetic 720x576, 200 frames")
files+=("$(clip sd 200 "-f lavfi -i testsrc2=size=720x576:rate=50" "scroll=h=0.004:v=0.002")")
images=/usr/lib/python3/dist-packages/imageio/resources/images
if [ -n "$(fetch_package python3-imageio "$images/cockatoo.mp4")" ]; then
  names+=("hand-held camera 1920x1080, 100 frames")
  files+=("$(clip hd 100 "-stream_loop -1 -i $work/pkg$images/cockatoo.mp4" "scale=1920:1080:flags=bicubic")")
fi

echo "# Field options: median of $runs runs, mode 4, whole process"
echo "# CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores"
for c in "${!names[@]}"; do
  for threads in 1 0; do
    label=$([ "$threads" = 1 ] && echo "1 thread" || echo "one thread per core")
    json="$work/fields.json"
    hyperfine --style none --runs "$runs" --warmup 1 --export-json "$json" \
      -n default "$build/vantrel --quiet --threads $threads ${files[$c]} /dev/null" \
      -n "--keep top" "$build/vantrel --quiet --threads $threads --keep top ${files[$c]} /dev/null" \
      -n "--double-rate" "$build/vantrel --quiet --threads $threads --double-rate ${files[$c]} /dev/null" \
      >/dev/null
    echo
    echo "${names[$c]}, $label:"
    echo
    echo "| command | wall s (median) | × default | CPU s (mean) | × default |"
    echo "|---|---:|---:|---:|---:|"
    python3 - "$json" <<'PY'
import json, statistics, sys
results = json.load(open(sys.argv[1]))["results"]
# hyperfine keeps per-run wall times but only the mean CPU time.
def med(r, key):
    return r["user"] + r["system"] if key == "cpu" else statistics.median(r["times"])
base = {k: med(results[0], k) for k in ("wall", "cpu")}
for r in results:
    w, c = med(r, "wall"), med(r, "cpu")
    print(f"| `{r['command']}` | {w:.2f} | {w / base['wall']:.2f} | {c:.2f} | {c / base['cpu']:.2f} |")
PY
  done
done
echo
echo "Commands: $build/vantrel --quiet --threads 1|0 [--keep top | --double-rate] CLIP.y4m /dev/null"
