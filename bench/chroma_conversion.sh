#!/usr/bin/env bash
# Why 4:2:2 is deinterlaced as 4:2:2: progressive 50p clips in 4:4:4 are
# woven into interlaced 4:2:2 (as tape captures are) and deinterlaced three
# ways: natively in 4:2:2, and through 4:2:0 (interlace-aware, scale=interl=1,
# and plain -pix_fmt yuv420p, which mixes the two fields' chroma), brought
# back to 4:2:2 afterwards. The chroma is scored (PSNR, ffmpeg's psnr filter)
# in 4:2:2 against the true frames, the progressive frames whose lines the
# filter keeps.
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
# U / V PSNR of a 4:2:2 clip against the truth.
chroma_psnr() {
  # shellcheck disable=SC2046
  ffmpeg -nostdin $(raw yuv422p 25) -i "$1" $(raw yuv422p 25) -i "$tmp/truth.yuv" \
    -lavfi psnr -f null - 2>&1 | sed -n 's/.* u:\([0-9.]*\) v:\([0-9.]*\) .*/\1 \2/p' |
    awk '{printf "%.1f / %.1f", $1, $2}'
}

declare -a names=("testsrc2") inputs=("-f lavfi -i testsrc2=size=720x576:rate=50,scroll=h=0.004:v=0.002")
images=/usr/lib/python3/dist-packages/imageio/resources/images
if [ -n "$(fetch_package python3-imageio "$images/cockatoo.mp4")" ]; then
  names+=("cockatoo"); inputs+=("-i $work/pkg$images/cockatoo.mp4 -vf scale=720:576")
fi

echo "# Chroma PSNR (dB, U / V) of interlaced 4:2:2 after vantrel, scored in 4:2:2; $((frames / 2)) frames"
echo
echo "| source | route | mode 3 (and 4) | mode 2 |"
echo "|---|---|---:|---:|"
for i in "${!names[@]}"; do
  # shellcheck disable=SC2086 # the input arguments are words on purpose
  ff ${inputs[$i]} -frames:v "$frames" -pix_fmt yuv444p -f rawvideo "$tmp/p444.yuv"
  # shellcheck disable=SC2046
  ff $(raw yuv444p 50) -i "$tmp/p444.yuv" -vf "interlace=scan=tff:lowpass=off,format=yuv422p" \
    -f rawvideo "$tmp/i422.yuv"
  # shellcheck disable=SC2046
  ff $(raw yuv444p 50) -i "$tmp/p444.yuv" -vf "select=mod(n\,2),format=yuv422p" \
    -fps_mode passthrough -f rawvideo "$tmp/truth.yuv"
  for route in native "scale=interl=1" plain; do
    row="| ${names[$i]} | $route |"
    case $route in
      native) cp "$tmp/i422.yuv" "$tmp/in.yuv"; type=i422 ;;
      plain) ff $(raw yuv422p 25) -i "$tmp/i422.yuv" -pix_fmt yuv420p -f rawvideo "$tmp/in.yuv"; type=i420 ;;
      *) ff $(raw yuv422p 25) -i "$tmp/i422.yuv" -vf "$route,format=yuv420p" -f rawvideo "$tmp/in.yuv"; type=i420 ;;
    esac
    for mode in 3 2; do
      "$build/vantrel" --quiet --mode "$mode" --raw 720x576 --pixel-type $type "$tmp/in.yuv" "$tmp/out.yuv"
      if [ $type = i420 ]; then  # back to 4:2:2: the frames are progressive now
        # shellcheck disable=SC2046
        ff $(raw yuv420p 25) -i "$tmp/out.yuv" -pix_fmt yuv422p -f rawvideo "$tmp/back.yuv"
        mv "$tmp/back.yuv" "$tmp/out.yuv"
      fi
      row+=" $(chroma_psnr "$tmp/out.yuv") |"
    done
    echo "$row"
  done
done
