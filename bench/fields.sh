#!/usr/bin/env bash
# What keeping the top field, double rate and --map cost against keeping the
# bottom field (the filter's own, the default for untagged streams):
# whole process (reading the clip, writing to /dev/null), mode 4, on one
# thread and on one per core, for a synthetic SD clip and a real camera clip
# scaled to 1920 x 1080. Within a round the four commands run once each, in
# turn (/usr/bin/time); the tables give medians over the rounds, the ratios
# to the bottom-field run taken round by round.
#   bash bench/fields.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-7}
[ -x "$build/vantrel" ] || make BUILD="$build" build >/dev/null
work="$build/compare"
mkdir -p "$work"
log() { printf '%s\n' "$*" >&2; }
# shellcheck source=bench/packages.sh
. bench/packages.sh

# clip NAME FRAMES INPUT-ARGS FILTERS (weave_clip)
clip() { weave_clip "$work/fields-$1-$2.y4m" "$2" "$3" "$4"; }

declare -a names=() files=()
names+=("synthetic 720x576, 500 frames")
files+=("$(clip sd 500 "-f lavfi -i testsrc2=size=720x576:rate=50" "scroll=h=0.004:v=0.002")")
images=/usr/lib/python3/dist-packages/imageio/resources/images
if [ -n "$(fetch_package python3-imageio "$images/cockatoo.mp4")" ]; then
  names+=("hand-held camera 1920x1080, 200 frames")
  files+=("$(clip hd 200 "-stream_loop -1 -i $work/pkg$images/cockatoo.mp4" \
    "scale=1920:1080:flags=bicubic")")
fi

# The map goes to standard output, which is /dev/null like the output.
options=("--keep bottom" "--keep top" "--double-rate" "--keep bottom --map /dev/stdout")
labels=("--keep bottom" "--keep top" "--double-rate" "--keep bottom --map")
echo "# Field options: medians of $rounds alternating rounds, mode 4, whole process"
echo "# CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores"
for c in "${!names[@]}"; do
  for threads in 1 0; do
    times="$work/fields-times.txt"
    : >"$times"
    for ((r = 0; r < rounds; ++r)); do
      for o in "${!options[@]}"; do
        # shellcheck disable=SC2086 # the option is several words
        /usr/bin/time -f "$r $o %e %U %S" -a -o "$times" \
          "$build/vantrel" --quiet --threads "$threads" ${options[$o]} "${files[$c]}" /dev/null \
          >/dev/null
      done
    done
    echo
    echo "${names[$c]}, $([ "$threads" = 1 ] && echo "1 thread" || echo "one thread per core"):"
    echo
    echo "| command | wall s | × bottom | CPU s | × bottom |"
    echo "|---|---:|---:|---:|---:|"
    python3 - "$times" "${labels[@]}" <<'PY'
import statistics, sys
runs = {}  # (round, option) -> (wall, cpu)
for line in open(sys.argv[1]):
    r, o, wall, user, system = line.split()
    runs[int(r), int(o)] = (float(wall), float(user) + float(system))
rounds = sorted({r for r, _ in runs})
for o, label in enumerate(sys.argv[2:]):
    wall = statistics.median(runs[r, o][0] for r in rounds)
    cpu = statistics.median(runs[r, o][1] for r in rounds)
    wall_x = statistics.median(runs[r, o][0] / runs[r, 0][0] for r in rounds)
    cpu_x = statistics.median(runs[r, o][1] / runs[r, 0][1] for r in rounds)
    print(f"| `{label}` | {wall:.2f} | {wall_x:.2f} | {cpu:.2f} | {cpu_x:.2f} |")
PY
  done
done
echo
echo "Commands: $build/vantrel --quiet --threads 1|0 OPTIONS CLIP.y4m /dev/null >/dev/null"
