#!/usr/bin/env bash
# Deinterlacing quality against ground truth: Vantrel's modes, a few of its
# settings, FFmpeg's deinterlacers and plain weave, scored with luma PSNR and
# SSIM. Writes bench/results/quality.md, then the pictures (bench/pictures.sh).
#
# Every source is read as 50 progressive frames a second and woven two by two
# into interlaced frames: the even lines of frame k come from frame 2k, the odd
# ones from frame 2k+1. Vantrel is told to keep the odd lines (--keep bottom: the
# clips are tagged It, for which it would keep the even ones), so progressive frame 2k+1
# is exactly what it should give back.
#
# usage: bash bench/quality.sh [WORKDIR]   (default build/quality; it keeps the
# downloaded packages there, so a rerun fetches nothing)
set -euo pipefail
cd "$(dirname "$0")/.."

work=${1:-build/quality}
results=bench/results/quality.md
vantrel=build/vantrel
pairs=100          # interlaced frames per source (fewer if the clip is shorter)
started=$SECONDS

log() { printf '%s\n' "$*" >&2; }
# shellcheck source=bench/packages.sh
. bench/packages.sh
die() { log "quality.sh: $*"; exit 1; }

ensure_ffmpeg() {
  command -v ffmpeg >/dev/null 2>&1 && return
  [ "$(id -u)" = 0 ] || die "ffmpeg is missing; install it (as root: apt-get install ffmpeg)"
  log "installing ffmpeg"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends ffmpeg >/dev/null
}

ensure_vantrel() {
  [ -x "$vantrel" ] && return
  log "building vantrel (make)"
  sh tools/install-deps.sh build
  make
}

# Sources: name, frames wanted (progressive), input arguments, filters before
# the conversion to 8-bit 4:2:0, and a line for the table.
declare -a src_names=() src_frames=() src_inputs=() src_filters=() src_notes=()
add_source() {
  src_names+=("$1"); src_frames+=("$2"); src_inputs+=("$3"); src_filters+=("$4")
  src_notes+=("$5")
}

define_sources() {
  local data=/usr/share/doc/opencv-doc/examples/data
  local images=/usr/lib/python3/dist-packages/imageio/resources/images
  local opencv imageio
  add_source testsrc2 $((2 * pairs)) \
    "-f lavfi -i testsrc2=size=720x576:rate=50,scroll=h=0.004:v=0.002" null \
    "FFmpeg \`testsrc2=size=720x576:rate=50,scroll=h=0.004:v=0.002\`: synthetic, 50p, slow diagonal scroll"
  add_source mandelbrot $((2 * pairs)) "-f lavfi -i mandelbrot=size=720x576:rate=50" null \
    "FFmpeg \`mandelbrot=size=720x576:rate=50\`: synthetic, 50p, zoom into fine detail"
  opencv=$(fetch_package opencv-doc "$data/vtest.avi" "$data/tree.avi")
  if [ -n "$opencv" ]; then
    add_source vtest $((2 * pairs)) "-i $work/pkg$data/vtest.avi" null \
      "\`vtest.avi\` from opencv-doc $opencv: camera on a pole, people walking, 768x576 at 10 fps"
    add_source tree 68 "-i $work/pkg$data/tree.avi" null \
      "\`tree.avi\` from opencv-doc $opencv: hand-held camera, foliage, 320x240 at 15 fps (all 68 frames)"
  fi
  imageio=$(fetch_package python3-imageio "$images/cockatoo.mp4")
  if [ -n "$imageio" ]; then
    add_source cockatoo $((2 * pairs)) "-i $work/pkg$images/cockatoo.mp4" null \
      "\`cockatoo.mp4\` from python3-imageio $imageio: hand-held camera close to a cockatoo, 1280x720 at 20 fps"
  fi
}

# Methods: label for the table, kind, arguments.
declare -a m_labels=() m_kinds=() m_args=()
add_method() { m_labels+=("$1"); m_kinds+=("$2"); m_args+=("$3"); }

define_methods() {
  add_method "weave (no deinterlacing)" weave ""
  add_method "vantrel --mode 1" vantrel "--mode 1"
  add_method "vantrel --mode 2" vantrel "--mode 2"
  add_method "vantrel --mode 3" vantrel "--mode 3"
  add_method "vantrel --mode 4 (default)" vantrel "--mode 4"
  add_method "vantrel --mode 3 --comb-threshold 24" vantrel "--mode 3 --comb-threshold 24"
  add_method "vantrel --mode 3 --comb-threshold 96" vantrel "--mode 3 --comb-threshold 96"
  add_method "vantrel --mode 4 --search-range 32" vantrel "--mode 4 --search-range 32"
  add_method "vantrel --mode 4 --match-threshold 2048" vantrel "--mode 4 --match-threshold 2048"
  add_method "vantrel --mode 4 --match-threshold 32768" vantrel "--mode 4 --match-threshold 32768"
  add_method "yadif=mode=0:parity=bff" ffmpeg "yadif=mode=0:parity=bff"
  add_method "bwdif=mode=0:parity=bff" ffmpeg "bwdif=mode=0:parity=bff"
  add_method "w3fdif=mode=frame:parity=bff" ffmpeg "w3fdif=mode=frame:parity=bff"
  add_method "estdif=mode=frame:parity=bff" ffmpeg "estdif=mode=frame:parity=bff"
  # The clips are top field first: with parity=bff the temporal filters take
  # their neighbours one field early. At field rate with the true parity,
  # every second output keeps the odd lines at the right moment.
  add_method "yadif=mode=1:parity=tff, odd outputs" ffmpeg "yadif=mode=1:parity=tff,select='mod(n\,2)'"
  add_method "bwdif=mode=1:parity=tff, odd outputs" ffmpeg "bwdif=mode=1:parity=tff,select='mod(n\,2)'"
  add_method "w3fdif=mode=field:parity=tff, odd outputs" ffmpeg "w3fdif=mode=field:parity=tff,select='mod(n\,2)'"
}

# Conversions are asked to be bit-exact so the table does not depend on which
# SIMD path swscale takes on this machine.
ff() { ffmpeg -nostdin -hide_banner -v error -y -sws_flags bicubic+accurate_rnd+bitexact "$@"; }

# progressive 50p clip -> interlaced clip and its ground truth
prepare_source() {
  local i=$1 name=${src_names[$1]} dir=$work/clips
  mkdir -p "$dir"
  # shellcheck disable=SC2086 # the input arguments are words on purpose
  ff ${src_inputs[$i]} -vf "${src_filters[$i]},format=yuv420p,setpts=N/(50*TB)" -r 50 \
    -frames:v "${src_frames[$i]}" -f yuv4mpegpipe "$dir/$name-50p.y4m"
  ff -i "$dir/$name-50p.y4m" -vf "interlace=scan=tff:lowpass=off" -f yuv4mpegpipe "$dir/$name-i.y4m"
  ff -i "$dir/$name-50p.y4m" -vf "select='mod(n\,2)',setpts=N/(25*TB)" -r 25 \
    -f yuv4mpegpipe "$dir/$name-t.y4m"
  rm -f "$dir/$name-50p.y4m"
}

# One MD5 per frame of the odd luma lines.
odd_luma_hashes() {
  ff -i "$1" -vf "field=bottom,extractplanes=y" -f framemd5 - | awk -F', *' '!/^#/ { print $NF }'
}

run_method() {
  local kind=$1 args=$2 in=$3 out=$4
  # shellcheck disable=SC2086 # the options are words on purpose
  case $kind in
    weave) ln -sf "$(realpath "$in")" "$out" ;;
    vantrel) "$vantrel" --quiet --keep bottom $args "$in" "$out" ;;
    ffmpeg) ff -i "$in" -vf "$args" -fps_mode passthrough -f yuv4mpegpipe "$out" ;;
  esac
}

# Prints "PSNR SSIM" of the luma of $1 against $2, frame by frame in order
# whatever the two clips' frame rates.
score() {
  local graph log
  graph="[0:v]settb=1/25,setpts=N,split[a][b];[1:v]settb=1/25,setpts=N,split[c][d];"
  graph+="[a][c]psnr[p];[b][d]ssim[s]"
  log=$(ffmpeg -nostdin -hide_banner -nostats -filter_complex_threads 2 -i "$1" -i "$2" \
    -filter_complex "$graph" -map "[p]" -f null - -map "[s]" -f null - 2>&1) ||
    die "scoring $1 failed: $log"
  printf '%s %s\n' \
    "$(sed -n 's/.*PSNR y:\([^ ]*\) .*/\1/p' <<<"$log")" \
    "$(sed -n 's/.*SSIM Y:\([^ ]*\) .*/\1/p' <<<"$log")"
}

evaluate_source() {
  local i=$1 name=${src_names[$1]} dir=$work/clips m out kept scores
  local in=$dir/$name-i.y4m truth=$dir/$name-t.y4m
  odd_luma_hashes "$in" >"$dir/$name-i.odd"
  # The weave must put frame 2k+1's odd lines in the interlaced frame, or
  # the truth is the wrong frame.
  odd_luma_hashes "$truth" | cmp -s - "$dir/$name-i.odd" ||
    die "$name: the interlaced clip's odd lines are not the ground truth's"
  for m in "${!m_labels[@]}"; do
    out=$scratch/$name-out.y4m
    run_method "${m_kinds[$m]}" "${m_args[$m]}" "$in" "$out"
    kept=no
    odd_luma_hashes "$out" | cmp -s - "$dir/$name-i.odd" && kept=yes
    scores=$(score "$out" "$truth")
    printf '%s\t%s\t%s\t%s\n' "$name" "$m" "${scores// /$'\t'}" "$kept" >>"$work/scores.tsv"
    log "  $name: ${m_labels[$m]}: $scores, odd lines kept: $kept"
    rm -f "$out"
  done
}

frames_of() { ff -i "$1" -f framemd5 - | grep -vc '^#'; }
geometry_of() { head -c 100 "$1" | head -n 1 | awk '{ print substr($2, 2) "x" substr($3, 2) }'; }

write_table() {
  local i m
  {
    echo "# Deinterlacing quality against ground truth"
    echo
    echo "Made by \`bash bench/quality.sh\` with $(ffmpeg -version | head -n 1 | cut -d' ' -f1-3)"
    echo "and $("$vantrel" --version | head -n 1). Rerunning it gives this file again."
    echo
    echo "Each source is taken as 50 progressive frames a second and woven two by two into"
    echo "interlaced frames (\`interlace=scan=tff:lowpass=off\`): the even lines of interlaced frame k"
    echo "come from progressive frame 2k, the odd lines from frame 2k+1. Every method below keeps the"
    echo "odd lines and rebuilds the even ones, so the ground truth for output k is progressive frame"
    echo "2k+1 (\`select='mod(n\\,2)'\`). Scores are luma only: PSNR from the mean squared error over"
    echo "the whole clip (FFmpeg's \`psnr\`), SSIM averaged over frames (FFmpeg's \`ssim\`). *mean* is"
    echo "the plain mean over the sources. *odd lines kept* says whether every odd luma line of every"
    echo "output equals the interlaced input's (per-frame MD5 of \`field=bottom\`)."
    echo
    echo "## Sources"
    echo
    echo "| source | interlaced frames | size | what it is |"
    echo "|---|---|---|---|"
    for i in "${!src_names[@]}"; do
      echo "| ${src_names[$i]} | $(frames_of "$work/clips/${src_names[$i]}-i.y4m") |" \
        "$(geometry_of "$work/clips/${src_names[$i]}-i.y4m") | ${src_notes[$i]} |"
    done
    echo
    echo "The camera clips are not 50 fps: their consecutive frames stand in for the moments 2k and"
    echo "2k+1 anyway, so their fields lie 1/10 s (vtest), 1/15 s (tree) or 1/20 s (cockatoo) apart"
    echo "instead of 1/50 s: far more motion between the fields than real 50i video has."
    echo "Their sizes are already multiples of 16, so nothing is cropped; they are converted to 8-bit"
    echo "4:2:0 (\`format=yuv420p\`). The package files are extracted with \`apt-get download\` and"
    echo "\`dpkg -x\`; nothing is installed."
    echo
    echo "## Methods"
    echo
    echo "Vantrel runs in modes 1 to 4 with their defaults, then with a few other settings. FFmpeg's"
    echo "filters run in frame mode (one output per frame) with \`parity=bff\` so that they keep"
    echo "the odd lines; yadif, bwdif and w3fdif also look at the neighbouring frames, and on these"
    echo "top-field-first clips \`parity=bff\` gives them the fields in the wrong temporal order. The"
    echo "three *odd outputs* rows run them the way this material calls for: one output per field"
    echo "with the true parity (\`parity=tff\`), keeping every second output, the one whose kept field"
    echo "is the odd lines. *weave* is the interlaced input itself. Vantrel and estdif look at one"
    echo "frame only."
    table "Luma PSNR (dB, higher is better)" 3 2
    table "Luma SSIM (higher is better)" 4 4
    echo
    echo "## Commands"
    echo
    echo '```sh'
    echo "# progressive source, 8-bit 4:2:0, timestamps as 50 fps"
    echo "ffmpeg <source> -vf \"[crop,]format=yuv420p,setpts=N/(50*TB)\" -r 50 -frames:v <2n> -f yuv4mpegpipe src.y4m"
    echo "ffmpeg -i src.y4m -vf \"interlace=scan=tff:lowpass=off\" -f yuv4mpegpipe interlaced.y4m"
    echo "ffmpeg -i src.y4m -vf \"select='mod(n\\,2)',setpts=N/(25*TB)\" -r 25 -f yuv4mpegpipe truth.y4m"
    echo "# methods"
    echo "build/vantrel --mode N [options] interlaced.y4m out.y4m"
    echo "ffmpeg -i interlaced.y4m -vf \"<filter>\" -fps_mode passthrough -f yuv4mpegpipe out.y4m"
    echo "# scores"
    echo "ffmpeg -i out.y4m -i truth.y4m -filter_complex \"[0:v]settb=1/25,setpts=N,split[a][b];\\"
    echo "  [1:v]settb=1/25,setpts=N,split[c][d];[a][c]psnr[p];[b][d]ssim[s]\" -map [p] -f null - -map [s] -f null -"
    echo "# kept lines"
    echo "ffmpeg -i out.y4m -vf \"field=bottom,extractplanes=y\" -f framemd5 -   # the same hashes as interlaced.y4m"
    echo '```'
    echo
    echo "Every ffmpeg call also has \`-sws_flags bicubic+accurate_rnd+bitexact\`, so format"
    echo "conversions do not depend on the CPU."
  } >"$results"
}

# table TITLE COLUMN DECIMALS: one row per method, one column per source, then
# the mean and the kept-lines check.
table() {
  local names
  names=$(printf '%s\t' "${src_names[@]}")
  echo
  echo "## $1"
  echo
  awk -F'\t' -v col="$2" -v dec="$3" -v names="$names" -v labels="$(printf '%s\n' "${m_labels[@]}")" '
    BEGIN {
      ns = split(names, src, "\t") - 1
      nm = split(labels, label, "\n")
      head = "| method |"; rule = "|---|"
      for (s = 1; s <= ns; s++) { head = head " " src[s] " |"; rule = rule "---:|" }
      print head " mean | odd lines kept |"; print rule "---:|:---:|"
    }
    { v[$1, $2 + 1] = $col; kept[$2 + 1] = kept[$2 + 1] ($5 == "yes" ? "" : " " $1) }
    END {
      for (m = 1; m <= nm; m++) {
        row = "| " label[m] " |"; sum = 0
        for (s = 1; s <= ns; s++) { row = row sprintf(" %.*f |", dec, v[src[s], m]); sum += v[src[s], m] }
        print row sprintf(" %.*f | %s |", dec, sum / ns, kept[m] == "" ? "yes" : "no:" kept[m])
      }
    }' "$work/scores.tsv"
}

main() {
  ensure_ffmpeg
  ensure_vantrel
  mkdir -p "$work" "$(dirname "$results")"
  # Each output is read twice and dropped: memory spares the disk gigabytes
  # of writes.
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    scratch=$(mktemp -d /dev/shm/vantrel-quality.XXXXXX)
  else
    scratch=$(mktemp -d)
  fi
  trap 'rm -rf "$scratch"' EXIT
  define_sources
  define_methods
  : >"$work/scores.tsv"
  local i
  for i in "${!src_names[@]}"; do
    log "${src_names[$i]}"
    prepare_source "$i"
    evaluate_source "$i"
  done
  write_table
  log "wrote $results"
  bash bench/pictures.sh "$work/clips"
  log "quality.sh: done in $((SECONDS - started)) s"
}

main "$@"
