#!/usr/bin/env bash
# Converting interlaced 4:2:2 video to the 4:2:0 that Vantrel takes: plain
# (-pix_fmt yuv420p, which mixes the two fields' chroma lines) against
# interlace-aware (scale=interl=1). Progressive 50p clips in 4:4:4 are woven
# into interlaced 4:2:2, converted both ways and deinterlaced; the chroma is
# scored (PSNR, ffmpeg's psnr filter) against the true frames in 4:2:0.
#   bash bench/chroma_conversion.sh [BUILD_DIR] [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
frames=${2:-100}   # progressive frames; half as many interlaced ones
[ -x "$build/vantrel" ] || make BUILD="$build" build >/dev/null
work="$build/compare"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$work"
log() { printf '%s\n' "$*" >&2; }
# shellcheck source=bench/packages.sh
. bench/packages.sh

ff() { ffmpeg -nostdin -loglevel error -y "$@"; }
raw() { echo "-f rawvideo -pix_fmt $1 -s 720x576 -r $2"; }

declare -a names=("testsrc2") inputs=("-f lavfi -i testsrc2=size=720x576:rate=50,scroll=h=0.004:v=0.002")
images=/usr/lib/python3/dist-packages/imageio/resources/images
if [ -n "$(fetch_package python3-imageio "$images/cockatoo.mp4")" ]; then
  names+=("cockatoo"); inputs+=("-i $work/pkg$images/cockatoo.mp4 -vf scale=720:576")
fi

echo "# Chroma PSNR (dB, U / V) after vantrel, by 4:2:2 to 4:2:0 conversion; $((frames / 2)) frames"
echo
echo "| source | conversion | mode 3 (and 4) | mode 2 |"
echo "|---|---|---:|---:|"
for i in "${!names[@]}"; do
  # shellcheck disable=SC2086 # the input arguments are words on purpose
  ff ${inputs[$i]} -frames:v "$frames" -pix_fmt yuv444p -f rawvideo "$tmp/p444.yuv"
  # shellcheck disable=SC2046
  ff $(raw yuv444p 50) -i "$tmp/p444.yuv" -vf "interlace=scan=tff:lowpass=off,format=yuv422p" \
    -f rawvideo "$tmp/i422.yuv"
  # The true frames: the odd progressive frames, whose lines Vantrel keeps.
  # shellcheck disable=SC2046
  ff $(raw yuv444p 50) -i "$tmp/p444.yuv" -vf "select=mod(n\,2),format=yuv420p" \
    -fps_mode passthrough -f rawvideo "$tmp/truth.yuv"
  for how in "-pix_fmt yuv420p" "-vf scale=interl=1,format=yuv420p"; do
    # shellcheck disable=SC2046,SC2086
    ff $(raw yuv422p 25) -i "$tmp/i422.yuv" $how -f rawvideo "$tmp/conv.yuv"
    row="| ${names[$i]} | \`$how\` |"
    for mode in 3 2; do
      "$build/vantrel" --quiet --mode "$mode" --raw 720x576 --pixel-type i420 "$tmp/conv.yuv" "$tmp/out.yuv"
      # shellcheck disable=SC2046
      row+=" $(ffmpeg -nostdin $(raw yuv420p 25) -i "$tmp/out.yuv" $(raw yuv420p 25) -i "$tmp/truth.yuv" \
        -lavfi psnr -f null - 2>&1 | sed -n 's/.* u:\([0-9.]*\) v:\([0-9.]*\) .*/\1 \/ \2/p' |
        awk '{printf "%.1f / %.1f", $1, $3}') |"
    done
    echo "$row"
  done
done
